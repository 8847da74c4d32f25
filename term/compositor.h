#pragma once
// Turns the console's screen buffer into what the real terminal shows:
// the cells themselves (exact or centred), or the whole buffer drawn as
// glyphs and scaled down to the cells the terminal has (see ScaledView).
// The result goes into the painter, which sends only what differs from
// what the terminal shows already.

#include <cstdint>
#include <vector>

#include "term/cell_rasterizer.h"
#include "term/frame_painter.h"
#include "term/picture_layout.h"
#include "term/scaled_view.h"

namespace vexl::term {

using platform::CharInfo;

class Compositor {
public:
    explicit Compositor(ColorMode mode) : scaled_(mode) {}

    void set_rasterizer(CellRasterizer rasterizer) { rasterizer_ = std::move(rasterizer); }
    bool can_scale() const { return static_cast<bool>(rasterizer_); }
    int glyph_width() const { return rasterizer_.glyph_width; }
    int glyph_height() const { return rasterizer_.glyph_height; }

    // Puts the buffer's `rows` x `cols` cells into `painter` where `layout`
    // places them. `changed`: the cells differ from the last call's (a
    // scaled picture is only drawn anew then).
    void compose(const CharInfo* cells, int rows, int cols, const PictureLayout& layout, bool changed,
                 FramePainter& painter);

private:
    void scale(const CharInfo* cells, int rows, int cols, const PictureLayout& layout);

    CellRasterizer rasterizer_;
    ScaledView scaled_;
    std::vector<std::uint32_t> pixels_;
    std::vector<Cell> scaled_cells_;  // the last scaled picture
    PictureLayout scaled_layout_;     // and where it went
};

}  // namespace vexl::term
