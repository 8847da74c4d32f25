#pragma once
// A picture in pixels turned into terminal cells with libchafa: each cell
// becomes the block symbol (half, quadrant, solid or blank) and the two
// colours that look most like its pixels. The colours come in the
// terminal's depth: 24-bit (rounded to 4 bits a channel); the xterm
// palette without its themed first 16;
// or, for 16 colours, the VGA colour nearest to chafa's 24-bit choice
// (chafa's own 16-colour palette is a brighter one, on which VGA brown and
// the dim colours land on wrong entries).

#include <cstdint>
#include <vector>

#include "term/frame_painter.h"
#include "term/terminal_colors.h"

struct ChafaCanvas;
struct ChafaSymbolMap;

namespace vexl::term {

class ScaledView {
public:
    explicit ScaledView(ColorMode mode);
    ~ScaledView();
    ScaledView(const ScaledView&) = delete;
    ScaledView& operator=(const ScaledView&) = delete;

    // `pixels`: `width` x `height` pixels 0x00RRGGBB without gaps (the top
    // byte is overwritten). `cells` gets `rows` x `cols` cells, row-major.
    void convert(std::uint32_t* pixels, int width, int height, int rows, int cols, std::vector<Cell>& cells);

private:
    void make_canvas(int rows, int cols);

    ColorMode mode_;
    ChafaSymbolMap* symbols_ = nullptr;
    ChafaCanvas* canvas_ = nullptr;
    int rows_ = 0;
    int cols_ = 0;
};

}  // namespace vexl::term
