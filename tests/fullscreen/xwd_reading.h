#pragma once
// Reading a screenshot taken with xwd (an XWD dump of the root window) as
// 0x00RRGGBB pixels, for the end-to-end tests.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace vexl::testing {

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;  // 0x00RRGGBB
};

inline std::uint32_t xwd_word(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The bits of `mask` in `pixel`, widened to 8 bits.
inline std::uint32_t xwd_channel(std::uint32_t pixel, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    const std::uint32_t bits = mask >> shift;
    const std::uint32_t value = (pixel & mask) >> shift;
    return bits == 0xFF ? value : value * 255 / bits;
}

// Only what Xvfb's 24-bit TrueColor screen dumps: ZPixmap, 32 bits a pixel.
inline bool read_xwd(const char* path, Screenshot& shot)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    if (data.size() < 100)
        return false;
    std::uint32_t h[25];
    for (int i = 0; i < 25; ++i)
        h[i] = xwd_word(data.data() + 4 * i);
    const std::uint32_t header_size = h[0], format = h[2], width = h[4], height = h[5], byte_order = h[7],
                        bits_per_pixel = h[11], bytes_per_line = h[12], red = h[14], green = h[15],
                        blue = h[16], ncolors = h[19];
    constexpr std::uint32_t z_pixmap = 2;
    if (h[1] != 7 || format != z_pixmap || bits_per_pixel != 32 || width > 16384 || height > 16384 ||
        bytes_per_line < width * 4)
        return false;
    const std::size_t pixels_at = header_size + std::size_t{ncolors} * 12;
    if (data.size() < pixels_at + std::size_t{bytes_per_line} * height)
        return false;
    shot.width = static_cast<int>(width);
    shot.height = static_cast<int>(height);
    shot.rgb.resize(std::size_t{width} * height);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = data.data() + pixels_at + std::size_t{y} * bytes_per_line + x * 4;
            const std::uint32_t pixel =
                byte_order == 0 ? std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]
                                : xwd_word(p);
            shot.rgb[std::size_t{y} * width + x] =
                xwd_channel(pixel, red) << 16 | xwd_channel(pixel, green) << 8 | xwd_channel(pixel, blue);
        }
    return true;
}

}  // namespace vexl::testing
