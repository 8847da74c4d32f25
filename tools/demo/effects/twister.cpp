// Twister: a square bar seen from the side, its rotation varying along its
// height. For each pixel row the four corners are projected; a face is seen
// when its right corner lies right of its left one, and its width says how
// squarely it faces us, which picks a dark, mid or bright shade. Kicks
// widen the bar; snares pass the colours round the faces.

#include <algorithm>
#include <array>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

struct Face {
    std::uint8_t dark, mid, bright;
};
constexpr std::array<Face, 4> faces{{
    {red, light_red, yellow},
    {blue, light_blue, light_cyan},
    {magenta, light_magenta, white},
    {green, light_green, light_cyan},
}};

class Twister final : public Effect {
public:
    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        if (t.beat.snare == 256)
            ++face_shift_;
        // A slowly scrolling backdrop of diagonal stripes.
        for (int y = 0; y < pixel_height; ++y)
            for (int x = 0; x < screen_width; ++x)
                pixels_.at(x, y) = ((x * 2 + y + time) / 6) % 5 == 0 ? blue : black;
        const int half = 15 + t.beat.kick / 40;
        for (int y = 0; y < pixel_height; ++y) {
            const int angle = time * 18 + sin_scaled(y * 7 + time * 10, 800);
            const int centre = screen_width / 2 + sin_scaled(y * 10 + time * 9, 12);
            std::array<int, 5> corner{};
            for (int k = 0; k < 4; ++k)
                corner[static_cast<std::size_t>(k)] = centre + sin_scaled(angle + k * quarter_turn, half);
            corner[4] = corner[0];
            for (int k = 0; k < 4; ++k) {
                const int left = corner[static_cast<std::size_t>(k)];
                const int right = corner[static_cast<std::size_t>(k + 1)];
                if (right <= left)
                    continue;
                const Face& f = faces[static_cast<std::size_t>((k + face_shift_) % 4)];
                // How squarely the face looks at us, 0..~256, in five
                // dithered steps from dark to bright.
                const int facing = (right - left) * 256 / (half * 2);
                const std::uint8_t shades[] = {f.dark, f.mid, f.bright};
                const int level = std::clamp(facing * 5 / 256, 0, 4);
                for (int x = left; x < right; ++x) {
                    const int odd_step = level & 1 & (x + y);  // odd levels dither two shades
                    pixels_.set(x, y, shades[level / 2 + odd_step]);
                }
                pixels_.set(left, y, f.dark);  // a crisp edge between faces
            }
        }
        pixels_.to_cells(out);
    }

private:
    PixelCanvas pixels_;
    int face_shift_ = 0;
};

}  // namespace

EffectPtr make_twister() { return std::make_unique<Twister>(); }

}  // namespace vexl::demo
