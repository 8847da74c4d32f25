#include "output/glyph_raster.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/palette16.h"
#include "tests/fullscreen/raster_surface.h"

namespace vexl {
namespace {

using testing::TestSurface;
using testing::untouched;
using Frame = std::array<std::uint8_t, frame_bytes>;

constexpr std::uint32_t black = 0x000000;
constexpr std::uint32_t blue = 0x0000AA;
constexpr std::uint32_t light_grey = 0xAAAAAA;
constexpr std::uint32_t dark_grey = 0x555555;
constexpr std::uint32_t yellow = 0xFFFF55;
constexpr std::uint32_t white = 0xFFFFFF;

void put(Frame& frame, int row, int col, std::uint8_t ch, std::uint8_t attr)
{
    frame[row * frame_row_bytes + 2 * col] = ch;
    frame[row * frame_row_bytes + 2 * col + 1] = attr;
}

Frame random_frame(unsigned seed)
{
    Frame frame;
    std::mt19937 random(seed);
    for (auto& byte : frame)
        byte = static_cast<std::uint8_t>(random());
    return frame;
}

// Every pixel of cell (row, col) is `colour`.
::testing::AssertionResult cell_filled(const TestSurface& s, int row, int col, std::uint32_t colour)
{
    for (int y = row * 8; y < row * 8 + 8; ++y)
        for (int x = col * 8; x < col * 8 + 8; ++x)
            if (s.at(x, y) != colour)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is 0x" << std::hex << s.at(x, y);
    return ::testing::AssertionSuccess();
}

TEST(GlyphRaster, CellColoursFollowTheAttribute)
{
    Frame frame{};
    put(frame, 3, 5, 0xDB, 0x4E);    // full block, yellow on red
    put(frame, 3, 6, 0x20, 0x70);    // space on light grey
    put(frame, 10, 20, 0x41, 0x1F);  // white A on blue
    put(frame, 10, 21, 0x41, 0x80);  // black A on dark grey, not blinking
    TestSurface s(picture_width, picture_height, picture_width);
    draw_text_frame(frame, frame_rows, frame_cols, s.view());

    EXPECT_TRUE(cell_filled(s, 3, 5, yellow));
    EXPECT_TRUE(cell_filled(s, 3, 6, light_grey));

    // The top pixel row of the A (glyph byte 0x30) is bg bg fg fg bg bg bg bg.
    const std::uint32_t top_row[8] = {blue, blue, white, white, blue, blue, blue, blue};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(s.at(160 + x, 80), top_row[x]) << "x " << x;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool set = (Font8x8[0x41 * 8 + y] >> (7 - x)) & 1;
            EXPECT_EQ(s.at(160 + x, 80 + y), set ? white : blue);
            EXPECT_EQ(s.at(168 + x, 80 + y), set ? black : dark_grey);
        }
    EXPECT_TRUE(s.guards_intact());
}

TEST(GlyphRaster, ZeroFrameIsBlackAndTheLastCellSitsInTheBottomRightCorner)
{
    Frame frame{};
    TestSurface s(picture_width, picture_height, picture_width);
    draw_text_frame(frame, frame_rows, frame_cols, s.view());
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            ASSERT_EQ(s.at(x, y), black) << x << ", " << y;

    put(frame, 49, 79, 0xDB, 0x0F);
    draw_text_frame(frame, frame_rows, frame_cols, s.view());
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x) {
            const bool inside = x >= 632 && x <= 639 && y >= 392 && y <= 399;
            ASSERT_EQ(s.at(x, y), inside ? white : black) << x << ", " << y;
        }
    EXPECT_TRUE(s.guards_intact());
}

TEST(GlyphRaster, MatchesAPixelByPixelDrawingOfARandomFrame)
{
    // The straightforward per-pixel bit test; the rasteriser's masks and
    // word stores must give the same picture on every byte value.
    const Frame frame = random_frame(437);
    TestSurface s(picture_width, picture_height, picture_width);
    draw_text_frame(frame, frame_rows, frame_cols, s.view());
    for (int i = 0; i < frame_rows; ++i)
        for (int j = 0; j < frame_cols; ++j) {
            const std::uint8_t ch = frame[i * 160 + 2 * j];
            const std::uint8_t attr = frame[i * 160 + 2 * j + 1];
            for (int k = 0; k < 8; ++k)
                for (int x = 0; x < 8; ++x) {
                    const bool set = (Font8x8[ch * 8 + k] >> (7 - x)) & 1;
                    const std::uint32_t want = Palette16[set ? attr & 0x0F : attr >> 4];
                    ASSERT_EQ(s.at(j * 8 + x, i * 8 + k), want) << "cell " << i << ", " << j;
                }
        }
}

TEST(GlyphRaster, RowsFollowThePitchAndLeaveThePaddingAlone)
{
    const Frame frame = random_frame(865);
    TestSurface tight(picture_width, picture_height, picture_width);
    TestSurface padded(picture_width, picture_height, picture_width + 24);
    draw_text_frame(frame, frame_rows, frame_cols, tight.view());
    draw_text_frame(frame, frame_rows, frame_cols, padded.view());
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            ASSERT_EQ(padded.at(x, y), tight.at(x, y)) << x << ", " << y;
    EXPECT_TRUE(padded.guards_intact());
}

TEST(GlyphRaster, DrawsOnlyTheRequestedTopLeftCells)
{
    Frame frame{};
    for (int i = 0; i < frame_rows; ++i)
        for (int j = 0; j < frame_cols; ++j)
            put(frame, i, j, 0xDB, 0x0E);
    TestSurface s(picture_width, picture_height, picture_width);
    draw_text_frame(frame, 40, 60, s.view());
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            ASSERT_EQ(s.at(x, y), x < 480 && y < 320 ? yellow : untouched) << x << ", " << y;
}

TEST(GlyphRaster, ClipsToTheFrameAndToTheSurface)
{
    Frame frame{};
    for (int i = 0; i < frame_rows; ++i)
        for (int j = 0; j < frame_cols; ++j)
            put(frame, i, j, 0xDB, 0x0F);

    // Larger than the frame: only the frame's 50 x 80 cells, on a surface
    // with room to spare that must stay untouched beyond 640 x 400.
    TestSurface roomy(800, 600, 800);
    draw_text_frame(frame, 1000, 1000, roomy.view());
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            ASSERT_EQ(roomy.at(x, y), x < 640 && y < 400 ? white : untouched) << x << ", " << y;

    // A surface too small for the frame gets the whole cells that fit.
    TestSurface small(100, 20, 100);
    draw_text_frame(frame, frame_rows, frame_cols, small.view());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(small.at(x, y), x < 96 && y < 16 ? white : untouched) << x << ", " << y;
    EXPECT_TRUE(small.guards_intact());

    // A pitch shorter than the width would overlap rows: only what fits one
    // pitch is drawn.
    TestSurface overlapping(64, 16, 64);
    PixelSurface view = overlapping.view();
    view.width = 640;
    draw_text_frame(frame, frame_rows, frame_cols, view);
    EXPECT_TRUE(overlapping.guards_intact());
    EXPECT_EQ(overlapping.at(63, 15), white);

    // Nothing at all for negative sizes, a null surface or a bad pitch.
    TestSurface untouched_surface(picture_width, picture_height, picture_width);
    draw_text_frame(frame, -1, 80, untouched_surface.view());
    draw_text_frame(frame, 50, -1, untouched_surface.view());
    PixelSurface bad = untouched_surface.view();
    bad.pitch = 0;
    draw_text_frame(frame, 50, 80, bad);
    bad.pitch = -2560;
    draw_text_frame(frame, 50, 80, bad);
    draw_text_frame(frame, 50, 80, PixelSurface{nullptr, 2560, 640, 400});
    for (std::uint32_t pixel : untouched_surface.pixels)
        ASSERT_EQ(pixel, untouched);
}

}  // namespace
}  // namespace vexl
