#pragma once
// The demo's frame file: every frame generated in order and streamed into
// the block writer, so the 141 MB of frames never sit in memory at once.

#include <cstdint>

#include "player/block_writer.h"
#include "tools/demo/music.h"

namespace vexl::demo {

struct PackedDemo {
    std::uint64_t frames = 0;
    std::uint64_t unpacked_bytes = 0;
    std::uint64_t packed_bytes = 0;  // the whole file, level byte included
    std::uint32_t blocks = 0;
};

// Generates the demo for `music` and packs it at the default level into
// `sink`. False when the sink failed; `result` then holds what was done.
bool pack_demo(const BlockWriter::Sink& sink, PackedDemo& result, const MusicMap& music = default_music(),
               PackEffort effort = PackEffort::fast);

}  // namespace vexl::demo
