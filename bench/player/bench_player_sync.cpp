// How punctually frames appear: the real playback loop (real sleep, real
// message queue, the console on a pseudo-terminal) paced by the audio
// library's silent output, then by SDL's dummy driver. For each frame the
// loop presents, the sample clock right after its cell write is compared
// with the frame's due time, (k + 1) x 882 samples.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "audio/soundtrack.h"
#include "bench/player/sample_demo.h"
#include "core/process_records.h"
#include "platform/linux/linux_audio_library.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_sleep.h"
#include "platform/linux/linux_terminal.h"
#include "platform/thread_message_queue.h"
#include "player/launcher.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;
using namespace platform;

// Passes everything to the real console and notes the clock once each
// frame is out.
class TimedTerminal final : public Terminal {
public:
    explicit TimedTerminal(Terminal& inner) : inner_(inner) {}
    bool alloc_console() override { return inner_.alloc_console(); }
    ConsoleHandle get_std_handle(StdHandle which) override { return inner_.get_std_handle(which); }
    bool set_title(const char* title) override { return inner_.set_title(title); }
    bool set_cursor_info(ConsoleHandle c, const CursorInfo& i) override { return inner_.set_cursor_info(c, i); }
    bool set_screen_buffer_size(ConsoleHandle c, Coord s) override { return inner_.set_screen_buffer_size(c, s); }
    bool set_window_info(ConsoleHandle c, bool a, const SmallRect& w) override
    {
        return inner_.set_window_info(c, a, w);
    }
    bool write_output(ConsoleHandle c, const CharInfo* cells, Coord size, Coord origin, SmallRect& region) override
    {
        const bool ok = inner_.write_output(c, cells, size, origin, region);
        clock_at_write.push_back(sample_clock());
        if (static_cast<int>(clock_at_write.size()) == stop_after)
            messages().post(Message{nullptr, WM_QUIT, 0, 0});
        return ok;
    }
    bool free_console() override { return inner_.free_console(); }

    std::vector<std::int32_t> clock_at_write;
    int stop_after = 0;

private:
    Terminal& inner_;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

void measure_punctuality(benchmark::State& state, const LinuxAudioLibrary::Options& output)
{
    const int frames = static_cast<int>(state.range(0));
    const fs::path dir = fs::temp_directory_path() / ("vexl-bench-sync-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    bench::write_demo(frame_file_name, frames + 30);
    std::ofstream(soundtrack_file_name, std::ios::binary) << std::string(44100u * 5, '\0');

    int master = -1, slave = -1;
    winsize ws{};
    ws.ws_row = 50;
    ws.ws_col = 80;
    openpty(&master, &slave, nullptr, nullptr, &ws);
    std::atomic<bool> stop{false};
    std::thread drain([&] {  // the terminal on the other side
        char buffer[65536];
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10) > 0 && (p.revents & POLLIN) != 0)
                [[maybe_unused]] const ssize_t n = ::read(master, buffer, sizeof buffer);
        }
    });

    std::vector<double> lateness_ms;
    for (auto _ : state) {
        ThreadMessageQueue queue;
        LinuxTerminal console(slave, term::ColorMode::truecolor);
        TimedTerminal terminal(console);
        terminal.stop_after = frames + 1;
        LinuxSleeper sleeper;
        LinuxFiles files;
        LinuxAudioLibrary audio(output);
        ScopedService<MessageQueue> s1(queue);
        ScopedService<Terminal> s2(terminal);
        ScopedService<Sleeper> s3(sleeper);
        ScopedService<Files> s4(files);
        ScopedService<AudioLibrary> s5(audio);
        PlayerSettings.use_console = true;
        run_demo();
        // Write 0 is the first frame before the sound starts; write w is
        // frame w - 1, due at w x 882 samples.
        for (std::size_t w = 1; w < terminal.clock_at_write.size(); ++w) {
            const std::int32_t due = static_cast<std::int32_t>(w) * frame_interval;
            lateness_ms.push_back((terminal.clock_at_write[w] - due) * 1000.0 / clock_rate);
        }
    }
    stop = true;
    drain.join();
    ::close(master);
    ::close(slave);
    fs::current_path(previous);
    fs::remove_all(dir);

    state.counters["frames"] = static_cast<double>(lateness_ms.size());
    state.counters["late_p50_ms"] = percentile(lateness_ms, 0.50);
    state.counters["late_p99_ms"] = percentile(lateness_ms, 0.99);
    state.counters["late_max_ms"] = *std::max_element(lateness_ms.begin(), lateness_ms.end());
    state.counters["late_min_ms"] = *std::min_element(lateness_ms.begin(), lateness_ms.end());
}

void BM_FramePunctuality(benchmark::State& state)
{
    measure_punctuality(state, {LinuxAudioLibrary::OutputChoice::null_only, {}});
}
BENCHMARK(BM_FramePunctuality)->Arg(500)->Iterations(1)->Unit(benchmark::kSecond);

// The same paced by SDL's dummy driver: a device with callbacks of its own,
// whose clock is estimated rather than known.
void BM_FramePunctualitySdlDummy(benchmark::State& state)
{
    measure_punctuality(state, {LinuxAudioLibrary::OutputChoice::sdl_only, "dummy"});
}
BENCHMARK(BM_FramePunctualitySdlDummy)->Arg(500)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vexl

BENCHMARK_MAIN();
