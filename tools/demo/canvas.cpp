#include "tools/demo/canvas.h"

#include <algorithm>
#include <cstdlib>

namespace vexl::demo {

void Canvas::fill_rect(int x, int y, int w, int h, Cell c)
{
    const int x0 = std::max(x, 0), x1 = std::min(x + w, width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, height);
    for (int row = y0; row < y1; ++row)
        for (int col = x0; col < x1; ++col)
            at(col, row) = c;
}

void Canvas::tint_rect(int x, int y, int w, int h, int bg)
{
    const int x0 = std::max(x, 0), x1 = std::min(x + w, width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, height);
    for (int row = y0; row < y1; ++row)
        for (int col = x0; col < x1; ++col) {
            Cell& c = at(col, row);
            c.attr = attr(fg_of(c.attr), bg);
        }
}

void Canvas::print(int x, int y, std::string_view text, std::uint8_t attribute)
{
    for (char ch : text)
        put(x++, y, {static_cast<std::uint8_t>(ch), attribute});
}

void Canvas::print_centered(int y, std::string_view text, std::uint8_t attribute)
{
    print((width - static_cast<int>(text.size())) / 2, y, text, attribute);
}

void Canvas::print_over(int x, int y, std::string_view text, int fg)
{
    for (char ch : text) {
        if (inside(x, y)) {
            Cell& c = at(x, y);
            c = {static_cast<std::uint8_t>(ch), attr(fg, bg_of(c.attr))};
        }
        ++x;
    }
}

void Canvas::box(int x, int y, int w, int h, std::uint8_t attribute, BoxStyle style)
{
    if (w < 2 || h < 2)
        return;
    const bool dbl = style == BoxStyle::double_line;
    const std::uint8_t hz = dbl ? glyph::h_double : glyph::h_single;
    const std::uint8_t vt = dbl ? glyph::v_double : glyph::v_single;
    for (int i = 1; i < w - 1; ++i) {
        put(x + i, y, {hz, attribute});
        put(x + i, y + h - 1, {hz, attribute});
    }
    for (int j = 1; j < h - 1; ++j) {
        put(x, y + j, {vt, attribute});
        put(x + w - 1, y + j, {vt, attribute});
    }
    put(x, y, {dbl ? glyph::tl_double : glyph::tl_single, attribute});
    put(x + w - 1, y, {dbl ? glyph::tr_double : glyph::tr_single, attribute});
    put(x, y + h - 1, {dbl ? glyph::bl_double : glyph::bl_single, attribute});
    put(x + w - 1, y + h - 1, {dbl ? glyph::br_double : glyph::br_single, attribute});
}

void PixelCanvas::fill_rect(int x, int y, int w, int h, int colour)
{
    const int x0 = std::max(x, 0), x1 = std::min(x + w, width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, height);
    for (int row = y0; row < y1; ++row)
        for (int col = x0; col < x1; ++col)
            at(col, row) = static_cast<std::uint8_t>(colour);
}

void PixelCanvas::to_cells(Canvas& out) const
{
    for (int y = 0; y < Canvas::height; ++y)
        for (int x = 0; x < width; ++x) {
            const int top = at(x, 2 * y);
            const int bottom = at(x, 2 * y + 1);
            out.at(x, y) = top == bottom ? Cell{glyph::space, attr(top, top)}
                                         : Cell{glyph::upper_half, attr(top, bottom)};
        }
}

void IntensityCanvas::to_cells(Canvas& out, const ShadeRamp& ramp, int edge) const
{
    for (int y = 0; y < Canvas::height; ++y)
        for (int x = 0; x < width; ++x) {
            const int top = at(x, 2 * y);
            const int bottom = at(x, 2 * y + 1);
            if (std::abs(top - bottom) >= edge) {
                const int ct = ramp.colour(top);
                const int cb = ramp.colour(bottom);
                if (ct != cb) {
                    out.at(x, y) = {glyph::upper_half, attr(ct, cb)};
                    continue;
                }
            }
            out.at(x, y) = ramp.cell((top + bottom + 1) / 2);
        }
}

}  // namespace vexl::demo
