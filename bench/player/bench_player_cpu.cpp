// Whole-process cost of playing in a terminal: the real `vexlade` on a
// pseudo-terminal for 30 seconds of a moving demo with the silent audio
// output, then Ctrl+C. Reports its CPU time (all threads, user + system)
// as a share of one core, and the bytes it wrote per frame. VEXL_BENCH_VEXLADE
// names another build of the player to measure (an older one, side by side).

#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/player/sample_demo.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Reads what the player writes until `marker` shows up or `limit` passes.
bool read_until(int master, std::string& seen, const std::string& marker, std::uint64_t& bytes,
                Clock::duration limit)
{
    const auto end = Clock::now() + limit;
    while (seen.find(marker) == std::string::npos) {
        if (Clock::now() >= end)
            return false;
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0 || (p.revents & POLLIN) == 0)
            continue;
        char buffer[65536];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        bytes += static_cast<std::uint64_t>(n);
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.size() > (1u << 20))
            seen.erase(0, seen.size() - 4096);
    }
    return true;
}

enum class Content { plasma, calm, default_demo_busy, every_cell };

std::string default_demo_path()
{
    const char* path = std::getenv("VEXL_BENCH_DEMO");
    return path != nullptr ? path : VEXL_DEFAULT_DEMO;
}

void BM_TerminalRunCpu(benchmark::State& state)
{
    const int seconds = static_cast<int>(state.range(0));
    const auto content = static_cast<Content>(state.range(1));
    const int rows = static_cast<int>(state.range(2));  // below 50 the picture is scaled
    const fs::path dir = fs::temp_directory_path() / ("vexl-bench-cpu-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const int count = seconds * 25 + 100;
    bool written = false;
    switch (content) {
    case Content::plasma:
        written = bench::write_demo((dir / "ld_vexl.d1").string(), count, bench::plasma_frame);
        break;
    case Content::calm:
        written = bench::write_demo((dir / "ld_vexl.d1").string(), count, bench::scene_frame);
        break;
    case Content::every_cell:
        written = bench::write_demo((dir / "ld_vexl.d1").string(), count, bench::every_cell_frame);
        break;
    case Content::default_demo_busy: {
        // The plasma and the tunnel, from frame 1900 on.
        const auto frames = bench::file_frames(default_demo_path().c_str(), 1900 + count);
        if (frames.size() == static_cast<std::size_t>(1900 + count))
            written = bench::write_demo((dir / "ld_vexl.d1").string(), count,
                                        [&](int k) { return frames[static_cast<std::size_t>(1900 + k)]; });
        break;
    }
    }
    if (!written) {
        fs::remove_all(dir);
        state.SkipWithError("no demo to play (the default demo: VEXL_BENCH_DEMO or build/demo/ld_vexl.d1)");
        return;
    }
    std::ofstream(dir / "ld_vexl.d2", std::ios::binary) << std::string(44100u * 5, '\0');

    double cpu_seconds = 0, wall_seconds = 0, bytes_per_frame = 0;
    for (auto _ : state) {
        winsize ws{};
        ws.ws_row = static_cast<unsigned short>(rows);
        ws.ws_col = 80;
        int master = -1;
        const pid_t child = forkpty(&master, nullptr, nullptr, &ws);
        if (child == 0) {
            if (chdir(dir.c_str()) != 0)
                _exit(127);
            setenv("COLORTERM", "truecolor", 1);
            setenv("SDL_AUDIODRIVER", "none", 1);  // the silent output
            const char* other = std::getenv("VEXL_BENCH_VEXLADE");
            execl(other != nullptr ? other : VEXLADE_PATH, "vexlade", static_cast<char*>(nullptr));
            _exit(127);
        }
        std::string seen;
        std::uint64_t bytes = 0;
        read_until(master, seen, "[Y/n]", bytes, std::chrono::seconds(30));
        [[maybe_unused]] ssize_t n = ::write(master, "n\n", 2);
        read_until(master, seen, "Simulate PC-Speaker? [Y/n]", bytes, std::chrono::seconds(30));
        n = ::write(master, "n\n", 2);
        read_until(master, seen, "\x1b[?2026l", bytes, std::chrono::seconds(30));
        const std::uint64_t bytes_at_start = bytes;
        const auto start = Clock::now();
        read_until(master, seen, "never shows up", bytes, std::chrono::seconds(seconds));
        wall_seconds = std::chrono::duration<double>(Clock::now() - start).count();
        kill(child, SIGINT);
        read_until(master, seen, "\x1b[?1049l", bytes, std::chrono::seconds(10));
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        ::close(master);
        cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        bytes_per_frame = static_cast<double>(bytes - bytes_at_start) / (wall_seconds * 25);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the player did not end with exit code 0");
    }
    fs::remove_all(dir);
    state.counters["cpu_s"] = cpu_seconds;
    state.counters["wall_s"] = wall_seconds;
    state.counters["cpu_percent_of_core"] = 100.0 * cpu_seconds / wall_seconds;
    state.counters["bytes_per_frame"] = bytes_per_frame;
}

// The floor under any run: the playback loop sleeps 1 ms every pass, and
// those wake-ups alone cost this much of a core.
void BM_OneMillisecondSleepLoop(benchmark::State& state)
{
    const int seconds = static_cast<int>(state.range(0));
    double cpu_seconds = 0, wall_seconds = 0;
    for (auto _ : state) {
        rusage before{}, after{};
        getrusage(RUSAGE_THREAD, &before);
        const auto start = Clock::now();
        while (Clock::now() - start < std::chrono::seconds(seconds)) {
            timespec ms{0, 1000000};
            nanosleep(&ms, nullptr);
        }
        wall_seconds = std::chrono::duration<double>(Clock::now() - start).count();
        getrusage(RUSAGE_THREAD, &after);
        auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
        cpu_seconds = secs(after.ru_utime) - secs(before.ru_utime) + secs(after.ru_stime) - secs(before.ru_stime);
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpu_seconds / wall_seconds;
}

BENCHMARK(BM_OneMillisecondSleepLoop)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

// Seconds, the content (0 the plasma, nearly every cell changing every
// frame; 1 the calmer scene; 2 the default demo's busiest 30 seconds,
// frames 1900 to 2650; 3 every cell changing every frame), then the
// terminal's rows: 50 shows the cells as they are, 24 the picture scaled.
// The scaled view's cost is the ratio of a content's two runs.
BENCHMARK(BM_TerminalRunCpu)
    ->ArgNames({"s", "content", "rows"})
    ->Args({30, 2, 50})
    ->Args({30, 2, 24})
    ->Args({30, 3, 50})
    ->Args({30, 3, 24})
    ->Args({30, 0, 50})
    ->Args({30, 0, 24})
    ->Args({30, 1, 50})
    ->Args({30, 1, 24})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vexl

BENCHMARK_MAIN();
