#include "tools/demo/starfield.h"

#include <algorithm>
#include <cstdlib>

#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int far_plane = 4096;
constexpr int spread = 6144;
constexpr int lens = 24;

struct Look {
    int max_z;
    std::uint8_t ch;
    std::uint8_t colour;
};
// Nearer stars get bigger characters and brighter colours.
constexpr Look looks[] = {
    {600, glyph::sun, white},        {1200, '*', white},
    {2000, glyph::bullet, light_grey}, {3000, glyph::bullet_operator, light_grey},
    {far_plane + 1, glyph::dot_middle, dark_grey},
};
constexpr std::uint8_t tints[] = {white, white, white, light_cyan, yellow, light_blue};

int project(int v, int z, int centre) { return centre + v * lens / z; }

// The character for a trail segment heading (dx, dy).
std::uint8_t trail_glyph(int dx, int dy)
{
    if (std::abs(dx) > 2 * std::abs(dy))
        return glyph::h_single;
    if (std::abs(dy) > 2 * std::abs(dx))
        return glyph::v_single;
    return (dx > 0) == (dy > 0) ? '\\' : '/';
}

}  // namespace

Starfield::Starfield(std::uint32_t seed) : state_(hash32(seed) | 1u)
{
    for (Star& s : stars_)
        respawn(s, true);
}

void Starfield::respawn(Star& s, bool anywhere)
{
    Random r(state_);
    state_ = r.next();
    s.x = r.below(2 * spread) - spread;
    s.y = r.below(2 * spread) - spread;
    s.z = anywhere ? 64 + r.below(far_plane - 64) : far_plane;
    s.tint = tints[r.below(static_cast<int>(sizeof tints))];
}

void Starfield::step(int speed)
{
    for (Star& s : stars_) {
        s.z -= speed;
        if (s.z < 32 || std::abs(project(s.x, s.z, 0)) > 60 || std::abs(project(s.y, s.z, 0)) > 40)
            respawn(s, false);
    }
}

void Starfield::draw(Canvas& out, int trail) const
{
    for (const Star& s : stars_) {
        const int x = project(s.x, s.z, screen_width / 2);
        const int y = project(s.y, s.z, screen_height / 2);
        const Look* look = looks;
        while (s.z > look->max_z)
            ++look;
        const int colour = look->colour == white ? s.tint : look->colour;
        if (trail > 0) {
            // A line from the tail (where the star was) to the head.
            const int tx = project(s.x, s.z + trail, screen_width / 2);
            const int ty = project(s.y, s.z + trail, screen_height / 2);
            const int dx = x - tx, dy = y - ty;
            const int steps = std::max(std::abs(dx), std::abs(dy));
            const std::uint8_t ch = trail_glyph(dx, dy);
            for (int i = 0; i < steps; ++i) {
                const int px = tx + dx * i / steps, py = ty + dy * i / steps;
                if (Canvas::inside(px, py))
                    out.at(px, py) = {ch, attr(i * 2 < steps ? dark_grey : shift_colour(colour, -1) , bg_of(out.at(px, py).attr))};
            }
        }
        if (Canvas::inside(x, y))
            out.at(x, y) = {look->ch, attr(colour, bg_of(out.at(x, y).attr))};
    }
}

}  // namespace vexl::demo
