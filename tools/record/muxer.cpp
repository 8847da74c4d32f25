#include "tools/record/muxer.h"

#include <string_view>
#include <utility>

namespace vexl::record {

Muxer::Muxer(const char* container, std::FILE* file, bool seekable) : file_(file, seekable)
{
    if (file_.writer() == nullptr) {
        fail("out of memory");
        return;
    }
    const int result = avformat_alloc_output_context2(&context_, nullptr, container, nullptr);
    if (result < 0 || context_ == nullptr) {
        fail(av_problem(std::string("cannot make a ") + container + " file", result));
        return;
    }
    context_->pb = file_.writer();
    context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (seekable)
        file_.serve_reopening(*context_);
}

Muxer::~Muxer()
{
    // A muxer left unfinished (an error, or a stop) owns queued packets.
    avformat_free_context(context_);
}

bool Muxer::fail(std::string problem)
{
    if (problem_.empty())
        problem_ = std::move(problem);
    return false;
}

bool Muxer::wants_global_header() const
{
    return context_ != nullptr && (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

int Muxer::add_stream(const AVCodecContext& encoder)
{
    if (!ok())
        return -1;
    AVStream* stream = avformat_new_stream(context_, nullptr);
    if (stream == nullptr) {
        fail("out of memory");
        return -1;
    }
    const int result = avcodec_parameters_from_context(stream->codecpar, &encoder);
    if (result < 0) {
        fail(av_problem("cannot describe a stream", result));
        return -1;
    }
    stream->time_base = encoder.time_base;
    // Matroska readers take the codec delay off Opus timestamps, which the
    // encoder has already taken off. The muxers of FFmpeg 6 and later make
    // up for it themselves; before them it is done here, or the sound
    // would start that much (6.5 ms) early.
    const bool matroska =
        std::string_view(context_->oformat->name).find("matroska") != std::string_view::npos ||
        std::string_view(context_->oformat->name) == "webm";
    const bool muxer_shifts = avformat_version() >= AV_VERSION_INT(60, 0, 0);
    const bool shift_here = matroska && encoder.codec_id == AV_CODEC_ID_OPUS && !muxer_shifts;
    offsets_.push_back(shift_here ? encoder.initial_padding : 0);
    if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
        stream->avg_frame_rate = encoder.framerate;
        stream->sample_aspect_ratio = encoder.sample_aspect_ratio;
    }
    return stream->index;
}

void Muxer::keep_minimal()
{
    if (context_ == nullptr)
        return;
    context_->metadata_header_padding = 0;
    context_->flags |= AVFMT_FLAG_BITEXACT;
}

bool Muxer::start(bool faststart)
{
    if (!ok())
        return false;
    AvOptions options;
    if (faststart)
        options.set("movflags", "+faststart");
    // Every stream starts at 0. A sound encoder's first packet carries its
    // start-up delay (AAC's 1024 samples) at a time before 0, which shifting
    // the whole file would turn into a late start of the pictures.
    context_->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    const int result = avformat_write_header(context_, options.get());
    if (result < 0)
        return fail(av_problem("cannot write the file's header", result));
    if (std::string left = options.unconsumed(std::string("the ") + context_->oformat->name + " muxer");
        !left.empty())
        return fail(std::move(left));
    started_ = true;
    return true;
}

bool Muxer::write(AVPacket& packet, int stream, AVRational encoder_time_base)
{
    if (!ok() || !started_)
        return false;
    packet.stream_index = stream;
    const std::int64_t offset = offsets_[static_cast<std::size_t>(stream)];
    if (packet.pts != AV_NOPTS_VALUE)
        packet.pts += offset;
    if (packet.dts != AV_NOPTS_VALUE)
        packet.dts += offset;
    av_packet_rescale_ts(&packet, encoder_time_base, context_->streams[stream]->time_base);
    const int result = av_interleaved_write_frame(context_, &packet);
    if (result < 0) {
        std::string why;
        if (!file_.finish(why))
            return fail(why);
        return fail(av_problem("cannot write to the file", result));
    }
    return true;
}

bool Muxer::finish()
{
    if (!ok() || !started_)
        return false;
    const int result = av_write_trailer(context_);
    std::string why;
    if (!file_.finish(why))
        return fail(why);
    if (result < 0)
        return fail(av_problem("cannot finish the file", result));
    return true;
}

}  // namespace vexl::record
