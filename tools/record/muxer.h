#pragma once
// The container: streams added from opened encoders, packets interleaved
// by time, the index written at the end. Everything goes into a
// MuxerFile.

#include <cstdio>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/record/av_support.h"
#include "tools/record/muxer_file.h"

namespace vexl::record {

class Muxer {
public:
    // `file` and `seekable`: as MuxerFile wants them. Check ok() afterwards.
    Muxer(const char* container, std::FILE* file, bool seekable);
    ~Muxer();
    Muxer(const Muxer&) = delete;
    Muxer& operator=(const Muxer&) = delete;

    bool ok() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

    // Whether encoders must put their set-up data in the header rather
    // than in the first packet (AV_CODEC_FLAG_GLOBAL_HEADER).
    bool wants_global_header() const;

    // A stream carrying what `encoder` (opened) makes; its index, or -1.
    int add_stream(const AVCodecContext& encoder);

    // Leaves out what small files can do without: room for tags added
    // later (FLAC's 8 KiB of padding) and the libraries' versions, so the
    // same input gives the same bytes on every run. Before start().
    void keep_minimal();

    // Writes the header; `faststart` puts the index at the front of the
    // file when it is finished (seekable files only).
    bool start(bool faststart);

    // Takes a packet of stream `stream` stamped in `encoder_time_base`;
    // the packet is left empty.
    bool write(AVPacket& packet, int stream, AVRational encoder_time_base);

    // Writes what is still queued and the index, and flushes the file.
    bool finish();

private:
    bool fail(std::string problem);

    MuxerFile file_;
    AVFormatContext* context_ = nullptr;
    std::vector<std::int64_t> offsets_;  // added to each stream's timestamps, in its encoder's time base
    bool started_ = false;
    std::string problem_;
};

}  // namespace vexl::record
