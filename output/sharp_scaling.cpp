#include "output/sharp_scaling.h"

#include <algorithm>
#include <cstdint>

namespace vexl::platform {

SharpScaling sharp_scaling(int source_width, int source_height, int screen_width, int screen_height)
{
    SharpScaling s;
    if (source_width <= 0 || source_height <= 0 || screen_width <= 0 || screen_height <= 0) {
        s.exact = false;
        return s;
    }
    // The largest picture of the source's shape: full width when the
    // screen is relatively taller, else full height; the other side rounded.
    const std::int64_t sw = source_width;
    const std::int64_t sh = source_height;
    if (screen_width * sh <= screen_height * sw) {
        s.picture.width = screen_width;
        s.picture.height = static_cast<int>(std::min<std::int64_t>(
            screen_height, (screen_width * sh * 2 + sw) / (sw * 2)));
    } else {
        s.picture.height = screen_height;
        s.picture.width = static_cast<int>(std::min<std::int64_t>(
            screen_width, (screen_height * sw * 2 + sh) / (sh * 2)));
    }
    s.picture.x = (screen_width - s.picture.width) / 2;
    s.picture.y = (screen_height - s.picture.height) / 2;

    s.factor = std::max(1, std::min(screen_width / source_width, screen_height / source_height));
    s.exact = s.picture.width == source_width * s.factor && s.picture.height == source_height * s.factor;
    return s;
}

}  // namespace vexl::platform
