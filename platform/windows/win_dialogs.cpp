#include "platform/windows/win_dialogs.h"

#include <cstdio>

#include "platform/windows/win_direct_draw.h"
#include "platform/windows/win_window.h"

namespace vexl::platform {

int WinDialogs::message_box(WindowHandle owner, const char* text, const char* caption, std::uint32_t type)
{
    // Over an exclusive full-screen picture a box would be drawn where
    // nobody sees it.
    leave_full_screen_for_dialog();
    const HWND owner_window = hwnd_of(owner);
    // In front of the console the player was started from, which has the
    // focus.
    const UINT placing = MB_SETFOREGROUND | (owner_window != nullptr ? MB_TOPMOST : 0);
    const int answer = MessageBoxA(owner_window, text, caption, type | placing);
    if (answer > 0)
        return answer;
    const int taken = default_button(type);
    std::fprintf(stderr, "%s: %s -> %s (no desktop to ask on)\n", caption, text, button_name(taken));
    return taken;
}

}  // namespace vexl::platform
