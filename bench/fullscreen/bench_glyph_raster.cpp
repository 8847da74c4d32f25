// The glyph rasteriser against a memset of the same 1,024,000 bytes: the
// rasteriser writes every pixel of the 640 x 400 picture once, so memset is
// the floor it is measured against (goal: at most 3x its time).

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "output/glyph_raster.h"

namespace {

using vexl::frame_bytes;

constexpr std::size_t picture_bytes = std::size_t{vexl::picture_width} * vexl::picture_height * 4;

std::array<std::uint8_t, frame_bytes> random_frame()
{
    std::array<std::uint8_t, frame_bytes> frame;
    std::mt19937 random(2003);
    for (auto& byte : frame)
        byte = static_cast<std::uint8_t>(random());
    return frame;
}

void BM_Memset(benchmark::State& state)
{
    std::vector<std::uint32_t> pixels(picture_bytes / 4);
    int value = 0;
    for (auto _ : state) {
        std::memset(pixels.data(), ++value & 0xFF, picture_bytes);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * picture_bytes));
}

void BM_DrawTextFrame(benchmark::State& state)
{
    const auto frame = random_frame();
    std::vector<std::uint32_t> pixels(picture_bytes / 4);
    const vexl::PixelSurface surface{pixels.data(), vexl::picture_width * 4, vexl::picture_width,
                                     vexl::picture_height};
    for (auto _ : state) {
        vexl::draw_text_frame(frame, vexl::frame_rows, vexl::frame_cols, surface);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * picture_bytes));
}

// Interleaved repetitions keep the two side by side on a shared machine.
BENCHMARK(BM_Memset)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_DrawTextFrame)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
