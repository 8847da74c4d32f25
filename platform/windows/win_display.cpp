#include "platform/windows/win32.h"

#include <algorithm>

#include "platform/windows/win_direct_draw.h"
#include "platform/windows/win_display.h"
#include "platform/windows/win_window.h"

namespace vexl::platform {

WinDisplay::WinDisplay() = default;

WinDisplay::~WinDisplay()
{
    while (!windows_.empty())
        destroy_window(windows_.back().get());
}

WindowHandle WinDisplay::create_window(int x, int y, int width, int height)
{
    const HWND hwnd = CreateWindowExA(0, "STATIC", "", 0, x, y, width, height, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr)
        return nullptr;
    windows_.push_back(std::make_unique<WinWindow>(hwnd));
    return windows_.back().get();
}

int WinDisplay::show_cursor(bool show)
{
    return ShowCursor(show ? TRUE : FALSE);
}

void WinDisplay::set_window_user_data(WindowHandle window, void* data)
{
    SetWindowLongPtrA(hwnd_of(window), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
}

void WinDisplay::show_window(WindowHandle window)
{
    ShowWindow(hwnd_of(window), SW_SHOWNORMAL);
}

void WinDisplay::update_window(WindowHandle window)
{
    UpdateWindow(hwnd_of(window));
}

void WinDisplay::invalidate_window(WindowHandle window)
{
    InvalidateRect(hwnd_of(window), nullptr, FALSE);
}

bool WinDisplay::destroy_window(WindowHandle window)
{
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const std::unique_ptr<WinWindow>& w) { return w.get() == window; });
    if (it == windows_.end())
        return false;
    const HWND hwnd = (*it)->hwnd;
    windows_.erase(it);  // lets go of the window first
    return DestroyWindow(hwnd) != 0;
}

DrawResult WinDisplay::direct_draw_create(DirectDraw*& out)
{
    return create_win_direct_draw(out, detail_);
}

}  // namespace vexl::platform
