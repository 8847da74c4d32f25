#include "tools/vexl/frame_picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>

#include "output/glyph_raster.h"
#include "tests/fullscreen/png_reading.h"

namespace vexl::tool {
namespace {

using Frame = std::array<std::uint8_t, frame_bytes>;

Frame random_frame(unsigned seed)
{
    Frame frame;
    std::mt19937 random(seed);
    for (auto& byte : frame)
        byte = static_cast<std::uint8_t>(random());
    return frame;
}

std::uint32_t rgb_at(const RgbPicture& p, int x, int y)
{
    const std::uint8_t* px = p.rgb.data() + (static_cast<std::size_t>(y) * p.width + x) * 3;
    return std::uint32_t{px[0]} << 16 | std::uint32_t{px[1]} << 8 | px[2];
}

TEST(FramePicture, IsTheScreensPictureRepeatedScaleTimes)
{
    const Frame frame = random_frame(7);
    std::vector<std::uint32_t> screen(std::size_t{picture_width} * picture_height);
    draw_text_frame(frame, frame_rows, frame_cols,
                    PixelSurface{screen.data(), picture_width * 4, picture_width, picture_height});

    const RgbPicture one = render_frame_picture(frame, 1, false);
    ASSERT_EQ(one.width, 640);
    ASSERT_EQ(one.height, 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(rgb_at(one, x, y), screen[y * 640 + x]) << x << ", " << y;

    const RgbPicture three = render_frame_picture(frame, 3, false);
    ASSERT_EQ(three.width, 1920);
    ASSERT_EQ(three.height, 1200);
    for (int y = 0; y < 1200; y += 7)
        for (int x = 0; x < 1920; x += 5)
            ASSERT_EQ(rgb_at(three, x, y), screen[(y / 3) * 640 + x / 3]) << x << ", " << y;
}

TEST(FramePicture, AspectStretchesTo480RowsMixingTheRowsEachCovers)
{
    // Cell row 0 white blocks, the rest black: display rows 0-7 white.
    Frame frame{};
    for (int j = 0; j < frame_cols; ++j) {
        frame[2 * j] = 0xDB;
        frame[2 * j + 1] = 0x0F;
    }
    const RgbPicture p = render_frame_picture(frame, 1, true);
    ASSERT_EQ(p.width, 640);
    ASSERT_EQ(p.height, 480);
    // Picture row y covers display rows [y / 1.2, (y + 1) / 1.2).
    EXPECT_EQ(rgb_at(p, 100, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb_at(p, 100, 8), 0xFFFFFFu);   // [6.67, 7.5): white
    EXPECT_EQ(rgb_at(p, 100, 9), 0x999999u);   // [7.5, 8.33): 0.5 white of 0.83 = 60 %
    EXPECT_EQ(rgb_at(p, 100, 10), 0x000000u);  // [8.33, 9.17): black
    EXPECT_EQ(rgb_at(p, 639, 479), 0x000000u);

    const RgbPicture big = render_frame_picture(frame, 2, true);
    EXPECT_EQ(big.width, 1280);
    EXPECT_EQ(big.height, 960);
    EXPECT_EQ(rgb_at(big, 1279, 18), 0xFFFFFFu);  // [7.5, 7.92): white
    EXPECT_EQ(rgb_at(big, 1279, 19), 0x333333u);  // [7.92, 8.33): 20 % white
}

TEST(FramePicture, FitMixesByCoveredAreaAndAgreesWithScaleAndAspect)
{
    // Enlarging by whole numbers and the 4:3 stretch are special cases.
    const Frame frame = random_frame(11);
    const RgbPicture one = render_frame_picture(frame, 1, false);
    const PixelRect whole{0, 0, 640, 400};
    for (int scale : {1, 2})
        EXPECT_TRUE(fit_picture(one, whole, 640 * scale, 480 * scale).rgb == render_frame_picture(frame, scale, true).rgb)
            << scale;
    const RgbPicture part = fit_picture(one, {8, 16, 24, 8}, 48, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x)
            ASSERT_EQ(rgb_at(part, x, y), rgb_at(one, 8 + x / 2, 16 + y / 2)) << x << ", " << y;

    // Reductions: white, black / black, black into one pixel is a quarter white.
    RgbPicture square{2, 2, std::vector<std::uint8_t>(12, 0)};
    std::fill_n(square.rgb.begin(), 3, 0xFF);
    EXPECT_EQ(rgb_at(fit_picture(square, {0, 0, 2, 2}, 1, 1), 0, 0), 0x404040u);
    // Three across into two: [0, 1.5) and [1.5, 3) of white, black, white.
    RgbPicture row{3, 1, {0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF}};
    const RgbPicture two = fit_picture(row, {0, 0, 3, 1}, 2, 1);
    EXPECT_EQ(rgb_at(two, 0, 0), 0xAAAAAAu);
    EXPECT_EQ(rgb_at(two, 1, 0), 0xAAAAAAu);
}

TEST(FramePicture, PngHoldsThePictureExactly)
{
    const RgbPicture picture = render_frame_picture(random_frame(9), 2, true);
    const auto path = std::filesystem::temp_directory_path() / "vexl-frame-picture-test.png";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::string problem;
    EXPECT_TRUE(write_png(file, picture, problem)) << problem;
    std::fclose(file);
    const RgbPicture back = testing::read_png(path);
    std::filesystem::remove(path);
    EXPECT_EQ(back.width, picture.width);
    EXPECT_EQ(back.height, picture.height);
    EXPECT_TRUE(back.rgb == picture.rgb);
}

}  // namespace
}  // namespace vexl::tool
