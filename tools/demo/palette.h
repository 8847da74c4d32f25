#pragma once
// Colours, attributes and the CP437 characters the effects draw with, and
// the colour ramps that stretch 16 flat colours into smooth gradients by
// mixing two colours with the shade characters.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vexl::demo {

// The 16 VGA colours. Backgrounds may use all 16 (bit 7 is a bright
// background, not blink).
enum Colour : std::uint8_t {
    black, blue, green, cyan, red, magenta, brown, light_grey,
    dark_grey, light_blue, light_green, light_cyan, light_red, light_magenta, yellow, white,
};

constexpr std::uint8_t attr(int fg, int bg) { return static_cast<std::uint8_t>((fg & 15) | (bg & 15) << 4); }
constexpr int fg_of(std::uint8_t a) { return a & 15; }
constexpr int bg_of(std::uint8_t a) { return a >> 4; }

// Code page 437 characters by what they look like.
namespace glyph {
inline constexpr std::uint8_t space = 0x20;
inline constexpr std::uint8_t shade_light = 0xB0;   // 25 % foreground
inline constexpr std::uint8_t shade_medium = 0xB1;  // 50 %
inline constexpr std::uint8_t shade_dark = 0xB2;    // 75 %
inline constexpr std::uint8_t full_block = 0xDB;
inline constexpr std::uint8_t lower_half = 0xDC;
inline constexpr std::uint8_t left_half = 0xDD;
inline constexpr std::uint8_t right_half = 0xDE;
inline constexpr std::uint8_t upper_half = 0xDF;
inline constexpr std::uint8_t small_square = 0xFE;
inline constexpr std::uint8_t bullet = 0x07;
inline constexpr std::uint8_t sun = 0x0F;
inline constexpr std::uint8_t heart = 0x03;
inline constexpr std::uint8_t diamond = 0x04;
inline constexpr std::uint8_t note = 0x0E;
inline constexpr std::uint8_t triangle_right = 0x10;
inline constexpr std::uint8_t triangle_left = 0x11;
inline constexpr std::uint8_t dot_middle = 0xFA;
inline constexpr std::uint8_t bullet_operator = 0xF9;
inline constexpr std::uint8_t degree = 0xF8;
inline constexpr std::uint8_t block_cursor = 0x5F;
// Box drawing: single and double lines.
inline constexpr std::uint8_t h_single = 0xC4, v_single = 0xB3;
inline constexpr std::uint8_t tl_single = 0xDA, tr_single = 0xBF, bl_single = 0xC0, br_single = 0xD9;
inline constexpr std::uint8_t h_double = 0xCD, v_double = 0xBA;
inline constexpr std::uint8_t tl_double = 0xC9, tr_double = 0xBB, bl_double = 0xC8, br_double = 0xBC;
inline constexpr std::uint8_t cross_single = 0xC5;
}  // namespace glyph

// One step darker or brighter, along the VGA palette's own families
// (white, light grey, dark grey, black; yellow, brown, red, black; ...).
constexpr std::array<std::uint8_t, 16> darker_colour{
    black, black, black, blue, black, blue, red, dark_grey,
    black, blue, green, cyan, red, magenta, brown, light_grey,
};
constexpr std::array<std::uint8_t, 16> brighter_colour{
    dark_grey, light_blue, light_green, light_cyan, light_red, light_magenta, yellow, white,
    light_grey, light_cyan, white, white, yellow, white, white, white,
};

// A colour with `steps` > 0 brighter steps or `steps` < 0 darker ones.
constexpr int shift_colour(int colour, int steps)
{
    for (; steps > 0; --steps)
        colour = brighter_colour[static_cast<std::size_t>(colour)];
    for (; steps < 0; ++steps)
        colour = darker_colour[static_cast<std::size_t>(colour)];
    return colour;
}

struct Cell {
    std::uint8_t ch;
    std::uint8_t attr;
    friend constexpr bool operator==(Cell, Cell) = default;
};

// A gradient through a list of colours. Between two neighbours it steps
// through the shade characters (25, 50, 75 % of the next colour), so a
// ramp of n colours has 4(n - 1) + 1 distinct cells.
class ShadeRamp {
public:
    ShadeRamp(std::initializer_list<Colour> colours);

    // The cell for an intensity 0..255 (clamped).
    Cell cell(int value) const
    {
        const int v = value < 0 ? 0 : (value > 255 ? 255 : value);
        return cells_[lookup_[static_cast<std::size_t>(v)]];
    }
    // The flat colour nearest to an intensity 0..255 (for half-block pixels).
    std::uint8_t colour(int value) const
    {
        const int v = value < 0 ? 0 : (value > 255 ? 255 : value);
        return solid_[static_cast<std::size_t>(v)];
    }
    // Cell by ramp index, wrapping: for palettes that cycle.
    Cell cell_at(int index) const
    {
        const int n = static_cast<int>(cells_.size());
        return cells_[static_cast<std::size_t>(((index % n) + n) % n)];
    }
    int size() const { return static_cast<int>(cells_.size()); }

private:
    std::vector<Cell> cells_;
    std::array<std::uint8_t, 256> lookup_{};
    std::array<std::uint8_t, 256> solid_{};
};

// The ramps the effects share.
namespace ramps {
const ShadeRamp& fire();     // black, red, light red, yellow, white
const ShadeRamp& ice();      // black, blue, light blue, light cyan, white
const ShadeRamp& toxic();    // black, green, light green, yellow, white
const ShadeRamp& violet();   // black, blue, magenta, light magenta, white
const ShadeRamp& steel();    // black, dark grey, light grey, white
const ShadeRamp& sunset();   // blue, magenta, red, light red, yellow
const ShadeRamp& rainbow();  // a loop through every bright colour, for cycling
const ShadeRamp& ocean();    // black, blue, cyan, light cyan
}  // namespace ramps

}  // namespace vexl::demo
