#pragma once
// Ownership of the FFmpeg objects the recorder uses, and their errors in
// words.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace vexl::record {

struct AvDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(SwsContext* s) const { sws_freeContext(s); }
    void operator()(SwrContext* s) const { swr_free(&s); }
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, AvDeleter>;
using FramePtr = std::unique_ptr<AVFrame, AvDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, AvDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, AvDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, AvDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AvDeleter>;

// Options handed to an encoder or a muxer when it opens. What it leaves
// unconsumed is an option it does not know, a mistake to report rather
// than one to let pass.
class AvOptions {
public:
    AvOptions() = default;
    ~AvOptions() { av_dict_free(&dictionary_); }
    AvOptions(const AvOptions&) = delete;
    AvOptions& operator=(const AvOptions&) = delete;

    void set(const char* name, const std::string& value);
    // For the opening call, which takes out what it consumed.
    AVDictionary** get() { return &dictionary_; }
    // After it: empty, or "`who` does not take the option 'NAME'" (or
    // "out of memory" when an option could not be kept).
    std::string unconsumed(const std::string& who) const;

private:
    AVDictionary* dictionary_ = nullptr;
    bool lost_ = false;
};

// "what failed: the library's reason" for an FFmpeg error code, with the
// last error the libraries logged when there is one (an encoder often
// says more there than in its return code).
std::string av_problem(const std::string& what, int code);

// Keeps the libraries quiet on stderr: their messages would tear the
// progress line. Errors are kept for av_problem instead. Call once before
// using the libraries; later calls do nothing.
void capture_library_messages();

// The last error-level message the libraries logged since the last call,
// or empty.
std::string take_library_message();

}  // namespace vexl::record
