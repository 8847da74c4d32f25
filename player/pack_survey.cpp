#include "player/pack_survey.h"

#include <lzo/lzo1x.h>

#include <cstdio>
#include <memory>

#include "core/frame_geometry.h"
#include "player/pack_stream.h"

namespace vexl {

PackInfo inspect_pack(std::span<const std::uint8_t> image, PackSurvey depth)
{
    PackInfo info;
    info.file_size = image.size();
    if (image.empty()) {
        // The stream then reads level 255 and no data.
        info.damage.push_back({PackDamageKind::no_level_byte, 0, 0});
    } else {
        info.level = image[0];
    }
    info.capacity = info.level * pack_level_unit;
    info.buffer_size = pack_buffer_size(info.capacity);

    // Not zeroed: the decompressor only writes it, and at level 255 it is 9 MB.
    // (Plain new[] rather than make_unique_for_overwrite, which the web
    // build's older C++ library lacks.)
    const auto out_size = static_cast<std::size_t>(info.buffer_size);
    const std::unique_ptr<std::uint8_t[]> out(depth == PackSurvey::unpack ? new std::uint8_t[out_size] : nullptr);
    std::uint64_t offset = 1;
    while (offset < image.size()) {
        const std::uint64_t left = image.size() - offset;
        PackDamage damage{PackDamageKind::length_cut_short, offset, info.blocks};
        damage.available = left;
        if (left < 4) {
            info.damage.push_back(damage);
            break;
        }
        const std::uint8_t* field = image.data() + offset;
        damage.length = static_cast<std::uint32_t>(field[0]) << 24 |
                        static_cast<std::uint32_t>(field[1]) << 16 |
                        static_cast<std::uint32_t>(field[2]) << 8 | field[3];
        damage.available = left - 4;
        if (damage.length > static_cast<std::uint32_t>(info.buffer_size)) {
            damage.kind = PackDamageKind::block_too_long;
            info.damage.push_back(damage);
            break;
        }
        if (damage.length > damage.available) {
            damage.kind = PackDamageKind::block_cut_short;
            info.damage.push_back(damage);
            break;
        }
        lzo_uint produced = 0;
        if (depth == PackSurvey::unpack) {
            produced = out_size;
            damage.lzo_result =
                lzo1x_decompress_safe(field + 4, damage.length, out.get(), &produced, nullptr);
        }
        offset += 4 + damage.length;
        ++info.blocks;
        info.compressed_bytes += damage.length;
        info.unpacked_bytes += produced;
        if (damage.lzo_result != LZO_E_OK) {
            damage.kind = PackDamageKind::bad_data;
            damage.produced = static_cast<std::uint32_t>(produced);
            info.damage.push_back(damage);
            if (produced == 0)  // a block that yields nothing ends the data
                break;
        }
    }
    info.unread_bytes = image.size() > offset ? image.size() - offset : 0;
    info.whole_frames = info.unpacked_bytes / frame_bytes;
    info.partial_frame_bytes = static_cast<std::uint32_t>(info.unpacked_bytes % frame_bytes);
    return info;
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

}  // namespace

std::string describe(const PackDamage& damage, const PackInfo& info)
{
    char text[200];
    const auto offset = static_cast<unsigned long long>(damage.offset);
    const auto available = static_cast<unsigned long long>(damage.available);
    switch (damage.kind) {
    case PackDamageKind::no_level_byte:
        std::snprintf(text, sizeof text, "offset 0: the file is empty, it has no level byte");
        break;
    case PackDamageKind::length_cut_short:
        std::snprintf(text, sizeof text,
                      "offset %llu: the file ends inside the length of block %u (%llu of 4 bytes)",
                      offset, damage.block, available);
        break;
    case PackDamageKind::block_too_long:
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u is %u bytes long, more than the %d-byte buffer; "
                      "the data ends here",
                      offset, damage.block, damage.length, info.buffer_size);
        break;
    case PackDamageKind::block_cut_short:
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u is cut short, %llu of its %u bytes are there; "
                      "it delivers nothing",
                      offset, damage.block, available, damage.length);
        break;
    case PackDamageKind::bad_data:
        std::snprintf(text, sizeof text,
                      "offset %llu: block %u (%u bytes) does not decompress, %s (LZO error %d); "
                      "%u bytes unpacked%s",
                      offset, damage.block, damage.length, lzo_problem(damage.lzo_result),
                      damage.lzo_result, damage.produced,
                      damage.produced == 0 ? "; the data ends here" : "");
        break;
    }
    return text;
}

}  // namespace vexl
