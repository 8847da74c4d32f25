#pragma once
// The 16 VGA text colours as terminal colour codes, in the three depths
// terminals offer.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/palette16.h"

namespace vexl::term {

enum class ColorMode { truecolor, palette256, ansi16 };

// COLORTERM names 24-bit support; TERM names 256 colours; else the 16.
ColorMode detect_color_mode(const char* colorterm, const char* term);

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// The 16 VGA text colours as channels, indexed as the attribute nibble.
inline constexpr std::array<Rgb, 16> vga_palette = [] {
    std::array<Rgb, 16> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = {static_cast<std::uint8_t>(Palette16[i] >> 16), static_cast<std::uint8_t>(Palette16[i] >> 8),
                    static_cast<std::uint8_t>(Palette16[i])};
    return table;
}();

// Nearest colour of the xterm 256-colour cube or grey ramp (indices
// 16-255); of equally near ones, the lowest index. The first 16 indices
// are left out on purpose: terminals theme them, so they would not give
// the VGA colours. The cube's nearest point is each channel's nearest
// level, so this is a few comparisons, cheap enough for every cell of a
// scaled picture.
constexpr int nearest_xterm256(Rgb c)
{
    auto level = [](int v) { return v <= 47 ? 0 : v <= 115 ? 1 : v <= 155 ? 2 : v <= 195 ? 3 : v <= 235 ? 4 : 5; };
    auto value = [](int l) { return l == 0 ? 0 : 55 + 40 * l; };
    auto square = [](int v) { return v * v; };
    const int r = level(c.r), g = level(c.g), b = level(c.b);
    int best = 16 + 36 * r + 6 * g + b;
    int best_distance = square(value(r) - c.r) + square(value(g) - c.g) + square(value(b) - c.b);
    // The grey ramp 8, 18, ..., 238: the step nearest the channels' mean
    // and its neighbours.
    const int around = std::clamp((c.r + c.g + c.b - 24 + 15) / 30, 0, 23);
    for (int i = std::max(around - 1, 0); i <= std::min(around + 1, 23); ++i) {
        const int v = 8 + 10 * i;
        const int d = square(v - c.r) + square(v - c.g) + square(v - c.b);
        if (d < best_distance) {
            best_distance = d;
            best = 232 + i;
        }
    }
    return best;
}

inline constexpr std::array<std::uint8_t, 16> vga_xterm256 = [] {
    std::array<std::uint8_t, 16> table{};
    for (int i = 0; i < 16; ++i)
        table[i] = static_cast<std::uint8_t>(nearest_xterm256(vga_palette[i]));
    return table;
}();

// A colour a terminal cell is painted in: one of the 16 VGA text colours
// (the values 0-15, sent in the terminal's colour mode as above), a 24-bit
// colour, or an entry of the xterm 256-colour palette, sent as they are.
using Color = std::uint32_t;

inline constexpr Color rgb_color(std::uint32_t rgb)
{
    return 0x01000000u | (rgb & 0xFFFFFFu);
}
inline constexpr Color xterm_color(int index)
{
    return 0x02000000u | (static_cast<std::uint32_t>(index) & 0xFFu);
}
inline constexpr bool is_vga_color(Color c)
{
    return c < 16;
}
inline constexpr bool is_rgb_color(Color c)
{
    return (c & 0xFF000000u) == 0x01000000u;
}

// The VGA colour nearest to a 24-bit one (for terminals of 16 colours).
constexpr int nearest_vga(Rgb c)
{
    auto square = [](int v) { return v * v; };
    int best = 0, best_distance = 1 << 30;
    for (int i = 0; i < 16; ++i) {
        const Rgb p = vga_palette[static_cast<std::size_t>(i)];
        const int d = square(p.r - c.r) + square(p.g - c.g) + square(p.b - c.b);
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return best;
}

// ANSI numbers its eight colours red = 1, green = 2, blue = 4: the
// attribute's blue and red bits swap places.
constexpr int vga_to_ansi(int index)
{
    return ((index & 1) << 2) | (index & 2) | ((index & 4) >> 2);
}

}  // namespace vexl::term
