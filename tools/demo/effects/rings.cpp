// Interference rings: two sets of concentric waves from centres circling
// each other; where crests meet they add up, where they do not they cancel,
// and the moiré between them shifts all the time. Kicks tighten the rings.

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"
#include "tools/demo/radial_field.h"

namespace vexl::demo {

namespace {

class Rings final : public Effect {
public:
    explicit Rings(const RingsStyle& style) : style_(style) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        const int x1 = 40 + sin_scaled(time * 8, 24), y1 = 50 + cos_scaled(time * 11, 34);
        const int x2 = 40 - sin_scaled(time * 9 + 600, 26), y2 = 50 - cos_scaled(time * 7 + 300, 30);
        const int frequency = 20 + t.beat.kick / 32;
        const RadialField& field = pixel_field();
        for (int y = 0; y < pixel_height; ++y)
            for (int x = 0; x < screen_width; ++x) {
                const int d1 = field.at(x - x1, y - y1).distance;
                const int d2 = field.at(x - x2, y - y2).distance;
                const int v = 128 + sin_scaled(d1 * frequency / 8 - time * 40, 70) +
                              sin_scaled(d2 * frequency / 8 - time * 40, 70);
                intensity_.at(x, y) = static_cast<std::uint8_t>(clamp(v, 0, 255));
            }
        intensity_.to_cells(out, *style_.ramp);
    }

private:
    RingsStyle style_;
    IntensityCanvas intensity_;
};

}  // namespace

EffectPtr make_rings(const RingsStyle& style) { return std::make_unique<Rings>(style); }

}  // namespace vexl::demo
