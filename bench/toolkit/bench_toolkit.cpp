// What a screen costs: building a 50x80 screen (one queue, lock and node
// per cell) and tearing it down, next to a plain widget of the same size;
// and one full-grid region update from a 50x80 child, with and without new
// values to queue. Heap use is counted by replacing the global allocation
// functions, so it is the bytes the toolkit asks for, without the
// allocator's own overhead.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "vuvorazi/ag_screen.h"

namespace {

std::atomic<long long> heap_now{0};
std::atomic<long long> heap_peak{0};
std::atomic<long long> heap_allocations{0};

// Each block carries its size in front so that delete can subtract it.
constexpr std::size_t header = alignof(std::max_align_t);

void* counted_alloc(std::size_t size)
{
    auto* block = static_cast<char*>(std::malloc(size + header));
    if (block == nullptr)
        return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    const long long now = heap_now += static_cast<long long>(size);
    long long peak = heap_peak.load();
    while (now > peak && !heap_peak.compare_exchange_weak(peak, now)) {
    }
    ++heap_allocations;
    return block + header;
}

void counted_free(void* pointer)
{
    if (pointer == nullptr)
        return;
    char* block = static_cast<char*>(pointer) - header;
    heap_now -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

// Peak heap growth and allocation count of one run of `work`.
template <class Work>
void measure_heap(benchmark::State& state, Work work)
{
    const long long base = heap_now.load();
    heap_peak = base;
    const long long allocations = heap_allocations.load();
    work();
    state.counters["peak_heap_bytes"] = static_cast<double>(heap_peak.load() - base);
    state.counters["allocations"] = static_cast<double>(heap_allocations.load() - allocations);
}

constexpr std::int32_t rows = 50;
constexpr std::int32_t cols = 80;

void BM_ScreenLifecycle(benchmark::State& state)
{
    for (auto _ : state) {
        vuvorazi::ag_screen screen;
        screen.resize(rows, cols);
        benchmark::DoNotOptimize(screen.queue_at(rows - 1, cols - 1));
    }
    measure_heap(state, [] {
        vuvorazi::ag_screen screen;
        screen.resize(rows, cols);
    });
}
BENCHMARK(BM_ScreenLifecycle);

// The same size without queues: what the queues add on top.
void BM_PlainWidgetLifecycle(benchmark::State& state)
{
    for (auto _ : state) {
        vuvorazi::ag_raw widget;
        widget.resize(rows, cols);
        benchmark::DoNotOptimize(widget.has_grid());
    }
    measure_heap(state, [] {
        vuvorazi::ag_raw widget;
        widget.resize(rows, cols);
    });
}
BENCHMARK(BM_PlainWidgetLifecycle);

// A screen showing one child that covers it.
struct ScreenWithChild {
    ScreenWithChild()
    {
        screen.set_orientation(vuvorazi::orient_vertical);
        screen.resize(rows, cols);
        screen.add_child(&child, -1, 1);
    }
    vuvorazi::ag_screen screen;
    vuvorazi::ag_raw child;
};

std::vector<vuvorazi::ag_cell> pattern(std::uint32_t seed)
{
    std::vector<vuvorazi::ag_cell> cells(static_cast<std::size_t>(rows * cols));
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = {static_cast<std::uint8_t>(i + seed), static_cast<std::uint32_t>(i), seed};
    return cells;
}

// Nothing new: the grid is copied and every cell compared, nothing queued.
void BM_FullGridUpdateUnchanged(benchmark::State& state)
{
    ScreenWithChild tree;
    const auto cells = pattern(1);
    tree.child.write_cells(0, 0, rows, cols, cells.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(tree.screen.update_region(&tree.child, 0, 0, rows, cols));
}
BENCHMARK(BM_FullGridUpdateUnchanged);

// Every cell new: the child draws the whole grid and 4000 values are
// queued. The queues are drained now and then, outside the timing.
void BM_FullGridUpdateChanged(benchmark::State& state)
{
    ScreenWithChild tree;
    const std::vector<vuvorazi::ag_cell> frames[2] = {pattern(1), pattern(2)};
    std::size_t frame = 0;
    for (auto _ : state) {
        tree.child.write_cells(0, 0, rows, cols, frames[frame & 1].data());
        if (++frame % 32 == 0) {
            state.PauseTiming();
            for (std::int32_t i = 0; i < rows; ++i)
                for (std::int32_t j = 0; j < cols; ++j)
                    while (tree.screen.queue_at(i, j)->pop()) {
                    }
            state.ResumeTiming();
        }
    }
    measure_heap(state, [&] { tree.child.write_cells(0, 0, rows, cols, frames[frame & 1].data()); });
}
BENCHMARK(BM_FullGridUpdateChanged);

}  // namespace

void* operator new(std::size_t size)
{
    if (void* block = counted_alloc(size))
        return block;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return counted_alloc(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return counted_alloc(size);
}

void operator delete(void* pointer) noexcept
{
    counted_free(pointer);
}

void operator delete[](void* pointer) noexcept
{
    counted_free(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    counted_free(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    counted_free(pointer);
}

BENCHMARK_MAIN();
