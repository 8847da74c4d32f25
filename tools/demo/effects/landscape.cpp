// Voxel landscape: a height map of summed noise, rendered column by column
// by marching rays from the camera and drawing each sample from its
// projected height down to the last drawn one (a y-buffer). Bands of height
// pick colours, slope picks the light or dark one, distance fades to haze.
// A dusk sky with a low sun, and captions fading in and out.

#include <algorithm>
#include <array>
#include <vector>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int map_size = 256;
constexpr int horizon = 34;

std::vector<std::uint8_t> make_heights()
{
    std::vector<std::uint8_t> h(map_size * map_size);
    for (int y = 0; y < map_size; ++y)
        for (int x = 0; x < map_size; ++x) {
            // Octaves that tile across the map's edge.
            int v = 0;
            int weight = 128;
            for (int octave = 0; octave < 4; ++octave) {
                const int period = 32 >> octave;  // map units per lattice cell
                const int cells = map_size / period;
                const int nx = (x << 8) / period, ny = (y << 8) / period;
                const auto wrap = static_cast<std::uint32_t>(cells);
                // Tileable: hash lattice coordinates modulo the lattice size.
                auto lattice = [&](int lx, int ly) {
                    return static_cast<int>(hash2(lx % cells, ly % cells, 17u + static_cast<std::uint32_t>(octave) * wrap) & 255);
                };
                const int ix = nx >> 8, iy = ny >> 8;
                int fx = nx & 255, fy = ny & 255;
                fx = (fx * fx * (768 - 2 * fx)) >> 16;
                fy = (fy * fy * (768 - 2 * fy)) >> 16;
                const int top = mix(lattice(ix, iy), lattice(ix + 1, iy), fx);
                const int bottom = mix(lattice(ix, iy + 1), lattice(ix + 1, iy + 1), fx);
                v += mix(top, bottom, fy) * weight;
                weight /= 2;
            }
            v /= 240;  // 0..~255
            // Flatten the lowlands into lakes, sharpen the peaks.
            v = v < 100 ? 70 + v / 6 : v + (v - 100) * (v - 100) / 250;
            h[static_cast<std::size_t>(y * map_size + x)] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
        }
    return h;
}

struct Band {
    int max_height;
    std::uint8_t dark, light;
};
constexpr std::array<Band, 5> bands{{
    {99, blue, light_blue},  // water
    {108, brown, yellow},    // beach
    {165, green, light_green},
    {212, dark_grey, light_grey},  // rock
    {256, light_grey, white},      // snow
}};

// Sky rows from the top: night above, the sunset at the horizon.
constexpr std::array<std::uint8_t, 40> sky_rows{
    black, black, black, black, black, blue, black, blue, blue, blue, blue, blue, blue, blue, magenta, blue,
    magenta, magenta, magenta, magenta, red, magenta, red, red, red, red, light_red, red, light_red, light_red,
    light_red, light_red, yellow, light_red, yellow, yellow, yellow, yellow, yellow, yellow};

constexpr std::string_view captions[] = {"eighty columns", "fifty rows", "sixteen colours",
                                         "two hundred and fifty-six glyphs"};

class Landscape final : public Effect {
public:
    Landscape() : heights_(make_heights()) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        const int heading = 300 + sin_scaled(time * 3, 500);
        cam_x_ += cos_scaled(heading, 150);
        cam_z_ += sin_scaled(heading, 150);
        // Keep clear of the ground ahead: climb quickly, sink slowly.
        int ground = 90;
        for (int ahead = 0; ahead <= 48; ahead += 8)
            ground = std::max(ground, height_q8(cam_x_ + cos_scaled(heading, ahead << 8),
                                                cam_z_ + sin_scaled(heading, ahead << 8)) >> 8);
        const int target = (ground + 45) * 16;
        cam_h_ += (target - cam_h_) / (target > cam_h_ ? 6 : 40);
        draw_sky(time, t.beat.beat);
        std::array<int, screen_width> ybuffer{};
        ybuffer.fill(pixel_height);
        for (int x = 0; x < screen_width; ++x) {
            const int ray = heading + (x - screen_width / 2) * 8;
            const int dx = cos_q14(ray), dz = sin_q14(ray);
            for (int d = 6; d < 200; d += 1 + d / 32) {
                const int mx = cam_x_ + ((dx * d) >> 6);  // 8.8 map position
                const int mz = cam_z_ + ((dz * d) >> 6);
                const int h = height_q8(mx, mz);
                const int y = horizon + (((cam_h_ * 16 - h) * 40 / d) >> 8);
                const int top = std::max(y, 0);
                if (top < ybuffer[static_cast<std::size_t>(x)]) {
                    // Lit from the low sun ahead and to the right.
                    const int light = (h - height_q8(mx + 512, mz - 512)) >> 6;
                    for (int py = top; py < ybuffer[static_cast<std::size_t>(x)]; ++py)
                        pixels_.at(x, py) = ground_colour(h >> 8, light, d, x, py, time);
                    ybuffer[static_cast<std::size_t>(x)] = top;
                }
            }
        }
        pixels_.to_cells(out);
        draw_caption(t, out);
    }

private:
    // Height band gives the material, the slope towards the light picks
    // its light or dark colour with a dithered shade between, and far
    // ground dissolves into the sunset's purple haze.
    static std::uint8_t ground_colour(int h, int light, int d, int x, int y, int time)
    {
        const bool odd = ((x + y) & 1) != 0;
        if (d > 170 || (d > 125 && odd))
            return magenta;
        const Band* b = bands.data();
        while (h > b->max_height)
            ++b;
        if (b == bands.data())  // water, with glints drifting over it
            return hash2(x, y, static_cast<std::uint32_t>(time / 4)) % 13 == 0 ? b->light : b->dark;
        if (light > 6 || (light > 1 && odd))
            return b->light;
        return b->dark;
    }

    // Height at an 8.8 map position, bilinear, as 8.8.
    int height_q8(int x, int z) const
    {
        const int ix = x >> 8, iz = z >> 8, fx = x & 255, fz = z & 255;
        const int top = mix(height_at(ix, iz) << 8, height_at(ix + 1, iz) << 8, fx);
        const int bottom = mix(height_at(ix, iz + 1) << 8, height_at(ix + 1, iz + 1) << 8, fx);
        return mix(top, bottom, fz);
    }

    int height_at(int x, int z) const
    {
        return heights_[static_cast<std::size_t>((z & (map_size - 1)) * map_size + (x & (map_size - 1)))];
    }

    void draw_sky(int time, int beat)
    {
        for (int y = 0; y < pixel_height; ++y) {
            const int row = std::min(y, static_cast<int>(sky_rows.size()) - 1);
            for (int x = 0; x < screen_width; ++x) {
                std::uint8_t c = sky_rows[static_cast<std::size_t>(row)];
                if (c == black && hash2(x, y, 5) % 61 == 0)
                    c = (hash2(x, y, static_cast<std::uint32_t>(beat)) & 3) == 0 ? light_grey : white;  // stars twinkle on the beat
                pixels_.at(x, y) = c;
            }
        }
        // The sun, sinking slowly behind the hills.
        const int sx = 52, sy = horizon - 4 + time / 60;
        for (int y = sy - 9; y <= sy + 9; ++y)
            for (int x = sx - 10; x <= sx + 10; ++x) {
                const int ddx = x - sx, ddy = (y - sy) * 2;
                const int d2 = ddx * ddx + ddy * ddy / 4;
                if (d2 < 60)
                    pixels_.set(x, y, d2 < 30 ? white : yellow);
            }
    }

    static void draw_caption(const FrameTime& t, Canvas& out)
    {
        const int bar = t.local / 48;
        const int which = bar / 4;
        if (which >= static_cast<int>(std::size(captions)))
            return;
        // Each caption fades in over a beat, holds, and fades out before
        // the next phrase.
        constexpr int shown = 3 * 48;
        const int in_phrase = t.local - which * 4 * 48;
        if (in_phrase >= shown)
            return;
        constexpr std::uint8_t fade[] = {dark_grey, light_grey, white};
        const int step = std::min({in_phrase / 4, (shown - 1 - in_phrase) / 4, 2});
        const std::string_view text = captions[which];
        out.print_over((screen_width - static_cast<int>(text.size())) / 2, 5, text, fade[step]);
    }

    std::vector<std::uint8_t> heights_;
    PixelCanvas pixels_;
    int cam_x_ = 40 << 8;
    int cam_z_ = 90 << 8;
    int cam_h_ = 200 * 16;
};

}  // namespace

EffectPtr make_landscape() { return std::make_unique<Landscape>(); }

}  // namespace vexl::demo
