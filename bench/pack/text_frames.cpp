#include "bench/pack/text_frames.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace vexl::bench {
namespace {

constexpr int rows = 50;
constexpr int cols = 80;

constexpr std::string_view script[] = {
    "In the beginning there was the text mode, eighty columns wide,",
    "fifty rows tall, sixteen colours and a font of eight by eight.",
    "Every frame is a screenful of cells, a character and a colour,",
    "packed into blocks and unpacked again twenty-five times a second.",
    "Greetings go out to everybody who still counts cycles for fun,",
    "to the trackers, the pixel pushers and the people behind the code.",
    "",
    "  * shade characters make gradients: light, medium, dark, full",
    "  * box characters make windows: double lines, single lines",
    "  * colour attributes make the rest: 4 bits front, 4 bits back",
    "",
    "The soundtrack keeps the time; the frames follow the clock.",
    "When the music ends the show ends, exactly 706 seconds in.",
    "",
};
constexpr int script_lines = static_cast<int>(std::size(script));

constexpr std::array<std::uint8_t, 4> shades = {0xB0, 0xB1, 0xB2, 0xDB};
constexpr std::array<std::uint8_t, 8> warm = {0x04, 0x0C, 0x06, 0x0E, 0x0F, 0x0E, 0x06, 0x0C};
constexpr std::array<std::uint8_t, 8> cold = {0x01, 0x09, 0x03, 0x0B, 0x0F, 0x0B, 0x03, 0x09};

struct Canvas {
    std::span<std::uint8_t, 8000> cells;
    void put(int row, int col, std::uint8_t ch, std::uint8_t attr)
    {
        if (row < 0 || row >= rows || col < 0 || col >= cols)
            return;
        cells[static_cast<std::size_t>(row * cols + col) * 2] = ch;
        cells[static_cast<std::size_t>(row * cols + col) * 2 + 1] = attr;
    }
    void text(int row, int col, std::string_view s, std::uint8_t attr)
    {
        for (char c : s)
            put(row, col++, static_cast<std::uint8_t>(c), attr);
    }
};

void gradient(Canvas& canvas, std::uint32_t t)
{
    const auto& palette = (t / 500) % 2 == 0 ? warm : cold;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            // A slow diagonal wave: level 0-31 picks a colour pair and a shade.
            const int wave = (c + r * 2 + static_cast<int>(t / 2)) % 64;
            const int level = wave < 32 ? wave : 63 - wave;
            const std::uint8_t fg = palette[static_cast<std::size_t>(level / 4)];
            const std::uint8_t bg = palette[static_cast<std::size_t>((level / 4 + 7) % 8)] & 0x07;
            canvas.put(r, c, shades[static_cast<std::size_t>(level % 4)],
                       static_cast<std::uint8_t>(bg << 4 | fg));
        }
    }
}

void box(Canvas& canvas, int top, int left, int height, int width, std::uint8_t attr)
{
    for (int r = top; r < top + height; ++r) {
        for (int c = left; c < left + width; ++c) {
            const bool edge_r = r == top || r == top + height - 1;
            const bool edge_c = c == left || c == left + width - 1;
            std::uint8_t ch = ' ';
            if (edge_r && edge_c)
                ch = r == top ? (c == left ? 0xC9 : 0xBB) : (c == left ? 0xC8 : 0xBC);
            else if (edge_r)
                ch = 0xCD;
            else if (edge_c)
                ch = 0xBA;
            canvas.put(r, c, ch, attr);
        }
    }
}

}  // namespace

void make_text_frame(std::uint32_t index, std::span<std::uint8_t, 8000> frame)
{
    Canvas canvas{frame};
    gradient(canvas, index);

    // Title bar with a frame counter.
    for (int c = 0; c < cols; ++c)
        canvas.put(0, c, ' ', 0x70);
    canvas.text(0, 2, "VEXLADE  -  a text mode production", 0x70);
    char counter[32];
    const unsigned seconds = index / 25;
    std::snprintf(counter, sizeof counter, "%02u:%02u.%02u", seconds / 60, seconds % 60,
                  (index % 25) * 4);
    canvas.text(0, 70, counter, 0x74);

    // A box drifting on a slow ellipse, its text scrolling a line every
    // half second.
    const int phase = static_cast<int>(index % 400);
    const int drift = phase < 200 ? phase : 400 - phase;
    const int top = 6 + drift / 20;
    const int left = 4 + drift / 12;
    box(canvas, top, left, 22, 60, 0x1F);
    const int first = static_cast<int>(index / 12);
    for (int line = 0; line < 20; ++line) {
        const std::string_view s = script[(first + line) % script_lines];
        canvas.text(top + 1 + line, left + 2, s.substr(0, 56), line == 0 ? 0x1E : 0x17);
    }

    // A rotating rainbow bar near the bottom.
    for (int c = 0; c < cols; ++c) {
        const auto colour = static_cast<std::uint8_t>(1 + (c / 5 + static_cast<int>(index)) % 15);
        canvas.put(44, c, 0xDC, colour);
        canvas.put(45, c, 0xDF, colour);
    }
    canvas.text(47, 30, "~ greetings to all ~", 0x0F);
}

}  // namespace vexl::bench
