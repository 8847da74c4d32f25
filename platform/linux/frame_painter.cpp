#include "platform/linux/frame_painter.h"

#include "platform/linux/cp437.h"

namespace vexl::platform {
namespace {

constexpr const char sync_begin[] = "\x1b[?2026h";

// Blanks show only their background and a full block only its
// foreground: the other colour is neither compared nor set.
constexpr bool shows_foreground(std::uint8_t ch)
{
    return ch != 0x00 && ch != 0x20 && ch != 0xFF;
}
constexpr bool shows_background(std::uint8_t ch)
{
    return ch != 0xDB;
}
constexpr const char sync_end[] = "\x1b[?2026l";

}  // namespace

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
    shown_.assign(cells, 0);
    known_.assign(cells, false);
    needs_clear_ = true;
}

void FramePainter::invalidate()
{
    known_.assign(known_.size(), false);
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
    pen_fg_ = pen_bg_ = -1;
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
    if (row < 0 || col < 0 || row >= rows_ || col >= cols_)
        return;
    const auto index = static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
                       static_cast<std::size_t>(col);
    const bool fg_seen = shows_foreground(ch);
    const bool bg_seen = shows_background(ch);
    // Cells that look the same are the same: NUL and space draw alike,
    // and a colour that can't be seen doesn't count.
    const std::uint8_t look_ch = ch == 0x00 ? 0x20 : ch;
    const auto look_attr = static_cast<std::uint8_t>((fg_seen ? attr & 0x0F : 0) | (bg_seen ? attr & 0xF0 : 0));
    const auto value = static_cast<std::uint16_t>(look_attr << 8 | look_ch);
    if (known_[index] && shown_[index] == value)
        return;
    shown_[index] = value;
    known_[index] = true;
    dirty_ = true;

    move_to(row, col);
    set_colors(attr, fg_seen, bg_seen);
    out_->append(cp437_utf8[ch].view());
    // After the last column the cursor waits to wrap; where it really is
    // then differs between terminals, so it is taken as unknown.
    if (col + 1 < cols_)
        cursor_col_ = col + 1;
    else
        cursor_row_ = cursor_col_ = -1;
}

bool FramePainter::end()
{
    if (!dirty_) {
        out_->clear();
        out_ = nullptr;
        return false;
    }
    out_->append(sync_end);
    out_ = nullptr;
    return true;
}

void FramePainter::move_to(int row, int col)
{
    if (row == cursor_row_ && col == cursor_col_)
        return;
    if (row == cursor_row_ && cursor_col_ >= 0 && col > cursor_col_) {
        // Forward on the same row: shorter than a full position.
        out_->append("\x1b[");
        if (col - cursor_col_ > 1)
            append_number(col - cursor_col_);
        out_->push_back('C');
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

void FramePainter::set_colors(std::uint8_t attr, bool fg_seen, bool bg_seen)
{
    const int fg = attr & 0x0F;
    const int bg = attr >> 4;
    const bool fg_changed = fg_seen && pen_fg_ != fg;
    const bool bg_changed = bg_seen && pen_bg_ != bg;
    if (!fg_changed && !bg_changed)
        return;
    out_->append("\x1b[");
    if (fg_changed)
        append_color(false, fg);
    if (fg_changed && bg_changed)
        out_->push_back(';');
    if (bg_changed)
        append_color(true, bg);
    out_->push_back('m');
    if (fg_changed)
        pen_fg_ = fg;
    if (bg_changed)
        pen_bg_ = bg;
}

void FramePainter::append_color(bool background, int index)
{
    switch (mode_) {
    case ColorMode::truecolor: {
        const Rgb c = vga_palette[index];
        out_->append(background ? "48;2;" : "38;2;");
        append_number(c.r);
        out_->push_back(';');
        append_number(c.g);
        out_->push_back(';');
        append_number(c.b);
        break;
    }
    case ColorMode::palette256:
        out_->append(background ? "48;5;" : "38;5;");
        append_number(vga_xterm256[index]);
        break;
    case ColorMode::ansi16: {
        // Bright colours by their own codes, never by bold or blink.
        const int base = (index & 8) != 0 ? (background ? 100 : 90) : (background ? 40 : 30);
        append_number(base + vga_to_ansi(index & 7));
        break;
    }
    }
}

void FramePainter::append_number(int value)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        out_->push_back(digits[--n]);
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

}  // namespace vexl::platform
