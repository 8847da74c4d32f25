#pragma once
// A surface in plain memory: 32-bit 0x00RRGGBB pixels, rows exactly
// width * 4 bytes apart. The back buffer that displays hand out when the
// screen itself can't be written the way the picture is drawn (a window
// scaled by a renderer, a display mode larger than the picture), copied to
// the screen at each flip.

#include <cstdint>
#include <memory>

#include "platform/display.h"

namespace vexl::platform {

class MemorySurface final : public DrawSurface {
public:
    // Null when there is no memory for the pixels.
    static MemorySurface* create(int width, int height);

    DrawResult get_attached_surface(std::uint32_t caps, DrawSurface*& out) override;
    // Nothing else could unlock it while the caller waits: busy even with
    // DDLOCK_WAIT.
    DrawResult lock(SurfaceDesc& desc, std::uint32_t flags) override;
    DrawResult unlock() override;
    DrawResult flip(DrawSurface* target, std::uint32_t flags) override;
    std::uint32_t release() override;

    void add_reference() { ++references_; }
    bool locked() const { return locked_; }
    const std::uint32_t* pixels() const { return pixels_.get(); }
    int pitch() const { return width_ * 4; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    MemorySurface(int width, int height, std::unique_ptr<std::uint32_t[]> pixels);
    ~MemorySurface() = default;

    std::uint32_t references_ = 1;
    int width_;
    int height_;
    std::unique_ptr<std::uint32_t[]> pixels_;
    bool locked_ = false;
};

}  // namespace vexl::platform
