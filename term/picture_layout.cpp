#include "term/picture_layout.h"

#include <algorithm>


namespace vexl::term {

PictureLayout choose_layout(int rows, int cols, int glyph_width, int glyph_height, int term_rows,
                            int term_cols, double cell_aspect, bool can_scale)
{
    if (rows <= 0 || cols <= 0 || term_rows <= 0 || term_cols <= 0)
        return {};
    if (term_rows >= rows && term_cols >= cols) {
        const int top = (term_rows - rows) / 2, left = (term_cols - cols) / 2;
        return {top == 0 && left == 0 ? PictureMode::exact : PictureMode::centred, top, left, rows, cols};
    }
    if (!can_scale || glyph_width <= 0 || glyph_height <= 0 || cell_aspect <= 0)
        return {PictureMode::exact, 0, 0, rows < term_rows ? rows : term_rows, cols < term_cols ? cols : term_cols};
    // The largest size of the picture's proportions that fits: the side
    // that limits stays whole, the other is cut down to whole cells.
    const double picture_aspect = static_cast<double>(cols * glyph_width) / (rows * glyph_height);
    const double cell = static_cast<float>(cell_aspect);  // as precise as terminals tell it
    int width = term_cols, height = term_rows;
    if (picture_aspect > width / static_cast<double>(height) * cell)
        height = std::max(static_cast<int>(width * (cell / picture_aspect)), 1);
    else
        width = std::max(static_cast<int>(height * (picture_aspect / cell)), 1);
    if (width > term_cols || height > term_rows)
        return {};
    return {PictureMode::scaled, (term_rows - height) / 2, (term_cols - width) / 2, height, width};
}

double cell_aspect_of(const TerminalSize& size)
{
    if (size.rows <= 0 || size.cols <= 0 || size.pixel_width <= 0 || size.pixel_height <= 0)
        return 0;
    const double width = static_cast<double>(size.pixel_width) / size.cols;
    const double height = static_cast<double>(size.pixel_height) / size.rows;
    // Cells narrower than 2 pixels, or more than four times as tall as
    // wide (or wider than tall), are no font anyone reads.
    if (width < 2 || height < 2)
        return 0;
    const double aspect = width / height;
    return aspect >= 0.25 && aspect <= 1.0 ? aspect : 0;
}

}  // namespace vexl::term
