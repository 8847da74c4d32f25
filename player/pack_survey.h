#pragma once
// Walks a packed frame file image (format: player/pack_stream.h) the way the
// stream reads it and reports its shape and every damage. The unpacked byte
// count is exactly what pack_read delivers from the same image.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexl {

enum class PackDamageKind {
    no_level_byte,     // empty file
    length_cut_short,  // the file ends inside a block's length field
    block_too_long,    // a length beyond the input buffer: the data ends there
    block_cut_short,   // the file ends inside a block's data
    bad_data,          // the data does not decompress (fully)
};

struct PackDamage {
    PackDamageKind kind;
    std::uint64_t offset;      // of the block's length field (or of the cut)
    std::uint32_t block;       // index of the block, from 0
    std::uint32_t length = 0;  // the block's length field, where read
    std::uint64_t available = 0;  // bytes the file still held (cut short)
    std::uint32_t produced = 0;   // bytes unpacked before the error (bad data)
    int lzo_result = 0;           // the decompressor's result (bad data)
};

struct PackInfo {
    std::uint64_t file_size = 0;
    int level = 255;                  // what the stream uses (255 for an empty file)
    std::int32_t capacity = 0;        // level * 32768
    std::int32_t buffer_size = 0;     // in_size = out_size
    std::uint32_t blocks = 0;         // blocks read whole
    std::uint64_t compressed_bytes = 0;  // their data bytes
    std::uint64_t unpacked_bytes = 0;    // what pack_read delivers
    std::uint64_t whole_frames = 0;
    std::uint32_t partial_frame_bytes = 0;  // of a last frame cut short
    std::uint64_t unread_bytes = 0;  // file bytes behind the point where the data ended
    std::vector<PackDamage> damage;

    bool damaged() const { return !damage.empty(); }
};

enum class PackSurvey {
    unpack,       // every block decompressed: all of PackInfo
    blocks_only,  // only the block lengths walked, nothing decompressed:
                  // damage to the file's structure (cut short, a length
                  // out of range), found in microseconds; the unpacked
                  // counts stay 0 and bad data goes unseen
};

PackInfo inspect_pack(std::span<const std::uint8_t> image, PackSurvey depth = PackSurvey::unpack);

// One line, e.g. "offset 1234: block 5 is 99999 bytes long, more than the
// 73744-byte buffer; the data ends here".
std::string describe(const PackDamage& damage, const PackInfo& info);

}  // namespace vexl
