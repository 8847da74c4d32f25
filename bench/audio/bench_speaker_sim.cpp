// Throughput of the PC-speaker simulation over the whole default soundtrack,
// cut into the blocks an audio library hands a DSP hook. The goal is at
// least 1000 times real time (22.05 million samples a second), so the
// hook never threatens the audio thread. Rates are per second of processor
// time, which a busy shared machine disturbs far less than wall time.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "audio/speaker_sim.h"
#include "tools/synth/synth.h"

namespace {

const std::vector<std::int16_t>& soundtrack()
{
    static const std::vector<std::int16_t> track = vexl::synth::render_default_soundtrack();
    return track;
}

void BM_SpeakerSimOverSoundtrack(benchmark::State& state)
{
    const auto block = static_cast<std::size_t>(state.range(0));
    const std::vector<std::int16_t>& source = soundtrack();
    std::vector<std::int16_t> work(source.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(source.begin(), source.end(), work.begin());
        vexl::speaker_sim_reset();
        state.ResumeTiming();
        for (std::size_t at = 0; at < work.size(); at += block) {
            const std::size_t n = std::min(block, work.size() - at);
            vexl::speaker_sim_dsp(nullptr, work.data() + at, static_cast<int>(n), nullptr);
        }
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    const double samples = static_cast<double>(source.size()) * static_cast<double>(state.iterations());
    state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    // Seconds of soundtrack processed per second of work.
    state.counters["x_realtime"] = benchmark::Counter(samples / 22050.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpeakerSimOverSoundtrack)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
