#pragma once
// DirectDraw on Windows, as the full-screen screen asks for it: exclusive
// full screen at 640 x 400 x 32 with a flipping back buffer, the screen
// writing straight into the display's back buffer.
//
// Where the display refuses 640 x 400 (most current ones: it is no mode of
// an LCD) the nearest larger 32-bit mode is set instead, and failing all of
// those the desktop's own: the screen then draws into a 640 x 400 surface
// in memory, and each flip scales it sharply into the display's back
// buffer, centred with black bars (output/sharp_scaler.h). The same path
// serves a display whose pixels are not 0x00RRGGBB.
//
// A surface lost while the user switched away from the exclusive display
// is restored at the next lock or flip, so the picture comes back with the
// user.

#include <string>

#include "platform/windows/win32.h"

namespace vexl::platform {

// DirectDrawCreate on the default display; the failure in words in
// `detail`.
DrawResult create_win_direct_draw(DirectDraw*& out, std::string& detail);

// Gives the display back to the desktop (its own mode, no exclusive use)
// when a message box must be seen over a full-screen display: the only box
// then is "Loading failed.", after which the screen goes anyway.
void leave_full_screen_for_dialog();

}  // namespace vexl::platform
