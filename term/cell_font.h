#pragma once
// The glyphs console cells are drawn with when a smaller terminal shows
// the picture scaled down: the full screen's font, which lives in the
// output layer above the terminal engine, handed down by whoever wires
// the terminal. The colours are Palette16's.

#include <cstdint>

namespace vexl::term {

struct CellFont {
    static constexpr int glyph_width = 8;  // one byte a pixel row
    int glyph_height = 0;
    // 256 glyphs of glyph_height bytes, top row first; bit 7 is the
    // leftmost pixel and a set bit shows the foreground.
    const std::uint8_t* glyph_rows = nullptr;

    explicit operator bool() const { return glyph_rows != nullptr && glyph_height > 0; }
};

}  // namespace vexl::term
