#pragma once
// Draws console cells as pixels, glyph by glyph, the way the full screen
// shows them. The terminal needs this to show a picture scaled down, but
// the font and the palette belong to the output layer above the platform:
// the executable hands the terminal one made from them.

#include <cstdint>
#include <functional>

#include "platform/terminal.h"

namespace vexl::term {

using platform::CharInfo;

struct CellRasterizer {
    int glyph_width = 0;
    int glyph_height = 0;
    // Paints `rows` x `cols` cells (row-major) into `pixels`: rows *
    // glyph_height rows of cols * glyph_width pixels 0x00RRGGBB, without
    // gaps between rows.
    std::function<void(const CharInfo* cells, int rows, int cols, std::uint32_t* pixels)> draw;

    explicit operator bool() const { return draw && glyph_width > 0 && glyph_height > 0; }
};

}  // namespace vexl::term
