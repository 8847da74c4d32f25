#pragma once
// Surveys a packed frame file image (format: player/pack_stream.h) the way
// the frames are read from it (player/frame_reader.h): its shape and every
// damage. The frame bytes counted are exactly what the frame reader
// delivers from the same image.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "player/pack_blocks.h"

namespace vexl {

struct PackInfo {
    std::uint64_t file_size = 0;
    int level = 255;                  // what the stream uses (255 for an empty file)
    std::int32_t capacity = 0;        // level * 32768
    std::int32_t buffer_size = 0;     // in_size = out_size
    std::uint32_t blocks = 0;         // blocks read whole
    std::uint64_t compressed_bytes = 0;  // their data bytes
    std::uint64_t unpacked_bytes = 0;    // the frames' bytes, each block in its place
    std::uint64_t whole_frames = 0;
    std::uint32_t partial_frame_bytes = 0;  // of a last frame cut short
    std::uint64_t damaged_frames = 0;       // whole frames in damaged blocks' places
    std::uint64_t unread_bytes = 0;  // file bytes behind the point where the data ended
    std::vector<PackDamage> damage;  // in file order

    bool damaged() const { return !damage.empty(); }
};

enum class PackSurvey {
    unpack,       // every block decompressed: all of PackInfo
    blocks_only,  // only the block lengths walked, nothing decompressed:
                  // damage to the file's structure (cut short, a length
                  // out of range), found in microseconds; the unpacked
                  // counts stay 0 and damaged data goes unseen
};

PackInfo inspect_pack(std::span<const std::uint8_t> image, PackSurvey depth = PackSurvey::unpack);

}  // namespace vexl
