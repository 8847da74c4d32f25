// The SDL display's window steps and the window's event source.

#include <string>
#include <utility>

#include "platform/linux/desktop_named.h"
#include "platform/linux/sdl_display.h"
#include "platform/linux/sdl_video.h"

namespace vexl::platform {
namespace sdl {

namespace {

// SDL falls back to its invisible drivers when no real display answers;
// for this program that means "no display", unless they were asked for by
// name (SDL_VIDEODRIVER), as the tests do.
bool shows_nothing_unasked(const char* driver)
{
    if (driver == nullptr)
        return true;
    const bool invisible = SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0;
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return invisible && (asked == nullptr || SDL_strstr(asked, driver) == nullptr);
}

std::string failure_text;

}  // namespace

void note_failure(std::string why) { failure_text = std::move(why); }

const std::string& last_failure() { return failure_text; }

VideoReference::VideoReference()
{
    if (!desktop_display_named()) {
        note_failure("neither DISPLAY nor WAYLAND_DISPLAY is set");
        return;
    }
    // The player's own handlers turn SIGINT/SIGTERM into WM_QUIT; SDL must
    // not replace them.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        note_failure(SDL_GetError());
        return;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    up_ = SDL_GetNumVideoDisplays() > 0 && !shows_nothing_unasked(driver);
    if (!up_) {
        note_failure(SDL_GetNumVideoDisplays() > 0
                         ? std::string("only SDL's invisible \"") + (driver != nullptr ? driver : "") +
                               "\" video driver answered"
                         : std::string("SDL found no display"));
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

VideoReference::~VideoReference()
{
    if (up_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

WindowCore::~WindowCore()
{
    if (window != nullptr)
        SDL_DestroyWindow(window);
}

SdlWindow::SdlWindow(std::shared_ptr<WindowCore> core_) : core(std::move(core_))
{
    if (core != nullptr && service_installed<MessageQueue>()) {
        queue_ = &messages();
        queue_->add_source(this);
    }
}

SdlWindow::~SdlWindow()
{
    if (queue_ != nullptr)
        queue_->remove_source(this);
}

namespace {

Message key_message(const SDL_KeyboardEvent& key, bool down)
{
    // As on Windows, Alt combinations and F10 are system keys: they do not
    // count as a key press that ends playback.
    const bool system = (key.keysym.mod & KMOD_ALT) != 0 || key.keysym.sym == SDLK_F10;
    Message m;
    m.code = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    m.wparam = static_cast<std::uint32_t>(key.keysym.sym);
    m.lparam = key.repeat;
    return m;
}

std::int64_t point(int x, int y) { return (std::int64_t{y} << 16) | (x & 0xFFFF); }

}  // namespace

void SdlWindow::pump(MessageQueue& queue)
{
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        Message m;
        m.code = WM_NULL;  // anything without a counterpart below
        m.lparam = event.type;
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            m = key_message(event.key, event.type == SDL_KEYDOWN);
            break;
        case SDL_TEXTINPUT:
            m.code = WM_CHAR;
            m.wparam = static_cast<unsigned char>(event.text.text[0]);
            break;
        case SDL_MOUSEMOTION:
            m.code = WM_MOUSEMOVE;
            m.lparam = point(event.motion.x, event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) {
                m.code = event.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP;
                m.lparam = point(event.button.x, event.button.y);
            }
            break;
        case SDL_QUIT:
            m.code = WM_QUIT;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                m.code = WM_QUIT;
            else if (event.window.event == SDL_WINDOWEVENT_EXPOSED && core->shown != nullptr)
                core->shown->repaint();
            break;
        default:
            break;
        }
        // Closing the window brings both a close and a quit event; one
        // WM_QUIT is enough.
        if (m.code == WM_QUIT) {
            if (quit_posted_)
                continue;
            quit_posted_ = true;
        }
        m.window = this;
        queue.post(m);
    }
}

SdlWindow* as_sdl(WindowHandle window) { return dynamic_cast<SdlWindow*>(window); }

SDL_Window* sdl_of(WindowHandle window)
{
    SdlWindow* w = as_sdl(window);
    return w != nullptr && w->core != nullptr ? w->core->window : nullptr;
}

}  // namespace sdl

WindowHandle SdlDisplay::create_window(int x, int y, int width, int height)
{
    auto core = std::make_shared<sdl::WindowCore>();
    if (core->video.up()) {
        core->window = SDL_CreateWindow("", x, y, width, height, SDL_WINDOW_HIDDEN);
        if (core->window == nullptr)
            sdl::note_failure(std::string("no window: ") + SDL_GetError());
    }
    if (core->window == nullptr) {
        // No display: the window exists without anything behind it, and the
        // DirectDraw steps will fail.
        core.reset();
    } else {
        // Key presses should arrive as keys, not as an input method's text.
        SDL_StopTextInput();
    }
    auto* window = new sdl::SdlWindow(std::move(core));
    apply_cursor();
    return window;
}

int SdlDisplay::show_cursor(bool show)
{
    cursor_count_ += show ? 1 : -1;
    apply_cursor();
    return cursor_count_;
}

void SdlDisplay::apply_cursor() const
{
    // SDL's pointer setting covers this program's windows only, so the
    // pointer comes back by itself elsewhere and once the window is gone.
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowCursor(cursor_count_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

void SdlDisplay::set_window_user_data(WindowHandle window, void* data)
{
    if (sdl::SdlWindow* w = sdl::as_sdl(window))
        w->user_data = data;
}

void SdlDisplay::show_window(WindowHandle window)
{
    if (SDL_Window* w = sdl::sdl_of(window))
        SDL_ShowWindow(w);
}

void SdlDisplay::update_window(WindowHandle)
{
    // SDL windows have no pending paint to flush.
}

void SdlDisplay::invalidate_window(WindowHandle window)
{
    sdl::SdlWindow* w = sdl::as_sdl(window);
    if (w != nullptr && w->core != nullptr && w->core->shown != nullptr)
        w->core->shown->repaint();
}

bool SdlDisplay::destroy_window(WindowHandle window)
{
    sdl::SdlWindow* w = sdl::as_sdl(window);
    if (w == nullptr)
        return false;
    if (w->core != nullptr && w->core->window != nullptr)
        SDL_HideWindow(w->core->window);  // gone now, even if a surface still holds it
    delete w;
    return true;
}

SDL_Window* sdl_window_of(WindowHandle window) { return sdl::sdl_of(window); }

std::string SdlDisplay::failure_detail() const { return sdl::last_failure(); }

bool desktop_display_named()
{
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return desktop_named() || (asked != nullptr && *asked != '\0');
}

}  // namespace vexl::platform
