#pragma once
// The web player's page, scripts and WebAssembly modules, carried inside
// vexl so that `vexl web` can write a whole site anywhere. The table is
// generated when vexl is built (web/); it is empty when the build had no
// emscripten.

#include <cstdint>
#include <span>
#include <string_view>

namespace vexl::tool {

struct WebPageFile {
    std::string_view name;  // a plain file name: "index.html"
    std::span<const std::uint8_t> bytes;
};

std::span<const WebPageFile> web_page_files();

}  // namespace vexl::tool
