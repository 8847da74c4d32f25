// The scaled view: block symbols that show each quarter's colour, the
// least squared error of the splits, and a picture worked out only where
// the cells changed that equals one worked out whole.

#include "term/scaled_view.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/palette16.h"
#include "output/terminal_glyphs.h"

namespace vexl::term {
namespace {

using platform::CharInfo;

// Quarters of a symbol that show its foreground (bit 0 top left, 1 top
// right, 2 bottom left, 3 bottom right).
int foreground_quarters(char32_t symbol)
{
    constexpr std::pair<char32_t, int> shapes[] = {
        {U' ', 0x0},      {U'\u2598', 0x1}, {U'\u259D', 0x2}, {U'\u2596', 0x4}, {U'\u2597', 0x8},
        {U'\u2580', 0x3}, {U'\u2584', 0xC}, {U'\u258C', 0x5}, {U'\u2590', 0xA}, {U'\u259A', 0x9},
        {U'\u259E', 0x6}, {U'\u2588', 0xF},
    };
    for (const auto& [shape, quarters] : shapes)
        if (shape == symbol)
            return quarters;
    ADD_FAILURE() << "not a block symbol: " << static_cast<std::uint32_t>(symbol);
    return 0;
}

Color shown(const Cell& cell, int quarter)
{
    return (foreground_quarters(cell.ch) >> quarter & 1) != 0 ? cell.fg : cell.bg;
}

// Each terminal cell covers 2 x 2 console cells of solid colour exactly,
// so each quarter is one console cell's background.
TEST(ScaledView, EachCellShowsTheSplitOfItsQuartersWithTheLeastError)
{
    static const std::array<std::uint8_t, 256 * 8> blank{};
    const CellFont font{8, blank.data()};
    struct Row {
        std::array<int, 4> quarters;  // VGA colours, top left to bottom right
        std::array<std::uint32_t, 4> want;
    };
    auto rgb = [](std::uint32_t c) { return rgb_color(c); };
    const Row table[] = {
        {{1, 1, 1, 1}, {0x0000AA, 0x0000AA, 0x0000AA, 0x0000AA}},  // one colour
        {{1, 1, 4, 4}, {0x0000AA, 0x0000AA, 0xAA0000, 0xAA0000}},  // halves
        {{2, 1, 1, 1}, {0x00AA00, 0x0000AA, 0x0000AA, 0x0000AA}},  // a quadrant
        {{15, 0, 0, 15}, {0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF}},  // a diagonal
        // Three colours: the two alike share the mean of theirs.
        {{0, 0, 15, 7}, {0x000000, 0x000000, 0xDDDDDD, 0xDDDDDD}},
    };
    for (const Row& row : table) {
        std::vector<CharInfo> cells(4);
        for (int q = 0; q < 4; ++q)
            cells[static_cast<std::size_t>(q)] = CharInfo{' ', static_cast<std::uint16_t>(row.quarters[q] << 4)};
        ScaledView view(ColorMode::truecolor);
        const std::vector<Cell>& out = view.convert(cells.data(), 2, 2, 1, 1, font);
        ASSERT_EQ(out.size(), 1u);
        for (int q = 0; q < 4; ++q)
            EXPECT_EQ(shown(out[0], q), rgb(row.want[q])) << "quarter " << q << " of " << row.quarters[0] << ","
                                                          << row.quarters[1] << "," << row.quarters[2] << ","
                                                          << row.quarters[3];
    }
}

// Random changes, a few cells or whole rows at a time, and a change of
// size: the picture kept up to date is the one worked out afresh.
TEST(ScaledView, APictureWorkedOutWhereItChangedEqualsOneWorkedOutWhole)
{
    std::mt19937 random(7);
    std::vector<CharInfo> cells(4000);
    for (CharInfo& cell : cells)
        cell = CharInfo{static_cast<std::uint16_t>(random() % 256), static_cast<std::uint16_t>(random() % 256)};
    const CellFont font = full_screen_font();
    for (const ColorMode mode : {ColorMode::truecolor, ColorMode::palette256, ColorMode::ansi16}) {
        ScaledView kept(mode);
        for (int step = 0; step < 24; ++step) {
            const int out_rows = step < 16 ? 24 : 30, out_cols = step < 16 ? 76 : 53;
            const int changes = step % 3 == 0 ? 80 * (1 + static_cast<int>(random() % 5)) : static_cast<int>(random() % 9);
            const std::size_t start = random() % cells.size();
            for (int k = 0; k < changes; ++k)
                cells[(start + static_cast<std::size_t>(k)) % cells.size()].attributes = static_cast<std::uint16_t>(random() % 256);
            ScaledView fresh(mode);
            ASSERT_EQ(kept.convert(cells.data(), 50, 80, out_rows, out_cols, font),
                      fresh.convert(cells.data(), 50, 80, out_rows, out_cols, font))
                << "step " << step << ", mode " << static_cast<int>(mode);
        }
    }
}

// The nearest 256-colour entry is worked out by channel, not by search:
// the same as the search over the cube and the grey ramp.
TEST(ScaledView, TheNearest256ColourIsTheSearchedOne)
{
    auto searched = [](Rgb c) {
        constexpr int cube[6] = {0, 95, 135, 175, 215, 255};
        auto square = [](int v) { return v * v; };
        int best = 16, best_distance = 1 << 30;
        for (int i = 0; i < 240; ++i) {
            const int r = i < 216 ? cube[i / 36] : 8 + 10 * (i - 216);
            const int g = i < 216 ? cube[i / 6 % 6] : r, b = i < 216 ? cube[i % 6] : r;
            if (const int d = square(r - c.r) + square(g - c.g) + square(b - c.b); d < best_distance) {
                best_distance = d;
                best = 16 + i;
            }
        }
        return best;
    };
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                const Rgb c{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
                ASSERT_EQ(nearest_xterm256(c), searched(c)) << r << "," << g << "," << b;
            }
}

}  // namespace
}  // namespace vexl::term
