#include "player/pack_survey.h"

#include <algorithm>
#include <memory>

#include "core/frame_geometry.h"

namespace vexl {

PackInfo inspect_pack(std::span<const std::uint8_t> image, PackSurvey depth)
{
    PackBlockWalk walk;
    walk.walk(image, true);
    PackInfo info;
    info.file_size = image.size();
    info.level = walk.level();
    info.capacity = walk.capacity();
    info.buffer_size = walk.buffer_size();
    const std::vector<PackBlock>& blocks = walk.blocks();
    info.blocks = static_cast<std::uint32_t>(blocks.size());
    for (const PackBlock& block : blocks)
        info.compressed_bytes += block.length;
    info.unread_bytes = image.size() > walk.end_offset() ? image.size() - walk.end_offset() : 0;

    if (depth == PackSurvey::unpack && !blocks.empty()) {
        // Not zeroed: the decompressor only writes it, and at level 255 it is 9 MB.
        // (Plain new[] rather than make_unique_for_overwrite, which the web
        // build's older C++ library lacks.)
        const auto out_size = static_cast<std::size_t>(info.buffer_size);
        const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[out_size]);
        for (std::uint32_t i = 0; i < info.blocks; ++i) {
            const UnpackedBlock unpacked = unpack_block(image, blocks[i], {out.get(), out_size});
            const bool last = i + 1 == info.blocks;
            if (const auto damage = check_unpacked(blocks[i], i, unpacked, info.capacity, last))
                info.damage.push_back(*damage);
            if (last)
                info.unpacked_bytes = std::uint64_t{i} * static_cast<std::uint64_t>(info.capacity) +
                                      placed_bytes(unpacked.produced, info.capacity);
        }
    }
    info.whole_frames = info.unpacked_bytes / frame_bytes;
    info.partial_frame_bytes = static_cast<std::uint32_t>(info.unpacked_bytes % frame_bytes);
    // Neighbouring damaged blocks may share a frame: count it once.
    std::uint64_t counted_to = 0;
    for (const PackDamage& damage : info.damage) {
        const FrameRange lost = damaged_frames(damage, info.capacity);
        const std::uint64_t from = std::max(lost.first, counted_to);
        const std::uint64_t to = std::min(lost.end, info.whole_frames);
        if (from < to) {
            info.damaged_frames += to - from;
            counted_to = to;
        }
    }
    if (walk.end_damage())
        info.damage.push_back(*walk.end_damage());
    return info;
}

}  // namespace vexl
