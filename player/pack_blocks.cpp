#include "player/pack_blocks.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdio>

#include "core/frame_geometry.h"
#include "player/pack_stream.h"

namespace vexl {

std::int32_t PackBlockWalk::capacity() const { return level_ * pack_level_unit; }

std::int32_t PackBlockWalk::buffer_size() const { return pack_buffer_size(capacity()); }

void PackBlockWalk::walk(std::span<const std::uint8_t> image, bool complete)
{
    if (ended_)
        return;
    if (image.empty()) {
        if (complete) {
            end_damage_ = PackDamage{PackDamageKind::no_level_byte, 0, 0};
            ended_ = true;
        }
        return;
    }
    level_ = image[0];
    const auto buffer = static_cast<std::uint32_t>(buffer_size());
    while (next_ < image.size()) {
        const std::uint64_t left = image.size() - next_;
        PackDamage damage{PackDamageKind::length_cut_short, next_, static_cast<std::uint32_t>(blocks_.size())};
        damage.available = left;
        if (left < 4) {
            if (complete)
                end_damage_ = damage;
            break;
        }
        const std::uint8_t* field = image.data() + next_;
        damage.length = static_cast<std::uint32_t>(field[0]) << 24 | static_cast<std::uint32_t>(field[1]) << 16 |
                        static_cast<std::uint32_t>(field[2]) << 8 | field[3];
        damage.available = left - 4;
        if (damage.length > buffer) {
            // The stream refuses it whole, so the data ends here however
            // much of the file follows.
            damage.kind = PackDamageKind::block_too_long;
            end_damage_ = damage;
            ended_ = true;
            return;
        }
        if (damage.length > damage.available) {
            damage.kind = PackDamageKind::block_cut_short;
            if (complete)
                end_damage_ = damage;
            break;
        }
        blocks_.push_back({next_, damage.length});
        next_ += 4 + damage.length;
    }
    if (complete)
        ended_ = true;
}

UnpackedBlock unpack_block(std::span<const std::uint8_t> image, const PackBlock& block,
                           std::span<std::uint8_t> out)
{
    lzo_uint produced = out.size();
    UnpackedBlock unpacked;
    unpacked.lzo_result =
        lzo1x_decompress_safe(image.data() + block.offset + 4, block.length, out.data(), &produced, nullptr);
    unpacked.produced = static_cast<std::uint32_t>(produced);
    return unpacked;
}

std::optional<PackDamage> check_unpacked(const PackBlock& block, std::uint32_t index, UnpackedBlock unpacked,
                                         std::int32_t capacity, bool last)
{
    const auto whole = static_cast<std::uint32_t>(capacity);
    const bool fits = last ? unpacked.produced != 0 && unpacked.produced <= whole : unpacked.produced == whole;
    if (fits && unpacked.lzo_result == LZO_E_OK)
        return std::nullopt;
    PackDamage damage{unpacked.lzo_result == LZO_E_OK ? PackDamageKind::wrong_size : PackDamageKind::bad_data,
                      block.offset, index, block.length};
    damage.produced = unpacked.produced;
    damage.lzo_result = unpacked.lzo_result;
    damage.missing = last ? 0 : whole - placed_bytes(unpacked.produced, capacity);
    return damage;
}

std::uint32_t placed_bytes(std::uint32_t produced, std::int32_t capacity)
{
    return std::min(produced, static_cast<std::uint32_t>(capacity));
}

FrameRange damaged_frames(const PackDamage& damage, std::int32_t capacity)
{
    // Its place: the capacity, or for the last block what it placed.
    const std::uint64_t place = placed_bytes(damage.produced, capacity) + std::uint64_t{damage.missing};
    if ((damage.kind != PackDamageKind::bad_data && damage.kind != PackDamageKind::wrong_size) || place == 0)
        return {};
    const std::uint64_t start = std::uint64_t{damage.block} * static_cast<std::uint64_t>(capacity);
    return {start / frame_bytes, (start + place - 1) / frame_bytes + 1};
}

namespace {

const char* lzo_problem(int result)
{
    switch (result) {
    case LZO_E_INPUT_OVERRUN: return "its data runs out";
    case LZO_E_OUTPUT_OVERRUN: return "it unpacks beyond the buffer";
    case LZO_E_LOOKBEHIND_OVERRUN: return "it refers back before its start";
    case LZO_E_EOF_NOT_FOUND: return "its end marker is missing";
    case LZO_E_INPUT_NOT_CONSUMED: return "bytes follow its end marker";
    default: return "the decompressor fails";
    }
}

// What a damaged block costs the frames, after its own description.
std::string cost(const PackDamage& damage, std::int32_t capacity)
{
    const FrameRange lost = damaged_frames(damage, capacity);
    if (lost.first == lost.end)
        return "";
    const std::string first = std::to_string(lost.first);
    return (lost.end - lost.first == 1 ? "; frame " + first + " lies in it"
                                       : "; frames " + first + " to " + std::to_string(lost.end - 1) + " lie in it") +
           (damage.missing != 0 ? ", the frames after it stay in place" : "");
}

}  // namespace

std::string describe(const PackDamage& damage, std::int32_t capacity)
{
    char text[200];
    const auto offset = static_cast<unsigned long long>(damage.offset);
    const auto available = static_cast<unsigned long long>(damage.available);
    switch (damage.kind) {
    case PackDamageKind::no_level_byte:
        std::snprintf(text, sizeof text, "offset 0: the file is empty, it has no level byte");
        break;
    case PackDamageKind::length_cut_short:
        std::snprintf(text, sizeof text, "offset %llu: the file ends inside the length of block %u (%llu of 4 bytes)",
                      offset, damage.block, available);
        break;
    case PackDamageKind::block_too_long:
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u is %u bytes long, more than the %d-byte buffer; the data ends here",
                      offset, damage.block, damage.length, pack_buffer_size(capacity));
        break;
    case PackDamageKind::block_cut_short:
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u is cut short, %llu of its %u bytes are there; it delivers nothing",
                      offset, damage.block, available, damage.length);
        break;
    case PackDamageKind::bad_data:
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u (%u bytes) does not decompress, %s (LZO error %d); %u bytes unpacked",
                      offset, damage.block, damage.length, lzo_problem(damage.lzo_result), damage.lzo_result,
                      damage.produced);
        break;
    case PackDamageKind::wrong_size: {
        const bool more = damage.produced > static_cast<std::uint32_t>(capacity);
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u (%u bytes) unpacks to %u bytes, %s the %d of its level%s", offset,
                      damage.block, damage.length, damage.produced, more ? "more than" : "not", capacity,
                      more ? "; the bytes beyond are dropped" : "");
        break;
    }
    }
    return text + cost(damage, capacity);
}

}  // namespace vexl
