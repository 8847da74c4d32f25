// Test helper: does a screenshot (xwd's XWD dump of a window) hold exactly
// the pixels of a PNG? Exit 0 when equal, 1 when not (the first difference
// and the count are printed), 2 when a file cannot be read.
//
// usage: xwd_equals_png SHOT.xwd PICTURE.png

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fullscreen/png_reading.h"

namespace {

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;  // 0x00RRGGBB
};

std::uint32_t big_endian(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The bits of `mask` in `pixel`, widened to 8 bits.
std::uint32_t channel(std::uint32_t pixel, std::uint32_t mask)
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
bool read_xwd(const char* path, Screenshot& shot)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    if (data.size() < 100)
        return false;
    std::uint32_t h[25];
    for (int i = 0; i < 25; ++i)
        h[i] = big_endian(data.data() + 4 * i);
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
                                : big_endian(p);
            shot.rgb[std::size_t{y} * width + x] =
                channel(pixel, red) << 16 | channel(pixel, green) << 8 | channel(pixel, blue);
        }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: xwd_equals_png SHOT.xwd PICTURE.png\n");
        return 2;
    }
    Screenshot shot;
    if (!read_xwd(argv[1], shot)) {
        std::fprintf(stderr, "%s: not a 32-bit ZPixmap XWD dump\n", argv[1]);
        return 2;
    }
    const vexl::tool::RgbPicture picture = vexl::testing::read_png(argv[2]);
    if (picture.width == 0) {
        std::fprintf(stderr, "%s: cannot read the PNG\n", argv[2]);
        return 2;
    }
    if (shot.width != picture.width || shot.height != picture.height) {
        std::printf("sizes differ: %dx%d against %dx%d\n", shot.width, shot.height, picture.width, picture.height);
        return 1;
    }
    long differing = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const std::uint8_t* p = picture.rgb.data() + (std::size_t(y) * picture.width + x) * 3;
            const std::uint32_t want = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
            const std::uint32_t got = shot.rgb[std::size_t(y) * shot.width + x];
            if (got != want && differing++ == 0)
                std::printf("first difference at (%d, %d): screen %06X, picture %06X\n", x, y, got, want);
        }
    if (differing != 0) {
        std::printf("%ld pixels differ\n", differing);
        return 1;
    }
    return 0;
}
