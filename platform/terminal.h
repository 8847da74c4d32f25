#pragma once
// The text console the console screen draws into. On Linux it is the
// process's terminal; the calls keep the shape of the classic console API
// (allocate, title, cursor, buffer size, window, cell write, free) so the
// screen code reads like its design.

#include <cstdint>

#include "platform/service.h"

namespace vexl::platform {

// One cell of a cell write: the character (only the low byte, a CP437
// code, is used) and the attribute word (bits 0-3 foreground colour,
// 4-7 background colour, upper byte unused). 4 bytes, as the classic
// CHAR_INFO record.
struct CharInfo {
    std::uint16_t ch = 0;
    std::uint16_t attributes = 0;
};
static_assert(sizeof(CharInfo) == 4);

// Console coordinates: X is the column, Y the row.
struct Coord {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

struct SmallRect {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
};

struct CursorInfo {
    std::uint32_t size = 1;  // percent of the cell the cursor fills
    bool visible = true;
};

// A console screen buffer, opaque to its users.
struct ConsoleBuffer;
using ConsoleHandle = ConsoleBuffer*;

enum class StdHandle { input, output, error };

class Terminal {
public:
    virtual ~Terminal() = default;

    // Takes the terminal over for the console. False when a console is
    // already allocated (the existing one stays usable).
    virtual bool alloc_console() = 0;
    // The console's screen buffer for `output`; null for the others, and
    // when there is no terminal to show anything in.
    virtual ConsoleHandle get_std_handle(StdHandle which) = 0;
    virtual bool set_title(const char* title) = 0;
    virtual bool set_cursor_info(ConsoleHandle console, const CursorInfo& info) = 0;
    virtual bool set_screen_buffer_size(ConsoleHandle console, Coord size) = 0;
    virtual bool set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window) = 0;
    // Writes the cells of `region` (inclusive, console coordinates) from
    // `cells`, a buffer of `buffer_size` cells whose element at
    // `buffer_origin` goes to the region's top-left corner. The region is
    // clipped to the console; on return it holds the part written.
    virtual bool write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                              Coord buffer_origin, SmallRect& region) = 0;
    // Gives the terminal back to the user as it was found.
    virtual bool free_console() = 0;
};

inline Terminal& terminal() { return service<Terminal>(); }

}  // namespace vexl::platform
