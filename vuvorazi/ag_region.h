#pragma once
// Rectangles of cells and their clipping, in 64-bit arithmetic so that no
// caller-supplied offset or count can overflow.

#include <algorithm>
#include <cstdint>

namespace vuvorazi {

struct ag_region {
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::int32_t nrows = 0;
    std::int32_t ncols = 0;

    bool empty() const { return nrows < 1 || ncols < 1; }
};

// The part of [start, start + count) inside [0, limit); a count of 0 when
// nothing is.
inline void clip_span(std::int32_t start, std::int32_t count, std::int32_t limit,
                      std::int32_t& out_start, std::int32_t& out_count)
{
    const std::int64_t first = std::max<std::int64_t>(start, 0);
    const std::int64_t end = std::min<std::int64_t>(std::int64_t{start} + count, limit);
    out_start = static_cast<std::int32_t>(std::min<std::int64_t>(first, std::max(limit, 0)));
    out_count = static_cast<std::int32_t>(std::max<std::int64_t>(end - first, 0));
}

// The region cut down to a rows x cols rectangle at the origin.
inline ag_region clip_region(const ag_region& region, std::int32_t rows, std::int32_t cols)
{
    ag_region out;
    clip_span(region.row, region.nrows, rows, out.row, out.nrows);
    clip_span(region.col, region.ncols, cols, out.col, out.ncols);
    return out;
}

}  // namespace vuvorazi
