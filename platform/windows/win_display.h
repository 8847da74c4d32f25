#pragma once
// The window and display service on Windows: the Win32 window calls and
// DirectDraw (win_direct_draw.h) themselves. A key pressed in the window
// reaches the player's thread queue as WM_KEYDOWN by itself.

#include <memory>
#include <string>
#include <vector>

#include "platform/windows/win32.h"

namespace vexl::platform {

struct WinWindow;

class WinDisplay final : public Display {
public:
    WinDisplay();
    ~WinDisplay() override;
    WinDisplay(const WinDisplay&) = delete;
    WinDisplay& operator=(const WinDisplay&) = delete;

    // A window of the system class "STATIC" (no window procedure of our
    // own); an empty handle when no window can be made (no desktop).
    WindowHandle create_window(int x, int y, int width, int height) override;
    int show_cursor(bool show) override;
    void set_window_user_data(WindowHandle window, void* data) override;
    void show_window(WindowHandle window) override;
    void update_window(WindowHandle window) override;
    void invalidate_window(WindowHandle window) override;
    bool destroy_window(WindowHandle window) override;
    DrawResult direct_draw_create(DirectDraw*& out) override;
    std::string failure_detail() const override { return detail_; }

private:
    std::vector<std::unique_ptr<WinWindow>> windows_;
    std::string detail_;
};

}  // namespace vexl::platform
