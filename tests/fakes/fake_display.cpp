#include "tests/fakes/fake_display.h"

#include <cstdarg>
#include <cstdio>

namespace vexl::fakes {

using namespace vexl::platform;

std::string call_text(const char* format, ...)
{
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

struct FakeDisplay::Object {
    Object(FakeDisplay& display_, const char* name_) : display(display_), name(name_) {}
    virtual ~Object() = default;

    // False (and misuse noted) when every reference is gone already.
    bool alive()
    {
        if (references <= 0)
            display.note_misuse();
        return references > 0;
    }
    std::uint32_t drop()
    {
        if (!alive())
            return 0;
        --references;
        display.record(call_text("Release(%s)=%d", name.c_str(), references));
        return static_cast<std::uint32_t>(references);
    }

    FakeDisplay& display;
    std::string name;
    int references = 1;
};

class FakeDisplay::Surface final : public DrawSurface, public Object {
public:
    Surface(FakeDisplay& display_, const char* name_) : Object(display_, name_) {}
    ~Surface() override = default;

    DrawResult get_attached_surface(std::uint32_t caps, DrawSurface*& out) override
    {
        out = nullptr;
        display.record(call_text("GetAttachedSurface(0x%X)", caps));
        if (!alive() || display.fails(step_get_attached_surface) || attached == nullptr)
            return DDERR_NOTFOUND;
        ++attached->references;
        out = attached;
        return DD_OK;
    }

    DrawResult lock(SurfaceDesc& desc, std::uint32_t flags) override
    {
        display.record(call_text("Lock(%s,desc 0x%X,0x%X)", name.c_str(), desc.flags, flags));
        if (!alive() || display.fail_lock)
            return DDERR_SURFACELOST;
        locked = true;
        desc.flags |= DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
        desc.surface = display.back_pixels.data();
        desc.pitch = display.surface_pitch;
        desc.width = display.surface_width;
        desc.height = display.surface_height;
        return DD_OK;
    }

    DrawResult unlock() override
    {
        display.record(call_text("Unlock(%s)", name.c_str()));
        if (!alive() || !locked)
            return DDERR_NOTLOCKED;
        locked = false;
        return DD_OK;
    }

    DrawResult flip(DrawSurface* target, std::uint32_t flags) override
    {
        display.record(call_text("Flip(%s,%s,0x%X)", name.c_str(), target ? "target" : "null", flags));
        return alive() ? DD_OK : DDERR_SURFACELOST;
    }

    std::uint32_t release() override { return drop(); }

    Surface* attached = nullptr;
    bool locked = false;
};

class FakeDisplay::Device final : public DirectDraw, public Object {
public:
    explicit Device(FakeDisplay& display_) : Object(display_, "DirectDraw") {}
    ~Device() override = default;

    DrawResult set_cooperative_level(WindowHandle window, std::uint32_t flags) override
    {
        display.record(call_text("SetCooperativeLevel(0x%X)", flags));
        if (!alive() || window != display.window() || display.fails(step_set_cooperative_level))
            return DDERR_INVALIDPARAMS;
        return DD_OK;
    }

    DrawResult set_display_mode(int width, int height, int bits_per_pixel) override
    {
        display.record(call_text("SetDisplayMode(%d,%d,%d)", width, height, bits_per_pixel));
        if (!alive() || display.fails(step_set_display_mode))
            return DDERR_INVALIDMODE;
        return DD_OK;
    }

    DrawResult create_surface(const SurfaceDesc& desc, DrawSurface*& out) override
    {
        out = nullptr;
        display.record(call_text("CreateSurface(flags 0x%X,caps 0x%X,back buffers %u)", desc.flags,
                                 desc.caps, desc.back_buffer_count));
        if (!alive() || display.fails(step_create_surface))
            return DDERR_OUTOFMEMORY;
        Surface* primary = display.make_surface("primary");
        // The back buffer belongs to the primary's chain: only the
        // reference GetAttachedSurface hands out is counted.
        Surface* back = display.make_surface("back buffer");
        back->references = 0;
        primary->attached = back;
        display.back_pixels.assign(
            static_cast<std::size_t>(display.surface_pitch / 4) * (display.surface_height + 1), unpainted);
        out = primary;
        return DD_OK;
    }

    std::uint32_t release() override { return drop(); }
};

FakeDisplay::FakeDisplay() = default;
FakeDisplay::~FakeDisplay() = default;

std::uint32_t FakeDisplay::pixel(int x, int y) const
{
    return back_pixels.at(static_cast<std::size_t>(y) * (surface_pitch / 4) + x);
}

WindowHandle FakeDisplay::window() const { return window_.get(); }

int FakeDisplay::live_references() const
{
    int sum = 0;
    for (const auto& object : objects_)
        sum += object->references;
    return sum;
}

FakeDisplay::Surface* FakeDisplay::make_surface(const char* name)
{
    auto surface = std::make_unique<Surface>(*this, name);
    Surface* raw = surface.get();
    objects_.push_back(std::move(surface));
    return raw;
}

WindowHandle FakeDisplay::create_window(int x, int y, int width, int height)
{
    record(call_text("CreateWindow(%d,%d,%d,%d)", x, y, width, height));
    window_ = std::make_unique<Window>();
    window_destroyed_ = false;
    return window_.get();
}

int FakeDisplay::show_cursor(bool show)
{
    record(show ? "ShowCursor(show)" : "ShowCursor(hide)");
    cursor_count_ += show ? 1 : -1;
    return cursor_count_;
}

void FakeDisplay::set_window_user_data(WindowHandle window, void* data)
{
    record("SetWindowUserData");
    if (window == window_.get())
        user_data_ = data;
}

void FakeDisplay::show_window(WindowHandle) { record("ShowWindow"); }
void FakeDisplay::update_window(WindowHandle) { record("UpdateWindow"); }
void FakeDisplay::invalidate_window(WindowHandle) { record("InvalidateRect"); }

bool FakeDisplay::destroy_window(WindowHandle window)
{
    record("DestroyWindow");
    if (window == nullptr || window != window_.get() || window_destroyed_) {
        misuse_ = true;
        return false;
    }
    window_destroyed_ = true;
    return true;
}

DrawResult FakeDisplay::direct_draw_create(DirectDraw*& out)
{
    record("DirectDrawCreate");
    out = nullptr;
    if (fails(step_direct_draw_create))
        return DDERR_NODIRECTDRAWSUPPORT;
    auto device = std::make_unique<Device>(*this);
    out = device.get();
    objects_.push_back(std::move(device));
    return DD_OK;
}

}  // namespace vexl::fakes
