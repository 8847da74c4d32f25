#pragma once
// How one scene hands over to the next, and whole-screen colour shifts
// (flashes on drum hits, fades) that work on any frame.

#include "tools/demo/canvas.h"

namespace vexl::demo {

enum class Transition {
    cut,         // the new scene at once
    dissolve,    // cells flip over in a fixed random order
    wipe_right,  // a dithered edge sweeps from left to right
    wipe_down,   // the same from top to bottom
    iris,        // a growing circle from the centre
    blinds,      // slanted venetian blinds
    slide_up,    // the new scene pushes the old one up and out
    fade,        // the old scene darkens while the new one dissolves in brightening
};

// Composes the two frames; `amount` runs 0 (all `from`) to 256 (all `to`).
void blend(Transition kind, const Canvas& from, const Canvas& to, int amount, Canvas& out);

// Shifts every colour of the canvas `steps` steps brighter (> 0) or darker
// (< 0) along the palette's colour families.
void shift_brightness(Canvas& canvas, int steps);

}  // namespace vexl::demo
