#pragma once
// Turns console cell writes into terminal output: keeps a copy of what the
// terminal shows and emits only the cells that differ, with cursor moves
// and colour changes kept to the ones needed. One frame's output is one
// block inside synchronized-output marks, so the terminal shows it whole.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/terminal_colors.h"

namespace vexl::platform {

class FramePainter {
public:
    explicit FramePainter(ColorMode mode) : mode_(mode) {}

    ColorMode mode() const { return mode_; }

    // The terminal's size in cells. A change forgets what is shown: the
    // terminal may have reflowed or cleared.
    void set_screen_size(int rows, int cols);
    int rows() const { return rows_; }
    int cols() const { return cols_; }

    // Forgets what the terminal shows, so the next frame repaints every
    // cell it touches after clearing the screen.
    void invalidate();

    // Starts a frame whose output goes into `out` (cleared).
    void begin(std::string& out);
    // A cell of the frame; cells outside the screen are ignored.
    void put(int row, int col, std::uint8_t ch, std::uint8_t attr);
    // Ends the frame. False when nothing changed: then `out` is empty and
    // nothing needs to be sent.
    bool end();

private:
    void move_to(int row, int col);
    void set_colors(std::uint8_t attr, bool fg_seen, bool bg_seen);
    void append_number(int value);
    void append_color(bool background, int index);

    ColorMode mode_;
    int rows_ = 0;
    int cols_ = 0;
    std::vector<std::uint16_t> shown_;  // attr << 8 | ch of each cell's look
    std::vector<bool> known_;           // false: the terminal's cell is not known
    bool needs_clear_ = true;

    std::string* out_ = nullptr;
    bool dirty_ = false;
    int cursor_row_ = -1;
    int cursor_col_ = -1;
    int pen_fg_ = -1;  // colours the terminal draws with, -1 unknown
    int pen_bg_ = -1;
};

}  // namespace vexl::platform
