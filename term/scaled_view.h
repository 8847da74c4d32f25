#pragma once
// The console's picture scaled down to the cells of a smaller terminal.
// Each terminal cell shows its four quarters as one block symbol (blank,
// a quadrant, a half or a diagonal) in two colours. A quarter's colour is
// the exact mean of the glyph picture over its part of the terminal's
// grid (a box filter, in integers); of the eight ways to split four
// quarters between two colours, each colour the mean of its quarters, the
// one with the least squared error is shown. Over the cell's pixels that
// is the least error these symbols can give, so the choice needs only the
// four means.
//
// The means come straight from the console cells, never from a drawn
// picture: what a cell adds to a quarter is its background over the part
// they share plus the difference of its colours over the set pixels of
// that part, and the set pixels' weight within a glyph row is a table
// lookup by the row's byte. Only the quarters over cells that changed are
// worked out again, and only the terminal cells over those quarters.
//
// The colours come in the terminal's depth: 24-bit (rounded to 4 bits a
// channel, so that a shade that moves by a hair between frames is not sent
// again); the xterm palette without its themed first 16; or, for 16
// colours, the nearest VGA colour.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/terminal.h"
#include "term/cell_font.h"
#include "term/frame_painter.h"
#include "term/terminal_colors.h"

namespace vexl::term {

// Red, green and blue, as sums or differences of channel values.
struct ChannelSums {
    std::int64_t r = 0, g = 0, b = 0;
};

class ScaledView {
public:
    explicit ScaledView(ColorMode mode) : mode_(mode) {}

    // The console's `rows` x `cols` cells drawn with `font` and scaled to
    // `out_rows` x `out_cols` terminal cells (row-major). The result stays
    // until the next call.
    const std::vector<Cell>& convert(const platform::CharInfo* cells, int rows, int cols, int out_rows,
                                     int out_cols, const CellFont& font);

private:
    // Weights are in units that make every boundary a whole number: a
    // pixel column is 2 * out_cols units wide and a quarter column as many
    // as the picture has pixel columns; likewise down.

    // A console row's part of a quarter row: its glyph rows [first, end)
    // and their weights (from `weights_down_`).
    struct RowPart {
        int row;
        int first;
        int end;
        int weights;  // index of glyph row `first`'s weight
        std::int64_t total;
    };
    // A console column's part of a quarter column: the weight of each
    // glyph row byte's set pixels in it (256 entries from `set_weight`),
    // and the weight of the whole part.
    struct ColumnPart {
        int col;
        int table;
        std::int64_t total;
    };

    void resize(int rows, int cols, int out_rows, int out_cols, const CellFont& font);
    std::uint32_t quarter_mean(int i, int j) const;
    void fit_cell(int r, int c);
    Color color_of(std::uint32_t rgb) const;

    ColorMode mode_;
    int rows_ = 0, cols_ = 0, out_rows_ = 0, out_cols_ = 0;
    CellFont font_;
    double per_area_ = 0;  // 1 / a quarter's weight
    double half_area_ = 0;

    const platform::CharInfo* cells_ = nullptr;   // during convert
    std::vector<platform::CharInfo> seen_;        // what the quarters were worked out from
    std::vector<std::vector<RowPart>> row_parts_;        // per quarter row
    std::vector<std::vector<ColumnPart>> column_parts_;  // per quarter column
    std::vector<std::int64_t> weights_down_;
    std::vector<std::int32_t> set_weight_;
    // Per attribute: the background's channels and the foreground's
    // difference from them.
    struct AttributeColors {
        ChannelSums bg;
        ChannelSums difference;
    };
    std::array<AttributeColors, 256> attribute_colors_{};
    std::vector<std::pair<int, int>> quarter_rows_of_;     // per console row: [first, end)
    std::vector<std::pair<int, int>> quarter_columns_of_;  // per console column
    std::vector<std::uint32_t> quarters_;  // each quarter's mean, 0x00RRGGBB
    std::vector<std::uint8_t> stale_;      // per quarter: to be worked out again
    std::vector<Cell> out_;
};

}  // namespace vexl::term
