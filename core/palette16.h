#pragma once
// The 16 VGA text colours as 32-bit 0x00RRGGBB pixels, indexed by the 4-bit
// colour numbers of an attribute byte (bits 0-3 foreground, 4-7 background).

#include <array>
#include <cstdint>

namespace vexl {

inline constexpr std::array<std::uint32_t, 16> Palette16 = {
    0x000000,  // black
    0x0000AA,  // blue
    0x00AA00,  // green
    0x00AAAA,  // cyan
    0xAA0000,  // red
    0xAA00AA,  // magenta
    0xAA5500,  // brown
    0xAAAAAA,  // light grey
    0x555555,  // dark grey
    0x5555FF,  // light blue
    0x55FF55,  // light green
    0x55FFFF,  // light cyan
    0xFF5555,  // light red
    0xFF55FF,  // light magenta
    0xFFFF55,  // yellow
    0xFFFFFF,  // white
};

}  // namespace vexl
