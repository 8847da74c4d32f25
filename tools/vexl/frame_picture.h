#pragma once
// Pictures of text frames for `vexl render`: drawn by the same rasteriser
// as the full-screen screen, optionally enlarged and stretched to the 4:3
// shape a 640 x 400 mode had on a CRT, and written as PNG.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/frame_geometry.h"

namespace vexl::tool {

inline constexpr int largest_render_scale = 8;

// 8-bit RGB, rows of width * 3 bytes, top to bottom.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The frame as the screen shows it, 640 x 400, each pixel repeated `scale`
// times across and down (1 to largest_render_scale). With `aspect` the
// picture is 480 * scale rows high instead of 400 * scale: each row is the
// area-weighted mix of the display rows it covers, as the taller scan lines
// of a CRT blended them.
RgbPicture render_frame_picture(std::span<const std::uint8_t, frame_bytes> frame, int scale, bool aspect);

// A rectangle of a picture, in its pixels.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The part `part` of `source` (within it, not empty) made `width` x `height`
// pixels: each new pixel is the area-weighted mean of the source pixels it
// covers, so whole-number enlargements repeat pixels exactly and
// reductions blend them, as render_frame_picture's aspect stretch does.
RgbPicture fit_picture(const RgbPicture& source, PixelRect part, int width, int height);

// Writes the picture as an 8-bit RGB PNG; on failure says why in `problem`.
bool write_png(std::FILE* file, const RgbPicture& picture, std::string& problem);

}  // namespace vexl::tool
