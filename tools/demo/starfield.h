#pragma once
// A 3D starfield in cells, shared by the effects that fly through space.
// Stars are characters that grow from a dot to a sun as they come near; at
// warp speed they draw trails behind them.

#include <array>
#include <cstdint>

#include "tools/demo/canvas.h"

namespace vexl::demo {

class Starfield {
public:
    explicit Starfield(std::uint32_t seed);

    // Moves every star `speed` depth units closer (4096 is the far plane).
    void step(int speed);
    // Draws the stars over `out`; `trail` > 0 draws streaks that long (in
    // depth units) behind each star.
    void draw(Canvas& out, int trail = 0) const;

private:
    struct Star {
        int x, y, z;  // x, y in -4096..4096; z in 1..4096
        std::uint8_t tint;
    };
    void respawn(Star& s, bool anywhere);

    static constexpr int count = 220;
    std::array<Star, count> stars_{};
    std::uint32_t state_;
};

}  // namespace vexl::demo
