#pragma once
// The console screen: shows the demo's text frames in an 80 x 50 text
// console (on Linux, the terminal). Each present converts the whole
// TextFrame into console cells and writes them in one call.

#include <cstddef>
#include <cstdint>

#include "platform/terminal.h"
#include "vuvorazi/ag_screen.h"

namespace vexl {

inline constexpr const char* console_title =
    "Vexlade 2003 - quick-hack (read: copy&paste) win32 player by quor";

// The allocator of present's cell array: std::malloc, behind a pointer so
// tests can make the allocation fail.
using ConsoleAllocate = void* (*)(std::size_t bytes);
extern ConsoleAllocate console_allocate;

class ag_console final : public vuvorazi::ag_screen {
public:
    ag_console();   // allocates the console and sizes it to 50 x 80
    ~ag_console();  // frees the console; not virtual, like every screen
    ag_console(const ag_console&) = delete;
    ag_console& operator=(const ag_console&) = delete;

    // Sizes the console's buffer and window, then the cell grid. False
    // with no change for a negative size.
    bool resize(std::int32_t rows, std::int32_t cols) override;
    // The screen's own region update; true whatever that reports.
    bool update_region(vuvorazi::ag_raw* child, std::int32_t row, std::int32_t col,
                       std::int32_t nrows, std::int32_t ncols) override;
    // Writes the whole TextFrame (not the cell grid) as 80 x 50 cells at
    // the console's top-left corner. False only when the cell array could
    // not be allocated; the console's own refusal is not examined.
    bool present() override;

    platform::ConsoleHandle console_out = nullptr;  // the console's screen buffer, never closed
};

}  // namespace vexl
