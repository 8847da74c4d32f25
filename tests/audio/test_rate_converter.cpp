// Linear rate conversion, fed in pieces of any size.

#include "audio/rate_converter.h"

#include <gtest/gtest.h>

namespace vexl::platform {
namespace {

std::vector<std::int16_t> convert(int from, int to, const std::vector<std::int16_t>& in, std::size_t piece)
{
    LinearRateConverter c(from, to);
    std::vector<std::int16_t> out;
    for (std::size_t at = 0; at < in.size(); at += piece) {
        c.put(in.data() + at, static_cast<int>(std::min(piece, in.size() - at)));
        std::vector<std::int16_t> got(static_cast<std::size_t>(c.available()));
        got.resize(static_cast<std::size_t>(c.get(got.data(), static_cast<int>(got.size()))));
        out.insert(out.end(), got.begin(), got.end());
    }
    return out;
}

TEST(LinearRateConverter, InterpolatesBetweenNeighboursWhateverThePieces)
{
    const std::vector<std::int16_t> ramp{0, 100, 200, 300, 400, 500, 600, 700, 800, 900};
    const struct {
        int from, to;
        std::vector<std::int16_t> out;
    } cases[] = {
        {1, 2, {0, 50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 550, 600, 650, 700, 750, 800, 850}},
        {2, 1, {0, 200, 400, 600, 800}},
        {3, 1, {0, 300, 600}},
        {22050, 22050, {0, 100, 200, 300, 400, 500, 600, 700, 800}},
        {2, 3, {0, 66, 133, 200, 266, 333, 400, 466, 533, 600, 666, 733, 800, 866}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
        for (std::size_t piece : {1u, 3u, 10u})
            EXPECT_EQ(convert(c.from, c.to, ramp, piece), c.out) << "in pieces of " << piece;
    }
    EXPECT_EQ(make_linear_converter(0, 22050), nullptr);
}

}  // namespace
}  // namespace vexl::platform
