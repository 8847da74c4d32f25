#pragma once
// A pixel surface for tests: its pixels start as a sentinel colour and a
// guard band follows every row and the last row, so stray writes show.

#include <cstdint>
#include <vector>

#include "output/glyph_raster.h"

namespace vexl::testing {

inline constexpr std::uint32_t untouched = 0xDEADBEEF;

struct TestSurface {
    TestSurface(int width_, int height_, int pitch_pixels_)
        : width(width_), height(height_), pitch_pixels(pitch_pixels_),
          pixels(static_cast<std::size_t>(pitch_pixels_) * (height_ + 1), untouched)
    {
    }

    PixelSurface view()
    {
        return {pixels.data(), static_cast<std::ptrdiff_t>(pitch_pixels) * 4, width, height};
    }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * pitch_pixels + x]; }

    // True when nothing beyond the width of any row nor below the last row
    // was written.
    bool guards_intact() const
    {
        for (int y = 0; y <= height; ++y)
            for (int x = (y == height ? 0 : width); x < pitch_pixels; ++x)
                if (at(x, y) != untouched)
                    return false;
        return true;
    }

    int width;
    int height;
    int pitch_pixels;
    std::vector<std::uint32_t> pixels;
};

}  // namespace vexl::testing
