#pragma once
// Turns the console's screen buffer into what the real terminal shows:
// the cells themselves (exact or centred), or the whole buffer drawn as
// glyphs and scaled down to the cells the terminal has (see ScaledView).
// The result goes into the painter, which sends only what differs from
// what the terminal shows already.

#include "term/cell_font.h"
#include "term/frame_painter.h"
#include "term/picture_layout.h"
#include "term/scaled_view.h"

namespace vexl::term {

using platform::CharInfo;

class Compositor {
public:
    explicit Compositor(ColorMode mode) : scaled_(mode) {}

    void set_font(CellFont font) { font_ = font; }
    bool can_scale() const { return static_cast<bool>(font_); }
    int glyph_width() const { return CellFont::glyph_width; }
    int glyph_height() const { return font_.glyph_height; }

    // Puts the buffer's `rows` x `cols` cells into `painter` where `layout`
    // places them (a scaled picture is worked on again only where the
    // cells differ from the last call's).
    void compose(const CharInfo* cells, int rows, int cols, const PictureLayout& layout, FramePainter& painter);

private:
    CellFont font_;
    ScaledView scaled_;
};

}  // namespace vexl::term
