#include "platform/memory_surface.h"

#include <new>

namespace vexl::platform {

MemorySurface* MemorySurface::create(int width, int height)
{
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint32_t[]> pixels(new (std::nothrow) std::uint32_t[count]());
    if (pixels == nullptr)
        return nullptr;
    return new MemorySurface(width, height, std::move(pixels));
}

MemorySurface::MemorySurface(int width, int height, std::unique_ptr<std::uint32_t[]> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels))
{
}

DrawResult MemorySurface::get_attached_surface(std::uint32_t, DrawSurface*& out)
{
    out = nullptr;
    return DDERR_NOTFOUND;
}

DrawResult MemorySurface::lock(SurfaceDesc& desc, std::uint32_t)
{
    if (locked_)
        return DDERR_SURFACEBUSY;
    locked_ = true;
    desc.flags |= DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
    desc.surface = pixels_.get();
    desc.pitch = pitch();
    desc.width = width_;
    desc.height = height_;
    return DD_OK;
}

DrawResult MemorySurface::unlock()
{
    if (!locked_)
        return DDERR_NOTLOCKED;
    locked_ = false;
    return DD_OK;
}

DrawResult MemorySurface::flip(DrawSurface*, std::uint32_t)
{
    return DDERR_NOTFLIPPABLE;
}

std::uint32_t MemorySurface::release()
{
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

}  // namespace vexl::platform
