// What `vexl mkdemo` spends its time on, and how well the frames pack.
// Run with --benchmark_repetitions=N for steadier figures; compare the
// stages with each other, measured in the same run.
//
//   BM_GenerateFrames   every frame of the demo, discarded
//   BM_GenerateAndPack  every frame, packed at level 2 into a counting sink
//                       (counters: packed_MB, ratio = unpacked / packed)

#include <benchmark/benchmark.h>

#include "tools/demo/demo_writer.h"
#include "tools/demo/generator.h"

namespace {

using namespace vexl::demo;

void BM_GenerateFrames(benchmark::State& state)
{
    for (auto _ : state) {
        std::uint64_t frames = 0;
        generate_demo([&](std::span<const std::uint8_t> frame) {
            benchmark::DoNotOptimize(frame.data());
            ++frames;
            return true;
        });
        state.counters["frames"] = static_cast<double>(frames);
    }
}
BENCHMARK(BM_GenerateFrames)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_GenerateAndPack(benchmark::State& state)
{
    for (auto _ : state) {
        PackedDemo packed;
        const bool ok = pack_demo([](std::span<const std::uint8_t>) { return true; }, packed);
        if (!ok)
            state.SkipWithError("packing failed");
        state.counters["packed_MB"] = static_cast<double>(packed.packed_bytes) / 1e6;
        state.counters["ratio"] = static_cast<double>(packed.unpacked_bytes) / static_cast<double>(packed.packed_bytes);
    }
}
BENCHMARK(BM_GenerateAndPack)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
