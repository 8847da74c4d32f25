#pragma once
// Sharp scaling done on the processor, for displays that only offer a
// surface to write into (DirectDraw in a mode larger than the picture):
// the picture goes where sharp_scaling() puts it, nearest neighbour to the
// whole-number factor and the rest linearly filtered, exactly as a graphics
// card's linear filter would sample the whole-number step. The screen
// around the picture is black.

#include <cstdint>
#include <vector>

#include "output/glyph_raster.h"
#include "output/sharp_scaling.h"

namespace vexl {

class SharpScaler {
public:
    // For a source of source_width x source_height pixels on a screen of
    // screen_width x screen_height (all > 0).
    SharpScaler(int source_width, int source_height, int screen_width, int screen_height);

    const platform::SharpScaling& scaling() const { return scaling_; }

    // Draws `source` (source_width x source_height) onto `screen`
    // (screen_width x screen_height), both 0x00RRGGBB.
    void draw(const PixelSurface& source, const PixelSurface& screen) const;

private:
    // One output column or row: the two source pixels it lies between and
    // the second one's share, in 256ths.
    struct Tap {
        int first = 0;
        int second = 0;
        std::uint32_t weight = 0;
    };
    static std::vector<Tap> taps(int source_size, int factor, int picture_size);

    platform::SharpScaling scaling_;
    int screen_width_;
    int screen_height_;
    std::vector<Tap> columns_;
    std::vector<Tap> rows_;
};

}  // namespace vexl
