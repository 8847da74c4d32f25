// Quality of the audio library's play clock, measured the way the player
// reads it: about once a millisecond for 30 seconds (VEXL_CLOCK_SECONDS
// changes the length), on the silent output and on SDL's dummy driver.
//
//   drift_ms       play position gained minus monotonic time passed, end to
//                  end (goal: within 5 ms)
//   jitter_p99_ms  99th percentile of the distance between the position
//                  and the straight line fitted through all readings
//                  (goal: at most 1 ms)
//   ms_jitter_p99  the same for the whole milliseconds stream_get_time
//                  returns (includes their rounding, up to 1 ms)
//   device_speed   frames the output took per second of monotonic time,
//                  relative to its nominal rate (1 = exactly real time).
//                  The clock follows what the device consumes, so a device
//                  that runs slow shows as drift: SDL's dummy driver sleeps a
//                  fixed time after each buffer and falls behind when the
//                  machine is busy.
//
// The position in frames comes from the same clock stream_get_time reads.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/linux_audio_library.h"
#include "platform/linux/sound_decoder.h"

namespace {

using vexl::platform::LinuxAudioLibrary;
using Clock = std::chrono::steady_clock;

double seconds_to_run()
{
    const char* text = std::getenv("VEXL_CLOCK_SECONDS");
    const double s = text != nullptr ? std::atof(text) : 30.0;
    return s > 0.5 ? s : 30.0;
}

struct Reading {
    double wall_ms;
    double heard_ms;  // fractional, from the output's clock
    int stream_ms;    // what stream_get_time says
};

// Least-squares line through (wall, value); the 99th percentile of the
// absolute residuals.
double p99_from_line(const std::vector<Reading>& r, double Reading::*value)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = static_cast<double>(r.size());
    for (const Reading& x : r) {
        sx += x.wall_ms;
        sy += x.*value;
        sxx += x.wall_ms * x.wall_ms;
        sxy += x.wall_ms * (x.*value);
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - slope * sx) / n;
    std::vector<double> residual;
    residual.reserve(r.size());
    for (const Reading& x : r)
        residual.push_back(std::abs(x.*value - (offset + slope * x.wall_ms)));
    std::sort(residual.begin(), residual.end());
    return residual[static_cast<std::size_t>(0.99 * static_cast<double>(residual.size() - 1))];
}

void measure(benchmark::State& state, LinuxAudioLibrary::Options options)
{
    // A short stream: past its end silence plays and the clock runs on.
    char path[] = "/tmp/vexl-clock-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    for (auto _ : state) {
        LinuxAudioLibrary audio(options);
        if (!audio.init(22050, 1, 2)) {
            state.SkipWithError("no output could be opened");
            break;
        }
        // An empty file plays as raw data of no length: silence from the start.
        vexl::platform::AudioStreamHandle stream = audio.stream_open_file(path, 0x130, 0);
        audio.stream_play(0, stream);
        const double rate = audio.output_rate();
        // Let the output settle (first callbacks, the clock's first anchor).
        std::this_thread::sleep_for(std::chrono::milliseconds(500));

        std::vector<Reading> readings;
        const auto start = Clock::now();
        const std::int64_t handed_at_start = audio.output_frames_handed();
        const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds_to_run()));
        int interrupted = 0;
        while (Clock::now() < end) {
            const auto before = Clock::now();
            Reading r;
            r.heard_ms = audio.output_heard_frames() * 1000.0 / rate;
            r.stream_ms = audio.stream_get_time(stream);
            const auto after = Clock::now();
            // A reading during which this thread lost the processor has no
            // reliable time; on a shared machine that happens now and then.
            if (after - before > std::chrono::microseconds(200)) {
                ++interrupted;
            } else {
                r.wall_ms = std::chrono::duration<double, std::milli>(before - start).count();
                readings.push_back(r);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.counters["interrupted"] = interrupted;
        const double handed = static_cast<double>(audio.output_frames_handed() - handed_at_start);
        const double elapsed_s = std::chrono::duration<double>(Clock::now() - start).count();
        audio.close();
        state.counters["device_speed"] = handed / (elapsed_s * rate);

        const Reading& first = readings.front();
        const Reading& last = readings.back();
        state.counters["drift_ms"] =
            (last.heard_ms - first.heard_ms) - (last.wall_ms - first.wall_ms);
        state.counters["jitter_p99_ms"] = p99_from_line(readings, &Reading::heard_ms);
        std::vector<Reading> as_ms = readings;
        for (Reading& r : as_ms)
            r.heard_ms = r.stream_ms;
        state.counters["ms_jitter_p99"] = p99_from_line(as_ms, &Reading::heard_ms);
        state.counters["readings"] = static_cast<double>(readings.size());
        state.counters["rate"] = rate;
        state.SetLabel(audio.output_name());
    }
    unlink(path);
}

void BM_ClockNullOutput(benchmark::State& state)
{
    measure(state, {LinuxAudioLibrary::OutputChoice::null_only, {}});
}
BENCHMARK(BM_ClockNullOutput)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ClockSdlDummyDriver(benchmark::State& state)
{
    measure(state, {LinuxAudioLibrary::OutputChoice::sdl_only, "dummy"});
}
BENCHMARK(BM_ClockSdlDummyDriver)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
