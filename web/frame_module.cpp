// The browser player's frame module (WebAssembly): the packed frame file's
// image, the stream that unpacks it, and the picture of the frame asked for.
// The page copies the file into the image as it arrives and asks for a
// frame whenever the heard position reaches one; frames are unpacked on
// demand, block by block, and a seek starts at the block that holds the
// frame, found from an index of block offsets that grows by walking the
// length fields of the blocks as they arrive.
//
// Every block but the last unpacks to the stream's capacity (that is how
// the frame file is written), so frame k starts in block k * 8000 / capacity.
// A block that unpacks to less is damage (checked as every reader of the
// frames checks it, player/pack_blocks.h); the page is told. While the file
// arrives, a whole block is known not to be the last once a byte after it
// is in: the frames within such blocks can be shown before the rest is in.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "core/process_records.h"
#include "output/glyph_raster.h"
#include "player/pack_blocks.h"
#include "player/pack_stream.h"

namespace vexl::web {
namespace {

constexpr int pixel_count = picture_width * picture_height;

struct FrameFile {
    PackStream* stream = nullptr;              // opened by the level byte
    std::uint32_t room = 0;                    // bytes allocated for FileImage
    std::vector<std::uint32_t> block_offsets;  // of each whole block's length field
    std::uint32_t next_block = 1;              // where the walk goes on
    bool walk_ended = false;                   // at the end of the data
    bool complete = false;                     // the whole file is in
    std::uint32_t full_blocks = 0;             // blocks known to unpack to the capacity
    std::int32_t frames = 0;                   // that can be shown; when complete, a
                                               // last partial frame counts
    std::int32_t current = -1;                 // the frame in TextFrame
    std::int32_t drawn = -1;                   // the frame in the picture
    std::string damage;                        // the first damage in the file found, or empty
    std::uint64_t damage_offset = UINT64_MAX;  // where it is
};

FrameFile file;
std::uint32_t picture[pixel_count];  // RGBA bytes in memory order, as canvas ImageData wants

// The level byte; an empty file reads as 255.
int level() { return FileImage.size > 0 ? FileImage.data[0] : 255; }

std::uint32_t read_length(std::uint32_t offset)
{
    const std::uint8_t* field = FileImage.data + offset;
    return std::uint32_t{field[0]} << 24 | std::uint32_t{field[1]} << 16 |
           std::uint32_t{field[2]} << 8 | field[3];
}

// Keeps the damage nearest the file's start: the cut at the end of a file
// that arrived whole is found before a damaged block the reading reaches.
void note_damage(const PackDamage& damage)
{
    if (damage.offset >= file.damage_offset)
        return;
    file.damage_offset = damage.offset;
    file.damage = describe(damage, file.stream != nullptr ? file.stream->capacity : 0);
}

// Extends the index over the blocks that are in whole: their offsets, up to
// the end of the file or the first damage of the structure, where the
// stream's data ends too. A block cut short is damage only once the whole
// file is in.
void walk_blocks()
{
    const auto buffer = static_cast<std::uint32_t>(file.stream->in_size);
    while (!file.walk_ended && file.next_block < FileImage.size) {
        const std::uint32_t offset = file.next_block;
        const auto block = static_cast<std::uint32_t>(file.block_offsets.size());
        const std::uint32_t left = FileImage.size - offset;
        if (left < 4) {
            if (file.complete)
                note_damage({PackDamageKind::length_cut_short, offset, block, 0, left});
            break;
        }
        const std::uint32_t length = read_length(offset);
        if (length > buffer) {
            note_damage({PackDamageKind::block_too_long, offset, block, length, left - 4});
            file.walk_ended = true;
            break;
        }
        if (length > left - 4) {
            if (file.complete)
                note_damage({PackDamageKind::block_cut_short, offset, block, length, left - 4});
            break;
        }
        file.block_offsets.push_back(offset);
        file.next_block = offset + 4 + length;
    }
    if (file.complete)
        file.walk_ended = true;
}

// Unpacks block `index` once more (into the stream's output buffer) to
// learn what it gives, and checks that as every reader of the frames does;
// damage is noted.
UnpackedBlock unpack_again(std::size_t index, bool last)
{
    const PackBlock block{file.block_offsets[index], read_length(file.block_offsets[index])};
    const UnpackedBlock unpacked =
        unpack_block({FileImage.data, FileImage.size}, block,
                     {file.stream->out_buf, static_cast<std::size_t>(file.stream->out_size)});
    if (const auto damage =
            check_unpacked(block, static_cast<std::uint32_t>(index), unpacked, file.stream->capacity, last))
        note_damage(*damage);
    return unpacked;
}

// What the last block unpacks to, the one block that may be short; damage
// in it is noted.
std::uint32_t last_block_bytes()
{
    return unpack_again(file.block_offsets.size() - 1, true).produced;
}

std::uint32_t block_of_byte(std::uint64_t byte)
{
    return static_cast<std::uint32_t>(byte / static_cast<std::uint64_t>(file.stream->capacity));
}

// Damage found while reading: block `index` unpacked to less than the
// capacity although it is not the file's last.
void note_short_block(std::size_t index)
{
    unpack_again(index, false);
}

// After a read of at most a frame: every block whose length field the read
// passed was unpacked in it. All but the last of them were used up within
// the read, so they came out short (a block holds more than a frame); the
// last is short when it unpacked to less than the capacity. The file's own
// last block may be short.
void check_refill(std::uint32_t read_pos_before)
{
    if (FileImage.read_pos == read_pos_before || file.damage_offset < read_pos_before)
        return;
    const auto& offsets = file.block_offsets;
    const auto first = std::lower_bound(offsets.begin(), offsets.end(), read_pos_before);
    const auto end = std::lower_bound(first, offsets.end(), FileImage.read_pos);
    const auto known_full = offsets.begin() + file.full_blocks;
    for (auto block = first; block != end && block < known_full; ++block) {
        const bool used_up = block + 1 != end;
        if (used_up || file.stream->fill != static_cast<std::uint32_t>(file.stream->capacity)) {
            note_short_block(static_cast<std::size_t>(block - offsets.begin()));
            return;
        }
    }
}

void read_frame()
{
    const std::uint32_t before = FileImage.read_pos;
    pack_read(file.stream, TextFrame, frame_bytes);
    check_refill(before);
}

// Puts the stream at the start of frame `frame`, reading from the start of
// its block. The bytes passed over go through TextFrame, which the next
// frame's read fills again.
void seek_stream(std::int32_t frame)
{
    const std::uint64_t byte = static_cast<std::uint64_t>(frame) * frame_bytes;
    const std::uint32_t block = block_of_byte(byte);
    FileImage.read_pos = file.block_offsets[block];
    file.stream->pos = 0;
    file.stream->fill = 0;
    file.stream->at_end = 0;
    std::uint64_t skip = byte - std::uint64_t{block} * static_cast<std::uint64_t>(file.stream->capacity);
    while (skip > 0 && file.stream->at_end == 0) {
        const auto run = static_cast<std::uint32_t>(std::min<std::uint64_t>(skip, frame_bytes));
        const std::uint32_t before = FileImage.read_pos;
        pack_read(file.stream, TextFrame, run);
        check_refill(before);
        skip -= run;
    }
}

// TextFrame holds `frame` afterwards, exactly as the player's stream would
// have left it: a last frame cut short keeps the bytes of the frame before
// behind its end, so reading starts one frame early.
void load_frame(std::int32_t frame)
{
    const bool read_on = file.current >= 0 && frame > file.current && file.stream->at_end == 0 &&
                         block_of_byte(static_cast<std::uint64_t>(frame) * frame_bytes) <=
                             block_of_byte(static_cast<std::uint64_t>(file.current + 1) * frame_bytes) + 1;
    if (!read_on) {
        file.current = std::max(frame - 1, 0) - 1;
        seek_stream(file.current + 1);
    }
    while (file.current < frame) {
        read_frame();
        ++file.current;
    }
}

void draw_picture()
{
    const PixelSurface surface{picture, picture_width * 4, picture_width, picture_height};
    draw_text_frame(std::span<const std::uint8_t, frame_bytes>(TextFrame), frame_rows, frame_cols,
                    surface);
    // 0x00RRGGBB words to R, G, B, A bytes (little-endian memory).
    for (std::uint32_t& p : picture)
        p = 0xFF000000u | (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
}

void close_file()
{
    if (file.stream != nullptr) {
        pack_release(file.stream);
        std::free(file.stream);
    }
    file = FrameFile{};
}

// Opens the stream as the player's pack_open does, sized by the level byte
// (an empty file reads as level 255). False when memory runs out.
bool open_stream()
{
    auto* stream = static_cast<PackStream*>(std::calloc(1, sizeof(PackStream)));
    if (stream == nullptr)
        return false;
    file.stream = stream;
    pack_setup(stream, level() * pack_level_unit);
    if (stream->in_buf == nullptr || stream->out_buf == nullptr || stream->work_mem == nullptr)
        return false;
    stream->get_byte = mem_getc;
    stream->put_byte = file_putc;
    FileImage.read_pos = 1;
    return true;
}

// What can be shown of what is in: the frames within the blocks known to
// unpack to the capacity, or, once the file is in, every frame it holds.
void count_frames()
{
    const auto blocks = static_cast<std::uint32_t>(file.block_offsets.size());
    const auto capacity = static_cast<std::uint64_t>(file.stream->capacity);
    std::uint64_t unpacked = 0;
    if (!file.complete) {
        // The last whole block may still turn out to be the file's last.
        const bool more_after = !file.walk_ended && file.next_block < FileImage.size;
        file.full_blocks = blocks > 0 && !more_after ? blocks - 1 : blocks;
        unpacked = file.full_blocks * capacity / frame_bytes * frame_bytes;
    } else if (blocks > 0) {
        file.full_blocks = blocks - 1;
        unpacked = file.full_blocks * capacity + last_block_bytes();
        // That decompression took the stream's buffer.
        file.current = -1;
    }
    const std::uint64_t frames = (unpacked + frame_bytes - 1) / frame_bytes;
    file.frames = static_cast<std::int32_t>(std::min<std::uint64_t>(frames, INT32_MAX));
}

}  // namespace
}  // namespace vexl::web

using namespace vexl;
using namespace vexl::web;

extern "C" {

// Starts a new frame file (any earlier one is closed): the page then makes
// room for it, copies its bytes in as they arrive, and says so.
void vexl_begin()
{
    close_file();
    std::free(FileImage.data);
    FileImage = {};
}

// Room for the file's first `size` bytes in FileImage, keeping those in;
// null when memory runs out. The page asks for the whole size at once
// when it is known; otherwise the room grows by half at least.
std::uint8_t* vexl_room(std::uint32_t size)
{
    if (size > file.room) {
        const std::uint32_t grown = std::max(size, file.room + std::min(file.room / 2, UINT32_MAX - file.room));
        auto* data = static_cast<std::uint8_t*>(std::realloc(FileImage.data, std::max<std::uint32_t>(grown, 1)));
        if (data == nullptr)
            return nullptr;
        FileImage.data = data;
        file.room = grown;
    }
    return FileImage.data;
}

// The file's first `size` bytes are in FileImage. Returns the number of
// frames that can be shown so far, or -1 when memory runs out.
std::int32_t vexl_arrived(std::uint32_t size)
{
    FileImage.size = std::min(size, file.room);
    if (file.stream == nullptr) {
        if (FileImage.size == 0)
            return 0;
        if (!open_stream()) {
            close_file();
            return -1;
        }
        if (file.stream->capacity == 0) {
            file.damage = "offset 0: level 0 gives the blocks no room";
            file.damage_offset = 0;
        }
    }
    if (file.stream->capacity == 0)
        return 0;
    walk_blocks();
    count_frames();
    return file.frames;
}

// The whole file is in (its size as last said): the damage at its end is
// known now. Returns the number of frames, 0 when the file holds none, or
// -1 when memory runs out.
std::int32_t vexl_finish()
{
    file.complete = true;
    if (file.stream == nullptr) {
        note_damage({PackDamageKind::no_level_byte, 0, 0});
        return 0;
    }
    return vexl_arrived(FileImage.size);
}

// The first damage found so far (while the file arrived, or since while
// unpacking), as one line, or an empty string.
const char* vexl_damage() { return file.damage.c_str(); }

// Frame `frame` (kept within the frames that can be shown), unpacked and
// drawn: 640 x 400 RGBA pixels. Null when no frame can be shown yet.
const std::uint32_t* vexl_picture(std::int32_t frame)
{
    if (file.frames <= 0)
        return nullptr;
    frame = std::clamp(frame, 0, file.frames - 1);
    if (frame != file.drawn) {
        load_frame(frame);
        draw_picture();
        file.drawn = frame;
    }
    return picture;
}

}  // extern "C"
