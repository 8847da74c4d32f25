#include "tools/demo/transition.h"

#include <array>

#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int band = 3;  // width of a wipe's dithered edge, in cells
constexpr std::array<std::uint8_t, band> edge_shades{glyph::shade_dark, glyph::shade_medium, glyph::shade_light};

// `to` where position < front, a shaded edge just behind the front, `from`
// beyond it. The edge mixes the new scene's background into the old one's.
Cell wipe_cell(const Cell& from, const Cell& to, int position, int front)
{
    if (position < front)
        return to;
    const int into = position - front;
    if (into >= band)
        return from;
    return {edge_shades[static_cast<std::size_t>(into)], attr(bg_of(to.attr), bg_of(from.attr))};
}

// Where the front stands for an amount 0..256 across `span` positions,
// starting fully outside so that amount 0 is all `from`.
int front_at(int amount, int span) { return amount * (span + band) / 256; }

}  // namespace

void blend(Transition kind, const Canvas& from, const Canvas& to, int amount, Canvas& out)
{
    amount = clamp(amount, 0, 256);
    if (amount == 0 || kind == Transition::cut) {
        out = amount == 0 ? from : to;
        return;
    }
    if (amount == 256) {
        out = to;
        return;
    }
    constexpr int w = Canvas::width, h = Canvas::height;
    switch (kind) {
    case Transition::cut:
        break;
    case Transition::dissolve:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.at(x, y) = static_cast<int>(hash2(x, y, 77) & 255) < amount ? to.at(x, y) : from.at(x, y);
        break;
    case Transition::wipe_right: {
        const int front = front_at(amount, w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)  // a slight slant reads as motion
                out.at(x, y) = wipe_cell(from.at(x, y), to.at(x, y), x + (y >> 2), front);
        break;
    }
    case Transition::wipe_down: {
        const int front = front_at(amount, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.at(x, y) = wipe_cell(from.at(x, y), to.at(x, y), y, front);
        break;
    }
    case Transition::iris: {
        // Radius in cells; the farthest corner is about 47 cells out.
        const int front = front_at(amount, 48);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int dx = 2 * x - (w - 1), dy = 2 * y - (h - 1);
                const int r = static_cast<int>(isqrt(static_cast<std::uint64_t>(dx * dx + dy * dy))) / 2;
                out.at(x, y) = wipe_cell(from.at(x, y), to.at(x, y), r, front);
            }
        break;
    }
    case Transition::blinds: {
        constexpr int slat = 6;
        const int front = front_at(amount, slat + w / 8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.at(x, y) = wipe_cell(from.at(x, y), to.at(x, y), (y % slat) + x / 8, front);
        break;
    }
    case Transition::slide_up: {
        const int shift = amount * h / 256;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.at(x, y) = y < h - shift ? from.at(x, y + shift) : to.at(x, y - (h - shift));
        break;
    }
    case Transition::fade: {
        Canvas dim_from = from;
        Canvas dim_to = to;
        shift_brightness(dim_from, -(amount * 3 / 256));
        shift_brightness(dim_to, -((256 - amount) * 3 / 256));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.at(x, y) = static_cast<int>(hash2(x, y, 91) & 255) < amount ? dim_to.at(x, y) : dim_from.at(x, y);
        break;
    }
    }
}

void shift_brightness(Canvas& canvas, int steps)
{
    if (steps == 0)
        return;
    std::array<std::uint8_t, 256> map{};
    for (int a = 0; a < 256; ++a)
        map[static_cast<std::size_t>(a)] = attr(shift_colour(a & 15, steps), shift_colour(a >> 4, steps));
    for (Cell& c : canvas.cells())
        c.attr = map[c.attr];
}

}  // namespace vexl::demo
