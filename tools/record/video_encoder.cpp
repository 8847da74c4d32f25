#include "tools/record/video_encoder.h"

#include <iterator>
#include <string_view>

#include "player/launcher.h"

namespace vexl::record {
namespace {

bool is_vp9(const RecordFormat& format) { return std::string_view(format.video_encoder) == "libvpx-vp9"; }

// VP9's speed for an x264 preset name: ultrafast 8 ... veryslow 0.
int vp9_speed(const std::string& preset)
{
    for (std::size_t i = 0; i < std::size(preset_names); ++i)
        if (preset == preset_names[i])
            return static_cast<int>(std::size(preset_names) - 1 - i);
    return vp9_default_speed;
}

void tune(EncoderStream& encoder, const RecordFormat& format, const VideoTuning& tuning)
{
    AVCodecContext& codec = encoder.context();
    const std::string preset = tuning.preset.empty() ? default_preset : tuning.preset;
    if (is_vp9(format)) {
        const int speed = tuning.preset.empty() ? vp9_default_speed : vp9_speed(preset);
        encoder.set_option("crf", std::to_string(tuning.crf >= 0 ? tuning.crf : vp9_default_crf));
        codec.bit_rate = 0;  // quality alone decides
        // libvpx's good-quality mode stops at speed 5; beyond, its real-time mode.
        encoder.set_option("deadline", speed > 5 ? "realtime" : "good");
        encoder.set_option("cpu-used", std::to_string(speed));
        encoder.set_option("row-mt", "1");
        encoder.set_option("tile-columns", "2");
    } else if (format.tunable) {
        encoder.set_option("preset", preset);
        encoder.set_option("crf", std::to_string(tuning.crf >= 0 ? tuning.crf : h264_default_crf));
    } else if (std::string_view(format.video_encoder) == "ffv1") {
        encoder.set_option("slicecrc", "1");  // damage in an archive is found, not shown
        codec.level = 3;                     // slices, so it encodes on every core
        codec.thread_type = FF_THREAD_SLICE;
    }
}

}  // namespace

int largest_crf(const RecordFormat& format)
{
    if (!format.tunable)
        return 0;
    return is_vp9(format) ? 63 : 51;
}

bool VideoEncoder::open(const RecordFormat& format, PictureSize size, const VideoTuning& tuning, Muxer& muxer,
                        std::string& problem)
{
    if (!encoder_.create(format.video_encoder, "video", problem))
        return false;
    frame_.reset(av_frame_alloc());
    if (!frame_) {
        problem = "out of memory";
        return false;
    }
    AVCodecContext& c = encoder_.context();
    c.width = size.width;
    c.height = size.height;
    c.pix_fmt = PictureConverter::pixel_format(format.picture);
    c.time_base = AVRational{1, frames_per_second};
    c.framerate = AVRational{frames_per_second, 1};
    c.sample_aspect_ratio = AVRational{1, 1};
    c.thread_count = 0;  // as many as there are cores
    if (format.picture == PictureKind::yuv420) {
        c.color_range = AVCOL_RANGE_MPEG;
        c.colorspace = AVCOL_SPC_BT709;
        c.color_primaries = AVCOL_PRI_BT709;
        c.color_trc = AVCOL_TRC_BT709;
    }
    tune(encoder_, format, tuning);
    if (!encoder_.start(muxer, problem))
        return false;

    frame_->format = c.pix_fmt;
    frame_->width = c.width;
    frame_->height = c.height;
    const int result = av_frame_get_buffer(frame_.get(), 0);
    if (result < 0) {
        problem = av_problem("cannot allocate a picture", result);
        return false;
    }
    return converter_.open(format.picture, size, problem);
}

bool VideoEncoder::encode(const std::uint32_t* screen, std::string& problem)
{
    // The encoder may still hold the last picture as a reference.
    const int result = av_frame_make_writable(frame_.get());
    if (result < 0) {
        problem = av_problem("cannot allocate a picture", result);
        return false;
    }
    converter_.convert(screen, *frame_);
    frame_->pts = next_pts_++;
    return encoder_.send(frame_.get(), problem);
}

bool VideoEncoder::finish(std::string& problem) { return encoder_.send(nullptr, problem); }

}  // namespace vexl::record
