#include "tools/record/encoder_stream.h"

#include <utility>

namespace vexl::record {

bool EncoderStream::create(const char* name, const char* role, std::string& problem)
{
    name_ = name;
    failure_ = std::string("the ") + role + " encoder failed";
    codec_ = avcodec_find_encoder_by_name(name);
    if (codec_ == nullptr) {
        problem = "this FFmpeg has no " + name_ + " encoder";
        return false;
    }
    context_.reset(avcodec_alloc_context3(codec_));
    packet_.reset(av_packet_alloc());
    if (!context_ || !packet_) {
        problem = "out of memory";
        return false;
    }
    return true;
}

bool EncoderStream::start(Muxer& muxer, std::string& problem)
{
    if (muxer.wants_global_header())
        context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int result = avcodec_open2(context_.get(), codec_, options_.get());
    if (result < 0) {
        problem = av_problem("cannot start the " + name_ + " encoder", result);
        return false;
    }
    if (std::string left = options_.unconsumed("the " + name_ + " encoder"); !left.empty()) {
        problem = std::move(left);
        return false;
    }
    stream_ = muxer.add_stream(*context_);
    if (stream_ < 0) {
        problem = muxer.problem();
        return false;
    }
    muxer_ = &muxer;
    return true;
}

bool EncoderStream::send(const AVFrame* frame, std::string& problem)
{
    int result = avcodec_send_frame(context_.get(), frame);
    if (result < 0) {
        problem = av_problem(failure_, result);
        return false;
    }
    for (;;) {
        result = avcodec_receive_packet(context_.get(), packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0) {
            problem = av_problem(failure_, result);
            return false;
        }
        if (!muxer_->write(*packet_, stream_, context_->time_base)) {
            problem = muxer_->problem();
            return false;
        }
    }
}

}  // namespace vexl::record
