#include "player/frame_reader.h"

#include <algorithm>
#include <span>

namespace vexl {

FrameReader::FrameReader(PackStream* stream, const PackBlockWalk& walk)
    : stream_(stream), walk_(walk), capacity_(static_cast<std::uint64_t>(walk.capacity()))
{
    // Level 0 gives the blocks no place in the frames at all.
    ended_ = capacity_ == 0;
}

std::uint32_t FrameReader::read(std::uint8_t* dest, std::uint32_t count)
{
    std::uint32_t done = 0;
    while (done < count && !ended_) {
        const std::uint64_t want = count - done;
        std::uint32_t step = 0;
        if (position_ < placed_end_) {
            // Within the block in out_buf, so pack_read refills nothing.
            step = static_cast<std::uint32_t>(std::min(want, placed_end_ - position_));
            pack_read(stream_, dest + done, step);
        } else if (next_block_ == walk_.blocks().size()) {
            ended_ = true;
        } else if (const std::uint64_t next_place = next_block_ * capacity_; position_ < next_place) {
            // The gap a short block left: `dest` keeps what it held there.
            step = static_cast<std::uint32_t>(std::min(want, next_place - position_));
        } else {
            step = enter_next_block(dest + done);
        }
        done += step;
        position_ += step;
    }
    return done;
}

void FrameReader::restart_at_block(std::size_t index)
{
    next_block_ = index;
    position_ = index * capacity_;
    placed_end_ = position_;
    ended_ = capacity_ == 0;
}

// Refills from the next block through pack_read, which stores the block's
// first byte; returns how many bytes that stored (0 or 1).
std::uint32_t FrameReader::enter_next_block(std::uint8_t* dest)
{
    const std::size_t index = next_block_++;
    const PackBlock& block = walk_.blocks()[index];
    // The block before may have left bytes beyond its place in out_buf, or
    // ended the stream's data by unpacking to nothing: the stream starts
    // this block afresh at its length field either way.
    FileImage.read_pos = static_cast<std::uint32_t>(block.offset);
    stream_->pos = stream_->fill;
    stream_->at_end = 0;
    const std::uint32_t got = pack_read(stream_, dest, 1);
    const std::uint32_t produced = got == 0 ? 0 : stream_->fill;
    placed_end_ = index * capacity_ + placed_bytes(produced, walk_.capacity());

    const bool last = walk_.is_last(index);
    const bool fits = last ? produced != 0 && produced <= capacity_ : produced == capacity_;
    if (!fits) {
        // Unpacked once more, into a buffer of its own, for the
        // decompressor's verdict, which the stream keeps to itself.
        scratch_.resize(static_cast<std::size_t>(walk_.buffer_size()));
        const UnpackedBlock unpacked =
            unpack_block(std::span<const std::uint8_t>(FileImage.data, FileImage.size), block, scratch_);
        const auto damage = check_unpacked(block, static_cast<std::uint32_t>(index), unpacked, walk_.capacity(), last);
        // A block read again after a seek back is told once.
        const auto place = std::lower_bound(damage_.begin(), damage_.end(), index,
                                            [](const PackDamage& d, std::size_t i) { return d.block < i; });
        if (damage && (place == damage_.end() || place->block != index))
            damage_.insert(place, *damage);
    }
    return got;
}

}  // namespace vexl
