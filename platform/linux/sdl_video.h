#pragma once
// Pieces shared by the SDL window and the SDL DirectDraw stand-in
// (internal to platform/linux).

#include <SDL.h>

#include <memory>
#include <string>

#include "platform/display.h"
#include "platform/messages.h"

namespace vexl::platform::sdl {

// Why the last step of the display failed, in words for the user (the
// display's failure_detail). Main thread only, as all of the display.
void note_failure(std::string why);
const std::string& last_failure();

// One reference on SDL's video subsystem, which SDL counts: video stays up
// while any window or device needs it, and SDL's other subsystems (audio)
// are left alone.
class VideoReference {
public:
    VideoReference();
    ~VideoReference();
    VideoReference(const VideoReference&) = delete;
    VideoReference& operator=(const VideoReference&) = delete;

    bool up() const { return up_; }

private:
    bool up_ = false;
};

// Shows the last flipped picture again (after the window was exposed).
class Repaintable {
public:
    virtual void repaint() = 0;

protected:
    ~Repaintable() = default;
};

// The SDL window itself, shared by the window handle and the surfaces that
// draw into it, so it outlives whichever of them goes last.
struct WindowCore {
    WindowCore() = default;
    ~WindowCore();
    WindowCore(const WindowCore&) = delete;
    WindowCore& operator=(const WindowCore&) = delete;

    VideoReference video;
    SDL_Window* window = nullptr;
    Repaintable* shown = nullptr;  // the primary surface while it exists
};

// A window handle of the SDL display. It feeds the window's events to the
// thread's message queue for as long as it exists.
class SdlWindow final : public Window, public MessageSource {
public:
    explicit SdlWindow(std::shared_ptr<WindowCore> core);
    ~SdlWindow() override;

    void pump(MessageQueue& queue) override;

    // Null when no display was reachable.
    const std::shared_ptr<WindowCore> core;
    void* user_data = nullptr;

private:
    MessageQueue* queue_ = nullptr;  // where the events go
    bool quit_posted_ = false;
};

// The SDL window behind a handle of the SDL display, or null.
SdlWindow* as_sdl(WindowHandle window);
SDL_Window* sdl_of(WindowHandle window);

}  // namespace vexl::platform::sdl
