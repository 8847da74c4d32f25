#include "player/piece_layout.h"

#include <algorithm>

namespace vexl {
namespace {

constexpr std::size_t rows = frame_rows;
constexpr std::size_t row_bytes = frame_row_bytes;

}  // namespace

void lay_out_by_rows(std::span<const std::uint8_t> frames, std::span<std::uint8_t> piece)
{
    const std::size_t count = frames.size() / frame_bytes;
    auto to = piece.begin();
    for (std::size_t row = 0; row < rows; ++row)
        for (std::size_t frame = 0; frame < count; ++frame)
            to = std::copy_n(frames.subspan(frame * frame_bytes + row * row_bytes).begin(), row_bytes, to);
}

void frame_from_rows(std::span<const std::uint8_t> piece, std::size_t index,
                     std::span<std::uint8_t, frame_bytes> frame)
{
    const std::size_t count = piece.size() / frame_bytes;
    for (std::size_t row = 0; row < rows; ++row)
        std::copy_n(piece.subspan((row * count + index) * row_bytes).begin(), row_bytes,
                    frame.subspan(row * row_bytes).begin());
}

}  // namespace vexl
