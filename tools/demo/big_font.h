#pragma once
// The demo's own big letters: a proportional 5 x 7 font that effects draw
// at any size and in any material (blocks, half-block pixels, heat for the
// fire). Letters are upper case; 'x' is a small x, '@' a heart.

#include <string_view>

namespace vexl::demo {

inline constexpr int big_font_height = 7;

// Width of `text` in font pixels, one pixel of spacing between letters.
int big_text_width(std::string_view text);

// Calls plot(x, y) for every set font pixel of `text`, x counted from the
// start of the text and y from 0 (top) to 6.
template <class Plot>
void for_each_big_pixel(std::string_view text, Plot&& plot);

namespace detail {
struct BigGlyph {
    unsigned char rows[big_font_height];  // bit 4 is the leftmost column
    int first_column;                     // trimmed extent, for proportional spacing
    int width;
};
const BigGlyph& big_glyph(char c);
}  // namespace detail

template <class Plot>
void for_each_big_pixel(std::string_view text, Plot&& plot)
{
    int pen = 0;
    for (char c : text) {
        const detail::BigGlyph& g = detail::big_glyph(c);
        for (int y = 0; y < big_font_height; ++y)
            for (int x = 0; x < g.width; ++x)
                if ((g.rows[y] >> (4 - g.first_column - x) & 1) != 0)
                    plot(pen + x, y);
        pen += g.width + 1;
    }
}

}  // namespace vexl::demo
