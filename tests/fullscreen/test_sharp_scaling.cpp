// Where the 640 x 400 picture goes on screens of common sizes, and how it
// is scaled there.

#include "output/sharp_scaling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "output/sharp_scaler.h"

namespace vexl::platform {
namespace {

TEST(SharpScaling, LargestCentredPictureOfTheSameShapeWholeStepsThenFiltered)
{
    const struct {
        int screen_width, screen_height;
        PixelRect picture;
        int factor;
        bool exact;
    } cases[] = {
        // Exact multiples: nearest neighbour only, pixel-exact.
        {640, 400, {0, 0, 640, 400}, 1, true},
        {1280, 800, {0, 0, 1280, 800}, 2, true},
        {1920, 1200, {0, 0, 1920, 1200}, 3, true},
        {1280, 1024, {0, 112, 1280, 800}, 2, true},  // bars above and below
        // Anything else: the whole-number step, then filtered to the rest.
        {1920, 1080, {96, 0, 1728, 1080}, 2, false},  // 2 x, then 1.35 x
        {1366, 768, {68, 0, 1229, 768}, 1, false},    // filtered only
        {2560, 1440, {128, 0, 2304, 1440}, 3, false},
        {3840, 2160, {192, 0, 3456, 2160}, 5, false},
        {1024, 768, {0, 64, 1024, 640}, 1, false},
        {800, 600, {0, 50, 800, 500}, 1, false},
        {320, 200, {0, 0, 320, 200}, 1, false},  // smaller than the picture: filtered down
        {641, 401, {0, 0, 641, 401}, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.screen_width) + "x" + std::to_string(c.screen_height));
        const SharpScaling s = sharp_scaling(640, 400, c.screen_width, c.screen_height);
        EXPECT_EQ(s.picture, c.picture);
        EXPECT_EQ(s.factor, c.factor);
        EXPECT_EQ(s.exact, c.exact);
        EXPECT_EQ(s.filtered(), !c.exact);
        EXPECT_EQ(s.prescaled(), !c.exact && c.factor > 1);
        // The whole-number step never exceeds the picture.
        EXPECT_LE(s.prescaled_width(640), std::max(640, s.picture.width));
        EXPECT_LE(s.prescaled_height(400), std::max(400, s.picture.height));
    }
}

TEST(SharpScaling, EmptyScreenGetsAnEmptyPicture)
{
    const SharpScaling s = sharp_scaling(640, 400, 0, 0);
    EXPECT_EQ(s.picture, PixelRect{});
}

}  // namespace
}  // namespace vexl::platform

// The processor's sharp scaling against sampling, in floating point, the
// picture scaled up by nearest neighbour (as a graphics card's linear
// filter samples it), with black around it.
namespace vexl {
namespace {

std::uint32_t channel(std::uint32_t pixel, int shift) { return pixel >> shift & 0xFF; }

TEST(SharpScaler, DrawsWhatALinearFilterSeesOfTheWholeNumberStepCentredInBlack)
{
    std::vector<std::uint32_t> source(640 * 400);
    std::uint32_t seed = 2003;
    for (auto& p : source)
        p = (seed = seed * 1664525 + 1013904223) >> 8;
    for (const auto& [width, height] : {std::pair{1280, 800}, std::pair{1024, 768}, std::pair{1366, 768},
                                        std::pair{640, 480}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const SharpScaler scaler(640, 400, width, height);
        std::vector<std::uint32_t> screen(static_cast<std::size_t>(width * height), 0xDEADBEEF);
        scaler.draw(PixelSurface{source.data(), 640 * 4, 640, 400}, PixelSurface{screen.data(), width * 4, width, height});
        const platform::SharpScaling& s = scaler.scaling();
        const int steps_w = 640 * s.factor, steps_h = 400 * s.factor;
        auto prescaled = [&](int x, int y) { return source[static_cast<std::size_t>(y / s.factor * 640 + x / s.factor)]; };
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t got = screen[static_cast<std::size_t>(y * width + x)];
                const int px = x - s.picture.x, py = y - s.picture.y;
                if (px < 0 || py < 0 || px >= s.picture.width || py >= s.picture.height) {
                    ASSERT_EQ(got, 0u) << x << "," << y;
                    continue;
                }
                const double u = std::clamp((px + 0.5) * steps_w / s.picture.width - 0.5, 0.0, steps_w - 1.0);
                const double v = std::clamp((py + 0.5) * steps_h / s.picture.height - 0.5, 0.0, steps_h - 1.0);
                const int x0 = static_cast<int>(u), y0 = static_cast<int>(v);
                const int x1 = std::min(x0 + 1, steps_w - 1), y1 = std::min(y0 + 1, steps_h - 1);
                for (int shift : {0, 8, 16}) {
                    auto lerp = [&](double a, double b, double t) { return a + (b - a) * t; };
                    const double want =
                        lerp(lerp(channel(prescaled(x0, y0), shift), channel(prescaled(x1, y0), shift), u - x0),
                             lerp(channel(prescaled(x0, y1), shift), channel(prescaled(x1, y1), shift), u - x0), v - y0);
                    worst = std::max(worst, static_cast<int>(std::abs(channel(got, shift) - want) + 0.5));
                }
                ASSERT_EQ(got >> 24, 0u);
            }
        // Exact multiples are nearest neighbour alone; elsewhere weights in
        // 256ths and rounding stay within two steps of a colour channel.
        EXPECT_LE(worst, s.exact ? 0 : 2);
    }
}

}  // namespace
}  // namespace vexl
