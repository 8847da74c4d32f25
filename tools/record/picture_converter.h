#pragma once
// The screen's picture (640 x 400 pixels of 0x00RRGGBB, as the glyph
// rasteriser draws it) in the shape a video encoder takes: scaled up by
// repeating pixels (never blending, so text stays sharp) and converted to
// the encoder's pixel format: 4:2:0 YUV with BT.709 colours in TV range,
// RGB, or indices into the 16 colours with the palette beside them.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/record/av_support.h"
#include "tools/record/record_format.h"

namespace vexl::record {

class PictureConverter {
public:
    // The pixel format an encoder gets for `kind`.
    static AVPixelFormat pixel_format(PictureKind kind);

    // Prepares conversions to `size` for `kind`; false with `problem` set
    // if swscale refuses.
    bool open(PictureKind kind, PictureSize size, std::string& problem);

    // Fills `frame` (allocated in open's size and pixel_format(kind)) from
    // a screen picture of picture_width x picture_height pixels.
    void convert(const std::uint32_t* screen, AVFrame& frame);

private:
    PictureKind kind_ = PictureKind::rgb;
    PictureSize size_;
    ScalerPtr scaler_;
    std::vector<std::uint32_t> scaled_;  // palette pictures go through RGB at full size
};

}  // namespace vexl::record
