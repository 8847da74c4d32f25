#pragma once
// The video path: screen pictures in, compressed packets out to the
// muxer. Frame k of the recording is stamped k in a time base of 1/25 s.

#include <cstdint>
#include <string>

#include "tools/record/av_support.h"
#include "tools/record/encoder_stream.h"
#include "tools/record/muxer.h"
#include "tools/record/picture_converter.h"
#include "tools/record/record_format.h"

namespace vexl::record {

// What the user may tune; unset values take the format's defaults.
struct VideoTuning {
    int crf = -1;        // quality, lower is better (H.264 0-51, VP9 0-63)
    std::string preset;  // speed: an x264 preset name ("veryfast")
};

inline constexpr int h264_default_crf = 16;
inline constexpr int vp9_default_crf = 32;
// x264's superfast at CRF 16 keeps over 40 dB PSNR on the busiest scenes at
// twice veryfast's speed.
inline constexpr const char* default_preset = "superfast";
inline constexpr int vp9_default_speed = 6;  // real-time mode, its best quality there

// The x264 preset names, fastest first; VP9 takes them as its speeds 8..0.
inline constexpr const char* preset_names[] = {"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                               "medium",    "slow",      "slower",   "veryslow"};

// The highest --crf the format's encoder takes, or 0 if it takes none.
int largest_crf(const RecordFormat& format);

class VideoEncoder {
public:
    // Opens the encoder and adds its stream to `muxer`.
    bool open(const RecordFormat& format, PictureSize size, const VideoTuning& tuning, Muxer& muxer,
              std::string& problem);

    // Encodes the next frame from a screen picture.
    bool encode(const std::uint32_t* screen, std::string& problem);

    // Drains the encoder into the muxer.
    bool finish(std::string& problem);

private:
    EncoderStream encoder_;
    FramePtr frame_;
    PictureConverter converter_;
    std::int64_t next_pts_ = 0;
};

}  // namespace vexl::record
