#pragma once
// The glyph rasteriser: turns text-frame cells into pixels. The full-screen
// screen and `vexl render` both draw through it, so a rendered PNG shows
// exactly what the screen shows.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/frame_geometry.h"
#include "output/font8x8.h"

namespace vexl {

// A whole frame drawn with 8x8 glyphs: 640 x 400 pixels.
inline constexpr int picture_width = frame_cols * glyph_width;
inline constexpr int picture_height = frame_rows * glyph_height;

// 32-bit 0x00RRGGBB pixels; pixel row y starts `pitch` bytes after row y - 1.
struct PixelSurface {
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    int width = 0;
    int height = 0;
};

// Paints the top-left `rows` x `cols` cells of `frame` (cell (i, j) at byte
// i * 160 + 2j: character, then attribute) as glyphs of Font8x8 in the
// Palette16 colours, cell (i, j) at pixels (8j, 8i), every pixel of a cell
// written. The area is clipped to the frame's 50 x 80 cells and to the whole
// cells that fit the surface, so nothing outside either is touched; negative
// sizes, a null surface or a pitch too small for a pixel row draw nothing.
void draw_text_frame(std::span<const std::uint8_t, frame_bytes> frame, int rows, int cols,
                     const PixelSurface& surface);

}  // namespace vexl
