// The DirectDraw steps over SDL: a device bound to the player's window, a
// primary surface that is the window's renderer and a streaming texture,
// and a back buffer in plain memory. The picture is scaled sharply
// (output/sharp_scaling.h): a render target holds the whole-number
// nearest-neighbour step, linear filtering takes it the rest of the way.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "output/sharp_scaling.h"
#include "platform/linux/sdl_display.h"
#include "platform/linux/sdl_video.h"
#include "platform/memory_surface.h"

namespace vexl::platform::sdl {
namespace {

constexpr int largest_mode_side = 4096;

class SdlDirectDraw;

// The primary flipping surface: what the window shows. A flip copies the
// back buffer into the streaming texture and presents it, scaled sharply
// to the window, aspect kept, black bars around.
class PrimarySurface final : public DrawSurface, public Repaintable {
public:
    PrimarySurface(SdlDirectDraw& device, std::shared_ptr<WindowCore> core, SDL_Renderer* renderer,
                   SDL_Texture* texture, MemorySurface* back_buffer);

    DrawResult get_attached_surface(std::uint32_t caps, DrawSurface*& out) override
    {
        if ((caps & DDSCAPS_BACKBUFFER) == 0) {
            out = nullptr;
            return DDERR_NOTFOUND;
        }
        back_buffer_->add_reference();
        out = back_buffer_;
        return DD_OK;
    }

    // The front picture lives in the texture, out of reach.
    DrawResult lock(SurfaceDesc&, std::uint32_t) override { return DDERR_UNSUPPORTED; }
    DrawResult unlock() override { return DDERR_NOTLOCKED; }

    DrawResult flip(DrawSurface* target, std::uint32_t) override
    {
        if (target != nullptr && target != back_buffer_)
            return DDERR_INVALIDPARAMS;
        if (back_buffer_->locked())
            return DDERR_SURFACEBUSY;
        if (SDL_UpdateTexture(texture_, nullptr, back_buffer_->pixels(), back_buffer_->pitch()) != 0)
            return DDERR_GENERIC;
        repaint();  // the renderer was made with vsync: this waits for the display
        return DD_OK;
    }

    void repaint() override
    {
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);  // the bars
        // Asked each time: the window reaches the desktop's size only some
        // time after it was made full screen, and may change it later.
        int screen_width = 0;
        int screen_height = 0;
        if (SDL_GetRendererOutputSize(renderer_, &screen_width, &screen_height) == 0) {
            const SharpScaling scaling =
                sharp_scaling(back_buffer_->width(), back_buffer_->height(), screen_width, screen_height);
            const PixelRect& p = scaling.picture;
            const SDL_Rect picture{p.x, p.y, p.width, p.height};
            SDL_Texture* source = texture_;
            if (scaling.prescaled() && prescale(scaling.factor))
                source = prescaled_;
            SDL_SetTextureScaleMode(source, scaling.filtered() ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
            SDL_RenderCopy(renderer_, source, nullptr, &picture);
        }
        SDL_RenderPresent(renderer_);
    }

    std::uint32_t release() override
    {
        const std::uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    ~PrimarySurface();

    // Draws the texture `factor` times as large, by nearest neighbour, into
    // prescaled_. False when the renderer can't (no render targets): then
    // the filtered step works from the texture itself, blurrier but even.
    bool prescale(int factor)
    {
        const int width = back_buffer_->width() * factor;
        const int height = back_buffer_->height() * factor;
        if (prescaled_ != nullptr && (prescaled_width_ != width || prescaled_height_ != height)) {
            SDL_DestroyTexture(prescaled_);
            prescaled_ = nullptr;
        }
        if (prescaled_ == nullptr && SDL_RenderTargetSupported(renderer_) == SDL_TRUE) {
            prescaled_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET,
                                           width, height);
            if (prescaled_ != nullptr)
                SDL_SetTextureBlendMode(prescaled_, SDL_BLENDMODE_NONE);
            prescaled_width_ = width;
            prescaled_height_ = height;
        }
        if (prescaled_ == nullptr || SDL_SetRenderTarget(renderer_, prescaled_) != 0)
            return false;
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
        const bool drawn = SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) == 0;
        SDL_SetRenderTarget(renderer_, nullptr);
        return drawn;
    }

    std::uint32_t references_ = 1;
    SdlDirectDraw& device_;
    std::shared_ptr<WindowCore> core_;
    SDL_Renderer* renderer_;
    SDL_Texture* texture_;
    MemorySurface* back_buffer_;  // one reference: the attachment
    SDL_Texture* prescaled_ = nullptr;  // the whole-number step, made when first needed
    int prescaled_width_ = 0;
    int prescaled_height_ = 0;
};

class SdlDirectDraw final : public DirectDraw {
public:
    bool video_up() const { return video_.up(); }

    DrawResult set_cooperative_level(WindowHandle window, std::uint32_t flags) override
    {
        SdlWindow* w = as_sdl(window);
        if (w == nullptr || w->core == nullptr)
            return DDERR_INVALIDPARAMS;
        window_ = w->core;
        exclusive_ = (flags & (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)) == (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
        return DD_OK;
    }

    DrawResult set_display_mode(int width, int height, int bits_per_pixel) override
    {
        if (window_ == nullptr)
            return DDERR_NOCOOPERATIVELEVELSET;
        if (!exclusive_)
            return DDERR_NOEXCLUSIVEMODE;
        if (bits_per_pixel != 32 || width <= 0 || height <= 0 || width > largest_mode_side ||
            height > largest_mode_side)
            return DDERR_INVALIDMODE;
        // The desktop keeps its resolution; the picture is scaled up to it.
        if (SDL_SetWindowFullscreen(window_->window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            note_failure(SDL_GetError());
            return DDERR_GENERIC;
        }
        mode_width_ = width;
        mode_height_ = height;
        return DD_OK;
    }

    DrawResult create_surface(const SurfaceDesc& desc, DrawSurface*& out) override
    {
        out = nullptr;
        if (mode_width_ == 0)
            return DDERR_NOEXCLUSIVEMODE;
        // Only what a full-screen page flipper asks for: a primary surface
        // with one back buffer.
        constexpr std::uint32_t flipping = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        if ((desc.flags & (DDSD_CAPS | DDSD_BACKBUFFERCOUNT)) != (DDSD_CAPS | DDSD_BACKBUFFERCOUNT) ||
            (desc.caps & flipping) != flipping || desc.back_buffer_count != 1)
            return DDERR_UNSUPPORTED;
        if (primary_exists_)
            return DDERR_PRIMARYSURFACEALREADYEXISTS;

        SDL_Renderer* renderer = SDL_CreateRenderer(window_->window, -1, SDL_RENDERER_PRESENTVSYNC);
        if (renderer == nullptr)
            renderer = SDL_CreateRenderer(window_->window, -1, SDL_RENDERER_SOFTWARE);
        if (renderer == nullptr) {
            note_failure(std::string("no renderer: ") + SDL_GetError());
            return DDERR_GENERIC;
        }
        SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                                 mode_width_, mode_height_);
        MemorySurface* back_buffer = nullptr;
        if (texture != nullptr && SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE) == 0)
            back_buffer = MemorySurface::create(mode_width_, mode_height_);
        if (back_buffer == nullptr) {
            note_failure(texture == nullptr ? std::string("no texture: ") + SDL_GetError()
                                            : std::string("no memory for the back buffer"));
            if (texture != nullptr)
                SDL_DestroyTexture(texture);
            SDL_DestroyRenderer(renderer);
            return DDERR_GENERIC;
        }
        out = new PrimarySurface(*this, window_, renderer, texture, back_buffer);
        return DD_OK;
    }

    std::uint32_t release() override
    {
        const std::uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // The primary holds a reference on its device, so the order in which
    // the caller releases them does not matter.
    void primary_created()
    {
        primary_exists_ = true;
        ++references_;
    }
    void primary_gone()
    {
        primary_exists_ = false;
        release();
    }

private:
    std::uint32_t references_ = 1;
    VideoReference video_;
    std::shared_ptr<WindowCore> window_;  // the cooperative window
    bool exclusive_ = false;
    int mode_width_ = 0;
    int mode_height_ = 0;
    bool primary_exists_ = false;
};

PrimarySurface::PrimarySurface(SdlDirectDraw& device, std::shared_ptr<WindowCore> core,
                               SDL_Renderer* renderer, SDL_Texture* texture, MemorySurface* back_buffer)
    : device_(device), core_(std::move(core)), renderer_(renderer), texture_(texture),
      back_buffer_(back_buffer)
{
    device_.primary_created();
    core_->shown = this;
}

PrimarySurface::~PrimarySurface()
{
    core_->shown = nullptr;
    back_buffer_->release();
    if (prescaled_ != nullptr)
        SDL_DestroyTexture(prescaled_);
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    device_.primary_gone();
}

}  // namespace
}  // namespace vexl::platform::sdl

namespace vexl::platform {

DrawResult SdlDisplay::direct_draw_create(DirectDraw*& out)
{
    auto device = std::make_unique<sdl::SdlDirectDraw>();
    if (!device->video_up()) {
        out = nullptr;
        return DDERR_NODIRECTDRAWSUPPORT;
    }
    out = device.release();
    return DD_OK;
}

}  // namespace vexl::platform
