// Plasma: four sine waves summed per cell, the sum looked up in a colour
// ramp that cycles with time. Kicks make the pattern breathe; snares kick
// the colours forward.

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"
#include "tools/demo/radial_field.h"

namespace vexl::demo {
namespace {

// A ramp index folded back and forth so non-cyclic ramps cycle smoothly.
int bounce(int index, int size)
{
    const int period = 2 * (size - 1);
    int i = index % period;
    if (i < 0)
        i += period;
    return i < size ? i : period - i;
}

class Plasma final : public Effect {
public:
    explicit Plasma(const PlasmaStyle& style) : style_(style) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local * style_.speed;
        const int zoom = 256 + t.beat.kick / 3;  // breathe on kicks
        shift_ += 1 + t.beat.snare / 128;         // colours lurch on snares
        const int rows = style_.half_blocks ? pixel_height : screen_height;
        const int y_scale = style_.half_blocks ? 1 : 2;  // half-block pixels are half as tall
        const RadialField& field = style_.half_blocks ? pixel_field() : cell_field();
        const int cx = 40 + sin_scaled(time * 5, 28);
        const int cy = rows / 2 + cos_scaled(time * 7, rows * 2 / 5);
        const int size = style_.ramp->size();
        for (int y = 0; y < rows; ++y) {
            const int wy = y * y_scale;
            const int row_wave = sin_q14(((wy * 27 * zoom) >> 8) - time * 13);
            for (int x = 0; x < screen_width; ++x) {
                const int wx = x * 2;
                int v = row_wave;
                v += sin_q14(((wx * 23 * zoom) >> 8) + time * 11);
                v += sin_q14((((wx + wy) * 17 * zoom) >> 8) + time * 7);
                const int d = field.at(x - cx, y - cy).distance;
                v += sin_q14(((d * 5 * zoom) >> 8) - time * 17);
                // v is -65536..65536: about two runs through the ramp.
                const int index = (v >> 11) + shift_ / 2;
                if (style_.half_blocks)
                    pixels_.at(x, y) = style_.ramp->colour(bounce(index, size) * 255 / (size - 1));
                else
                    out.at(x, y) = style_.ramp->cell_at(bounce(index, size));
            }
        }
        if (style_.half_blocks)
            pixels_.to_cells(out);
    }

private:
    PlasmaStyle style_;
    PixelCanvas pixels_;
    int shift_ = 0;
};

}  // namespace

EffectPtr make_plasma(const PlasmaStyle& style) { return std::make_unique<Plasma>(style); }

}  // namespace vexl::demo
