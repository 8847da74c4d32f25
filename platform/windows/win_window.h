#pragma once
// The Win32 window behind a platform WindowHandle, and back: messages
// carry HWNDs, the services above them WindowHandles.

#include "platform/windows/win32.h"

namespace vexl::platform {

struct WinWindow final : Window {
    explicit WinWindow(HWND window);
    ~WinWindow() override;
    HWND hwnd;
};

// The window's HWND; null for null.
HWND hwnd_of(WindowHandle window);
// The WindowHandle of a window the display made; null for any other.
WindowHandle window_of(HWND hwnd);

}  // namespace vexl::platform
