#include "platform/windows/win_window.h"

namespace vexl::platform {
namespace {

// The window property that leads from an HWND to its WinWindow; the
// window's user data slot belongs to the screen that made it.
constexpr const char* window_property = "vexlade.window";

}  // namespace

WinWindow::WinWindow(HWND window) : hwnd(window)
{
    if (hwnd != nullptr)
        SetPropA(hwnd, window_property, this);
}

WinWindow::~WinWindow()
{
    if (hwnd != nullptr && IsWindow(hwnd))
        RemovePropA(hwnd, window_property);
}

HWND hwnd_of(WindowHandle window)
{
    auto* w = dynamic_cast<WinWindow*>(window);
    return w != nullptr ? w->hwnd : nullptr;
}

WindowHandle window_of(HWND hwnd)
{
    return hwnd != nullptr ? static_cast<WinWindow*>(GetPropA(hwnd, window_property)) : nullptr;
}

}  // namespace vexl::platform
