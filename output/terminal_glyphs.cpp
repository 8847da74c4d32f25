#include "output/terminal_glyphs.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "output/glyph_raster.h"

namespace vexl {

term::CellRasterizer full_screen_glyphs()
{
    auto draw = [](const platform::CharInfo* cells, int rows, int cols, std::uint32_t* pixels) {
        const int width = cols * glyph_width, height = rows * glyph_height;
        if (rows > frame_rows || cols > frame_cols)
            std::fill_n(pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
        std::array<std::uint8_t, frame_bytes> frame{};
        for (int i = 0; i < std::min(rows, frame_rows); ++i)
            for (int j = 0; j < std::min(cols, frame_cols); ++j) {
                const platform::CharInfo& cell = cells[i * cols + j];
                frame[static_cast<std::size_t>(i * frame_row_bytes + 2 * j)] = static_cast<std::uint8_t>(cell.ch);
                frame[static_cast<std::size_t>(i * frame_row_bytes + 2 * j + 1)] =
                    static_cast<std::uint8_t>(cell.attributes);
            }
        draw_text_frame(frame, rows, cols, PixelSurface{pixels, static_cast<std::ptrdiff_t>(width) * 4, width, height});
    };
    return {glyph_width, glyph_height, draw};
}

}  // namespace vexl
