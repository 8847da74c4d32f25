#pragma once
// The window and display service: one top-level window and a DirectDraw-
// style full-screen picture with a flipping back buffer. The full-screen
// screen calls these steps in a fixed order; each DirectDraw step reports
// failure as a negative result, as DirectDraw does, so the caller can stop
// at the first one that fails.
//
// The real implementation (platform/linux/sdl_display.h) shows the picture
// in an SDL window spread over the desktop; tests use a fake that records
// the calls and fails the steps it is told to.

#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "platform/service.h"

namespace vexl::platform {

// What a WindowHandle points at; every display implementation derives its
// own window from it.
struct Window {
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;
};

// Results keep DirectDraw's values: zero is success, negative is failure.
using DrawResult = std::int32_t;

inline constexpr bool draw_failed(DrawResult result) { return result < 0; }

inline constexpr DrawResult dd_error(std::uint32_t code) { return static_cast<DrawResult>(code); }
inline constexpr DrawResult DD_OK = 0;
inline constexpr DrawResult DDERR_GENERIC = dd_error(0x80004005);
inline constexpr DrawResult DDERR_UNSUPPORTED = dd_error(0x80004001);
inline constexpr DrawResult DDERR_INVALIDPARAMS = dd_error(0x80070057);
inline constexpr DrawResult DDERR_OUTOFMEMORY = dd_error(0x8007000E);
inline constexpr DrawResult DDERR_INVALIDMODE = dd_error(0x8876005A);
inline constexpr DrawResult DDERR_NOCOOPERATIVELEVELSET = dd_error(0x887600D4);
inline constexpr DrawResult DDERR_NOEXCLUSIVEMODE = dd_error(0x887600E1);
inline constexpr DrawResult DDERR_NOTFOUND = dd_error(0x887600FF);
inline constexpr DrawResult DDERR_SURFACEBUSY = dd_error(0x887601AE);
inline constexpr DrawResult DDERR_SURFACELOST = dd_error(0x887601C2);
inline constexpr DrawResult DDERR_NODIRECTDRAWSUPPORT = dd_error(0x88760231);
inline constexpr DrawResult DDERR_PRIMARYSURFACEALREADYEXISTS = dd_error(0x88760234);
inline constexpr DrawResult DDERR_NOTFLIPPABLE = dd_error(0x88760246);
inline constexpr DrawResult DDERR_NOTLOCKED = dd_error(0x88760248);

// Cooperative levels.
enum CooperativeFlags : std::uint32_t {
    DDSCL_FULLSCREEN = 0x0001,
    DDSCL_NORMAL = 0x0008,
    DDSCL_EXCLUSIVE = 0x0010,
};

// Which fields of a SurfaceDesc are meaningful.
enum SurfaceDescFlags : std::uint32_t {
    DDSD_CAPS = 0x0001,
    DDSD_HEIGHT = 0x0002,
    DDSD_WIDTH = 0x0004,
    DDSD_PITCH = 0x0008,
    DDSD_BACKBUFFERCOUNT = 0x0020,
    DDSD_LPSURFACE = 0x0800,
};

enum SurfaceCaps : std::uint32_t {
    DDSCAPS_BACKBUFFER = 0x0004,
    DDSCAPS_COMPLEX = 0x0008,
    DDSCAPS_FLIP = 0x0010,
    DDSCAPS_PRIMARYSURFACE = 0x0200,
};

enum LockFlags : std::uint32_t { DDLOCK_WAIT = 0x0001 };
enum FlipFlags : std::uint32_t { DDFLIP_WAIT = 0x0001 };

// A surface description: filled by the caller for create_surface, by the
// surface for lock.
struct SurfaceDesc {
    std::uint32_t flags = 0;  // DDSD_* of the fields below that are set
    std::uint32_t caps = 0;   // DDSCAPS_*
    std::uint32_t back_buffer_count = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pitch = 0;   // bytes from one pixel row to the next
    void* surface = nullptr;  // the first pixel, while locked
};

// A surface. Pixels are 32-bit 0x00RRGGBB whatever the display's own format.
// References are counted: release() gives one up and returns those left.
class DrawSurface {
public:
    // The surface attached with the given caps (the primary's back buffer),
    // with a new reference for the caller.
    virtual DrawResult get_attached_surface(std::uint32_t caps, DrawSurface*& out) = 0;
    // Locks the whole surface and describes its memory (surface, pitch,
    // width, height) in `desc`. With DDLOCK_WAIT it waits instead of
    // reporting a busy surface.
    virtual DrawResult lock(SurfaceDesc& desc, std::uint32_t flags) = 0;
    virtual DrawResult unlock() = 0;
    // Shows the back buffer (a primary surface only); null target = the
    // attached back buffer. With DDFLIP_WAIT it waits for the display.
    virtual DrawResult flip(DrawSurface* target, std::uint32_t flags) = 0;
    virtual std::uint32_t release() = 0;

protected:
    DrawSurface() = default;
    ~DrawSurface() = default;
};

// The display device, obtained by direct_draw_create.
class DirectDraw {
public:
    virtual DrawResult set_cooperative_level(WindowHandle window, std::uint32_t flags) = 0;
    virtual DrawResult set_display_mode(int width, int height, int bits_per_pixel) = 0;
    virtual DrawResult create_surface(const SurfaceDesc& desc, DrawSurface*& out) = 0;
    virtual std::uint32_t release() = 0;

protected:
    DirectDraw() = default;
    ~DirectDraw() = default;
};

class Display {
public:
    virtual ~Display() = default;

    // The window steps. Like the window calls they stand in for, their
    // results need no checking: a window always comes back, and the first
    // DirectDraw step fails when nothing can be shown in it.
    //
    // A plain top-level window without title or behaviour of its own.
    virtual WindowHandle create_window(int x, int y, int width, int height) = 0;
    // Counted like ShowCursor: the pointer shows over this program's windows
    // while the count is >= 0. Returns the new count.
    virtual int show_cursor(bool show) = 0;
    virtual void set_window_user_data(WindowHandle window, void* data) = 0;
    virtual void show_window(WindowHandle window) = 0;
    virtual void update_window(WindowHandle window) = 0;
    virtual void invalidate_window(WindowHandle window) = 0;
    virtual bool destroy_window(WindowHandle window) = 0;

    // The first DirectDraw step: the default display device, or failure
    // when no display is reachable.
    virtual DrawResult direct_draw_create(DirectDraw*& out) = 0;

    // What the display knows about why its last step failed, in words for
    // the user (say, "neither DISPLAY nor WAYLAND_DISPLAY is set"); empty
    // when it knows no more than the result code.
    virtual std::string failure_detail() const { return {}; }
};

inline Display& display() { return service<Display>(); }

}  // namespace vexl::platform
