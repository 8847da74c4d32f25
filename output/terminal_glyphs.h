#pragma once
// The glyphs and colours of the full screen as a rasteriser for the
// terminal, which draws a picture it has to scale down with them.

#include "term/cell_rasterizer.h"

namespace vexl {

term::CellRasterizer full_screen_glyphs();

}  // namespace vexl
