// Tunnel: every pixel looks up its angle and distance from the (swaying)
// centre; the distance becomes depth by perspective, and angle and depth
// index a texture that scrolls towards the viewer. Depth also dims the
// texture into the ramp's dark end, so the tunnel fades into the distance.

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"
#include "tools/demo/radial_field.h"

namespace vexl::demo {
namespace {

class Tunnel final : public Effect {
public:
    explicit Tunnel(const TunnelStyle& style) : style_(style) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        const int speed = style_.speed_end < 0 ? style_.speed : mix(style_.speed, style_.speed_end, t.progress());
        travel_ += speed + t.beat.kick / 40;
        turn_ += style_.twist;
        const int cx = 40 + sin_scaled(time * 9, 16);
        const int cy = 50 + cos_scaled(time * 7, 22);
        const int flash = t.beat.kick / 5;
        const RadialField& field = pixel_field();
        for (int y = 0; y < pixel_height; ++y)
            for (int x = 0; x < screen_width; ++x) {
                const Polar& p = field.at(x - cx, y - cy);
                const int depth = 49152 / (p.distance + 32);
                const int v = depth + travel_;
                const int u = p.angle + turn_ + (depth << 3) * (style_.twist != 0 ? 1 : 0);
                int value;
                if (style_.rings) {
                    value = 128 + sin_scaled(v * 24, 110) + sin_scaled(u * 4, 20);
                } else {
                    const bool light = (((u >> 8) ^ (v >> 4)) & 1) != 0;
                    value = light ? 235 + flash : 80 + sin_scaled(u * 2 + time * 20, 40);
                }
                // Fog: the centre is far away and dark.
                const int near = clamp(p.distance / 3 - 16, 0, 256);
                intensity_.at(x, y) = static_cast<std::uint8_t>(clamp(value * near >> 8, 0, 255));
            }
        intensity_.to_cells(out, *style_.ramp);
    }

private:
    TunnelStyle style_;
    IntensityCanvas intensity_;
    int travel_ = 0;
    int turn_ = 0;
};

}  // namespace

EffectPtr make_tunnel(const TunnelStyle& style) { return std::make_unique<Tunnel>(style); }

}  // namespace vexl::demo
