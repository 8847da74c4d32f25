#include "tools/record/muxer_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vexl::record {
namespace {

constexpr int buffer_bytes = 1 << 18;
static_assert(sizeof(long) >= sizeof(std::int64_t), "std::fseek must reach every offset");

}  // namespace

MuxerFile::MuxerFile(std::FILE* file, bool seekable)
    : file_(file), seekable_(seekable), write_cursor_{this, 0}
{
    writer_ = make_context(write_cursor_, true);
}

MuxerFile::~MuxerFile() { free_context(writer_); }

AVIOContext* MuxerFile::make_context(Cursor& cursor, bool writing)
{
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(buffer_bytes));
    if (buffer == nullptr)
        return nullptr;
    AVIOContext* context =
        avio_alloc_context(buffer, buffer_bytes, writing ? 1 : 0, &cursor, writing ? nullptr : read_packet,
                           writing ? write_packet : nullptr, seekable_ ? seek : nullptr);
    if (context == nullptr)
        av_free(buffer);
    return context;
}

void MuxerFile::free_context(AVIOContext*& context)
{
    if (context == nullptr)
        return;
    av_freep(&context->buffer);
    avio_context_free(&context);
}

void MuxerFile::serve_reopening(AVFormatContext& context)
{
    context.opaque = this;
    context.io_open = open_reader;
    context.io_close2 = close_reader;
}

bool MuxerFile::finish(std::string& problem)
{
    if (writer_ != nullptr)
        avio_flush(writer_);
    if (error_ == 0 && std::fflush(file_) != 0)
        error_ = errno;
    if (error_ == 0 && writer_ != nullptr && writer_->error < 0)
        error_ = EIO;
    if (error_ != 0)
        problem = std::strerror(error_);
    return error_ == 0;
}

// Reads and writes share one stdio stream; each goes to its own cursor's
// position first (stdio also needs a seek between a read and a write).
bool MuxerFile::move_to(std::int64_t position)
{
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) == 0)
        return true;
    if (error_ == 0)
        error_ = errno;
    return false;
}

int MuxerFile::write_packet(void* opaque, WrittenBytes data, int size)
{
    Cursor& cursor = *static_cast<Cursor*>(opaque);
    MuxerFile& self = *cursor.file;
    if (self.error_ != 0 || (self.seekable_ && !self.move_to(cursor.position)))
        return AVERROR(self.error_ != 0 ? self.error_ : EIO);
    const std::size_t written = std::fwrite(data, 1, static_cast<std::size_t>(size), self.file_);
    if (written != static_cast<std::size_t>(size)) {
        self.error_ = errno != 0 ? errno : EIO;
        return AVERROR(self.error_);
    }
    cursor.position += size;
    self.size_ = std::max(self.size_, cursor.position);
    return size;
}

int MuxerFile::read_packet(void* opaque, std::uint8_t* data, int size)
{
    Cursor& cursor = *static_cast<Cursor*>(opaque);
    MuxerFile& self = *cursor.file;
    if (cursor.position >= self.size_)
        return AVERROR_EOF;
    if (!self.move_to(cursor.position))
        return AVERROR(self.error_);
    const std::size_t got = std::fread(data, 1, static_cast<std::size_t>(size), self.file_);
    if (got == 0)
        return std::ferror(self.file_) != 0 ? AVERROR(EIO) : AVERROR_EOF;
    cursor.position += static_cast<std::int64_t>(got);
    return static_cast<int>(got);
}

std::int64_t MuxerFile::seek(void* opaque, std::int64_t offset, int whence)
{
    Cursor& cursor = *static_cast<Cursor*>(opaque);
    const std::int64_t size = cursor.file->size_;
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = cursor.position + offset;
        break;
    case SEEK_END:
        target = size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (target < 0)
        return AVERROR(EINVAL);
    cursor.position = target;
    return target;
}

int MuxerFile::open_reader(AVFormatContext* context, AVIOContext** reader, const char* /*url*/, int flags,
                           AVDictionary** /*options*/)
{
    auto* self = static_cast<MuxerFile*>(context->opaque);
    // The muxers we use only ever reopen their own output, to read it back.
    if (self == nullptr || (flags & AVIO_FLAG_WRITE) != 0)
        return AVERROR(EPERM);
    if (self->writer_ != nullptr)
        avio_flush(self->writer_);
    Cursor& cursor = self->read_cursors_.emplace_back(Cursor{self, 0});
    *reader = self->make_context(cursor, false);
    if (*reader == nullptr) {
        self->read_cursors_.pop_back();
        return AVERROR(ENOMEM);
    }
    return 0;
}

int MuxerFile::close_reader(AVFormatContext* context, AVIOContext* reader)
{
    auto* self = static_cast<MuxerFile*>(context->opaque);
    if (reader == nullptr || self == nullptr)
        return 0;
    auto* cursor = static_cast<Cursor*>(reader->opaque);
    free_context(reader);
    self->read_cursors_.remove_if([cursor](const Cursor& c) { return &c == cursor; });
    return 0;
}

}  // namespace vexl::record
