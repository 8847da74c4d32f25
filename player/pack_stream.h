#pragma once
// The packed frame stream: turns a packed frame file back into the flat
// byte sequence of the demo's text frames, one LZO1X block at a time.
//
// Packed frame file ("ld_vexl.d1"), numbers big-endian:
//
//   offset 0   1 byte   level: block capacity = level * 32768. Writers use
//                       1 to 9 (2 by default); an empty file reads as 255.
//   offset 1   blocks, back to back up to the end of the file, each:
//                0   4 bytes  N, the count of compressed bytes that follow
//                4   N bytes  LZO1X data unpacking to at most the capacity
//
// No block count, terminator, checksum or total length: the data ends where
// the file ends. The blocks' unpacked contents, joined, are the frames
// (8000 bytes each) with no alignment between frames and blocks.
//
// The stream's compressed bytes come from a pluggable byte source; the one
// source here, mem_getc, reads the process-wide FileImage (the whole file,
// loaded by its owner), so decoding does no file input. The stream opens the
// file by name only to read the level byte.
//
// Reading order: pack_open(path, "r"); the FileImage owner sets read_pos to 1
// (past the level byte); pack_read as often as needed; pack_release; free the
// record.

#include <cstdint>
#include <cstdio>

namespace vexl {

// Block capacity of one level step, and the record's reserved work memory
// (what LZO1X-1 compression needs with 4-byte pointers; reading never uses
// it, and the block writer sizes its own from the library's constant).
inline constexpr std::int32_t pack_level_unit = 32768;
inline constexpr std::int32_t pack_work_mem_size = 65536;
inline constexpr int pack_default_level = 2;
// Handed out by pack_getc when there is no data; never a data byte.
inline constexpr int pack_no_data = 0x76;

// Size of the input and output buffers for a block capacity: the capacity
// plus LZO's worst-case growth for incompressible data.
constexpr std::int32_t pack_buffer_size(std::int32_t capacity)
{
    return capacity + capacity / 8 + 16;
}

// The whole packed file in one heap block (malloc), owned by whoever loaded
// it. One instance per process, so mem_getc serves one stream at a time.
struct FileImageRecord {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t read_pos = 0;  // next byte for mem_getc
};
extern FileImageRecord FileImage;

struct PackStream {
    std::uint8_t* in_buf;    // one compressed block, in_size bytes
    std::uint8_t* out_buf;   // the unpacked block, out_size bytes
    std::uint8_t* work_mem;  // pack_work_mem_size bytes, unused when reading
    std::uint32_t pos;       // next byte of out_buf to hand out
    std::uint32_t fill;      // valid bytes in out_buf
    std::int32_t capacity;   // level * 32768
    std::int32_t in_size;    // pack_buffer_size(capacity)
    std::int32_t out_size;   // same as in_size: the decompressor's limit
    int (*get_byte)(PackStream* stream);            // byte source, low 8 bits
    int (*put_byte)(PackStream* stream, int byte);  // byte sink
    std::FILE* file;         // the file pack_open opened
    std::int32_t mode;       // 0 reading, 1 writing
    std::int32_t at_end;     // 1 once the data has ended; never cleared
};

// Opens `path`. Mode "r..." reads the level byte and sizes the stream from
// it; any other first character creates the file and writes the level (the
// mode's second character when it is a digit 1-9, else 2). Returns a malloc'ed
// record, or nullptr when the file can't be opened or memory runs out.
PackStream* pack_open(const char* path, const char* mode);

// Sizes and allocates the buffers for `capacity`; returns lzo_init's result.
// The caller releases any earlier buffers first.
int pack_setup(PackStream* stream, std::int32_t capacity);

// The next unpacked byte, refilling from the next block when the current one
// is used up. Once the data has ended, at_end is 1 and the byte returned
// (pack_no_data) is not data.
int pack_getc(PackStream* stream);

// Delivers up to `count` bytes into `dest`; fewer only at the end of the
// data. Nothing is stored beyond the returned count. Count 0 touches no
// byte source.
std::uint32_t pack_read(PackStream* stream, std::uint8_t* dest, std::uint32_t count);

// Byte source over FileImage: the next byte, or 0 with at_end set once the
// image is used up.
int mem_getc(PackStream* stream);

// Byte sink: fputc of the low 8 bits to `file`; returns fputc's result.
int file_putc(PackStream* stream, int byte);

// Frees the three buffers and closes `file`; the caller frees the record.
void pack_release(PackStream* stream);

}  // namespace vexl
