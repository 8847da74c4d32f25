#pragma once
// The window and display service over SDL2.
//
// The window is an SDL window; the exclusive full-screen mode becomes a
// window spread over the whole desktop, showing the mode's picture
// (640 x 400) scaled up sharply (whole-number nearest-pixel steps, the
// rest filtered; output/sharp_scaling.h), its aspect kept and
// black bars around it. The back buffer is a 32-bit 0x00RRGGBB memory
// surface; a flip uploads it to a streaming texture and presents it in step
// with the display's refresh. While the window exists its events reach the
// thread's message queue (keys as WM_KEYDOWN, closing as WM_QUIT) and the
// mouse pointer is hidden over it if the cursor count says so.
//
// Only SDL's video subsystem is used (and reference-counted), so the audio
// service's use of SDL is never disturbed; SDL installs no signal handlers.
// With no display reachable the window comes back empty and
// direct_draw_create fails.

#include "platform/display.h"

struct SDL_Window;

namespace vexl::platform {

class SdlDisplay final : public Display {
public:
    WindowHandle create_window(int x, int y, int width, int height) override;
    int show_cursor(bool show) override;
    void set_window_user_data(WindowHandle window, void* data) override;
    void show_window(WindowHandle window) override;
    void update_window(WindowHandle window) override;
    void invalidate_window(WindowHandle window) override;
    bool destroy_window(WindowHandle window) override;
    DrawResult direct_draw_create(DirectDraw*& out) override;
    std::string failure_detail() const override;

private:
    void apply_cursor() const;

    int cursor_count_ = 0;
};

// The SDL window behind a window of this display (null when there is none),
// for services that want it as an owner, such as a message box.
SDL_Window* sdl_window_of(WindowHandle window);

// True when the environment names a desktop display (X11 or Wayland) or a
// video driver was asked for by name. Without one, SDL's probing finds
// nothing and only prints complaints, so callers don't start it at all.
bool desktop_display_named();

}  // namespace vexl::platform
