#pragma once
// How the web site keeps the frames: in pieces of a run of whole frames,
// each laid out by rows: row 0 of every frame of the piece, then row 1,
// and so on. A row then sits next to the same row of the frames around it,
// where deflate finds it again at a short distance and within its window
// (3 to 4 % smaller than frame after frame).

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/frame_geometry.h"

namespace vexl {

// Lays out the whole frames in `frames` (a multiple of frame_bytes) by
// rows into `piece`, of the same size.
void lay_out_by_rows(std::span<const std::uint8_t> frames, std::span<std::uint8_t> piece);

// Frame `index` of `piece` (whole frames laid out by rows) into `frame`.
void frame_from_rows(std::span<const std::uint8_t> piece, std::size_t index,
                     std::span<std::uint8_t, frame_bytes> frame);

}  // namespace vexl
