#pragma once
// Precomputed distance and angle from a centre, for the round effects
// (tunnel, rings, plasma blobs). The tables cover twice the screen in each
// direction, so a centre anywhere on screen is just an offset into them.

#include <cstdint>
#include <vector>

namespace vexl::demo {

struct Polar {
    std::uint16_t distance;  // in 1/16 of a unit
    std::uint16_t angle;     // 12-bit turn
};

class RadialField {
public:
    // A field for a grid of `width` x `height` positions whose position is
    // `x_units` wide and `y_units` tall (square cells: 1, 1; half-block
    // pixels: 2, 1).
    RadialField(int width, int height, int x_units, int y_units);

    // Distance and angle of the offset (dx, dy) from the centre; both within
    // the grid's width and height either way.
    const Polar& at(int dx, int dy) const
    {
        return table_[static_cast<std::size_t>((dy + height_) * 2 * width_ + dx + width_)];
    }

private:
    int width_;
    int height_;
    std::vector<Polar> table_;
};

const RadialField& cell_field();   // the 80 x 50 cells, square (two units a side)
const RadialField& pixel_field();  // the 80 x 100 half-block pixels, twice as wide as tall

}  // namespace vexl::demo
