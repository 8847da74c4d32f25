#pragma once
// Just enough of a terminal to check what the console sends: cursor
// positioning (CUP, VPA, CHA, and CUU, CUD, CUF, CUB stopping at the
// edges), colours (SGR 0, 30-37, 38;2, 38;5, 40-47, 48;2, 48;5, 90-97,
// 100-107), erase display and erase characters (both filling with the
// current background, as xterm, tmux, VTE, kitty and alacritty do), UTF-8
// text with xterm's deferred wrap, the private modes that are switched
// (alternate screen, cursor, synchronized output), status requests
// (counted, for whoever answers them) and CAN, which cancels a sequence.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vexl::testing {

struct VtColor {
    enum Kind { none, ansi, index256, rgb } kind = none;
    int value = 0;
    bool operator==(const VtColor&) const = default;
};

struct VtCell {
    char32_t ch = U' ';
    VtColor fg, bg;
    bool operator==(const VtCell&) const = default;
};

class VtScreen {
public:
    VtScreen(int rows, int cols) : rows_(rows), cols_(cols), cells_(static_cast<std::size_t>(rows * cols)) {}

    void feed(std::string_view bytes)
    {
        for (char c : bytes)
            feed_byte(static_cast<unsigned char>(c));
    }

    const VtCell& at(int row, int col) const { return cells_[static_cast<std::size_t>(row * cols_ + col)]; }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

    std::map<int, bool> private_modes;  // last h/l seen per private mode
    std::vector<std::string> titles;    // OSC 0 texts
    int sync_frames = 0;                // ?2026l seen
    int erases = 0;                     // ECH seen
    int status_requests = 0;            // CSI 5 n seen
    bool bad_sequence = false;          // something this parser does not know
    bool wrote_outside = false;         // a character or a move beyond the screen

private:
    void feed_byte(unsigned char b)
    {
        if (b == 0x18) {  // CAN: whatever sequence was begun is dropped
            state_ = State::text;
            utf8_left_ = 0;
            return;
        }
        switch (state_) {
        case State::text:
            if (b == 0x1B) {
                state_ = State::escape;
            } else if (utf8_left_ > 0) {
                code_ = (code_ << 6) | (b & 0x3F);
                if (--utf8_left_ == 0)
                    print(code_);
            } else if (b >= 0xF0) {
                code_ = b & 0x07;
                utf8_left_ = 3;
            } else if (b >= 0xE0) {
                code_ = b & 0x0F;
                utf8_left_ = 2;
            } else if (b >= 0xC0) {
                code_ = b & 0x1F;
                utf8_left_ = 1;
            } else if (b >= 0x20) {
                print(b);
            } else {
                bad_sequence = true;
            }
            break;
        case State::escape:
            if (b == '[') {
                state_ = State::csi;
                params_.clear();
            } else if (b == ']') {
                state_ = State::osc;
                params_.clear();
            } else {
                bad_sequence = true;
                state_ = State::text;
            }
            break;
        case State::csi:
            if (b >= 0x40 && b <= 0x7E) {
                csi(static_cast<char>(b));
                state_ = State::text;
            } else {
                params_.push_back(static_cast<char>(b));
            }
            break;
        case State::osc:
            if (b == 0x07) {
                if (params_.rfind("0;", 0) == 0)
                    titles.push_back(params_.substr(2));
                state_ = State::text;
            } else {
                params_.push_back(static_cast<char>(b));
            }
            break;
        }
    }

    static int first_or_one(const std::vector<int>& n, std::size_t i)
    {
        return i < n.size() && n[i] > 0 ? n[i] : 1;
    }
    // Terminals stop the cursor at the edges; the console never relies on
    // that, so a move past an edge counts as a fault.
    int clamp(int value, int size)
    {
        if (value < 0 || value >= size)
            wrote_outside = true;
        return value < 0 ? 0 : value >= size ? size - 1 : value;
    }

    std::vector<int> numbers() const
    {
        std::vector<int> out;
        std::string_view p = params_;
        if (!p.empty() && p[0] == '?')
            p.remove_prefix(1);
        int value = 0;
        bool any = false;
        for (char c : p) {
            if (c == ';') {
                out.push_back(any ? value : 0);
                value = 0;
                any = false;
            } else {
                value = value * 10 + (c - '0');
                any = true;
            }
        }
        out.push_back(any ? value : 0);
        return out;
    }

    void csi(char final)
    {
        const std::vector<int> n = numbers();
        const bool is_private = !params_.empty() && params_[0] == '?';
        switch (final) {
        case 'H':
            row_ = clamp(first_or_one(n, 0) - 1, rows_);
            col_ = clamp(first_or_one(n, 1) - 1, cols_);
            pending_wrap_ = false;
            break;
        case 'd':
            row_ = clamp(first_or_one(n, 0) - 1, rows_);
            pending_wrap_ = false;
            break;
        case 'G':
            col_ = clamp(first_or_one(n, 0) - 1, cols_);
            pending_wrap_ = false;
            break;
        case 'A':
            row_ = clamp(row_ - first_or_one(n, 0), rows_);
            pending_wrap_ = false;
            break;
        case 'B':
            row_ = clamp(row_ + first_or_one(n, 0), rows_);
            pending_wrap_ = false;
            break;
        case 'C':
            col_ = clamp(col_ + first_or_one(n, 0), cols_);
            pending_wrap_ = false;
            break;
        case 'D':
            col_ = clamp(col_ - first_or_one(n, 0), cols_);
            pending_wrap_ = false;
            break;
        case 'X':
            // The cursor stays; the count stops at the right edge.
            for (int c = col_; c < cols_ && c < col_ + first_or_one(n, 0); ++c)
                cells_[static_cast<std::size_t>(row_ * cols_ + c)] = VtCell{U' ', {}, bg_};
            ++erases;
            pending_wrap_ = false;
            break;
        case 'J':
            if (n[0] == 2)
                for (VtCell& c : cells_)
                    c = VtCell{U' ', {}, bg_};
            break;
        case 'm':
            sgr(n);
            break;
        case 'h':
        case 'l':
            if (!is_private) {
                bad_sequence = true;
                break;
            }
            private_modes[n[0]] = final == 'h';
            if (n[0] == 2026 && final == 'l')
                ++sync_frames;
            break;
        case 't':
            break;  // window operations: nothing to show
        case 'n':
            if (n[0] == 5)
                ++status_requests;
            else
                bad_sequence = true;
            break;
        case 'c':
            if (n[0] != 0)  // the device attributes, asked for
                bad_sequence = true;
            break;
        default:
            bad_sequence = true;
        }
    }

    void sgr(const std::vector<int>& n)
    {
        for (std::size_t i = 0; i < n.size(); ++i) {
            const int v = n[i];
            if (v == 0) {
                fg_ = bg_ = VtColor{};
            } else if (v == 39) {
                fg_ = VtColor{};
            } else if (v == 49) {
                bg_ = VtColor{};
            } else if ((v == 38 || v == 48) && i + 1 < n.size()) {
                VtColor c;
                if (n[i + 1] == 2 && i + 4 < n.size()) {
                    c = {VtColor::rgb, n[i + 2] << 16 | n[i + 3] << 8 | n[i + 4]};
                    i += 4;
                } else if (n[i + 1] == 5 && i + 2 < n.size()) {
                    c = {VtColor::index256, n[i + 2]};
                    i += 2;
                } else {
                    bad_sequence = true;
                }
                (v == 38 ? fg_ : bg_) = c;
            } else if (v >= 30 && v <= 37) {
                fg_ = {VtColor::ansi, v - 30};
            } else if (v >= 90 && v <= 97) {
                fg_ = {VtColor::ansi, v - 90 + 8};
            } else if (v >= 40 && v <= 47) {
                bg_ = {VtColor::ansi, v - 40};
            } else if (v >= 100 && v <= 107) {
                bg_ = {VtColor::ansi, v - 100 + 8};
            } else {
                bad_sequence = true;  // bold, blink or anything else
            }
        }
    }

    void print(char32_t c)
    {
        if (pending_wrap_) {
            row_ += 1;
            col_ = 0;
            pending_wrap_ = false;
        }
        if (row_ < 0 || row_ >= rows_ || col_ < 0 || col_ >= cols_) {
            wrote_outside = true;
            return;
        }
        cells_[static_cast<std::size_t>(row_ * cols_ + col_)] = VtCell{c, fg_, bg_};
        if (col_ + 1 == cols_)
            pending_wrap_ = true;
        else
            ++col_;
    }

    enum class State { text, escape, csi, osc } state_ = State::text;
    std::string params_;
    char32_t code_ = 0;
    int utf8_left_ = 0;
    int rows_, cols_;
    int row_ = 0, col_ = 0;
    bool pending_wrap_ = false;
    VtColor fg_, bg_;
    std::vector<VtCell> cells_;
};

}  // namespace vexl::testing
