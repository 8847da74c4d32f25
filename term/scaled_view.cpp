#include "term/scaled_view.h"

#include <chafa.h>

namespace vexl::term {
namespace {

Rgb rgb_of(gint packed)
{
    const auto c = static_cast<std::uint32_t>(packed);
    return {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)};
}

// Each channel to the nearest multiple of 0x11: the VGA colours (0x00,
// 0x55, 0xAA, 0xFF) stay exact, and a shade that moves by a hair between
// frames is not sent again. A third fewer bytes for a moving picture.
std::uint32_t four_bits_a_channel(gint packed)
{
    const Rgb c = rgb_of(packed);
    auto round = [](int v) { return static_cast<std::uint32_t>((v + 8) / 17 * 17); };
    return round(c.r) << 16 | round(c.g) << 8 | round(c.b);
}

}  // namespace

ScaledView::ScaledView(ColorMode mode) : mode_(mode)
{
    // On the calling thread: chafa's own pool would start threads for each
    // picture, and a picture costs a few milliseconds anyway.
    chafa_set_n_threads(1);
    symbols_ = chafa_symbol_map_new();
    // Halves and quadrants draw shapes without gaps in every font that has
    // block elements. The eighths as well looked no better at these sizes
    // and took half as long again.
    chafa_symbol_map_add_by_tags(symbols_, static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_HALF | CHAFA_SYMBOL_TAG_QUAD |
                                                                        CHAFA_SYMBOL_TAG_SPACE |
                                                                        CHAFA_SYMBOL_TAG_SOLID));
    chafa_symbol_map_remove_by_tags(symbols_, CHAFA_SYMBOL_TAG_WIDE);
}

ScaledView::~ScaledView()
{
    if (canvas_ != nullptr)
        chafa_canvas_unref(canvas_);
    chafa_symbol_map_unref(symbols_);
}

void ScaledView::make_canvas(int rows, int cols)
{
    if (canvas_ != nullptr && rows == rows_ && cols == cols_)
        return;
    if (canvas_ != nullptr)
        chafa_canvas_unref(canvas_);
    ChafaCanvasConfig* config = chafa_canvas_config_new();
    chafa_canvas_config_set_geometry(config, cols, rows);
    chafa_canvas_config_set_canvas_mode(
        config, mode_ == ColorMode::palette256 ? CHAFA_CANVAS_MODE_INDEXED_240 : CHAFA_CANVAS_MODE_TRUECOLOR);
    chafa_canvas_config_set_symbol_map(config, symbols_);
    chafa_canvas_config_set_dither_mode(config, CHAFA_DITHER_MODE_NONE);
    // The colours as they are: no contrast or saturation boost.
    chafa_canvas_config_set_preprocessing_enabled(config, FALSE);
    canvas_ = chafa_canvas_new(config);
    chafa_canvas_config_unref(config);
    rows_ = rows;
    cols_ = cols;
}

void ScaledView::convert(std::uint32_t* pixels, int width, int height, int rows, int cols, std::vector<Cell>& cells)
{
    cells.assign(static_cast<std::size_t>(rows > 0 && cols > 0 ? rows * cols : 0), Cell{});
    if (cells.empty() || width <= 0 || height <= 0)
        return;
    make_canvas(rows, cols);
    // Opaque: 0x00RRGGBB in memory is B, G, R, alpha.
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height); i < n; ++i)
        pixels[i] |= 0xFF000000u;
    chafa_canvas_draw_all_pixels(canvas_, CHAFA_PIXEL_BGRA8_UNASSOCIATED, reinterpret_cast<const guint8*>(pixels),
                                 width, height, width * 4);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            Cell& cell = cells[static_cast<std::size_t>(y * cols + x)];
            cell.ch = chafa_canvas_get_char_at(canvas_, x, y);
            gint fg = 0, bg = 0;
            // A colour a symbol does not show comes as -1; the painter
            // ignores it.
            if (mode_ == ColorMode::palette256) {
                chafa_canvas_get_raw_colors_at(canvas_, x, y, &fg, &bg);
                cell.fg = xterm_color(fg < 0 ? 0 : fg);
                cell.bg = xterm_color(bg < 0 ? 0 : bg);
                continue;
            }
            chafa_canvas_get_colors_at(canvas_, x, y, &fg, &bg);
            fg = fg < 0 ? 0 : fg;
            bg = bg < 0 ? 0 : bg;
            if (mode_ == ColorMode::truecolor) {
                cell.fg = rgb_color(four_bits_a_channel(fg));
                cell.bg = rgb_color(four_bits_a_channel(bg));
            } else {
                cell.fg = static_cast<Color>(nearest_vga(rgb_of(fg)));
                cell.bg = static_cast<Color>(nearest_vga(rgb_of(bg)));
            }
        }
}

}  // namespace vexl::term
