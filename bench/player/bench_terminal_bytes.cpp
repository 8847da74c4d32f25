// Bytes the console sends to the terminal per frame (only changed cells,
// colour changes only where needed) against repainting every cell in
// 24-bit colour each frame.

#include <benchmark/benchmark.h>

#include "bench/player/sample_demo.h"
#include "output/terminal_glyphs.h"
#include "core/cp437.h"
#include "term/frame_painter.h"
#include "term/picture_layout.h"
#include "term/compositor.h"

#include <cstdio>
#include <cstdlib>

namespace vexl {
namespace {

using term::ColorMode;
using term::FramePainter;

using Frames = std::vector<std::vector<std::uint8_t>>;

const Frames& plasma()
{
    static const Frames all = bench::demo_frames(750, bench::plasma_frame);  // 30 s
    return all;
}

const Frames& scene()
{
    static const Frames all = bench::demo_frames(750, bench::scene_frame);
    return all;
}

// The demo named by VEXL_BENCH_DEMO (the default demo: build/demo/ld_vexl.d1),
// all of it.
const Frames& default_demo()
{
    static const Frames all = [] {
        const char* path = std::getenv("VEXL_BENCH_DEMO");
        return path != nullptr ? bench::file_frames(path, 17650) : Frames{};
    }();
    return all;
}

// The plain way to show a frame: every cell with both of its colours in
// 24 bits, one cursor position per row.
std::size_t naive_repaint_bytes(const std::vector<std::uint8_t>& frame)
{
    std::size_t bytes = 0;
    char sgr[64];
    for (int i = 0; i < 50; ++i) {
        bytes += static_cast<std::size_t>(std::snprintf(sgr, sizeof sgr, "\x1b[%d;1H", i + 1));
        for (int j = 0; j < 80; ++j) {
            const std::uint8_t ch = frame[static_cast<std::size_t>(i * 160 + 2 * j)];
            const std::uint8_t attr = frame[static_cast<std::size_t>(i * 160 + 2 * j + 1)];
            const term::Rgb f = term::vga_palette[attr & 15], b = term::vga_palette[attr >> 4];
            bytes += static_cast<std::size_t>(std::snprintf(sgr, sizeof sgr, "\x1b[38;2;%d;%d;%d;48;2;%d;%d;%dm",
                                                            f.r, f.g, f.b, b.r, b.g, b.b));
            bytes += cp437_utf8[ch].length;
        }
    }
    return bytes;
}

void BM_NaiveRepaint(benchmark::State& state, const Frames& (*demo)())
{
    if (demo().empty()) {
        state.SkipWithError("set VEXL_BENCH_DEMO to a frame file");
        return;
    }
    std::uint64_t bytes = 0, painted = 0;
    for (auto _ : state)
        for (const auto& frame : demo()) {
            bytes += naive_repaint_bytes(frame);
            ++painted;
        }
    state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(painted);
}

// Paints every frame in turn on a terminal of `rows` x `cols` as the
// player's terminal does: cell for cell on 80 x 50; on a smaller one drawn
// with the full screen's glyphs in block symbols.
// Only the cells that changed are sent; `full` forgets what is shown
// before each frame, which is a full repaint of every cell.
void paint_demo(benchmark::State& state, const Frames& (*demo)(), ColorMode mode, int rows, int cols, bool full)
{
    if (demo().empty()) {
        state.SkipWithError("set VEXL_BENCH_DEMO to a frame file");
        return;
    }
    term::Compositor compositor(mode);
    compositor.set_font(full_screen_font());
    const term::PictureLayout layout = term::choose_layout(
        50, 80, compositor.glyph_width(), compositor.glyph_height(), rows, cols, 0.5, compositor.can_scale());
    FramePainter painter(mode);
    painter.set_screen_size(rows, cols);
    std::vector<platform::CharInfo> cells(4000);
    std::string out;
    std::uint64_t bytes = 0, painted = 0;
    for (auto _ : state) {
        for (const auto& frame : demo()) {
            for (std::size_t i = 0; i < cells.size(); ++i)
                cells[i] = platform::CharInfo{frame[2 * i], frame[2 * i + 1]};
            if (full)
                painter.invalidate();
            painter.begin(out);
            compositor.compose(cells.data(), 50, 80, layout, painter);
            painter.end();
            bytes += out.size();
            ++painted;
        }
    }
    state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(painted);
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(painted), benchmark::Counter::kIsRate);
}

void BM_ChangedCells(benchmark::State& state, const Frames& (*demo)(), ColorMode mode)
{
    paint_demo(state, demo, mode, 50, 80, false);
}

void BM_FullRepaint(benchmark::State& state, const Frames& (*demo)(), ColorMode mode)
{
    paint_demo(state, demo, mode, 50, 80, true);
}

// The picture scaled down to an 80 x 24 terminal.
void BM_ScaledView(benchmark::State& state, const Frames& (*demo)(), ColorMode mode)
{
    paint_demo(state, demo, mode, 24, 80, false);
}

BENCHMARK_CAPTURE(BM_ScaledView, plasma_truecolor, plasma, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaledView, plasma_256, plasma, ColorMode::palette256)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaledView, plasma_16, plasma, ColorMode::ansi16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaledView, scene_truecolor, scene, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaledView, default_demo_truecolor, default_demo, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaledView, default_demo_16, default_demo, ColorMode::ansi16)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_NaiveRepaint, default_demo, default_demo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullRepaint, default_demo_truecolor, default_demo, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, default_demo_truecolor, default_demo, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, default_demo_256, default_demo, ColorMode::palette256)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, default_demo_16, default_demo, ColorMode::ansi16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NaiveRepaint, plasma, plasma)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullRepaint, plasma_truecolor, plasma, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, plasma_truecolor, plasma, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, plasma_256, plasma, ColorMode::palette256)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, plasma_16, plasma, ColorMode::ansi16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NaiveRepaint, scene, scene)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullRepaint, scene_truecolor, scene, ColorMode::truecolor)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangedCells, scene_truecolor, scene, ColorMode::truecolor)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexl

BENCHMARK_MAIN();
