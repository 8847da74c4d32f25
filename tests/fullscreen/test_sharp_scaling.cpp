// Where the 640 x 400 picture goes on screens of common sizes, and how it
// is scaled there.

#include "output/sharp_scaling.h"

#include <gtest/gtest.h>

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
