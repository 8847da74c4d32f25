#include "tools/demo/radial_field.h"

#include "tools/demo/canvas.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {

RadialField::RadialField(int width, int height, int x_units, int y_units)
    : width_(width), height_(height), table_(static_cast<std::size_t>(4 * width * height))
{
    for (int dy = -height; dy < height; ++dy)
        for (int dx = -width; dx < width; ++dx) {
            const long long x = static_cast<long long>(dx) * x_units;
            const long long y = static_cast<long long>(dy) * y_units;
            Polar& p = table_[static_cast<std::size_t>((dy + height) * 2 * width + dx + width)];
            p.distance = static_cast<std::uint16_t>(isqrt(static_cast<std::uint64_t>((x * x + y * y) << 8)));
            p.angle = static_cast<std::uint16_t>(atan2_angle(static_cast<int>(y), static_cast<int>(x)));
        }
}

const RadialField& cell_field()
{
    static const RadialField field(screen_width, screen_height, 2, 2);
    return field;
}

const RadialField& pixel_field()
{
    static const RadialField field(screen_width, pixel_height, 2, 1);
    return field;
}

}  // namespace vexl::demo
