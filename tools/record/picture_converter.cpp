#include "tools/record/picture_converter.h"

#include <array>

#include "output/glyph_raster.h"
#include "core/palette16.h"

namespace vexl::record {
namespace {

// AV_PIX_FMT_0RGB32 is 0x00RRGGBB in the machine's own byte order, as the
// rasteriser writes it.
constexpr AVPixelFormat screen_format = AV_PIX_FMT_0RGB32;

// Every VGA colour component is 0x00, 0x55, 0xAA or 0xFF, so the top two
// bits of each tell the 16 colours apart.
constexpr int colour_key(std::uint32_t pixel)
{
    return static_cast<int>(((pixel >> 22) & 0x3) << 4 | ((pixel >> 14) & 0x3) << 2 | ((pixel >> 6) & 0x3));
}

constexpr std::array<std::uint8_t, 64> make_colour_index()
{
    std::array<std::uint8_t, 64> index{};
    for (std::size_t i = 0; i < Palette16.size(); ++i)
        index[static_cast<std::size_t>(colour_key(Palette16[i]))] = static_cast<std::uint8_t>(i);
    return index;
}
constexpr std::array<std::uint8_t, 64> colour_index = make_colour_index();

constexpr bool keys_are_distinct()
{
    for (std::size_t i = 0; i < Palette16.size(); ++i)
        if (colour_index[static_cast<std::size_t>(colour_key(Palette16[i]))] != i)
            return false;
    return true;
}
static_assert(keys_are_distinct(), "the palette's colours must map to distinct keys");

}  // namespace

AVPixelFormat PictureConverter::pixel_format(PictureKind kind)
{
    switch (kind) {
    case PictureKind::yuv420:
        return AV_PIX_FMT_YUV420P;
    case PictureKind::rgb:
        return screen_format;
    case PictureKind::palette:
        return AV_PIX_FMT_PAL8;
    }
    return AV_PIX_FMT_NONE;
}

bool PictureConverter::open(PictureKind kind, PictureSize size, std::string& problem)
{
    kind_ = kind;
    size_ = size;
    const AVPixelFormat target = kind == PictureKind::yuv420 ? AV_PIX_FMT_YUV420P : screen_format;
    // SWS_POINT repeats pixels; exact rounding keeps the colours stable.
    scaler_.reset(sws_getContext(picture_width, picture_height, screen_format, size.width, size.height,
                                 target, SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!scaler_) {
        problem = "cannot set up the picture scaler";
        return false;
    }
    if (kind == PictureKind::yuv420) {
        // RGB in full range to BT.709 YUV in TV range, as the stream is
        // tagged: what players assume for HD pictures.
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(scaler_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }
    if (kind == PictureKind::palette)
        scaled_.resize(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height));
    return true;
}

void PictureConverter::convert(const std::uint32_t* screen, AVFrame& frame)
{
    const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(screen)};
    const int source_stride[1] = {picture_width * 4};
    if (kind_ != PictureKind::palette) {
        sws_scale(scaler_.get(), source, source_stride, 0, picture_height, frame.data, frame.linesize);
        return;
    }
    std::uint8_t* scaled[1] = {reinterpret_cast<std::uint8_t*>(scaled_.data())};
    const int scaled_stride[1] = {size_.width * 4};
    sws_scale(scaler_.get(), source, source_stride, 0, picture_height, scaled, scaled_stride);
    for (int y = 0; y < size_.height; ++y) {
        const std::uint32_t* in = scaled_.data() + static_cast<std::size_t>(y) * size_.width;
        std::uint8_t* out = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < size_.width; ++x)
            out[x] = colour_index[static_cast<std::size_t>(colour_key(in[x]))];
    }
    auto* palette = reinterpret_cast<std::uint32_t*>(frame.data[1]);
    for (std::size_t i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u | (i < Palette16.size() ? Palette16[i] : 0u);
}

}  // namespace vexl::record
