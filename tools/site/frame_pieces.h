#pragma once
// The frames of a web site: what the player shows from a packed frame
// file, in pieces of whole frames laid out by rows (player/piece_layout.h)
// and deflated (raw deflate, which a browser's DecompressionStream
// inflates as "deflate-raw").

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/frame_geometry.h"
#include "player/pack_stream.h"

namespace vexl::site {

using Bytes = std::vector<std::uint8_t>;

// Reads `frames` frames from `stream` as the player reads them into its one
// TextFrame (so a last frame cut short keeps the bytes of the frame before
// behind its end) and deflates them `per_piece` at a time, the last piece
// with what is left; a few pieces are unpacked at a time and deflated on
// every core. `look` sees each frame as it is read. Empty when memory runs
// out.
using FrameLook = std::function<void(std::int64_t index, std::span<const std::uint8_t, frame_bytes> frame)>;
std::vector<Bytes> deflate_frame_pieces(PackStream* stream, std::int64_t frames, std::int64_t per_piece,
                                        const FrameLook& look);

}  // namespace vexl::site
