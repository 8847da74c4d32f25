#include "tools/vexl/frame_picture.h"

#include <png.h>

#include <algorithm>
#include <cmath>

#include "output/glyph_raster.h"

namespace vexl::tool {
namespace {

constexpr int crt_rows = 480;  // a 640 x 400 mode filled a 4:3 screen

void put_rgb(std::uint8_t* out, std::uint32_t pixel)
{
    out[0] = static_cast<std::uint8_t>(pixel >> 16);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel);
}

// One picture row from display row `source`, each pixel `scale` times.
void widen_row(const std::uint32_t* source, int scale, std::uint8_t* out)
{
    for (int x = 0; x < picture_width; ++x)
        for (int k = 0; k < scale; ++k, out += 3)
            put_rgb(out, source[x]);
}

// The source pixels one new pixel covers along one axis, with their
// overlaps in units of 1/`to` of a source pixel; they add up to `from`.
struct Cover {
    int first = 0;
    std::vector<long long> weights;
};

// New pixel i of `to` covers [i * from, (i + 1) * from) in units of 1/`to`
// of a source pixel; source pixel s spans [s * to, (s + 1) * to).
std::vector<Cover> covers(int from, int to)
{
    std::vector<Cover> result(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const long long begin = static_cast<long long>(i) * from;
        const long long end = begin + from;
        Cover& c = result[static_cast<std::size_t>(i)];
        c.first = static_cast<int>(begin / to);
        for (long long s = c.first; s * to < end; ++s)
            c.weights.push_back(std::min(end, (s + 1) * to) - std::max(begin, s * to));
    }
    return result;
}

}  // namespace

RgbPicture render_frame_picture(std::span<const std::uint8_t, frame_bytes> frame, int scale, bool aspect)
{
    scale = std::clamp(scale, 1, largest_render_scale);
    std::vector<std::uint32_t> display(std::size_t{picture_width} * picture_height);
    draw_text_frame(frame, frame_rows, frame_cols,
                    PixelSurface{display.data(), picture_width * 4, picture_width, picture_height});

    RgbPicture picture;
    picture.width = picture_width * scale;
    picture.height = (aspect ? crt_rows : picture_height) * scale;
    const std::size_t stride = std::size_t{3} * picture.width;
    picture.rgb.resize(stride * picture.height);

    // Each widened display row once; picture rows are copies or mixes.
    std::vector<std::uint8_t> wide(stride * picture_height);
    for (int y = 0; y < picture_height; ++y)
        widen_row(display.data() + std::size_t{picture_width} * y, scale, wide.data() + stride * y);

    if (!aspect) {
        for (int y = 0; y < picture.height; ++y)
            std::copy_n(wide.data() + stride * (y / scale), stride, picture.rgb.data() + stride * y);
        return picture;
    }
    // Picture row y covers display rows [y * 400 / H, (y + 1) * 400 / H);
    // in units of 1/H display row that is [y * 400, (y + 1) * 400).
    const long long h = picture.height;
    std::vector<double> mix(stride);
    for (int y = 0; y < picture.height; ++y) {
        const long long top = y * 400LL;
        const long long bottom = top + 400;
        std::fill(mix.begin(), mix.end(), 0.0);
        for (long long row = top / h; row * h < bottom && row < picture_height; ++row) {
            const long long weight = std::min(bottom, (row + 1) * h) - std::max(top, row * h);
            const std::uint8_t* source = wide.data() + stride * row;
            for (std::size_t i = 0; i < stride; ++i)
                mix[i] += static_cast<double>(weight) * source[i];
        }
        std::uint8_t* out = picture.rgb.data() + stride * y;
        for (std::size_t i = 0; i < stride; ++i)
            out[i] = static_cast<std::uint8_t>(std::lround(mix[i] / 400.0));
    }
    return picture;
}

RgbPicture fit_picture(const RgbPicture& source, PixelRect part, int width, int height)
{
    RgbPicture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(std::size_t{3} * width * height);
    const std::vector<Cover> across = covers(part.width, width);
    const std::vector<Cover> down = covers(part.height, height);
    // Every new pixel's weights add up to the area of one new pixel.
    const long long area = static_cast<long long>(part.width) * part.height;
    std::uint8_t* out = picture.rgb.data();
    for (const Cover& rows : down) {
        for (const Cover& columns : across) {
            long long sum[3] = {};
            for (std::size_t r = 0; r < rows.weights.size(); ++r) {
                const std::uint8_t* in = source.rgb.data() +
                    (static_cast<std::size_t>(part.y + rows.first + static_cast<int>(r)) * source.width + part.x +
                     columns.first) * 3;
                for (std::size_t c = 0; c < columns.weights.size(); ++c, in += 3) {
                    const long long weight = rows.weights[r] * columns.weights[c];
                    for (int k = 0; k < 3; ++k)
                        sum[k] += weight * in[k];
                }
            }
            for (int k = 0; k < 3; ++k)
                *out++ = static_cast<std::uint8_t>((2 * sum[k] + area) / (2 * area));  // rounded half up
        }
    }
    return picture;
}

bool write_png(std::FILE* file, const RgbPicture& picture, std::string& problem)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    // Lighter compression: rendering runs of frames is bound by the encoder.
    image.flags = PNG_IMAGE_FLAG_FAST;
    if (png_image_write_to_stdio(&image, file, 0, picture.rgb.data(), picture.width * 3, nullptr) == 0) {
        problem = image.message[0] != '\0' ? image.message : "cannot write the PNG";
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace vexl::tool
