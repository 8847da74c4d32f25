#pragma once
// The walk over a packed frame file's blocks (format: player/pack_stream.h)
// that every reader of the frames shares: where each block is and how long,
// the check of what a block unpacks to, and damage with its offset.
//
// Every block but the last unpacks to exactly the level's capacity; that is
// how the file is written, and all that places the frames: the bytes of
// block i start at i * capacity. A block that unpacks to anything else is
// damage, and it keeps its place: the bytes it lacks are a gap, bytes
// beyond its capacity are dropped, and every later frame stays in line. So
// damage costs the frames of its own block, not the rest of the file.

#include <cstdint>
#include <optional>
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
    wrong_size,        // it decompresses, but not to the level's capacity
};

struct PackDamage {
    PackDamageKind kind;
    std::uint64_t offset;      // of the block's length field (or of the cut)
    std::uint32_t block;       // index of the block, from 0
    std::uint32_t length = 0;  // the block's length field, where read
    std::uint64_t available = 0;  // bytes the file still held (cut short)
    std::uint32_t produced = 0;   // bytes unpacked (bad data, wrong size)
    int lzo_result = 0;           // the decompressor's result (bad data)
    std::uint32_t missing = 0;    // bytes of its place the block leaves empty;
                                  // 0 for the last block, which ends the data
};

struct PackBlock {
    std::uint64_t offset;  // of its length field; the data follows it
    std::uint32_t length;  // of its data
};

class PackBlockWalk {
public:
    // Walks on over `image`, the file's first bytes (all of them when
    // `complete`), from where the last call stopped. A length field or a
    // block not yet whole is waited for while the file is incomplete, and
    // is damage once it is complete.
    void walk(std::span<const std::uint8_t> image, bool complete);

    int level() const { return level_; }  // 255 for an empty file, as the stream reads it
    std::int32_t capacity() const;
    std::int32_t buffer_size() const;
    const std::vector<PackBlock>& blocks() const { return blocks_; }
    // No block follows: the walk reached the end of the complete file, or
    // damage to its structure, where the data ends.
    bool ended() const { return ended_; }
    bool is_last(std::size_t index) const { return ended_ && index + 1 == blocks_.size(); }
    const std::optional<PackDamage>& end_damage() const { return end_damage_; }
    // Behind the last whole block: where the walk goes on, or stopped.
    std::uint64_t end_offset() const { return next_; }

private:
    int level_ = 255;
    std::vector<PackBlock> blocks_;
    std::uint64_t next_ = 1;
    bool ended_ = false;
    std::optional<PackDamage> end_damage_;
};

struct UnpackedBlock {
    std::uint32_t produced = 0;  // bytes out, also those before an error
    int lzo_result = 0;
};

// Decompresses `block` of `image` into `out`, at most out.size() bytes
// (the stream's buffer size), exactly as the stream's refill does.
UnpackedBlock unpack_block(std::span<const std::uint8_t> image, const PackBlock& block,
                           std::span<std::uint8_t> out);

// The unpacked size check of block `index`: damage when its data does not
// decompress, or when it unpacks to other than the capacity (the last
// block: to nothing or more than the capacity).
std::optional<PackDamage> check_unpacked(const PackBlock& block, std::uint32_t index, UnpackedBlock unpacked,
                                         std::int32_t capacity, bool last);

// The bytes of the frames a block fills: what it unpacked, at most its place.
std::uint32_t placed_bytes(std::uint32_t produced, std::int32_t capacity);

// The frames [first, end) that lie in the place of a block that failed the
// size check, wholly or in part: what it gave them may be wrong, and where
// it left bytes out they keep the frame before's.
struct FrameRange {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};
FrameRange damaged_frames(const PackDamage& damage, std::int32_t capacity);

// One line, e.g. "offset 1234: block 5 is 99999 bytes long, more than the
// 73744-byte buffer; the data ends here".
std::string describe(const PackDamage& damage, std::int32_t capacity);

}  // namespace vexl
