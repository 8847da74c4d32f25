#include "output/glyph_raster.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/palette16.h"

namespace vexl {
namespace {

static_assert(glyph_width == 8, "the pixel masks below assume 8-pixel glyph rows");

// The eight 32-bit pixels of a glyph row side by side (GCC/Clang vector
// extension: one AVX2 register, or two SSE2 registers on plain x86-64).
using RowPixels = std::uint32_t __attribute__((vector_size(32)));

// For every possible glyph byte, all-ones masks of its set pixels (bit 7
// leftmost), so drawing a glyph row is branch-free:
// pixels = bg ^ ((fg ^ bg) & mask).
constexpr auto row_masks = [] {
    std::array<std::array<std::uint32_t, glyph_width>, 256> table{};
    for (unsigned g = 0; g < 256; ++g)
        for (int x = 0; x < glyph_width; ++x)
            table[g][x] = (g >> (7 - x)) & 1u ? 0xFFFFFFFFu : 0u;
    return table;
}();

}  // namespace

// On x86-64 the rasteriser is built twice, for AVX2 (one store per glyph
// row) and for the baseline instruction set; the loader picks the one this
// processor runs. ThreadSanitizer builds keep one version: the loader runs
// the picking code before the sanitizer is set up, which crashes. So do
// Windows builds, whose loader has no such picking (ELF's ifunc).
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VEXL_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define VEXL_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__ELF__) && !defined(VEXL_THREAD_SANITIZER)
#define VEXL_RASTER_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VEXL_RASTER_CLONES
#endif

VEXL_RASTER_CLONES
void draw_text_frame(std::span<const std::uint8_t, frame_bytes> frame, int rows, int cols,
                     const PixelSurface& surface)
{
    if (surface.pixels == nullptr || surface.pitch <= 0)
        return;
    // Whole cells only: within the frame, within the surface's width, height
    // and within one pitch (a short pitch would make rows overlap).
    const std::ptrdiff_t row_pixels = std::min<std::ptrdiff_t>(surface.width, surface.pitch / 4);
    rows = std::min({rows, frame_rows, surface.height / glyph_height});
    cols = std::min({cols, frame_cols, static_cast<int>(row_pixels / glyph_width)});
    if (rows <= 0 || cols <= 0)
        return;

    const std::ptrdiff_t pitch = surface.pitch;
    for (int i = 0; i < rows; ++i) {
        const std::uint8_t* cell = frame.data() + i * frame_row_bytes;
        unsigned char* out = static_cast<unsigned char*>(surface.pixels) + i * glyph_height * pitch;
        for (int j = 0; j < cols; ++j, cell += 2, out += glyph_width * 4) {
            const std::uint32_t fg = Palette16[cell[1] & 0x0F];
            const std::uint32_t bg = Palette16[cell[1] >> 4];
            const RowPixels background = RowPixels{} + bg;
            const RowPixels difference = RowPixels{} + (fg ^ bg);
            const std::uint8_t* glyph = Font8x8.data() + cell[0] * glyph_height;
            unsigned char* row = out;
            for (int k = 0; k < glyph_height; ++k, row += pitch) {
                RowPixels pixels;
                std::memcpy(&pixels, row_masks[glyph[k]].data(), sizeof pixels);
                pixels = background ^ (difference & pixels);
                std::memcpy(row, &pixels, sizeof pixels);
            }
        }
    }
}

}  // namespace vexl
