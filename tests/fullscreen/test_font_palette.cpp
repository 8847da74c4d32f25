#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>

#include "output/font8x8.h"
#include "core/palette16.h"

namespace vexl {
namespace {

using Glyph = std::array<std::uint8_t, 8>;

Glyph glyph_of(int code)
{
    Glyph g{};
    for (int row = 0; row < 8; ++row)
        g[row] = Font8x8[code * 8 + row];
    return g;
}

TEST(Font8x8, TellingRowsAreExact)
{
    struct Row {
        int code;
        Glyph bytes;
    };
    const Row rows[] = {
        {0x30, {0x7C, 0xCE, 0xDE, 0xF6, 0xE6, 0xC6, 0x7C, 0x00}},
        {0x41, {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00}},
        {0xB0, {0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88}},
        {0xB1, {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA}},
        {0xB2, {0xDB, 0xF6, 0xDB, 0x6F, 0xDB, 0x7E, 0xD7, 0xED}},
        {0xB3, {0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18}},
        {0xC4, {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}},
        {0xDB, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0xDC, {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0xDD, {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}},
        {0xDE, {0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F}},
        {0xDF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}},
        {0xFE, {0x00, 0x00, 0x3C, 0x3C, 0x3C, 0x3C, 0x00, 0x00}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(glyph_of(row.code), row.bytes) << "code 0x" << std::hex << row.code;
}

TEST(Font8x8, OnlyNulSpaceAndFFAreBlankAndEveryOtherCodeHasAGlyphOfItsOwn)
{
    std::set<Glyph> seen;
    for (int code = 0; code < 256; ++code) {
        const Glyph g = glyph_of(code);
        const bool blank = g == Glyph{};
        if (code == 0x00 || code == 0x20 || code == 0xFF) {
            EXPECT_TRUE(blank) << "code 0x" << std::hex << code;
            continue;
        }
        EXPECT_FALSE(blank) << "code 0x" << std::hex << code;
        // Distinct glyphs: a code left on another code's picture (say, a
        // failed substitution) would show up as a duplicate.
        EXPECT_TRUE(seen.insert(g).second) << "code 0x" << std::hex << code << " repeats a glyph";
    }
}

TEST(Font8x8, BoxDrawingAndLettersSitWhereCp437PutsThem)
{
    // Spot checks of the layout beyond the telling rows: a box corner at
    // 0xDA whose strokes meet the cell edges (so boxes join up), and
    // capital letters that sit on the baseline with the bottom row free
    // (a table shifted by a row or a code would break both).
    const Glyph corner = glyph_of(0xDA);
    EXPECT_EQ(corner[7] & 0x18, 0x18) << "vertical stroke runs to the bottom edge";
    EXPECT_EQ(corner[4] & 0x01, 0x01) << "horizontal stroke runs to the right edge";
    for (int code = 'A'; code <= 'Z'; ++code) {
        if (code == 'Q')
            continue;  // its tail descends into the bottom row
        EXPECT_EQ(glyph_of(code)[7], 0) << static_cast<char>(code);
        EXPECT_NE(glyph_of(code)[6], 0) << static_cast<char>(code);
    }
}

// The VGA's rule: bit 0 blue, bit 1 green, bit 2 red at two thirds, bit 3
// adds a third to every channel; brown's green is halved.
TEST(Palette16, FollowsTheVgaColourRule)
{
    for (std::uint32_t i = 0; i < 16; ++i) {
        const std::uint32_t bright = (i & 8) != 0 ? 0x55 : 0;
        auto channel = [&](std::uint32_t bit) { return ((i & bit) != 0 ? 0xAAu : 0u) + bright; };
        const std::uint32_t green = i == 6 ? 0x55 : channel(2);
        EXPECT_EQ(Palette16[i], channel(4) << 16 | green << 8 | channel(1)) << "colour " << i;
    }
}

}  // namespace
}  // namespace vexl
