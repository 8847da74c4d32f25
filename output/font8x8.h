#pragma once
// The built-in 8x8 font of code page 437: the glyph of code n is bytes 8n to
// 8n + 7, top pixel row first; in each byte bit 7 is the leftmost pixel and
// a set bit is a foreground pixel. Codes 0x00, 0x20 and 0xFF are blank.
// The bytes are generated at build time from the system's console fonts.

#include <array>
#include <cstdint>

namespace vexl {

inline constexpr int glyph_width = 8;
inline constexpr int glyph_height = 8;

inline constexpr std::array<std::uint8_t, 256 * glyph_height> Font8x8 = {
#include "output/font8x8_glyphs.inc"
};

}  // namespace vexl
