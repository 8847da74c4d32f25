#pragma once
// The full screen's font for the terminal, which draws a picture it has to
// scale down with it.

#include "term/cell_font.h"

namespace vexl {

term::CellFont full_screen_font();

}  // namespace vexl
