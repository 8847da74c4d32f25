#pragma once
// The shape of a text frame, shared by everything that reads or draws one.

#include <cstddef>

namespace vexl {

inline constexpr int frame_rows = 50;
inline constexpr int frame_cols = 80;
inline constexpr int frame_row_bytes = frame_cols * 2;
inline constexpr std::size_t frame_bytes = frame_rows * frame_row_bytes;  // 8000

}  // namespace vexl
