// The browser player's frame module (WebAssembly): the picture of the frame
// asked for, from either of the two forms the page gets frames in, and the
// player's clock constants, so that the page does not repeat them.
//
// A site written by vexl web holds the frames in pieces laid out by rows
// (player/piece_layout.h), which the page inflates and hands over one at a
// time.
//
// A packed frame file (dropped on the page, or an older site's) is kept in
// the file's image with the stream that unpacks it. The page copies the
// file into the image as it arrives and asks for a frame whenever the heard
// position reaches one. The blocks are walked and read as every reader of
// the frames walks and reads them (player/pack_blocks.h,
// player/frame_reader.h): block i holds the frames' bytes from i * capacity,
// so a seek starts at the block that holds the frame, and a damaged block
// costs only its own frames. While the file arrives, a whole block is known
// not to be the last once a byte after it is in: the frames within such
// blocks can be shown before the rest is in.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "core/frame_geometry.h"
#include "core/process_records.h"
#include "output/glyph_raster.h"
#include "player/frame_reader.h"
#include "player/launcher.h"
#include "player/pack_blocks.h"
#include "player/pack_stream.h"
#include "player/piece_layout.h"

namespace vexl::web {
namespace {

constexpr int pixel_count = picture_width * picture_height;

struct FrameFile {
    PackStream* stream = nullptr;  // opened by the level byte
    std::uint32_t room = 0;        // bytes allocated for FileImage
    PackBlockWalk walk;
    std::unique_ptr<FrameReader> reader;  // over the stream, once it is open
    bool complete = false;                // the whole file is in
    std::int32_t frames = 0;              // that can be shown; when complete, a
                                          // last partial frame counts
    std::int32_t current = -1;            // the frame in TextFrame
    std::int32_t drawn = -1;              // the frame in the picture
    std::string damage;                   // the first damage in the file found, or empty
    std::uint64_t damage_offset = UINT64_MAX;  // where it is
};

FrameFile file;
// The site's piece in hand, laid out by rows (malloc'ed, so that running
// out of memory is an answer rather than an abort).
std::uint8_t* piece_data = nullptr;
std::uint32_t piece_size = 0;
std::uint32_t picture[pixel_count];  // RGBA bytes in memory order, as canvas ImageData wants

std::span<const std::uint8_t> image() { return {FileImage.data, FileImage.size}; }

// Keeps the damage nearest the file's start: the cut at the end of a file
// that arrived whole is found before a damaged block the reading reaches.
void note_damage(const PackDamage& damage)
{
    if (damage.offset >= file.damage_offset)
        return;
    file.damage_offset = damage.offset;
    file.damage = describe(damage, file.walk.capacity());
}

void note_reader_damage()
{
    if (!file.reader->damage().empty())
        note_damage(file.reader->damage().front());
}

std::uint32_t block_of_byte(std::uint64_t byte)
{
    return static_cast<std::uint32_t>(byte / static_cast<std::uint64_t>(file.walk.capacity()));
}

// Reads `count` bytes of the frames into TextFrame.
void read_frames(std::uint32_t count)
{
    file.reader->read(TextFrame, count);
    note_reader_damage();
}

// Puts the reader at the start of frame `frame`, reading from the start of
// its block. The bytes passed over go through TextFrame, which the next
// frame's read fills again.
void seek_frames(std::int32_t frame)
{
    const std::uint64_t byte = static_cast<std::uint64_t>(frame) * frame_bytes;
    const std::uint32_t block = block_of_byte(byte);
    file.reader->restart_at_block(block);
    for (std::uint64_t skip = byte - std::uint64_t{block} * static_cast<std::uint64_t>(file.walk.capacity());
         skip > 0 && !file.reader->ended();) {
        const auto run = static_cast<std::uint32_t>(std::min<std::uint64_t>(skip, frame_bytes));
        read_frames(run);
        skip -= run;
    }
}

// TextFrame holds `frame` afterwards, exactly as the player's reader would
// have left it: a last frame cut short, or one a damaged block left bytes
// out of, keeps the bytes of the frame before there, so reading starts one
// frame early.
void load_frame(std::int32_t frame)
{
    const bool read_on = file.current >= 0 && frame > file.current && !file.reader->ended() &&
                         block_of_byte(static_cast<std::uint64_t>(frame) * frame_bytes) <=
                             block_of_byte(static_cast<std::uint64_t>(file.current + 1) * frame_bytes) + 1;
    if (!read_on) {
        file.current = std::max(frame - 1, 0) - 1;
        seek_frames(file.current + 1);
    }
    while (file.current < frame) {
        read_frames(frame_bytes);
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
    file.reader.reset();
    if (file.stream != nullptr) {
        pack_release(file.stream);
        std::free(file.stream);
    }
    file = FrameFile{};
}

// Opens the stream as the player's pack_open does, sized by the level byte
// (an empty file reads as level 255), and the reader over it. False when
// memory runs out.
bool open_stream()
{
    auto* stream = static_cast<PackStream*>(std::calloc(1, sizeof(PackStream)));
    if (stream == nullptr)
        return false;
    file.stream = stream;
    pack_setup(stream, file.walk.capacity());
    if (stream->in_buf == nullptr || stream->out_buf == nullptr || stream->work_mem == nullptr)
        return false;
    stream->get_byte = mem_getc;
    stream->put_byte = file_putc;
    FileImage.read_pos = 1;
    file.reader = std::make_unique<FrameReader>(stream, file.walk);
    return true;
}

// What the last block places, the one block that may be short; damage in
// it is noted. The unpacking takes the stream's output buffer, so the
// reader starts afresh at the next frame asked for.
std::uint32_t last_block_bytes()
{
    const auto& blocks = file.walk.blocks();
    const auto index = static_cast<std::uint32_t>(blocks.size() - 1);
    const UnpackedBlock unpacked =
        unpack_block(image(), blocks[index], {file.stream->out_buf, static_cast<std::size_t>(file.stream->out_size)});
    if (const auto damage = check_unpacked(blocks[index], index, unpacked, file.walk.capacity(), true))
        note_damage(*damage);
    file.current = -1;
    file.drawn = -1;
    return placed_bytes(unpacked.produced, file.walk.capacity());
}

// What can be shown of what is in: the frames within the blocks known not
// to be the last, or, once the file is in, every frame it holds. A damaged
// block keeps its place, so the frames after it count all the same.
void count_frames()
{
    const auto blocks = static_cast<std::uint64_t>(file.walk.blocks().size());
    const auto capacity = static_cast<std::uint64_t>(file.walk.capacity());
    std::uint64_t unpacked = 0;
    if (!file.walk.ended()) {
        // The last whole block may still turn out to be the file's last.
        const bool more_after = file.walk.end_offset() < FileImage.size;
        const std::uint64_t known = blocks > 0 && !more_after ? blocks - 1 : blocks;
        unpacked = known * capacity / frame_bytes * frame_bytes;
    } else if (blocks > 0) {
        unpacked = (blocks - 1) * capacity + last_block_bytes();
    }
    const std::uint64_t frames = (unpacked + frame_bytes - 1) / frame_bytes;
    file.frames = static_cast<std::int32_t>(std::min<std::uint64_t>(frames, INT32_MAX));
}

}  // namespace
}  // namespace vexl::web

using namespace vexl;
using namespace vexl::web;

extern "C" {

// The player's clock: frames a second, samples a second, and the sample
// at which playback ends.
std::int32_t vexl_frame_rate() { return frames_per_second; }
std::int32_t vexl_sample_rate() { return clock_rate; }
std::int32_t vexl_end_sample() { return end_limit; }

// Room for a piece of the site's frames, `size` bytes (whole frames); null
// when memory runs out. The page inflates the piece into it.
std::uint8_t* vexl_piece_room(std::uint32_t size)
{
    auto* data = static_cast<std::uint8_t*>(std::realloc(piece_data, std::max<std::uint32_t>(size, 1)));
    if (data == nullptr)
        return nullptr;
    piece_data = data;
    piece_size = size;
    return piece_data;
}

// Frame `index` of the piece in hand, drawn as vexl_picture draws; null
// when the piece holds no such frame.
const std::uint32_t* vexl_piece_picture(std::uint32_t index)
{
    if (index >= piece_size / frame_bytes)
        return nullptr;
    frame_from_rows({piece_data, piece_size}, index, std::span<std::uint8_t, frame_bytes>(TextFrame));
    draw_picture();
    file.drawn = -1;  // TextFrame no longer holds the file's frame
    file.current = -1;
    return picture;
}

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
    if (FileImage.size == 0 && !file.complete)
        return 0;
    const bool counted_whole = file.walk.ended();
    file.walk.walk(image(), file.complete);
    if (file.walk.end_damage())
        note_damage(*file.walk.end_damage());
    if (FileImage.size == 0)
        return 0;
    if (file.stream == nullptr) {
        if (!open_stream()) {
            close_file();
            return -1;
        }
        if (file.walk.capacity() == 0) {
            file.damage = "offset 0: level 0 gives the blocks no room";
            file.damage_offset = 0;
        }
    }
    if (file.walk.capacity() == 0 || counted_whole)
        return file.frames;
    count_frames();
    return file.frames;
}

// The whole file is in (its size as last said): the damage at its end is
// known now. Returns the number of frames, 0 when the file holds none, or
// -1 when memory runs out.
std::int32_t vexl_finish()
{
    file.complete = true;
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
