// Quality of the audio library's play clock, measured the way the player
// reads it: about once a millisecond for 30 seconds (VEXL_CLOCK_SECONDS
// changes the length), on the silent output and on SDL's dummy driver side
// by side, read in turn in one loop so both see the same machine load.
// Counters, each prefixed null_ or dummy_:
//
//   drift_ms       play position gained minus monotonic time passed, end to
//                  end (goal: within 5 ms)
//   jitter_p99_ms  99th percentile of the distance between the position
//                  and the straight line fitted through all readings
//                  (goal: at most 1 ms)
//   local_jitter_p99_ms  the same against a line per second of readings:
//                  the clock's own roughness, without the slow wander of
//                  the device's speed
//   ms_jitter_p99  the same as jitter_p99_ms for the whole milliseconds
//                  stream_get_time returns (includes their rounding, up to
//                  1 ms)
//   device_speed   frames the output took per second of monotonic time,
//                  relative to its nominal rate (1 = exactly real time)
//   device_jitter_p99_ms  jitter_p99_ms of the device's own unfiltered
//                  account (below): how far the device itself strays from
//                  a straight line
//   device_gap_p99_ms  99th percentile of the distance between the position
//                  and the device's own unfiltered account of it (frames
//                  heard at its last callback, run on at the nominal rate)
//   device_drift_ms  the mean of that difference over the last second minus
//                  the mean over the first: how far the clock left the device
//
// The clock follows what the device consumes, because that is what is
// heard; a device that consumes faster or slower than real time shows as
// drift against the monotonic clock, not against the device. SDL's dummy
// driver is such a device: it sleeps a whole number of milliseconds per
// buffer, plus however late its thread wakes up, and never catches up, so
// its position wanders off a straight line with the machine's load.
//
// The position in frames comes from the same clock stream_get_time reads.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/linux_audio_library.h"

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
    double stream_ms;  // what stream_get_time says
    double raw_ms;    // the device's unfiltered account
};

double p99(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(0.99 * static_cast<double>(values.size() - 1))];
}

// Least-squares line through (wall, value) of readings [first, last); the
// absolute residuals are appended to `residual`.
void residuals_from_line(const std::vector<Reading>& r, std::size_t first, std::size_t last,
                         double Reading::*value, std::vector<double>& residual)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = static_cast<double>(last - first);
    for (std::size_t i = first; i < last; ++i) {
        sx += r[i].wall_ms;
        sy += r[i].*value;
        sxx += r[i].wall_ms * r[i].wall_ms;
        sxy += r[i].wall_ms * (r[i].*value);
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - slope * sx) / n;
    for (std::size_t i = first; i < last; ++i)
        residual.push_back(std::abs(r[i].*value - (offset + slope * r[i].wall_ms)));
}

double p99_from_line(const std::vector<Reading>& r, double Reading::*value)
{
    std::vector<double> residual;
    residuals_from_line(r, 0, r.size(), value, residual);
    return p99(std::move(residual));
}

// The same with a line of its own for each second of readings.
double p99_from_lines_per_second(const std::vector<Reading>& r, double Reading::*value)
{
    std::vector<double> residual;
    for (std::size_t first = 0; first < r.size();) {
        std::size_t last = first;
        while (last < r.size() && r[last].wall_ms - r[first].wall_ms < 1000.0)
            ++last;
        if (last - first >= 100)
            residuals_from_line(r, first, last, value, residual);
        first = last;
    }
    return p99(std::move(residual));
}

// Mean of clock minus device over the first or the last second of readings.
double mean_gap(const std::vector<Reading>& r, bool at_end)
{
    const double edge = at_end ? r.back().wall_ms - 1000.0 : r.front().wall_ms + 1000.0;
    double sum = 0;
    int n = 0;
    for (const Reading& x : r)
        if (at_end ? x.wall_ms >= edge : x.wall_ms <= edge) {
            sum += x.heard_ms - x.raw_ms;
            ++n;
        }
    return n > 0 ? sum / n : 0.0;
}

// One output under measurement.
struct Probe {
    const char* prefix;
    LinuxAudioLibrary audio;
    vexl::platform::AudioStreamHandle stream = nullptr;
    double rate = 0;
    std::int64_t handed_at_start = 0;
    std::vector<Reading> readings;
    int interrupted = 0;

    Probe(const char* p, LinuxAudioLibrary::Options options) : prefix(p), audio(std::move(options)) {}

    bool start(const char* silent_file)
    {
        if (!audio.init(22050, 1, 2))
            return false;
        // An empty file plays as raw data of no length: silence from the start.
        stream = audio.stream_open_file(silent_file, 0x130, 0);
        audio.stream_play(0, stream);
        rate = audio.output_rate();
        return true;
    }

    void read(Clock::time_point origin)
    {
        const auto before = Clock::now();
        Reading r{};
        r.heard_ms = audio.output_heard_frames() * 1000.0 / rate;
        r.raw_ms = audio.output_raw_frames() * 1000.0 / rate;
        r.stream_ms = audio.stream_get_time(stream);
        const auto after = Clock::now();
        // A reading during which this thread lost the processor has no
        // reliable time; on a shared machine that happens now and then.
        if (after - before > std::chrono::microseconds(200)) {
            ++interrupted;
            return;
        }
        r.wall_ms = std::chrono::duration<double, std::milli>(before - origin).count();
        readings.push_back(r);
    }

    void report(benchmark::State& state, double elapsed_s)
    {
        const double handed = static_cast<double>(audio.output_frames_handed() - handed_at_start);
        audio.close();
        const std::string p = prefix;
        state.counters[p + "device_speed"] = handed / (elapsed_s * rate);
        state.counters[p + "interrupted"] = interrupted;
        if (readings.size() < 2)
            return;
        const Reading& first = readings.front();
        const Reading& last = readings.back();
        state.counters[p + "drift_ms"] = (last.heard_ms - first.heard_ms) - (last.wall_ms - first.wall_ms);
        state.counters[p + "jitter_p99_ms"] = p99_from_line(readings, &Reading::heard_ms);
        state.counters[p + "local_jitter_p99_ms"] = p99_from_lines_per_second(readings, &Reading::heard_ms);
        state.counters[p + "ms_jitter_p99"] = p99_from_line(readings, &Reading::stream_ms);
        state.counters[p + "device_jitter_p99_ms"] = p99_from_line(readings, &Reading::raw_ms);
        std::vector<double> gap;
        for (const Reading& r : readings)
            gap.push_back(std::abs(r.heard_ms - r.raw_ms));
        state.counters[p + "device_gap_p99_ms"] = p99(std::move(gap));
        state.counters[p + "device_drift_ms"] = mean_gap(readings, true) - mean_gap(readings, false);
    }
};

void BM_ClockNullAndSdlDummySideBySide(benchmark::State& state)
{
    char path[] = "/tmp/vexl-clock-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    for (auto _ : state) {
        std::vector<std::unique_ptr<Probe>> probes;
        probes.push_back(std::make_unique<Probe>(
            "null_", LinuxAudioLibrary::Options{LinuxAudioLibrary::OutputChoice::null_only, {}}));
        probes.push_back(std::make_unique<Probe>(
            "dummy_", LinuxAudioLibrary::Options{LinuxAudioLibrary::OutputChoice::sdl_only, "dummy"}));
        if (!std::all_of(probes.begin(), probes.end(), [&](auto& p) { return p->start(path); })) {
            state.SkipWithError("an output could not be opened");
            break;
        }
        // Let the outputs settle (first callbacks, the clocks' first estimates).
        std::this_thread::sleep_for(std::chrono::milliseconds(500));

        const auto start = Clock::now();
        for (auto& p : probes)
            p->handed_at_start = p->audio.output_frames_handed();
        const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds_to_run()));
        while (Clock::now() < end) {
            for (auto& p : probes)
                p->read(start);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const double elapsed_s = std::chrono::duration<double>(Clock::now() - start).count();
        for (auto& p : probes)
            p->report(state, elapsed_s);
    }
    unlink(path);
}
BENCHMARK(BM_ClockNullAndSdlDummySideBySide)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
