#include "tools/demo/demo_writer.h"

#include "tools/demo/generator.h"

namespace vexl::demo {

bool pack_demo(const BlockWriter::Sink& sink, PackedDemo& result, const MusicMap& music, PackEffort effort)
{
    BlockWriter writer(sink, pack_default_level, effort);
    result = {};
    const bool generated = generate_demo(
        [&](std::span<const std::uint8_t> frame) {
            if (!writer.write(frame))
                return false;
            ++result.frames;
            return true;
        },
        music);
    const bool finished = generated && writer.finish();
    result.unpacked_bytes = writer.bytes_in();
    result.packed_bytes = writer.bytes_out();
    result.blocks = writer.blocks();
    return finished;
}

}  // namespace vexl::demo
