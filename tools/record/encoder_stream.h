#pragma once
// What the video and the audio encoder share: an FFmpeg encoder's context,
// the packet it hands out, and the muxer stream its packets go to.

#include <string>

#include "tools/record/av_support.h"
#include "tools/record/muxer.h"

namespace vexl::record {

class EncoderStream {
public:
    // Finds the encoder called `name` and makes its context, to be set up
    // through context() and set_option() before start(). `role` ("video")
    // names it when it fails.
    bool create(const char* name, const char* role, std::string& problem);

    // An option of the encoder's own ("crf"), taken when it opens; one it
    // does not know makes start() fail, naming it.
    void set_option(const char* name, const std::string& value) { options_.set(name, value); }

    // Opens the encoder as set up and adds its stream to `muxer`.
    bool start(Muxer& muxer, std::string& problem);

    // Gives `frame` to the encoder (null: the end, drain it) and writes what
    // comes out to the muxer.
    bool send(const AVFrame* frame, std::string& problem);

    AVCodecContext& context() { return *context_; }
    const AVCodecContext* created() const { return context_.get(); }
    const AVCodec& codec() const { return *codec_; }

private:
    std::string name_;
    std::string failure_;
    const AVCodec* codec_ = nullptr;
    CodecContextPtr context_;
    AvOptions options_;
    PacketPtr packet_;
    Muxer* muxer_ = nullptr;
    int stream_ = -1;
};

}  // namespace vexl::record
