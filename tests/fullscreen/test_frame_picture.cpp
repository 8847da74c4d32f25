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
