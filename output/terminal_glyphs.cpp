#include "output/terminal_glyphs.h"

#include "output/font8x8.h"

namespace vexl {

term::CellFont full_screen_font()
{
    static_assert(glyph_width == term::CellFont::glyph_width);
    return {glyph_height, Font8x8.data()};
}

}  // namespace vexl
