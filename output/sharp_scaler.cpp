#include "output/sharp_scaler.h"

#include <algorithm>
#include <cstring>

namespace vexl {
namespace {

const std::uint32_t* row_of(const PixelSurface& surface, int y)
{
    return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                  y * surface.pitch);
}

std::uint32_t* row_of_mutable(const PixelSurface& surface, int y)
{
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface.pixels) + y * surface.pitch);
}

// a + (b - a) * weight / 256 per colour channel.
std::uint32_t blend(std::uint32_t a, std::uint32_t b, std::uint32_t weight)
{
    if (weight == 0 || a == b)
        return a;
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t red_blue = ((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight + 0x800080) >> 8 & 0xFF00FF;
    const std::uint32_t green = ((a & 0x00FF00) * keep + (b & 0x00FF00) * weight + 0x008000) >> 8 & 0x00FF00;
    return red_blue | green;
}

}  // namespace

SharpScaler::SharpScaler(int source_width, int source_height, int screen_width, int screen_height)
    : scaling_(platform::sharp_scaling(source_width, source_height, screen_width, screen_height)),
      screen_width_(screen_width), screen_height_(screen_height),
      columns_(taps(source_width, scaling_.factor, scaling_.picture.width)),
      rows_(taps(source_height, scaling_.factor, scaling_.picture.height))
{
}

std::vector<SharpScaler::Tap> SharpScaler::taps(int source_size, int factor, int picture_size)
{
    // Output pixel d samples the whole-number step (source_size * factor
    // pixels) at its centre: u = (d + 1/2) * steps / picture_size - 1/2,
    // kept exact as a fraction over 2 * picture_size.
    std::vector<Tap> out(static_cast<std::size_t>(std::max(0, picture_size)));
    const std::int64_t steps = static_cast<std::int64_t>(source_size) * factor;
    const std::int64_t denominator = 2 * static_cast<std::int64_t>(picture_size);
    for (int d = 0; d < picture_size; ++d) {
        const std::int64_t numerator = (2 * static_cast<std::int64_t>(d) + 1) * steps - picture_size;
        Tap& tap = out[static_cast<std::size_t>(d)];
        std::int64_t step = 0;
        if (numerator > 0) {
            step = numerator / denominator;
            tap.weight = static_cast<std::uint32_t>((numerator % denominator * 256 + denominator / 2) / denominator);
        }
        const std::int64_t next = std::min(step + 1, steps - 1);
        if (tap.weight == 256) {
            step = next;
            tap.weight = 0;
        }
        tap.first = static_cast<int>(step / factor);
        tap.second = static_cast<int>(next / factor);
    }
    return out;
}

void SharpScaler::draw(const PixelSurface& source, const PixelSurface& screen) const
{
    const platform::PixelRect& p = scaling_.picture;
    const auto width_bytes = static_cast<std::size_t>(screen_width_) * 4;
    for (int y = 0; y < screen_height_; ++y) {
        std::uint32_t* out = row_of_mutable(screen, y);
        if (y < p.y || y >= p.y + p.height) {
            std::memset(out, 0, width_bytes);
            continue;
        }
        std::fill(out, out + p.x, 0u);
        std::fill(out + p.x + p.width, out + screen_width_, 0u);
        const Tap& row = rows_[static_cast<std::size_t>(y - p.y)];
        const std::uint32_t* upper = row_of(source, row.first);
        const std::uint32_t* lower = row_of(source, row.second);
        std::uint32_t* picture = out + p.x;
        for (int x = 0; x < p.width; ++x) {
            const Tap& column = columns_[static_cast<std::size_t>(x)];
            const std::uint32_t top = blend(upper[column.first], upper[column.second], column.weight);
            if (row.weight == 0) {
                picture[x] = top;
                continue;
            }
            const std::uint32_t bottom = blend(lower[column.first], lower[column.second], column.weight);
            picture[x] = blend(top, bottom, row.weight);
        }
    }
}

}  // namespace vexl
