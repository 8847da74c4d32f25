#include "term/scaled_view.h"

#include <algorithm>
#include <cstring>

#include "core/palette16.h"

namespace vexl::term {
namespace {

// How much of pixel `x` ([x * parts, (x + 1) * parts)) part `j` ([j *
// pixels, (j + 1) * pixels)) covers.
std::int64_t overlap(int x, int j, int pixels, int parts)
{
    const std::int64_t lo = std::int64_t{x} * parts, hi = lo + parts;
    return std::max<std::int64_t>(0, std::min(hi, std::int64_t{j + 1} * pixels) - std::max(lo, std::int64_t{j} * pixels));
}

// The parts [first, end) that pixels [from, to) overlap.
std::pair<int, int> parts_over(int from, int to, int pixels, int parts)
{
    const auto first = static_cast<int>(std::int64_t{from} * parts / pixels);
    const auto end = static_cast<int>((std::int64_t{to} * parts + pixels - 1) / pixels);
    return {first, std::min(end, parts)};
}

ChannelSums channels(std::uint32_t p)
{
    return {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF};
}

// The splits of a cell's quarters (bit 0 top left, 1 top right, 2 bottom
// left, 3 bottom right; a set bit is the foreground), one symbol each:
// blank, the four quadrants, the halves, a diagonal.
struct Split {
    int foreground;
    char32_t symbol;
};
constexpr Split splits[] = {
    {0x0, U' '},      {0x1, U'\u2598'}, {0x2, U'\u259D'}, {0x4, U'\u2596'},
    {0x8, U'\u2597'}, {0x3, U'\u2580'}, {0x5, U'\u258C'}, {0x9, U'\u259A'},
};

}  // namespace

void ScaledView::resize(int rows, int cols, int out_rows, int out_cols, const CellFont& font)
{
    rows_ = rows;
    cols_ = cols;
    out_rows_ = out_rows;
    out_cols_ = out_cols;
    font_ = font;
    const int width = cols * CellFont::glyph_width, height = rows * font.glyph_height;
    const int across = 2 * out_cols, down = 2 * out_rows;
    per_area_ = 1.0 / (static_cast<double>(width) * height);
    half_area_ = static_cast<double>(width) * height / 2;

    row_parts_.assign(static_cast<std::size_t>(down), {});
    weights_down_.clear();
    quarter_rows_of_.clear();
    for (int r = 0; r < rows; ++r) {
        const int top = r * font.glyph_height;
        const auto [first, end] = parts_over(top, top + font.glyph_height, height, down);
        quarter_rows_of_.emplace_back(first, end);
        for (int i = first; i < end; ++i) {
            RowPart part{r, font.glyph_height, 0, static_cast<int>(weights_down_.size()), 0};
            for (int k = 0; k < font.glyph_height; ++k)
                if (const std::int64_t w = overlap(top + k, i, height, down); w > 0) {
                    part.first = std::min(part.first, k);
                    part.end = k + 1;
                }
            part.weights = static_cast<int>(weights_down_.size());
            for (int k = part.first; k < part.end; ++k) {
                weights_down_.push_back(overlap(top + k, i, height, down));
                part.total += weights_down_.back();
            }
            if (part.total > 0)
                row_parts_[static_cast<std::size_t>(i)].push_back(part);
        }
    }

    column_parts_.assign(static_cast<std::size_t>(across), {});
    set_weight_.clear();
    quarter_columns_of_.clear();
    for (int c = 0; c < cols; ++c) {
        const int left = c * CellFont::glyph_width;
        const auto [first, end] = parts_over(left, left + CellFont::glyph_width, width, across);
        quarter_columns_of_.emplace_back(first, end);
        for (int j = first; j < end; ++j) {
            std::int32_t pixel[CellFont::glyph_width];
            ColumnPart part{c, static_cast<int>(set_weight_.size()), 0};
            for (int b = 0; b < CellFont::glyph_width; ++b) {
                pixel[b] = static_cast<std::int32_t>(overlap(left + b, j, width, across));
                part.total += pixel[b];
            }
            if (part.total == 0)
                continue;
            for (int byte = 0; byte < 256; ++byte) {
                std::int32_t set = 0;
                for (int b = 0; b < CellFont::glyph_width; ++b)
                    if ((byte >> (7 - b) & 1) != 0)
                        set += pixel[b];
                set_weight_.push_back(set);
            }
            column_parts_[static_cast<std::size_t>(j)].push_back(part);
        }
    }

    for (std::size_t a = 0; a < attribute_colors_.size(); ++a) {
        const ChannelSums fg = channels(Palette16[a & 0x0F]), bg = channels(Palette16[a >> 4]);
        attribute_colors_[a] = {bg, {fg.r - bg.r, fg.g - bg.g, fg.b - bg.b}};
    }
    seen_.clear();  // everything is worked out anew
    quarters_.assign(static_cast<std::size_t>(across) * static_cast<std::size_t>(down), 0);
    stale_.assign(quarters_.size(), 1);
    out_.assign(static_cast<std::size_t>(out_rows) * static_cast<std::size_t>(out_cols), Cell{});
}

// A cell adds its background over the part it shares with the quarter,
// and the difference of its colours over the set pixels of that part.
std::uint32_t ScaledView::quarter_mean(int i, int j) const
{
    ChannelSums sum;
    for (const RowPart& rows : row_parts_[static_cast<std::size_t>(i)])
        for (const ColumnPart& cols : column_parts_[static_cast<std::size_t>(j)]) {
            const platform::CharInfo& cell = cells_[static_cast<std::size_t>(rows.row) * static_cast<std::size_t>(cols_) +
                                                    static_cast<std::size_t>(cols.col)];
            const std::uint8_t* glyph = font_.glyph_rows + static_cast<std::size_t>(cell.ch & 0xFF) *
                                                               static_cast<std::size_t>(font_.glyph_height);
            const std::int32_t* set_weight = set_weight_.data() + cols.table;
            std::int64_t set = 0;
            for (int k = rows.first; k < rows.end; ++k)
                set += weights_down_[static_cast<std::size_t>(rows.weights + k - rows.first)] * set_weight[glyph[k]];
            const std::int64_t whole = rows.total * cols.total;
            const AttributeColors& colors = attribute_colors_[cell.attributes & 0xFF];
            sum.r += colors.bg.r * whole + colors.difference.r * set;
            sum.g += colors.bg.g * whole + colors.difference.g * set;
            sum.b += colors.bg.b * whole + colors.difference.b * set;
        }
    // Rounded to the nearest: a double's error is far below the 1 / area
    // that would move the quotient past a whole number.
    auto mean = [&](std::int64_t s) { return static_cast<std::uint32_t>((static_cast<double>(s) + half_area_) * per_area_); };
    return mean(sum.r) << 16 | mean(sum.g) << 8 | mean(sum.b);
}

Color ScaledView::color_of(std::uint32_t rgb) const
{
    const Rgb c{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb)};
    switch (mode_) {
    case ColorMode::truecolor: {
        auto round = [](int v) { return static_cast<std::uint32_t>((v + 8) / 17 * 17); };
        return rgb_color(round(c.r) << 16 | round(c.g) << 8 | round(c.b));
    }
    case ColorMode::palette256:
        return xterm_color(nearest_xterm256(c));
    case ColorMode::ansi16:
        break;
    }
    return static_cast<Color>(nearest_vga(c));
}

// Of the splits, the one whose colours (each its quarters' mean) leave the
// least squared error: the one with the largest sum of |group sum|^2 /
// group size (the quarters' own squares are the same for every split).
void ScaledView::fit_cell(int r, int c)
{
    const std::size_t across = static_cast<std::size_t>(2 * out_cols_);
    const std::size_t top = static_cast<std::size_t>(2 * r) * across + static_cast<std::size_t>(2 * c);
    const ChannelSums q[4] = {channels(quarters_[top]), channels(quarters_[top + 1]), channels(quarters_[top + across]),
                           channels(quarters_[top + across + 1])};
    auto plus = [](const ChannelSums& a, const ChannelSums& b) { return ChannelSums{a.r + b.r, a.g + b.g, a.b + b.b}; };
    const ChannelSums all = plus(plus(q[0], q[1]), plus(q[2], q[3]));
    // The foregrounds of the splits, in the order of `splits`.
    const ChannelSums foregrounds[] = {{}, q[0], q[1], q[2], q[3], plus(q[0], q[1]), plus(q[0], q[2]), plus(q[0], q[3])};
    constexpr int counts[] = {0, 1, 1, 1, 1, 2, 2, 2};
    auto squared = [](const ChannelSums& s) { return s.r * s.r + s.g * s.g + s.b * s.b; };
    std::int64_t best_score = -1;
    std::size_t best = 0;
    for (std::size_t n = 0; n < std::size(splits); ++n) {
        const ChannelSums& fg = foregrounds[n];
        const ChannelSums bg{all.r - fg.r, all.g - fg.g, all.b - fg.b};
        // 12: every group size divides it.
        const std::int64_t score =
            (counts[n] > 0 ? squared(fg) * (12 / counts[n]) : 0) + squared(bg) * (12 / (4 - counts[n]));
        if (score > best_score) {
            best_score = score;
            best = n;
        }
    }
    auto mean = [](const ChannelSums& s, int n) {
        return static_cast<std::uint32_t>((s.r + n / 2) / n) << 16 | static_cast<std::uint32_t>((s.g + n / 2) / n) << 8 |
               static_cast<std::uint32_t>((s.b + n / 2) / n);
    };
    const ChannelSums& fg = foregrounds[best];
    Cell& cell = out_[static_cast<std::size_t>(r) * static_cast<std::size_t>(out_cols_) + static_cast<std::size_t>(c)];
    cell.ch = splits[best].symbol;
    cell.bg = color_of(mean({all.r - fg.r, all.g - fg.g, all.b - fg.b}, 4 - counts[best]));
    cell.fg = counts[best] == 0 ? cell.bg : color_of(mean(fg, counts[best]));
}

const std::vector<Cell>& ScaledView::convert(const platform::CharInfo* cells, int rows, int cols, int out_rows,
                                             int out_cols, const CellFont& font)
{
    if (rows <= 0 || cols <= 0 || out_rows <= 0 || out_cols <= 0 || !font) {
        out_.assign(static_cast<std::size_t>(std::max(out_rows, 0)) * static_cast<std::size_t>(std::max(out_cols, 0)),
                    Cell{});
        rows_ = 0;
        return out_;
    }
    if (rows != rows_ || cols != cols_ || out_rows != out_rows_ || out_cols != out_cols_ ||
        font.glyph_rows != font_.glyph_rows || font.glyph_height != font_.glyph_height)
        resize(rows, cols, out_rows, out_cols, font);
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    const std::size_t across = static_cast<std::size_t>(2 * out_cols);
    if (seen_.empty()) {
        seen_.assign(cells, cells + count);
    } else {
        // The quarters over every cell that changed.
        for (std::size_t n = 0; n < count; ++n) {
            if (std::memcmp(&cells[n], &seen_[n], sizeof cells[n]) == 0)
                continue;
            seen_[n] = cells[n];
            const auto [i0, i1] = quarter_rows_of_[n / static_cast<std::size_t>(cols)];
            const auto [j0, j1] = quarter_columns_of_[n % static_cast<std::size_t>(cols)];
            for (int i = i0; i < i1; ++i)
                std::fill_n(stale_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(i) * across + static_cast<std::size_t>(j0)),
                            j1 - j0, std::uint8_t{1});
        }
    }
    cells_ = cells;
    for (int r = 0; r < out_rows; ++r)
        for (int c = 0; c < out_cols; ++c) {
            const std::size_t top = static_cast<std::size_t>(2 * r) * across + static_cast<std::size_t>(2 * c);
            const std::size_t quarter[4] = {top, top + 1, top + across, top + across + 1};
            bool stale = false;
            for (const std::size_t q : quarter)
                if (stale_[q] != 0) {
                    stale_[q] = 0;
                    quarters_[q] = quarter_mean(static_cast<int>(q / across), static_cast<int>(q % across));
                    stale = true;
                }
            if (stale)
                fit_cell(r, c);
        }
    cells_ = nullptr;
    return out_;
}

}  // namespace vexl::term
