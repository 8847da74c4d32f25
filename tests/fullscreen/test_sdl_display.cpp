// The SDL display against SDL's own headless video drivers: "dummy" stands
// for a desktop of 1024 x 768, an unknown driver for no display at all.

#include "platform/linux/sdl_display.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/fakes/fake_messages.h"

namespace vexl::platform {
namespace {

class SdlDisplayTest : public ::testing::Test {
protected:
    void use_driver(const char* driver) { SDL_SetHint(SDL_HINT_VIDEODRIVER, driver); }
    void SetUp() override { use_driver("dummy"); }
    void TearDown() override
    {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "video subsystem left up";
    }

    // The full-screen screen's sequence up to the back buffer.
    struct Device {
        WindowHandle window = nullptr;
        DirectDraw* ddraw = nullptr;
        DrawSurface* primary = nullptr;
        DrawSurface* back_buffer = nullptr;
    };
    Device open(SdlDisplay& display)
    {
        Device d;
        d.window = display.create_window(0, 0, 640, 400);
        display.show_cursor(false);
        display.show_window(d.window);
        EXPECT_EQ(display.direct_draw_create(d.ddraw), DD_OK);
        EXPECT_EQ(d.ddraw->set_cooperative_level(d.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
        EXPECT_EQ(d.ddraw->set_display_mode(640, 400, 32), DD_OK);
        SurfaceDesc desc;
        desc.flags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.back_buffer_count = 1;
        desc.caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        EXPECT_EQ(d.ddraw->create_surface(desc, d.primary), DD_OK);
        EXPECT_EQ(d.primary->get_attached_surface(DDSCAPS_BACKBUFFER, d.back_buffer), DD_OK);
        return d;
    }
    void close(SdlDisplay& display, Device& d)
    {
        d.back_buffer->release();
        d.primary->release();
        d.ddraw->release();
        display.destroy_window(d.window);
    }

    fakes::FakeMessageQueue queue;
    ScopedService<MessageQueue> installed_queue{queue};
};

TEST_F(SdlDisplayTest, BackBufferIsA640x400MemorySurfaceShownScaledWithBars)
{
    SdlDisplay display;
    Device d = open(display);
    ASSERT_NE(d.back_buffer, nullptr);

    SurfaceDesc desc;
    desc.flags = DDSD_LPSURFACE;
    ASSERT_EQ(d.back_buffer->lock(desc, DDLOCK_WAIT), DD_OK);
    EXPECT_EQ(desc.width, 640);
    EXPECT_EQ(desc.height, 400);
    EXPECT_EQ(desc.pitch, 2560);
    ASSERT_NE(desc.surface, nullptr);
    // Left half red, right half white.
    for (int y = 0; y < 400; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<char*>(desc.surface) + y * desc.pitch);
        for (int x = 0; x < 640; ++x)
            row[x] = x < 320 ? 0xAA0000 : 0xFFFFFF;
    }
    SurfaceDesc again;
    EXPECT_EQ(d.back_buffer->lock(again, DDLOCK_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(d.primary->flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY) << "flip while drawing";
    EXPECT_EQ(d.back_buffer->unlock(), DD_OK);
    EXPECT_EQ(d.back_buffer->unlock(), DDERR_NOTLOCKED);
    ASSERT_EQ(d.primary->flip(nullptr, DDFLIP_WAIT), DD_OK);

    // The dummy desktop is 1024 x 768: the picture is scaled by 1.6 to
    // 1024 x 640, with black bars of 64 rows above and below.
    SDL_Window* window = sdl_window_of(d.window);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_Surface* shown = SDL_GetWindowSurface(window);
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->w, 1024);
    ASSERT_EQ(shown->h, 768);
    auto at = [&](int x, int y) {
        std::uint32_t raw;
        std::memcpy(&raw, static_cast<char*>(shown->pixels) + y * shown->pitch + x * 4, 4);
        Uint8 r, g, b;
        SDL_GetRGB(raw, shown->format, &r, &g, &b);
        return std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
    };
    EXPECT_EQ(at(500, 10), 0x000000u);
    EXPECT_EQ(at(500, 760), 0x000000u);
    EXPECT_EQ(at(10, 70), 0xAA0000u);
    EXPECT_EQ(at(505, 400), 0xAA0000u);
    EXPECT_EQ(at(515, 400), 0xFFFFFFu);
    EXPECT_EQ(at(1020, 700), 0xFFFFFFu);

    close(display, d);
}

TEST_F(SdlDisplayTest, StepsOutOfOrderOrUnsupportedFailNegatively)
{
    SdlDisplay display;
    WindowHandle window = display.create_window(0, 0, 640, 400);
    DirectDraw* ddraw = nullptr;
    ASSERT_EQ(display.direct_draw_create(ddraw), DD_OK);
    EXPECT_LT(ddraw->set_display_mode(640, 400, 32), 0) << "no cooperative level yet";
    EXPECT_LT(ddraw->set_cooperative_level(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), 0);
    ASSERT_EQ(ddraw->set_cooperative_level(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_LT(ddraw->set_display_mode(640, 400, 16), 0);
    SurfaceDesc desc;
    desc.flags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.back_buffer_count = 1;
    desc.caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    DrawSurface* primary = nullptr;
    EXPECT_LT(ddraw->create_surface(desc, primary), 0) << "no display mode yet";
    EXPECT_EQ(primary, nullptr);
    ASSERT_EQ(ddraw->set_display_mode(640, 400, 32), DD_OK);
    ASSERT_EQ(ddraw->create_surface(desc, primary), DD_OK);
    DrawSurface* second = nullptr;
    EXPECT_LT(ddraw->create_surface(desc, second), 0);
    EXPECT_EQ(second, nullptr);
    SurfaceDesc lock_desc;
    EXPECT_LT(primary->lock(lock_desc, DDLOCK_WAIT), 0);
    DrawSurface* attached = nullptr;
    EXPECT_LT(primary->get_attached_surface(DDSCAPS_PRIMARYSURFACE, attached), 0);

    // Released in the "wrong" order, the device, surfaces and window still
    // go cleanly (TearDown checks that video is down again).
    ddraw->release();
    display.destroy_window(window);
    primary->release();
}

TEST_F(SdlDisplayTest, WindowEventsBecomeMessagesWhileTheWindowExists)
{
    SdlDisplay display;
    WindowHandle window = display.create_window(0, 0, 640, 400);
    ASSERT_NE(sdl_window_of(window), nullptr);
    const Uint32 id = SDL_GetWindowID(sdl_window_of(window));

    auto push_key = [&](SDL_Keycode sym, Uint16 mod) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = id;
        e.key.state = SDL_PRESSED;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    };
    Message m;
    while (queue.peek(m, PM_REMOVE)) {
        // start-up events of the window
    }
    push_key(SDLK_x, KMOD_NONE);
    push_key(SDLK_TAB, KMOD_LALT);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = id;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);

    ASSERT_TRUE(queue.peek(m, PM_REMOVE));
    EXPECT_EQ(m.code, WM_KEYDOWN);
    EXPECT_EQ(m.wparam, static_cast<std::uint64_t>(SDLK_x));
    EXPECT_EQ(m.window, window);
    ASSERT_TRUE(queue.peek(m, PM_REMOVE));
    EXPECT_EQ(m.code, WM_SYSKEYDOWN) << "Alt combinations are system keys";
    ASSERT_TRUE(queue.peek(m, PM_REMOVE));
    EXPECT_EQ(m.code, WM_QUIT);
    EXPECT_FALSE(queue.peek(m, PM_REMOVE)) << "closing gives one WM_QUIT";

    display.destroy_window(window);
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    push_key(SDLK_y, KMOD_NONE);
    EXPECT_FALSE(queue.peek(m, PM_REMOVE)) << "no window, no messages";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// Unsets an environment variable for a scope.
class WithoutVariable {
public:
    explicit WithoutVariable(const char* name) : name_(name)
    {
        if (const char* value = std::getenv(name))
            saved_ = value;
        unsetenv(name);
    }
    ~WithoutVariable()
    {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

void expect_no_display(SdlDisplay& display)
{
    WindowHandle window = display.create_window(0, 0, 640, 400);
    ASSERT_NE(window, nullptr) << "a window handle comes back, as from CreateWindowEx";
    EXPECT_EQ(sdl_window_of(window), nullptr);
    EXPECT_EQ(display.show_cursor(false), -1);
    display.show_window(window);
    display.update_window(window);
    display.invalidate_window(window);

    DirectDraw* ddraw = reinterpret_cast<DirectDraw*>(&display);
    EXPECT_LT(display.direct_draw_create(ddraw), 0);
    EXPECT_EQ(ddraw, nullptr);
    EXPECT_FALSE(display.failure_detail().empty()) << "the user hears why";
    EXPECT_TRUE(display.destroy_window(window));
}

TEST_F(SdlDisplayTest, WithoutADisplayTheWindowIsEmptyAndDirectDrawCreateFails)
{
    use_driver("no-such-video-driver");
    SdlDisplay display;
    expect_no_display(display);
}

TEST_F(SdlDisplayTest, SdlsInvisibleFallbackDriversCountAsNoDisplay)
{
    // With no X or Wayland display SDL would settle for its offscreen
    // driver; a machine with a DRM device could show the picture on the
    // console instead, so this case needs one without.
    if (std::filesystem::exists("/dev/dri"))
        GTEST_SKIP() << "a DRM device may be a real display";
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    WithoutVariable no_driver("SDL_VIDEODRIVER");
    WithoutVariable no_x("DISPLAY");
    WithoutVariable no_wayland("WAYLAND_DISPLAY");
    SdlDisplay display;
    expect_no_display(display);
    EXPECT_EQ(display.failure_detail(), "neither DISPLAY nor WAYLAND_DISPLAY is set");
}

}  // namespace
}  // namespace vexl::platform
