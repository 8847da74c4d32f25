// Metaballs: every pixel sums r^2 / d^2 over the balls, and the field is
// shown through a ramp, so where balls meet their glows merge into one
// shape. Balls join one by one as the scene goes on and swell on kicks.

#include <algorithm>
#include <array>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int max_balls = 8;

class Metaballs final : public Effect {
public:
    explicit Metaballs(const MetaballStyle& style) : style_(style) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        const int count = std::clamp(mix(style_.balls_start, style_.balls_end + 1, t.progress()), 1, max_balls);
        struct Ball {
            int x, y, r2;
        };
        std::array<Ball, max_balls> balls{};
        for (int i = 0; i < count; ++i) {
            // Lissajous paths in world units (pixels are 2 wide, 1 tall).
            const int x = sin_scaled(time * (7 + i * 2) + i * 900, 58) + cos_scaled(time * 3 + i * 400, 14);
            const int y = cos_scaled(time * (5 + i) + i * 1300, 38);
            const int r = 11 + (i % 3) * 3 + t.beat.pulse / 96 + t.beat.kick / 48;  // throb with the beat
            balls[static_cast<std::size_t>(i)] = {x, y, r * r};
        }
        for (int py = 0; py < pixel_height; ++py) {
            const int wy = py - pixel_height / 2;
            for (int px = 0; px < screen_width; ++px) {
                const int wx = (px - screen_width / 2) * 2;
                int field = 0;  // 8.8: 256 = on the surface of a lone ball
                for (int i = 0; i < count; ++i) {
                    const Ball& b = balls[static_cast<std::size_t>(i)];
                    const int dx = wx - b.x, dy = wy - b.y;
                    field += (b.r2 << 8) / (dx * dx + dy * dy + 1);
                }
                // Inside the surface bright, with a soft glow outside.
                const int v = field >= 256 ? 200 + std::min((field - 256) / 16, 55) : field * field * 170 / (256 * 256);
                intensity_.at(px, py) = static_cast<std::uint8_t>(v);
            }
        }
        intensity_.to_cells(out, *style_.ramp, 40);
    }

private:
    MetaballStyle style_;
    IntensityCanvas intensity_;
};

}  // namespace

EffectPtr make_metaballs(const MetaballStyle& style) { return std::make_unique<Metaballs>(style); }

}  // namespace vexl::demo
