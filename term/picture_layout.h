#pragma once
// Where the console's picture goes on a terminal of a given size, as a
// console's renderer decides how its buffer looks: cell for cell when the
// terminal has room (centred, with blank margins, when it has more),
// otherwise the whole picture scaled down with its proportions kept.

namespace vexl::term {

// A terminal's size in cells and, where it tells them, in pixels (0 when
// it doesn't).
struct TerminalSize {
    int rows = 0;
    int cols = 0;
    int pixel_width = 0;
    int pixel_height = 0;
};

enum class PictureMode { exact, centred, scaled };

struct PictureLayout {
    PictureMode mode = PictureMode::exact;
    int top = 0;  // the picture's place on the terminal, in cells
    int left = 0;
    int rows = 0;
    int cols = 0;
    bool operator==(const PictureLayout&) const = default;
};

// The picture is `rows` x `cols` console cells, each drawn as a glyph of
// `glyph_width` x `glyph_height` pixels when scaled; `cell_aspect` is the
// width of a terminal cell over its height. Without `can_scale` a smaller
// terminal shows the top-left part.
PictureLayout choose_layout(int rows, int cols, int glyph_width, int glyph_height, int term_rows,
                            int term_cols, double cell_aspect, bool can_scale);

// A terminal cell's width over its height from the window's size in
// pixels, or 0 when those fields are missing or not believable.
double cell_aspect_of(const TerminalSize& size);

// What a terminal cell looks like when nothing better is known.
inline constexpr double usual_cell_aspect = 0.5;

}  // namespace vexl::term
