// Frames per second of `vexl render`: one frame drawn, converted to RGB and
// encoded as PNG into a file, at scale 1 and with --scale 2 --aspect.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <random>

#include "tools/vexl/frame_picture.h"

namespace {

// Demo-like content: runs of letters and shading with a few colours per
// row, which is what the encoder meets in practice (random bytes would
// measure the worst case only).
std::array<std::uint8_t, vexl::frame_bytes> demo_like_frame()
{
    std::array<std::uint8_t, vexl::frame_bytes> frame;
    std::mt19937 random(1);
    for (std::size_t cell = 0; cell < vexl::frame_bytes / 2; ++cell) {
        const bool odd = random() % 8 == 0;
        frame[2 * cell] = odd ? static_cast<std::uint8_t>(random()) : static_cast<std::uint8_t>(0xB0 + cell % 3);
        frame[2 * cell + 1] = static_cast<std::uint8_t>(0x10 * ((cell / 80) % 8) + (cell / 7) % 16);
    }
    return frame;
}

void render_to_png(benchmark::State& state, int scale, bool aspect)
{
    const auto frame = demo_like_frame();
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        state.SkipWithError("no temporary file");
        return;
    }
    std::string problem;
    for (auto _ : state) {
        std::rewind(file);
        const vexl::tool::RgbPicture picture = vexl::tool::render_frame_picture(frame, scale, aspect);
        if (!vexl::tool::write_png(file, picture, problem)) {
            state.SkipWithError(problem.c_str());
            break;
        }
        std::fflush(file);
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    std::fclose(file);
}

void BM_RenderToPng(benchmark::State& state) { render_to_png(state, 1, false); }
void BM_RenderToPngScale2Aspect(benchmark::State& state) { render_to_png(state, 2, true); }

BENCHMARK(BM_RenderToPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderToPngScale2Aspect)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
