#include "term/compositor.h"

namespace vexl::term {

void Compositor::compose(const CharInfo* cells, int rows, int cols, const PictureLayout& layout,
                         FramePainter& painter)
{
    if (layout.mode != PictureMode::scaled) {
        for (int r = 0; r < layout.rows && r < rows; ++r)
            for (int c = 0; c < layout.cols && c < cols; ++c) {
                const CharInfo& cell = cells[r * cols + c];
                painter.put(layout.top + r, layout.left + c, static_cast<std::uint8_t>(cell.ch),
                            static_cast<std::uint8_t>(cell.attributes));
            }
        return;
    }
    const std::vector<Cell>& scaled = scaled_.convert(cells, rows, cols, layout.rows, layout.cols, font_);
    for (int r = 0; r < layout.rows; ++r)
        for (int c = 0; c < layout.cols; ++c)
            painter.put(layout.top + r, layout.left + c, scaled[static_cast<std::size_t>(r * layout.cols + c)]);
}

}  // namespace vexl::term
