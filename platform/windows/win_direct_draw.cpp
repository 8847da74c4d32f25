#include "platform/windows/win32.h"

#include <ddraw.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <optional>
#include <vector>

#include "output/sharp_scaler.h"
#include "platform/memory_surface.h"
#include "platform/restore_hooks.h"
#include "platform/windows/win_direct_draw.h"
#include "platform/windows/win_window.h"

namespace vexl::platform {
namespace {

struct Mode {
    int width = 0;
    int height = 0;
};

// The device that holds the display exclusively, if any, and its window
// (main thread).
IDirectDraw* exclusive_device = nullptr;
HWND exclusive_window = nullptr;

DrawResult result_of(HRESULT hr)
{
    return static_cast<DrawResult>(hr);
}

std::string failed(const char* call, HRESULT hr)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed with 0x%08lX", call, static_cast<unsigned long>(hr));
    return text;
}

// How a 32-bit surface stores red, green and blue.
struct PixelFormat {
    int red_shift = 16;
    int green_shift = 8;
    int blue_shift = 0;

    static std::optional<PixelFormat> of(IDirectDrawSurface* surface)
    {
        DDPIXELFORMAT format{};
        format.dwSize = sizeof format;
        if (FAILED(surface->GetPixelFormat(&format)) || (format.dwFlags & DDPF_RGB) == 0 ||
            format.dwRGBBitCount != 32)
            return std::nullopt;
        auto shift = [](DWORD mask) { return mask != 0 ? std::countr_zero(static_cast<std::uint32_t>(mask)) : 0; };
        return PixelFormat{shift(format.dwRBitMask), shift(format.dwGBitMask), shift(format.dwBBitMask)};
    }
    bool is_picture_format() const { return red_shift == 16 && green_shift == 8 && blue_shift == 0; }

    // Rewrites 0x00RRGGBB pixels in this format.
    void convert(const PixelSurface& surface) const
    {
        for (int y = 0; y < surface.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface.pixels) + y * surface.pitch);
            for (int x = 0; x < surface.width; ++x) {
                const std::uint32_t p = row[x];
                row[x] = (p >> 16 & 0xFF) << red_shift | (p >> 8 & 0xFF) << green_shift | (p & 0xFF) << blue_shift;
            }
        }
    }
};

// Locks, or flips, once more after restoring the surfaces when they were
// lost (the user switched away from the exclusive display and back).
template <class Step>
HRESULT restoring(IDirectDrawSurface* primary, Step step)
{
    HRESULT hr = step();
    if (hr == DDERR_SURFACELOST && SUCCEEDED(primary->Restore()))
        hr = step();
    return hr;
}

HRESULT lock_whole(IDirectDrawSurface* primary, IDirectDrawSurface* surface, DDSURFACEDESC& locked, DWORD flags)
{
    return restoring(primary, [&] {
        locked = DDSURFACEDESC{};
        locked.dwSize = sizeof locked;
        return surface->Lock(nullptr, &locked, flags, nullptr);
    });
}

// Counted references, as DirectDraw's own objects.
class Counted {
public:
    void add_reference() { ++references_; }

protected:
    std::uint32_t drop() { return --references_; }

private:
    std::uint32_t references_ = 1;
};

// A surface of the display itself, in the picture's size and format.
class DisplaySurface final : public DrawSurface, public Counted {
public:
    // `primary` is the surface restored when this one is lost (null: this
    // one is the primary).
    DisplaySurface(IDirectDrawSurface* surface, IDirectDrawSurface* primary)
        : surface_(surface), primary_(primary != nullptr ? primary : surface)
    {
        if (primary_ != surface_)
            primary_->AddRef();
    }

    DrawResult get_attached_surface(std::uint32_t caps, DrawSurface*& out) override
    {
        DDSCAPS wanted{caps};
        IDirectDrawSurface* attached = nullptr;
        const HRESULT hr = surface_->GetAttachedSurface(&wanted, &attached);
        out = SUCCEEDED(hr) ? new DisplaySurface(attached, primary_) : nullptr;
        return result_of(hr);
    }

    DrawResult lock(SurfaceDesc& desc, std::uint32_t flags) override
    {
        DDSURFACEDESC locked;
        const HRESULT hr = lock_whole(primary_, surface_, locked, flags);
        if (SUCCEEDED(hr)) {
            desc.flags |= DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
            desc.surface = locked.lpSurface;
            desc.pitch = locked.lPitch;
            desc.width = static_cast<std::int32_t>(locked.dwWidth);
            desc.height = static_cast<std::int32_t>(locked.dwHeight);
        }
        return result_of(hr);
    }

    DrawResult unlock() override { return result_of(surface_->Unlock(nullptr)); }

    DrawResult flip(DrawSurface*, std::uint32_t flags) override
    {
        return result_of(restoring(primary_, [&] { return surface_->Flip(nullptr, flags); }));
    }

    std::uint32_t release() override
    {
        const std::uint32_t left = drop();
        if (left == 0) {
            surface_->Release();
            if (primary_ != surface_)
                primary_->Release();
            delete this;
        }
        return left;
    }

private:
    ~DisplaySurface() = default;

    IDirectDrawSurface* surface_;  // one reference each
    IDirectDrawSurface* primary_;
};

// The primary of a display mode other than the picture's: its back buffer
// is the picture in memory, and a flip scales that into the display's own
// back buffer before flipping it.
class ScaledPrimary final : public DrawSurface, public Counted {
public:
    ScaledPrimary(IDirectDrawSurface* primary, IDirectDrawSurface* back, MemorySurface* picture, PixelFormat format)
        : primary_(primary), back_(back), picture_(picture), format_(format)
    {
    }

    DrawResult get_attached_surface(std::uint32_t caps, DrawSurface*& out) override
    {
        if ((caps & DDSCAPS_BACKBUFFER) == 0) {
            out = nullptr;
            return DDERR_NOTFOUND;
        }
        picture_->add_reference();
        out = picture_;
        return DD_OK;
    }

    // The display's own picture is out of reach.
    DrawResult lock(SurfaceDesc&, std::uint32_t) override { return DDERR_UNSUPPORTED; }
    DrawResult unlock() override { return DDERR_NOTLOCKED; }

    DrawResult flip(DrawSurface* target, std::uint32_t flags) override
    {
        if (target != nullptr && target != picture_)
            return DDERR_INVALIDPARAMS;
        if (picture_->locked())
            return DDERR_SURFACEBUSY;
        DDSURFACEDESC locked;
        HRESULT hr = lock_whole(primary_, back_, locked, DDLOCK_WAIT | DDLOCK_WRITEONLY);
        if (FAILED(hr))
            return result_of(hr);
        const PixelSurface screen{locked.lpSurface, locked.lPitch, static_cast<int>(locked.dwWidth),
                                  static_cast<int>(locked.dwHeight)};
        // Made for the size the display has now, which a mode change may
        // alter under us.
        if (!scaler_ || scaler_width_ != screen.width || scaler_height_ != screen.height) {
            scaler_.emplace(picture_->width(), picture_->height(), screen.width, screen.height);
            scaler_width_ = screen.width;
            scaler_height_ = screen.height;
        }
        const PixelSurface picture{const_cast<std::uint32_t*>(picture_->pixels()), picture_->pitch(),
                                   picture_->width(), picture_->height()};
        scaler_->draw(picture, screen);
        if (!format_.is_picture_format())
            format_.convert(screen);
        back_->Unlock(nullptr);
        hr = restoring(primary_, [&] { return primary_->Flip(nullptr, flags); });
        return result_of(hr);
    }

    std::uint32_t release() override
    {
        const std::uint32_t left = drop();
        if (left == 0) {
            picture_->release();
            back_->Release();
            primary_->Release();
            delete this;
        }
        return left;
    }

private:
    ~ScaledPrimary() = default;

    IDirectDrawSurface* primary_;  // one reference each
    IDirectDrawSurface* back_;
    MemorySurface* picture_;
    PixelFormat format_;
    std::optional<SharpScaler> scaler_;
    int scaler_width_ = 0;
    int scaler_height_ = 0;
};

HRESULT WINAPI collect_mode(LPDDSURFACEDESC desc, LPVOID modes)
{
    static_cast<std::vector<DDSURFACEDESC>*>(modes)->push_back(*desc);
    return DDENUMRET_OK;
}

class WinDirectDraw final : public DirectDraw, public Counted {
public:
    WinDirectDraw(IDirectDraw* device, std::string& detail) : device_(device), detail_(detail) {}

    DrawResult set_cooperative_level(WindowHandle window, std::uint32_t flags) override
    {
        const HWND hwnd = hwnd_of(window);
        const HRESULT hr = device_->SetCooperativeLevel(hwnd, flags);
        if (FAILED(hr)) {
            detail_ = hwnd == nullptr ? "there is no desktop to open a window on"
                                      : failed("SetCooperativeLevel", hr);
            return result_of(hr);
        }
        if ((flags & DDSCL_EXCLUSIVE) != 0 && exclusive_device != device_) {
            exclusive_device = device_;
            exclusive_window = hwnd;
            restore_token_ = add_restore_hook(&WinDirectDraw::restore_hook, device_);
        }
        return DD_OK;
    }

    DrawResult set_display_mode(int width, int height, int bits_per_pixel) override
    {
        picture_ = Mode{width, height};
        const HRESULT hr = device_->SetDisplayMode(width, height, bits_per_pixel);
        if (SUCCEEDED(hr)) {
            scaled_ = false;
            return DD_OK;
        }
        scaled_ = true;
        for (const Mode& mode : larger_modes(bits_per_pixel))
            if (SUCCEEDED(device_->SetDisplayMode(mode.width, mode.height, bits_per_pixel)))
                return DD_OK;
        // No mode can be set (wine on a fixed X screen, say): the desktop's
        // own will do if the picture fits in it.
        DDSURFACEDESC now{};
        now.dwSize = sizeof now;
        if (SUCCEEDED(device_->GetDisplayMode(&now)) &&
            now.ddpfPixelFormat.dwRGBBitCount == static_cast<DWORD>(bits_per_pixel) &&
            static_cast<int>(now.dwWidth) >= width && static_cast<int>(now.dwHeight) >= height)
            return DD_OK;
        detail_ = failed("SetDisplayMode", hr) + ", and no larger 32-bit mode could be set either";
        return result_of(hr);
    }

    DrawResult create_surface(const SurfaceDesc& desc, DrawSurface*& out) override
    {
        out = nullptr;
        DDSURFACEDESC wanted{};
        wanted.dwSize = sizeof wanted;
        wanted.dwFlags = desc.flags;
        wanted.dwBackBufferCount = desc.back_buffer_count;
        wanted.ddsCaps.dwCaps = desc.caps;
        wanted.dwWidth = static_cast<DWORD>(desc.width);
        wanted.dwHeight = static_cast<DWORD>(desc.height);
        IDirectDrawSurface* surface = nullptr;
        HRESULT hr = device_->CreateSurface(&wanted, &surface, nullptr);
        if (FAILED(hr)) {
            detail_ = failed("CreateSurface", hr);
            return result_of(hr);
        }
        constexpr DWORD flipping = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP;
        const std::optional<PixelFormat> format = PixelFormat::of(surface);
        if ((desc.caps & flipping) != flipping || (!scaled_ && format && format->is_picture_format())) {
            out = new DisplaySurface(surface, nullptr);
            return DD_OK;
        }
        IDirectDrawSurface* back = nullptr;
        DDSCAPS back_caps{DDSCAPS_BACKBUFFER};
        hr = format ? surface->GetAttachedSurface(&back_caps, &back) : DDERR_INVALIDPIXELFORMAT;
        MemorySurface* picture = SUCCEEDED(hr) ? MemorySurface::create(picture_.width, picture_.height) : nullptr;
        if (picture == nullptr) {
            if (SUCCEEDED(hr)) {
                back->Release();
                hr = DDERR_OUTOFMEMORY;
            }
            surface->Release();
            detail_ = failed("the scaled picture's surfaces", hr);
            return result_of(hr);
        }
        out = new ScaledPrimary(surface, back, picture, *format);
        return DD_OK;
    }

    std::uint32_t release() override
    {
        const std::uint32_t left = drop();
        if (left == 0) {
            if (restore_token_ >= 0)
                remove_restore_hook(restore_token_);
            if (exclusive_device == device_)
                exclusive_device = nullptr;
            device_->Release();  // gives the display its mode back
            delete this;
        }
        return left;
    }

private:
    ~WinDirectDraw() = default;

    // The 32-bit modes larger than the picture, the closest first: the
    // fewest pixels, then the nearest shape.
    std::vector<Mode> larger_modes(int bits_per_pixel)
    {
        std::vector<DDSURFACEDESC> all;
        device_->EnumDisplayModes(0, nullptr, &all, collect_mode);
        std::vector<Mode> modes;
        for (const DDSURFACEDESC& d : all) {
            const Mode m{static_cast<int>(d.dwWidth), static_cast<int>(d.dwHeight)};
            if (d.ddpfPixelFormat.dwRGBBitCount == static_cast<DWORD>(bits_per_pixel) &&
                m.width >= picture_.width && m.height >= picture_.height)
                modes.push_back(m);
        }
        const double shape = static_cast<double>(picture_.width) / picture_.height;
        auto rank = [shape](const Mode& m) {
            return std::pair(static_cast<long long>(m.width) * m.height,
                             std::abs(static_cast<double>(m.width) / m.height - shape));
        };
        std::sort(modes.begin(), modes.end(), [&](const Mode& a, const Mode& b) { return rank(a) < rank(b); });
        return modes;
    }

    static void restore_hook(void* device) { static_cast<IDirectDraw*>(device)->RestoreDisplayMode(); }

    IDirectDraw* device_;
    std::string& detail_;
    Mode picture_;
    bool scaled_ = false;
    int restore_token_ = -1;
};

}  // namespace

DrawResult create_win_direct_draw(DirectDraw*& out, std::string& detail)
{
    IDirectDraw* device = nullptr;
    const HRESULT hr = DirectDrawCreate(nullptr, &device, nullptr);
    if (FAILED(hr)) {
        out = nullptr;
        detail = failed("DirectDrawCreate", hr);
        return result_of(hr);
    }
    out = new WinDirectDraw(device, detail);
    return DD_OK;
}

void leave_full_screen_for_dialog()
{
    if (exclusive_device == nullptr)
        return;
    exclusive_device->FlipToGDISurface();
    exclusive_device->RestoreDisplayMode();
    exclusive_device->SetCooperativeLevel(exclusive_window, DDSCL_NORMAL);
    // An empty window the size of the screen would hide the box.
    ShowWindow(exclusive_window, SW_HIDE);
    exclusive_device = nullptr;
}

}  // namespace vexl::platform
