#pragma once
// libavformat writing into a file we opened, rather than opening files by
// name itself: the output is a temporary that may have no name at all, or
// a pipe. mp4's +faststart needs a second pass that reads the file back
// while it is rewritten, which libavformat asks for by reopening its
// output; the reopened reader is served from the same file.

#include <cstdint>
#include <cstdio>
#include <list>
#include <string>

#include "tools/record/av_support.h"

namespace vexl::record {

class MuxerFile {
public:
    // A `seekable` file must be open for reading and writing, and empty;
    // any other (a pipe) is written straight through, and the muxer is told
    // that it can't go back. `file` stays the caller's to close.
    MuxerFile(std::FILE* file, bool seekable);
    ~MuxerFile();
    MuxerFile(const MuxerFile&) = delete;
    MuxerFile& operator=(const MuxerFile&) = delete;

    // Null when the buffers could not be allocated.
    AVIOContext* writer() const { return writer_; }

    // Makes the muxer's reopening of its output read this file (seekable
    // only).
    void serve_reopening(AVFormatContext& context);

    // Flushes everything written; false, with `problem` set, when any
    // write failed.
    bool finish(std::string& problem);

    // One position in the file, as seen by one AVIOContext.
    struct Cursor {
        MuxerFile* file = nullptr;
        std::int64_t position = 0;
    };

private:
    // FFmpeg 7 hands the bytes to write over as const, earlier versions not.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    using WrittenBytes = const std::uint8_t*;
#else
    using WrittenBytes = std::uint8_t*;
#endif

    static int write_packet(void* opaque, WrittenBytes data, int size);
    static int read_packet(void* opaque, std::uint8_t* data, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    static int open_reader(AVFormatContext* context, AVIOContext** reader, const char* url, int flags,
                           AVDictionary** options);
    static int close_reader(AVFormatContext* context, AVIOContext* reader);

    bool move_to(std::int64_t position);
    AVIOContext* make_context(Cursor& cursor, bool writing);
    static void free_context(AVIOContext*& context);

    std::FILE* file_;
    bool seekable_;
    std::int64_t size_ = 0;  // bytes written so far, up to the furthest
    int error_ = 0;          // the first errno of a failed write
    Cursor write_cursor_;
    std::list<Cursor> read_cursors_;
    AVIOContext* writer_ = nullptr;
};

}  // namespace vexl::record
