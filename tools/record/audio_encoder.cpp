#include "tools/record/audio_encoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <string_view>

namespace vexl::record {
namespace {

constexpr int preferred_rate = 48000;
constexpr int frame_samples_without_limit = 4096;

// What each encoder needs to sound right on a mono soundtrack.
std::int64_t bit_rate_for(const char* encoder)
{
    const std::string_view name(encoder);
    if (name == "aac")
        return 96000;
    if (name == "libopus")
        return 64000;
    return 0;  // lossless: no rate to choose
}

// What the encoder takes, each list ending in its sentinel; null: anything.
// FFmpeg 7.1 asks for them through a function, earlier versions read fields.
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
const void* supported(const AVCodec& encoder, AVCodecConfig config)
{
    const void* list = nullptr;
    int count = 0;
    return avcodec_get_supported_config(nullptr, &encoder, config, 0, &list, &count) >= 0 ? list : nullptr;
}
const AVSampleFormat* sample_formats(const AVCodec& encoder)
{
    return static_cast<const AVSampleFormat*>(supported(encoder, AV_CODEC_CONFIG_SAMPLE_FORMAT));
}
const int* sample_rates(const AVCodec& encoder)
{
    return static_cast<const int*>(supported(encoder, AV_CODEC_CONFIG_SAMPLE_RATE));
}
#else
const AVSampleFormat* sample_formats(const AVCodec& encoder) { return encoder.sample_fmts; }
const int* sample_rates(const AVCodec& encoder) { return encoder.supported_samplerates; }
#endif

AVSampleFormat sample_format_for(const AVCodec& encoder)
{
    const AVSampleFormat* formats = sample_formats(encoder);
    if (formats == nullptr)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16)
            return *f;  // the soundtrack's own: nothing to convert
    return formats[0];
}

}  // namespace

int encoder_sample_rate(const AVCodec& encoder, int source_rate)
{
    const int* rates = sample_rates(encoder);
    if (rates == nullptr || *rates == 0)
        return source_rate;
    bool preferred = false;
    for (const int* r = rates; *r != 0; ++r) {
        if (*r == source_rate)
            return source_rate;
        preferred = preferred || *r == preferred_rate;
    }
    return preferred ? preferred_rate : rates[0];
}

bool AudioEncoder::open(const RecordFormat& format, int source_rate, Muxer& muxer, std::string& problem,
                        const AudioSettings& settings)
{
    if (!encoder_.create(format.audio_encoder, "audio", problem))
        return false;
    frame_.reset(av_frame_alloc());
    converted_.reset(av_frame_alloc());
    if (!frame_ || !converted_) {
        problem = "out of memory";
        return false;
    }
    const AVCodec& codec = encoder_.codec();
    AVCodecContext& c = encoder_.context();
    c.sample_rate = encoder_sample_rate(codec, source_rate);
    c.sample_fmt = sample_format_for(codec);
    c.time_base = AVRational{1, c.sample_rate};
    c.bit_rate = settings.bit_rate > 0 ? settings.bit_rate : bit_rate_for(format.audio_encoder);
    if (settings.compression_level >= 0)
        c.compression_level = settings.compression_level;
    c.cutoff = settings.cutoff;
    av_channel_layout_default(&c.ch_layout, 1);
    if (!encoder_.start(muxer, problem))
        return false;
    any_length_ = (codec.capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0 || c.frame_size == 0;
    short_last_ = any_length_ || (codec.capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    frame_samples_ = c.frame_size > 0 ? c.frame_size : frame_samples_without_limit;

    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* resampler = nullptr;
    int result = swr_alloc_set_opts2(&resampler, &c.ch_layout, c.sample_fmt, c.sample_rate, &mono,
                                     AV_SAMPLE_FMT_S16, source_rate, 0, nullptr);
    resampler_.reset(resampler);
    if (result >= 0)
        result = swr_init(resampler_.get());
    if (result < 0) {
        problem = av_problem("cannot set up the sample converter", result);
        return false;
    }
    queue_.reset(av_audio_fifo_alloc(c.sample_fmt, 1, frame_samples_));
    if (!queue_) {
        problem = "out of memory";
        return false;
    }
    return true;
}

int AudioEncoder::sample_rate() const
{
    const AVCodecContext* c = encoder_.created();
    return c != nullptr ? c->sample_rate : 0;
}

bool AudioEncoder::encode(std::span<const std::int16_t> samples, std::string& problem)
{
    const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(samples.data())};
    return convert(source, static_cast<int>(samples.size()), problem) && encode_queued(false, problem);
}

bool AudioEncoder::finish(std::string& problem)
{
    // A null source drains what the resampler still holds.
    return convert(nullptr, 0, problem) && encode_queued(true, problem) && encoder_.send(nullptr, problem);
}

bool AudioEncoder::convert(const std::uint8_t* const* source, int count, std::string& problem)
{
    AVCodecContext& c = encoder_.context();
    const int room = swr_get_out_samples(resampler_.get(), count);
    if (room <= 0)
        return true;
    av_frame_unref(converted_.get());
    converted_->format = c.sample_fmt;
    converted_->nb_samples = room;
    int result = av_channel_layout_copy(&converted_->ch_layout, &c.ch_layout);
    if (result >= 0)
        result = av_frame_get_buffer(converted_.get(), 0);
    if (result >= 0)
        result = swr_convert(resampler_.get(), converted_->data, room,
                             const_cast<const std::uint8_t**>(source), count);
    if (result >= 0 && result > 0)
        result = av_audio_fifo_write(queue_.get(), reinterpret_cast<void**>(converted_->data), result);
    if (result < 0) {
        problem = av_problem("cannot convert the soundtrack", result);
        return false;
    }
    return true;
}

bool AudioEncoder::encode_queued(bool all, std::string& problem)
{
    AVCodecContext& c = encoder_.context();
    for (;;) {
        const int queued = av_audio_fifo_size(queue_.get());
        if (queued == 0 || (queued < frame_samples_ && !all))
            return true;
        const int take = std::min(queued, frame_samples_);
        // A last frame the encoder can't take short is filled with silence.
        const int length = take < frame_samples_ && !short_last_ ? frame_samples_ : take;
        av_frame_unref(frame_.get());
        frame_->format = c.sample_fmt;
        frame_->nb_samples = length;
        frame_->sample_rate = c.sample_rate;
        int result = av_channel_layout_copy(&frame_->ch_layout, &c.ch_layout);
        if (result >= 0)
            result = av_frame_get_buffer(frame_.get(), 0);
        if (result >= 0 && length > take)
            av_samples_set_silence(frame_->data, take, length - take, 1, c.sample_fmt);
        if (result >= 0)
            result = av_audio_fifo_read(queue_.get(), reinterpret_cast<void**>(frame_->data), take);
        if (result < 0) {
            problem = av_problem("cannot queue the soundtrack", result);
            return false;
        }
        frame_->pts = next_pts_;
        next_pts_ += length;
        if (!encoder_.send(frame_.get(), problem))
            return false;
    }
}

}  // namespace vexl::record
