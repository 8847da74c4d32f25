#pragma once
// Reads the frames of a packed frame stream over FileImage with every block
// in its place (player/pack_blocks.h). The stream unpacks and pack_read
// hands the bytes out as ever; the reader only bounds each pack_read by the
// block it is in, checks what each block unpacked to, and steps over what
// a damaged block left out, so that damage costs the frames of its own
// block and every later frame stays in line.

#include <cstdint>
#include <vector>

#include "player/pack_blocks.h"
#include "player/pack_stream.h"

namespace vexl {

class FrameReader {
public:
    // `stream` is open for reading over FileImage, which `walk` has walked
    // whole; nothing has been read from it yet. Both outlive the reader.
    FrameReader(PackStream* stream, const PackBlockWalk& walk);

    // Up to `count` bytes of the frames into `dest`; fewer only at the end
    // of the data. Where a damaged block left bytes out, `dest` keeps what
    // it held, as a frame cut short at the end of the data keeps the
    // earlier frame's bytes behind its end.
    std::uint32_t read(std::uint8_t* dest, std::uint32_t count);

    // The next read starts at the start of block `index`, one the walk
    // holds: for a seek, which reads on from there to the frame it wants.
    void restart_at_block(std::size_t index);

    bool ended() const { return ended_; }  // the data has ended
    // Damage met so far, in file order, each block once. The size check
    // finds it; broken data that still unpacks to the capacity only the
    // survey sees.
    const std::vector<PackDamage>& damage() const { return damage_; }

private:
    std::uint32_t enter_next_block(std::uint8_t* dest);

    PackStream* stream_;
    const PackBlockWalk& walk_;
    std::uint64_t capacity_;
    std::size_t next_block_ = 0;
    std::uint64_t position_ = 0;    // in the frames' bytes, of the next one
    std::uint64_t placed_end_ = 0;  // of the current block's bytes in place
    bool ended_ = false;
    std::vector<std::uint8_t> scratch_;  // a damaged block's second unpacking
    std::vector<PackDamage> damage_;
};

}  // namespace vexl
