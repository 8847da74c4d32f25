// Fuzzes the packed frame reader on arbitrary file images: open the image as
// the player does, read frames until the data ends, and check that
//  - frame-sized reads deliver exactly what single pack_getc calls do,
//  - the inspector counts exactly the bytes the player's frame reader
//    delivers, and agrees with the player on a file that holds no whole
//    frame (the player's first read comes up short: a loading failure),
//    and the damage the reader meets is damage the inspector lists,
//  - nothing reads or writes outside its buffers (the sanitizers).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "player/frame_reader.h"
#include "player/pack_survey.h"
#include "player/pack_stream.h"

namespace {

using namespace vexl;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_pack_reader: %s\n", what);
        std::abort();
    }
}

// pack_open reads the level byte from a file, so each input's first byte
// goes to a file of this process.
struct LevelFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("vexl-fuzz-pack-" + std::to_string(std::random_device{}()));
    ~LevelFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

const char* level_file()
{
    static const LevelFile file;
    return file.path.c_str();
}

PackStream* open_image(const std::uint8_t* image, std::size_t size)
{
    PackStream* stream = pack_open(level_file(), "r");
    check(stream != nullptr, "pack_open failed");
    FileImage.data = const_cast<std::uint8_t*>(image);
    FileImage.size = static_cast<std::uint32_t>(size);
    FileImage.read_pos = 1;
    return stream;
}

void close_stream(PackStream* stream)
{
    pack_release(stream);
    std::free(stream);
    FileImage = {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // -1 for an empty level file; rewritten only when the level changes.
    static int level_in_file = -2;
    const int level = size != 0 ? data[0] : -1;
    if (level != level_in_file) {
        std::FILE* file = std::fopen(level_file(), "wb");
        check(file != nullptr, "cannot write the level file");
        if (level >= 0)
            std::fputc(level, file);
        std::fclose(file);
        level_in_file = level;
    }
    // An exact-size heap copy, so any read past the image's end is caught.
    auto* image = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (size != 0)
        std::memcpy(image, data, size);

    std::vector<std::uint8_t> by_frames;
    PackStream* stream = open_image(image, size);
    std::uint8_t frame[8000];
    for (;;) {
        const std::uint32_t got = pack_read(stream, frame, sizeof frame);
        check(got <= sizeof frame, "pack_read delivered more than asked");
        by_frames.insert(by_frames.end(), frame, frame + got);
        if (got < sizeof frame)
            break;
    }
    check(pack_read(stream, frame, sizeof frame) == 0, "data after the end");
    check(stream->pos <= stream->fill, "pos beyond fill");
    close_stream(stream);

    std::vector<std::uint8_t> by_bytes;
    stream = open_image(image, size);
    for (;;) {
        const int byte = pack_getc(stream);
        if (stream->at_end == 1)
            break;
        check(stream->pos <= stream->fill, "pos beyond fill");
        by_bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    check(pack_getc(stream) == pack_no_data, "a data byte after the end");
    close_stream(stream);
    check(by_bytes == by_frames, "frame reads and byte reads differ");

    std::uint64_t placed = 0;
    bool first_frame_whole = false;
    std::vector<PackDamage> met;
    stream = open_image(image, size);
    {
        PackBlockWalk walk;
        walk.walk({image, size}, true);
        FrameReader reader(stream, walk);
        for (bool first = true;; first = false) {
            const std::uint32_t got = reader.read(frame, sizeof frame);
            check(got <= sizeof frame, "the reader delivered more than asked");
            placed += got;
            if (first)
                first_frame_whole = got == sizeof frame;
            if (got < sizeof frame)
                break;
        }
        check(reader.read(frame, sizeof frame) == 0, "frames after the end");
        met = reader.damage();
    }
    close_stream(stream);

    const PackInfo info = inspect_pack({image, size});
    check(info.unpacked_bytes == placed, "inspector and frame reader disagree");
    for (const PackDamage& damage : met) {
        bool listed = false;
        for (const PackDamage& d : info.damage)
            listed = listed || (d.offset == damage.offset && d.kind == damage.kind);
        check(listed, "damage the reader met is not listed");
    }
    check(info.whole_frames * 8000 + info.partial_frame_bytes == info.unpacked_bytes,
          "frame count");
    check(first_frame_whole == (info.whole_frames > 0), "no-frame verdicts differ");
    check(size == 0 || info.level == data[0], "level");
    for (const PackDamage& damage : info.damage)
        check(!describe(damage, info.capacity).empty(), "empty damage description");

    std::free(image);
    return 0;
}
