// Rotozoomer: a 64 x 64 tile, drawn once, is sampled along a rotated and
// scaled grid for every half-block pixel. The zoom swings slowly and jumps
// on kicks; every bar the tile's colours trade places.

#include <algorithm>
#include <array>
#include <cstdlib>

#include "tools/demo/big_font.h"
#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int tile = 64;

using Texture = std::array<std::uint8_t, tile * tile>;

// Texture colours are slots 0..7; each variant paints the slots differently
// and rotates them on every bar.
constexpr std::array<std::array<std::uint8_t, 8>, 2> slot_colours{{
    {blue, light_blue, magenta, light_magenta, yellow, black, white, cyan},
    {red, light_red, brown, yellow, white, black, light_cyan, green},
}};

Texture make_texture(int variant)
{
    Texture t{};
    for (int y = 0; y < tile; ++y)
        for (int x = 0; x < tile; ++x) {
            std::uint8_t slot;
            if (variant == 0) {
                // Checkerboard with a bevelled look.
                const bool a = ((x >> 5) ^ (y >> 5)) & 1;
                const int ex = x & 31, ey = y & 31;
                const bool rim = ex < 2 || ey < 2 || ex > 29 || ey > 29;
                slot = static_cast<std::uint8_t>(a ? (rim ? 1 : 0) : (rim ? 3 : 2));
            } else {
                // Concentric squares.
                const int d = std::max(std::abs(x - 31), std::abs(y - 31));
                slot = static_cast<std::uint8_t>((d / 4) % 4);
            }
            t[static_cast<std::size_t>(y * tile + x)] = slot;
        }
    // The name across the middle, outlined in black.
    const int x0 = (tile - big_text_width("80x50") * 2) / 2 + 1;
    const int y0 = tile / 2 - big_font_height;
    auto paint = [&](int gx, int gy, std::uint8_t slot, int off_x, int off_y) {
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) {
                const int px = (x0 + gx * 2 + dx + off_x) & (tile - 1);
                const int py = (y0 + gy * 2 + dy + off_y) & (tile - 1);
                t[static_cast<std::size_t>(py * tile + px)] = slot;
            }
    };
    for (int oy = -1; oy <= 1; ++oy)
        for (int ox = -1; ox <= 1; ++ox)
            for_each_big_pixel("80x50", [&](int gx, int gy) { paint(gx, gy, 5, ox, oy); });
    for_each_big_pixel("80x50", [&](int gx, int gy) { paint(gx, gy, gy < 3 ? 6 : 4, 0, 0); });
    return t;
}

class Rotozoom final : public Effect {
public:
    explicit Rotozoom(const RotozoomStyle& style) : variant_(style.variant % 2), texture_(make_texture(variant_)) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        const int angle = time * 9 + sin_scaled(time * 5, 600);
        // Texture steps per screen unit, 8.8 fixed point: swings between
        // close-up and far away, punched in by kicks.
        const int zoom = 260 + sin_scaled(time * 6, 130) - t.beat.kick / 6;
        const int c = cos_scaled(angle, zoom);
        const int s = sin_scaled(angle, zoom);
        const int u0 = time * 160 + sin_scaled(time * 3, 8000);
        const int v0 = time * 90;
        const auto& colours = slot_colours[static_cast<std::size_t>(variant_)];
        std::array<std::uint8_t, 8> map{};
        for (int i = 0; i < 8; ++i)  // the four pattern slots rotate by bar
            map[static_cast<std::size_t>(i)] = i < 4 ? colours[static_cast<std::size_t>((i + t.beat.bar) % 4)]
                                                     : colours[static_cast<std::size_t>(i)];
        for (int y = 0; y < pixel_height; ++y) {
            const int wy = y - pixel_height / 2;
            for (int x = 0; x < screen_width; ++x) {
                const int wx = (x - screen_width / 2) * 2;
                const int u = (wx * c - wy * s + u0) >> 8;
                const int v = (wx * s + wy * c + v0) >> 8;
                const int slot = texture_[static_cast<std::size_t>((v & (tile - 1)) * tile + (u & (tile - 1)))];
                pixels_.at(x, y) = map[static_cast<std::size_t>(slot)];
            }
        }
        pixels_.to_cells(out);
    }

private:
    int variant_;
    Texture texture_;
    PixelCanvas pixels_;
};

}  // namespace

EffectPtr make_rotozoom(const RotozoomStyle& style) { return std::make_unique<Rotozoom>(style); }

}  // namespace vexl::demo
