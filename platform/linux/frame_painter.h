#pragma once
// Turns console cell writes into terminal output: keeps a copy of what the
// terminal shows and emits only the cells that differ. One frame's output
// is one block inside synchronized-output marks, so the terminal shows it
// whole; within the block the cells need not come in screen order, which
// is what keeps the output small.
//
// Colour changes are the dearest part of the stream (up to 30 bytes for a
// 24-bit pair, against 1 to 3 bytes for a character and 3 to 8 for a
// cursor move). So the changed cells are collected first and sent colour by
// colour: every cell the current colours can draw goes out before the
// colours change again. Runs of blanks are erased in one sequence (ECH,
// which fills with the current background), and a short gap is written
// over rather than jumped when that is shorter.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/terminal_colors.h"

namespace vexl::platform {

class FramePainter {
public:
    explicit FramePainter(ColorMode mode);

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
    // A cell of the frame; cells outside the screen are ignored. A cell
    // given twice in one frame takes the later value.
    void put(int row, int col, std::uint8_t ch, std::uint8_t attr);
    // Ends the frame and writes its output. False when nothing changed:
    // then `out` is empty and nothing needs to be sent.
    bool end();

private:
    // The colours a cell needs: -1 where that colour can't be seen. Cells
    // wait in one group per need, (fg + 1) * 17 + (bg + 1).
    static constexpr int no_color = -1;
    static constexpr int group_count = 17 * 17;
    struct Pen {
        int fg = no_color;  // no_color here: not known
        int bg = no_color;
    };

    Pen choose_pen() const;
    int cells_served(Pen pen) const;
    void set_pen(Pen pen);
    void paint_pass();
    void paint_cell(std::uint32_t index);
    bool erase_run(std::uint32_t index);
    bool fits_pen(std::uint16_t look) const;
    void move_to(int row, int col);
    bool write_over_gap(int row, int col);
    int sgr_length(Pen pen) const;
    void append_sequence(int n, char final);
    void append_number(int value);

    ColorMode mode_;
    std::array<std::string, 16> fg_codes_;  // SGR parameters per colour
    std::array<std::string, 16> bg_codes_;

    int rows_ = 0;
    int cols_ = 0;
    std::vector<std::uint16_t> shown_;   // attr << 8 | ch of each cell's look
    std::vector<std::uint8_t> known_;    // 0: the terminal's cell is not known
    std::vector<std::int16_t> waiting_;  // the group a changed cell waits in, or -1
    std::vector<std::uint16_t> waiting_look_;  // the look a waiting cell is to get
    std::array<std::vector<std::uint32_t>, group_count> groups_;
    std::array<int, group_count> group_sizes_{};  // cells really waiting in each
    int waiting_count_ = 0;
    std::vector<std::uint32_t> pass_;  // the cells of the current colours
    bool needs_clear_ = true;

    std::string* out_ = nullptr;
    bool dirty_ = false;
    int cursor_row_ = -1;  // -1: not known
    int cursor_col_ = -1;
    Pen pen_;
};

}  // namespace vexl::platform
