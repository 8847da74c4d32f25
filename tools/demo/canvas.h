#pragma once
// The surfaces the effects draw on.
//
//   Canvas          the frame itself: 80 x 50 cells, a character and an
//                   attribute each, laid out exactly as the frame file wants
//   PixelCanvas     80 x 100 pixels in the 16 colours, shown two to a cell
//                   with the upper-half block (foreground above, background
//                   below)
//   IntensityCanvas 80 x 100 intensities 0..255 shown through a ShadeRamp:
//                   shade characters where a cell is smooth, half blocks
//                   where it has an edge, so gradients stay soft and
//                   outlines stay sharp

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "tools/demo/palette.h"

namespace vexl::demo {

inline constexpr int screen_width = 80;
inline constexpr int screen_height = 50;
inline constexpr int pixel_height = 2 * screen_height;  // half-block pixels
inline constexpr std::size_t frame_size = screen_width * screen_height * 2;  // bytes

enum class BoxStyle { single, double_line };

class Canvas {
public:
    static constexpr int width = screen_width;
    static constexpr int height = screen_height;

    Cell& at(int x, int y) { return cells_[static_cast<std::size_t>(y * width + x)]; }
    const Cell& at(int x, int y) const { return cells_[static_cast<std::size_t>(y * width + x)]; }
    static constexpr bool inside(int x, int y) { return x >= 0 && x < width && y >= 0 && y < height; }

    // Everything below clips at the screen's edges.
    void put(int x, int y, Cell c)
    {
        if (inside(x, y))
            at(x, y) = c;
    }
    void fill(Cell c) { cells_.fill(c); }
    void fill_rect(int x, int y, int w, int h, Cell c);
    // Text in one attribute.
    void print(int x, int y, std::string_view text, std::uint8_t attribute);
    void print_centered(int y, std::string_view text, std::uint8_t attribute);
    // Text in a foreground colour over whatever background is there.
    void print_over(int x, int y, std::string_view text, int fg);
    void box(int x, int y, int w, int h, std::uint8_t attribute, BoxStyle style);
    // Sets the background of a rectangle, keeping characters and foregrounds.
    void tint_rect(int x, int y, int w, int h, int bg);

    // The 8000 bytes of the frame: row-major cells, character then attribute.
    std::span<const std::uint8_t, frame_size> bytes() const
    {
        return std::span<const std::uint8_t, frame_size>(reinterpret_cast<const std::uint8_t*>(cells_.data()), frame_size);
    }
    std::array<Cell, width * height>& cells() { return cells_; }
    const std::array<Cell, width * height>& cells() const { return cells_; }

private:
    std::array<Cell, width * height> cells_{};
};

static_assert(sizeof(Cell) == 2 && sizeof(Canvas) == frame_size, "cells must pack into frame bytes");

class PixelCanvas {
public:
    static constexpr int width = screen_width;
    static constexpr int height = pixel_height;

    std::uint8_t& at(int x, int y) { return pixels_[static_cast<std::size_t>(y * width + x)]; }
    std::uint8_t at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width + x)]; }
    void set(int x, int y, int colour)
    {
        if (x >= 0 && x < width && y >= 0 && y < height)
            at(x, y) = static_cast<std::uint8_t>(colour);
    }
    void fill(int colour) { pixels_.fill(static_cast<std::uint8_t>(colour)); }
    void fill_rect(int x, int y, int w, int h, int colour);

    // Two pixels per cell: equal ones become a space in that background.
    void to_cells(Canvas& out) const;

private:
    std::array<std::uint8_t, width * height> pixels_{};
};

class IntensityCanvas {
public:
    static constexpr int width = screen_width;
    static constexpr int height = pixel_height;

    std::uint8_t& at(int x, int y) { return values_[static_cast<std::size_t>(y * width + x)]; }
    std::uint8_t at(int x, int y) const { return values_[static_cast<std::size_t>(y * width + x)]; }
    void set(int x, int y, int value)
    {
        if (x >= 0 && x < width && y >= 0 && y < height)
            at(x, y) = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
    }
    void fill(int value) { values_.fill(static_cast<std::uint8_t>(value)); }
    std::span<std::uint8_t> values() { return values_; }

    // `edge` is the difference between a cell's two halves above which it
    // is drawn as a half block instead of a shade of their mean.
    void to_cells(Canvas& out, const ShadeRamp& ramp, int edge = 56) const;

private:
    std::array<std::uint8_t, width * height> values_{};
};

}  // namespace vexl::demo
