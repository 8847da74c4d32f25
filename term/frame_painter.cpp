#include "term/frame_painter.h"

#include <algorithm>
#include <cstdlib>

#include "core/cp437.h"

namespace vexl::term {
namespace {

constexpr const char sync_begin[] = "\x1b[?2026h";
constexpr const char sync_end[] = "\x1b[?2026l";

// Blanks show only their background and a full block only its
// foreground: the other colour is neither compared nor set.
constexpr bool shows_foreground(char32_t ch)
{
    return ch != U' ' && ch != U'\u00A0';
}
constexpr bool shows_background(char32_t ch)
{
    return ch != U'\u2588';
}

// The fixed slot of a colour: 0 for none, 1-16 for the VGA colours, -1
// for any other.
constexpr int fixed_slot(Color c)
{
    return c == 0xFFFFFFFFu ? 0 : is_vga_color(c) ? static_cast<int>(c) + 1 : -1;
}

constexpr int digits(int value)
{
    int n = 1;
    for (; value >= 10; value /= 10)
        ++n;
    return n;
}

// Lengths of CSI sequences: a count or a 1-based position, left out when
// it is 1.
constexpr int count_length(int n)
{
    return n == 1 ? 3 : 3 + digits(n);
}
constexpr int position_length(int zero_based)
{
    return count_length(zero_based + 1);
}
constexpr int cup_length(int row, int col)
{
    return 3 + (row > 0 ? digits(row + 1) : 0) + (col > 0 ? 1 + digits(col + 1) : 0);
}

}  // namespace

FramePainter::FramePainter(ColorMode mode) : mode_(mode)
{
    for (int i = 0; i < 16; ++i) {
        switch (mode_) {
        case ColorMode::truecolor: {
            const Rgb c = vga_palette[i];
            const std::string rgb =
                std::to_string(c.r) + ";" + std::to_string(c.g) + ";" + std::to_string(c.b);
            fg_codes_[i] = "38;2;" + rgb;
            bg_codes_[i] = "48;2;" + rgb;
            break;
        }
        case ColorMode::palette256:
            fg_codes_[i] = "38;5;" + std::to_string(vga_xterm256[i]);
            bg_codes_[i] = "48;5;" + std::to_string(vga_xterm256[i]);
            break;
        case ColorMode::ansi16: {
            // Bright colours by their own codes, never by bold or blink.
            const int ansi = vga_to_ansi(i & 7);
            fg_codes_[i] = std::to_string(((i & 8) != 0 ? 90 : 30) + ansi);
            bg_codes_[i] = std::to_string(((i & 8) != 0 ? 100 : 40) + ansi);
            break;
        }
        }
    }
    groups_.resize(fixed_groups);
    for (int slot = 0; slot < fixed_groups; ++slot) {
        auto color = [](int fixed) { return fixed == 0 ? no_color : static_cast<Color>(fixed - 1); };
        groups_[static_cast<std::size_t>(slot)].need = Pen{color(slot / 17), color(slot % 17)};
    }
}

void FramePainter::set_screen_size(int rows, int cols)
{
    if (rows < 0)
        rows = 0;
    if (cols < 0)
        cols = 0;
    if (rows == rows_ && cols == cols_)
        return;
    rows_ = rows;
    cols_ = cols;
    const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    shown_.assign(cells, Cell{});
    known_.assign(cells, 0);
    waiting_.assign(cells, -1);
    waiting_look_.assign(cells, Cell{});
    forget_frame_groups();
    waiting_count_ = 0;
    needs_clear_ = true;
}

void FramePainter::invalidate()
{
    std::fill(known_.begin(), known_.end(), 0);
    needs_clear_ = true;
}

void FramePainter::begin(std::string& out)
{
    out.clear();
    out_ = &out;
    dirty_ = false;
    // Anything may have been written to the terminal between frames (a
    // message on stderr), so neither the cursor nor the pen is trusted.
    cursor_row_ = -1;
    cursor_col_ = -1;
    pen_ = Pen{};
    out.append(sync_begin);
    if (needs_clear_) {
        // Reset the colours first so the cleared area takes the terminal's
        // own background, not the last cell's.
        out.append("\x1b[0m\x1b[2J");
        needs_clear_ = false;
        dirty_ = true;
    }
}

void FramePainter::put(int row, int col, std::uint8_t ch, std::uint8_t attr)
{
    put(row, col, Cell{cp437_unicode[ch], static_cast<Color>(attr & 0x0F), static_cast<Color>(attr >> 4)});
}

// How a cell looks: NUL and space draw alike, and a colour that can't be
// seen is left out.
Cell FramePainter::look_of(const Cell& cell)
{
    const char32_t ch = cell.ch == 0 ? U' ' : cell.ch;
    return Cell{ch, shows_foreground(ch) ? cell.fg : no_color, shows_background(ch) ? cell.bg : no_color};
}

int FramePainter::find_group(Pen need) const
{
    const int fg = fixed_slot(need.fg), bg = fixed_slot(need.bg);
    if (fg >= 0 && bg >= 0)
        return fg * 17 + bg;
    return frame_groups_.find(std::uint64_t{need.fg} << 32 | need.bg);
}

// The group of a pair of colours, made when there is none yet.
int FramePainter::group_of(Pen need)
{
    int group = find_group(need);
    if (group < 0) {
        // A slot of an earlier frame's is used again, its cells' room kept.
        group = used_groups_++;
        if (static_cast<std::size_t>(group) == groups_.size())
            groups_.emplace_back();
        groups_[static_cast<std::size_t>(group)].need = need;
        frame_groups_.insert(std::uint64_t{need.fg} << 32 | need.bg, group);
    }
    return group;
}

int FramePainter::group_size(Color fg, Color bg) const
{
    const int group = find_group(Pen{fg, bg});
    return group < 0 ? 0 : groups_[static_cast<std::size_t>(group)].size;
}

void FramePainter::put(int row, int col, const Cell& cell)
{
    if (row < 0 || col < 0 || row >= rows_ || col >= cols_)
        return;
    const auto index = static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
                       static_cast<std::size_t>(col);
    if (waiting_[index] >= 0) {  // given before in this frame
        --groups_[static_cast<std::size_t>(waiting_[index])].size;
        --waiting_count_;
        waiting_[index] = -1;
    }
    const Cell look = look_of(cell);
    if (known_[index] != 0 && shown_[index] == look)
        return;
    const int group = group_of(Pen{look.fg, look.bg});
    Group& g = groups_[static_cast<std::size_t>(group)];
    waiting_[index] = group;
    waiting_look_[index] = look;
    g.cells.push_back(static_cast<std::uint32_t>(index));
    ++g.size;
    if (!g.listed) {
        g.listed = true;
        listed_.push_back(group);
    }
    ++waiting_count_;
}

bool FramePainter::end()
{
    if (waiting_count_ == 0 && !dirty_) {
        forget_frame_groups();
        out_->clear();
        out_ = nullptr;
        return false;
    }
    if (listed_.size() > fixed_groups) {
        // Too many colours (a scaled picture in 24 bits) to weigh them all
        // before each change: the largest groups go first.
        std::vector<int> order = listed_;
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return groups_[static_cast<std::size_t>(a)].size > groups_[static_cast<std::size_t>(b)].size;
        });
        for (const int group : order) {
            const Pen need = groups_[static_cast<std::size_t>(group)].need;
            if (groups_[static_cast<std::size_t>(group)].size == 0)
                continue;
            set_pen(Pen{need.fg != no_color ? need.fg : pen_.fg, need.bg != no_color ? need.bg : pen_.bg});
            paint_pass();
        }
    }
    while (waiting_count_ > 0) {
        const Pen pen = choose_pen();
        if (cells_served(pen) == 0)
            break;  // (the counts went wrong: better a stale cell than no end)
        set_pen(pen);
        paint_pass();
    }
    forget_frame_groups();
    out_->append(sync_end);
    out_ = nullptr;
    return true;
}

void FramePainter::forget_frame_groups()
{
    for (const int group : listed_) {
        Group& g = groups_[static_cast<std::size_t>(group)];
        g.cells.clear();
        g.size = 0;
        g.listed = false;
    }
    listed_.clear();
    used_groups_ = fixed_groups;
    frame_groups_.clear();
}

int FramePainter::GroupIndex::find(std::uint64_t key) const
{
    if (slots_.empty())
        return -1;
    for (std::size_t at = slot_of(key);; at = (at + 1) & (slots_.size() - 1)) {
        const Slot& slot = slots_[at];
        if (slot.generation != generation_)
            return -1;
        if (slot.key == key)
            return slot.group;
    }
}

void FramePainter::GroupIndex::insert(std::uint64_t key, int group)
{
    if (2 * (count_ + 1) > slots_.size()) {
        const std::vector<Slot> old = std::move(slots_);
        const std::uint32_t old_generation = generation_;
        slots_.assign(std::max<std::size_t>(64, 2 * old.size()), Slot{});
        generation_ = 1;
        count_ = 0;
        for (const Slot& slot : old)
            if (slot.generation == old_generation)
                insert(slot.key, slot.group);
    }
    std::size_t at = slot_of(key);
    while (slots_[at].generation == generation_)
        at = (at + 1) & (slots_.size() - 1);
    slots_[at] = Slot{key, group, generation_};
    ++count_;
}

void FramePainter::GroupIndex::clear()
{
    count_ = 0;
    if (++generation_ == 0) {  // after 2^32 frames: the slots are made empty again
        std::fill(slots_.begin(), slots_.end(), Slot{});
        generation_ = 1;
    }
}

// The next colours: the ones that draw the most waiting cells; of those,
// the ones cheapest to change to. Only one colour changes when the cells
// of one group need only one.
FramePainter::Pen FramePainter::choose_pen() const
{
    Pen best;
    int best_served = 0, best_cost = 0;
    for (const int group : listed_) {
        const Group& g = groups_[static_cast<std::size_t>(group)];
        if (g.size == 0)
            continue;
        const Pen pen{g.need.fg != no_color ? g.need.fg : pen_.fg, g.need.bg != no_color ? g.need.bg : pen_.bg};
        const int served = cells_served(pen);
        const int cost = sgr_length(pen);
        if (served > best_served || (served == best_served && cost < best_cost)) {
            best = pen;
            best_served = served;
            best_cost = cost;
        }
    }
    return best;
}

// The waiting cells that `pen` draws: those that need its two colours,
// and those that need only one of them.
int FramePainter::cells_served(Pen pen) const
{
    int served = 0;
    if (pen.bg != no_color)
        served += group_size(no_color, pen.bg);
    if (pen.fg != no_color)
        served += group_size(pen.fg, no_color);
    if (pen.fg != no_color && pen.bg != no_color)
        served += group_size(pen.fg, pen.bg);
    return served;
}

int FramePainter::color_length(Color c, bool foreground) const
{
    if (is_vga_color(c))
        return static_cast<int>((foreground ? fg_codes_ : bg_codes_)[c].size());
    if (is_rgb_color(c))  // 38;2;R;G;B
        return 8 + digits(static_cast<int>(c >> 16 & 0xFF)) + digits(static_cast<int>(c >> 8 & 0xFF)) +
               digits(static_cast<int>(c & 0xFF));
    return 5 + digits(static_cast<int>(c & 0xFF));  // 38;5;N
}

void FramePainter::append_color(Color c, bool foreground)
{
    if (is_vga_color(c)) {
        out_->append((foreground ? fg_codes_ : bg_codes_)[c]);
        return;
    }
    out_->append(foreground ? "38;" : "48;");
    if (is_rgb_color(c)) {
        out_->append("2;");
        append_number(static_cast<int>(c >> 16 & 0xFF));
        out_->push_back(';');
        append_number(static_cast<int>(c >> 8 & 0xFF));
        out_->push_back(';');
        append_number(static_cast<int>(c & 0xFF));
    } else {
        out_->append("5;");
        append_number(static_cast<int>(c & 0xFF));
    }
}

int FramePainter::sgr_length(Pen pen) const
{
    const bool fg = pen.fg != no_color && pen.fg != pen_.fg;
    const bool bg = pen.bg != no_color && pen.bg != pen_.bg;
    if (!fg && !bg)
        return 0;
    return 3 + (fg ? color_length(pen.fg, true) : 0) + (bg ? color_length(pen.bg, false) : 0) + (fg && bg ? 1 : 0);
}

void FramePainter::set_pen(Pen pen)
{
    const bool fg = pen.fg != no_color && pen.fg != pen_.fg;
    const bool bg = pen.bg != no_color && pen.bg != pen_.bg;
    if (!fg && !bg)
        return;
    out_->append("\x1b[");
    if (fg)
        append_color(pen.fg, true);
    if (fg && bg)
        out_->push_back(';');
    if (bg)
        append_color(pen.bg, false);
    out_->push_back('m');
    if (fg)
        pen_.fg = pen.fg;
    if (bg)
        pen_.bg = pen.bg;
}

// Draws every waiting cell the current colours can draw, in screen order.
void FramePainter::paint_pass()
{
    pass_.clear();
    // A group keeps its cells in the order they were given, which is
    // screen order when a frame comes row by row: then merging the groups
    // is all the sorting needed.
    auto take = [&](Color fg, Color bg) {
        const int group = find_group(Pen{fg, bg});
        if (group < 0)
            return;
        Group& g = groups_[static_cast<std::size_t>(group)];
        const auto start = static_cast<std::ptrdiff_t>(pass_.size());
        for (const std::uint32_t index : g.cells)
            if (waiting_[index] == group)  // not given again since
                pass_.push_back(index);
        g.cells.clear();
        g.size = 0;
        if (!std::is_sorted(pass_.begin() + start, pass_.end()))
            std::sort(pass_.begin() + start, pass_.end());
        std::inplace_merge(pass_.begin(), pass_.begin() + start, pass_.end());
    };
    if (pen_.bg != no_color)
        take(no_color, pen_.bg);
    if (pen_.fg != no_color)
        take(pen_.fg, no_color);
    if (pen_.fg != no_color && pen_.bg != no_color)
        take(pen_.fg, pen_.bg);
    for (const std::uint32_t index : pass_)
        if (waiting_[index] >= 0)
            paint_cell(index);
}

void FramePainter::paint_cell(std::uint32_t index)
{
    if (erase_run(index))
        return;
    const int row = static_cast<int>(index) / cols_;
    const int col = static_cast<int>(index) % cols_;
    move_to(row, col);
    shown_[index] = waiting_look_[index];
    out_->append(to_utf8(shown_[index].ch).view());
    known_[index] = 1;
    waiting_[index] = -1;
    --waiting_count_;
    dirty_ = true;
    // After the last column the cursor waits to wrap; where it really is
    // then differs between terminals, so it is taken as unknown.
    if (col + 1 < cols_)
        cursor_col_ = col + 1;
    else
        cursor_row_ = cursor_col_ = -1;
}

// A blank that starts a run of blanks in the current background is erased
// together with them in one ECH when that is shorter than spaces. The run
// may span cells that already show that blank and cells still waiting for
// another colour (those are drawn later anyway). The cursor stays put.
bool FramePainter::erase_run(std::uint32_t index)
{
    const Cell blank = waiting_look_[index];
    if (blank.ch != U' ')
        return false;
    const int row = static_cast<int>(index) / cols_;
    const int col = static_cast<int>(index) % cols_;
    int last = col;
    int blanks = 1;
    for (int c = col + 1; c < cols_; ++c) {
        const std::size_t i = index + static_cast<std::size_t>(c - col);
        if (waiting_[i] >= 0) {
            if (waiting_look_[i] == blank) {
                ++blanks;
                last = c;
            }
            continue;
        }
        if (known_[i] == 0 || shown_[i] != blank)
            break;
    }
    const int length = last - col + 1;
    // The cursor stays at the run's start, so the next cell may cost a
    // move that spaces would have saved: ECH must be shorter.
    if (blanks <= count_length(length))
        return false;
    move_to(row, col);
    append_sequence(length, 'X');
    for (int c = col; c <= last; ++c) {
        const std::size_t i = index + static_cast<std::size_t>(c - col);
        if (waiting_[i] >= 0 && waiting_look_[i] == blank) {
            shown_[i] = blank;
            known_[i] = 1;
            waiting_[i] = -1;
            --waiting_count_;
        }
    }
    dirty_ = true;
    return true;
}

bool FramePainter::fits_pen(const Cell& look) const
{
    return (look.fg == no_color || look.fg == pen_.fg) && (look.bg == no_color || look.bg == pen_.bg);
}

// Moving right by a few cells: writing them again (or, for cells still
// waiting for other colours, a space that is drawn over later) may be
// shorter than a cursor move.
bool FramePainter::write_over_gap(int row, int col)
{
    const int gap = col - cursor_col_;
    // A move is at least 3 bytes and a cell at least 1.
    if (row != cursor_row_ || gap < 1 || gap > 3)
        return false;
    const std::size_t first = static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
                              static_cast<std::size_t>(cursor_col_);
    int length = 0;
    for (std::size_t i = first; i < first + static_cast<std::size_t>(gap); ++i) {
        if (waiting_[i] >= 0)
            length += 1;
        else if (known_[i] != 0 && fits_pen(shown_[i]))
            length += to_utf8(shown_[i].ch).length;
        else
            return false;
    }
    if (length >= count_length(gap))
        return false;
    for (std::size_t i = first; i < first + static_cast<std::size_t>(gap); ++i)
        out_->append(waiting_[i] >= 0 ? std::string_view(" ") : to_utf8(shown_[i].ch).view());
    cursor_col_ = col;
    return true;
}

// The shortest way there: each direction moved relative to a known cursor
// (CUU, CUD, CUB, CUF) or to a position (VPA, CHA), or both at once (CUP).
void FramePainter::move_to(int row, int col)
{
    if (row == cursor_row_ && col == cursor_col_)
        return;
    const bool known = cursor_row_ >= 0 && cursor_col_ >= 0;
    if (known && write_over_gap(row, col))
        return;
    const int down = row - cursor_row_, right = col - cursor_col_;
    const bool down_relative = count_length(std::abs(down)) <= position_length(row);
    const bool right_relative = count_length(std::abs(right)) <= position_length(col);
    const int vertical = down == 0 ? 0 : down_relative ? count_length(std::abs(down)) : position_length(row);
    const int horizontal = right == 0 ? 0 : right_relative ? count_length(std::abs(right)) : position_length(col);
    if (known && vertical + horizontal < cup_length(row, col)) {
        if (down != 0) {
            if (down_relative)
                append_sequence(std::abs(down), down > 0 ? 'B' : 'A');
            else
                append_sequence(row + 1, 'd');
        }
        if (right != 0) {
            if (right_relative)
                append_sequence(std::abs(right), right > 0 ? 'C' : 'D');
            else
                append_sequence(col + 1, 'G');
        }
    } else {
        out_->append("\x1b[");
        if (row > 0)
            append_number(row + 1);
        if (col > 0) {
            out_->push_back(';');
            append_number(col + 1);
        }
        out_->push_back('H');
    }
    cursor_row_ = row;
    cursor_col_ = col;
}

// CSI n `final`, with n left out when it is 1.
void FramePainter::append_sequence(int n, char final)
{
    out_->append("\x1b[");
    if (n != 1)
        append_number(n);
    out_->push_back(final);
}

void FramePainter::append_number(int value)
{
    char digits_buffer[12];
    int n = 0;
    do {
        digits_buffer[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        out_->push_back(digits_buffer[--n]);
}

ColorMode detect_color_mode(const char* colorterm, const char* term)
{
    const std::string ct = colorterm != nullptr ? colorterm : "";
    if (ct == "truecolor" || ct == "24bit")
        return ColorMode::truecolor;
    const std::string t = term != nullptr ? term : "";
    if (t.find("256color") != std::string::npos)
        return ColorMode::palette256;
    return ColorMode::ansi16;
}

}  // namespace vexl::term
