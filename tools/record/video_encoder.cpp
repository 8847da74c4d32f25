#include "tools/record/video_encoder.h"

extern "C" {
#include <libavutil/opt.h>
}

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

void set_option(AVCodecContext& codec, const char* name, const std::string& value)
{
    av_opt_set(codec.priv_data, name, value.c_str(), 0);
}

void tune(AVCodecContext& codec, const RecordFormat& format, const VideoTuning& tuning)
{
    const std::string preset = tuning.preset.empty() ? default_preset : tuning.preset;
    if (is_vp9(format)) {
        const int speed = tuning.preset.empty() ? vp9_default_speed : vp9_speed(preset);
        set_option(codec, "crf", std::to_string(tuning.crf >= 0 ? tuning.crf : vp9_default_crf));
        codec.bit_rate = 0;  // quality alone decides
        // libvpx's good-quality mode stops at speed 5; beyond, its real-time mode.
        set_option(codec, "deadline", speed > 5 ? "realtime" : "good");
        set_option(codec, "cpu-used", std::to_string(speed));
        set_option(codec, "row-mt", "1");
        set_option(codec, "tile-columns", "2");
    } else if (format.tunable) {
        set_option(codec, "preset", preset);
        set_option(codec, "crf", std::to_string(tuning.crf >= 0 ? tuning.crf : h264_default_crf));
    } else if (std::string_view(format.video_encoder) == "ffv1") {
        set_option(codec, "slicecrc", "1");  // damage in an archive is found, not shown
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
    const AVCodec* codec = avcodec_find_encoder_by_name(format.video_encoder);
    if (codec == nullptr) {
        problem = std::string("this FFmpeg has no ") + format.video_encoder + " encoder";
        return false;
    }
    codec_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!codec_ || !frame_ || !packet_) {
        problem = "out of memory";
        return false;
    }
    AVCodecContext& c = *codec_;
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
    if (muxer.wants_global_header())
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    tune(c, format, tuning);

    int result = avcodec_open2(&c, codec, nullptr);
    if (result < 0) {
        problem = av_problem(std::string("cannot start the ") + format.video_encoder + " encoder", result);
        return false;
    }
    frame_->format = c.pix_fmt;
    frame_->width = c.width;
    frame_->height = c.height;
    result = av_frame_get_buffer(frame_.get(), 0);
    if (result < 0) {
        problem = av_problem("cannot allocate a picture", result);
        return false;
    }
    if (!converter_.open(format.picture, size, problem))
        return false;
    stream_ = muxer.add_stream(c);
    if (stream_ < 0) {
        problem = muxer.problem();
        return false;
    }
    muxer_ = &muxer;
    return true;
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
    return send(frame_.get(), problem);
}

bool VideoEncoder::finish(std::string& problem) { return send(nullptr, problem); }

bool VideoEncoder::send(const AVFrame* frame, std::string& problem)
{
    return muxer_->encode(*codec_, *packet_, frame, stream_, "the video encoder failed", problem);
}

}  // namespace vexl::record
