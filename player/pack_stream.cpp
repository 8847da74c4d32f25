#include "player/pack_stream.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "player/pack_alloc.h"

namespace vexl {

FileImageRecord FileImage;
PackAllocate pack_allocate = std::malloc;

namespace {

void free_buffers(PackStream* stream)
{
    std::free(stream->in_buf);
    std::free(stream->out_buf);
    std::free(stream->work_mem);
    stream->in_buf = nullptr;
    stream->out_buf = nullptr;
    stream->work_mem = nullptr;
}

// Ends the data for good: pack_read stops at at_end, and pos = fill = 0
// keeps pack_getc from handing out stale bytes of out_buf afterwards.
int end_of_data(PackStream* stream)
{
    stream->at_end = 1;
    stream->pos = 0;
    stream->fill = 0;
    return pack_no_data;
}

// `length` calls of mem_getc into in_buf, in one copy: the same bytes, the
// same read_pos and at_end afterwards.
void take_image_bytes(PackStream* stream, std::uint32_t length)
{
    const std::uint32_t left =
        FileImage.read_pos < FileImage.size ? FileImage.size - FileImage.read_pos : 0;
    const std::uint32_t take = std::min(length, left);
    if (take != 0)
        std::memcpy(stream->in_buf, FileImage.data + FileImage.read_pos, take);
    FileImage.read_pos += take;
    if (take < length) {
        std::memset(stream->in_buf + take, 0, length - take);
        stream->at_end = 1;
    }
}

// Reads the next block and unpacks it into out_buf. False when it yields
// nothing to hand out: the source ran dry in the length or the data (a cut
// block delivers nothing), the length would overflow in_buf, or nothing
// decompressed. A block that decompresses partly still hands out what the
// decompressor produced before it stopped.
bool refill(PackStream* stream)
{
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length = (length << 8) | (static_cast<std::uint32_t>(stream->get_byte(stream)) & 0xFFu);
    if (stream->at_end != 0 || length > static_cast<std::uint32_t>(stream->in_size))
        return false;
    if (stream->get_byte == mem_getc)
        take_image_bytes(stream, length);
    else
        for (std::uint32_t i = 0; i < length; ++i)
            stream->in_buf[i] = static_cast<std::uint8_t>(stream->get_byte(stream));
    if (stream->at_end != 0)
        return false;

    // The result code is deliberately not examined: after an error the
    // output length still counts the bytes produced before the stop.
    lzo_uint produced = static_cast<lzo_uint>(stream->out_size);
    lzo1x_decompress_safe(stream->in_buf, length, stream->out_buf, &produced, nullptr);
    stream->pos = 0;
    stream->fill = static_cast<std::uint32_t>(produced);
    return produced != 0;
}

int level_of_write_mode(const char* mode)
{
    const char digit = mode[0] != '\0' ? mode[1] : '\0';
    if (std::isdigit(static_cast<unsigned char>(digit)) && digit != '0')
        return digit - '0';
    return pack_default_level;
}

}  // namespace

int pack_setup(PackStream* stream, std::int32_t capacity)
{
    const std::int32_t size = pack_buffer_size(capacity);
    stream->in_size = size;
    stream->out_size = size;
    stream->capacity = capacity;
    stream->in_buf = static_cast<std::uint8_t*>(pack_allocate(static_cast<std::size_t>(size)));
    stream->out_buf = static_cast<std::uint8_t*>(pack_allocate(static_cast<std::size_t>(size)));
    stream->work_mem = static_cast<std::uint8_t*>(pack_allocate(pack_work_mem_size));
    stream->pos = 0;
    stream->fill = 0;
    stream->at_end = 0;
    return lzo_init();
}

PackStream* pack_open(const char* path, const char* mode)
{
    auto* stream = static_cast<PackStream*>(pack_allocate(sizeof(PackStream)));
    if (stream == nullptr)
        return nullptr;
    std::memset(stream, 0, sizeof *stream);

    const bool reading = mode[0] == 'r';
    stream->file = std::fopen(path, reading ? "rb" : "wb");
    if (stream->file == nullptr) {
        std::free(stream);
        return nullptr;
    }
    int level = 0;
    if (reading) {
        // The handle only ever gives this one byte: a stdio buffer would
        // just sit in memory while the stream lives.
        std::setvbuf(stream->file, nullptr, _IONBF, 0);
        level = std::fgetc(stream->file) & 0xFF;  // EOF (an empty file) gives 255
    } else {
        level = level_of_write_mode(mode);
        std::fputc(level, stream->file);
    }
    pack_setup(stream, level * pack_level_unit);
    if (stream->in_buf == nullptr || stream->out_buf == nullptr || stream->work_mem == nullptr) {
        pack_release(stream);
        std::free(stream);
        return nullptr;
    }
    stream->get_byte = mem_getc;
    stream->put_byte = file_putc;
    stream->mode = reading ? 0 : 1;
    return stream;
}

int mem_getc(PackStream* stream)
{
    if (FileImage.read_pos < FileImage.size)
        return FileImage.data[FileImage.read_pos++];
    stream->at_end = 1;
    return 0;
}

int file_putc(PackStream* stream, int byte)
{
    return std::fputc(byte & 0xFF, stream->file);
}

int pack_getc(PackStream* stream)
{
    if (stream->pos == stream->fill) {
        if (stream->at_end == 1) {
            stream->pos = 0;
            stream->fill = 0;
            return pack_no_data;
        }
        if (!refill(stream))
            return end_of_data(stream);
    }
    return stream->out_buf[stream->pos++];
}

std::uint32_t pack_read(PackStream* stream, std::uint8_t* dest, std::uint32_t count)
{
    std::uint32_t i = 0;
    while (i < count) {
        // Bytes already unpacked go out in one copy; byte by byte through
        // pack_getc they would come out the same, only slower.
        if (stream->at_end == 0 && stream->pos < stream->fill) {
            const std::uint32_t run = std::min(stream->fill - stream->pos, count - i);
            std::memcpy(dest + i, stream->out_buf + stream->pos, run);
            stream->pos += run;
            i += run;
            continue;
        }
        const int byte = pack_getc(stream);
        if (stream->at_end == 1)
            break;
        dest[i++] = static_cast<std::uint8_t>(byte);
    }
    return i;
}

void pack_release(PackStream* stream)
{
    free_buffers(stream);
    if (stream->file != nullptr) {
        std::fclose(stream->file);
        stream->file = nullptr;
    }
}

}  // namespace vexl
