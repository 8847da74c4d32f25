#pragma once
// Turns terminal cells into terminal output: keeps a copy of what the
// terminal shows and emits only the cells that differ. It builds bytes and
// never writes them: whoever sends them must send all of them (or forget
// what is shown with invalidate()). One frame's output
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

#include "term/terminal_colors.h"

namespace vexl::term {

// One terminal cell: any character of one column and its two colours.
struct Cell {
    char32_t ch = U' ';
    Color fg = 7;
    Color bg = 0;
    bool operator==(const Cell&) const = default;
};

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
    void put(int row, int col, const Cell& cell);
    // A console cell: a CP437 code in VGA colours (attribute bits 0-3
    // foreground, 4-7 background).
    void put(int row, int col, std::uint8_t ch, std::uint8_t attr);
    // Ends the frame and writes its output. False when nothing changed:
    // then `out` is empty and nothing needs to be sent.
    bool end();

private:
    // Cells wait in one group per pair of colours they need; a colour that
    // can't be seen is no_color. The pairs of VGA colours have fixed
    // slots, any other pair a slot made for the frame.
    static constexpr Color no_color = 0xFFFFFFFFu;
    static constexpr int fixed_groups = 17 * 17;
    struct Pen {
        Color fg = no_color;  // no_color here: not known
        Color bg = no_color;
    };
    struct Group {
        Pen need;
        std::vector<std::uint32_t> cells;
        int size = 0;  // cells really waiting in it
        bool listed = false;
    };

    static Cell look_of(const Cell& cell);
    int group_of(Pen need);
    int find_group(Pen need) const;
    int group_size(Color fg, Color bg) const;
    Pen choose_pen() const;
    int cells_served(Pen pen) const;
    void set_pen(Pen pen);
    void paint_pass();
    void paint_cell(std::uint32_t index);
    bool erase_run(std::uint32_t index);
    bool fits_pen(const Cell& look) const;
    void move_to(int row, int col);
    bool write_over_gap(int row, int col);
    int sgr_length(Pen pen) const;
    int color_length(Color c, bool foreground) const;
    void append_color(Color c, bool foreground);
    void append_sequence(int n, char final);
    void append_number(int value);
    void forget_frame_groups();

    ColorMode mode_;
    std::array<std::string, 16> fg_codes_;  // SGR parameters per colour
    std::array<std::string, 16> bg_codes_;

    int rows_ = 0;
    int cols_ = 0;
    std::vector<Cell> shown_;            // each cell's look
    std::vector<std::uint8_t> known_;    // 0: the terminal's cell is not known
    std::vector<std::int32_t> waiting_;  // the group a changed cell waits in, or -1
    std::vector<Cell> waiting_look_;     // the look a waiting cell is to get
    // The groups of the frame's own pairs by their colours: open
    // addressing, emptied by starting a new generation, its room kept
    // from frame to frame (a scaled picture brings hundreds of pairs).
    class GroupIndex {
    public:
        int find(std::uint64_t key) const;  // -1: none
        void insert(std::uint64_t key, int group);
        void clear();

    private:
        struct Slot {
            std::uint64_t key = 0;
            int group = -1;
            std::uint32_t generation = 0;  // the slot is taken in this generation
        };
        std::size_t slot_of(std::uint64_t key) const
        {
            return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
        }
        std::vector<Slot> slots_;
        std::uint32_t generation_ = 1;
        std::size_t count_ = 0;
    };

    std::vector<Group> groups_;          // the fixed slots, then the frame's own
    int used_groups_ = fixed_groups;     // of groups_, the fixed and this frame's
    GroupIndex frame_groups_;
    std::vector<int> listed_;            // groups that have had cells this frame
    int waiting_count_ = 0;
    std::vector<std::uint32_t> pass_;  // the cells of the current colours
    bool needs_clear_ = true;

    std::string* out_ = nullptr;
    bool dirty_ = false;
    int cursor_row_ = -1;  // -1: not known
    int cursor_col_ = -1;
    Pen pen_;
};

}  // namespace vexl::term
