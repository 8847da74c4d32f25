#include "term/compositor.h"

namespace vexl::term {

void Compositor::compose(const CharInfo* cells, int rows, int cols, const PictureLayout& layout, bool changed,
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
    if (changed || layout != scaled_layout_ || scaled_cells_.empty())
        scale(cells, rows, cols, layout);
    for (int r = 0; r < layout.rows; ++r)
        for (int c = 0; c < layout.cols; ++c)
            painter.put(layout.top + r, layout.left + c, scaled_cells_[static_cast<std::size_t>(r * layout.cols + c)]);
}

void Compositor::scale(const CharInfo* cells, int rows, int cols, const PictureLayout& layout)
{
    const int width = cols * rasterizer_.glyph_width, height = rows * rasterizer_.glyph_height;
    pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));  // every pixel is drawn
    rasterizer_.draw(cells, rows, cols, pixels_.data());
    scaled_.convert(pixels_.data(), width, height, layout.rows, layout.cols, scaled_cells_);
    scaled_layout_ = layout;
}

}  // namespace vexl::term
