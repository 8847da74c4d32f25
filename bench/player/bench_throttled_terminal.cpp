// The console on a slow terminal: a pseudo-terminal whose other side takes
// R bytes a second (banking up to 20 ms of it while idle, as a shaper's
// burst does), keeps a screen of what it took and answers status requests
// once it has taken everything before them. The console is fed
// frames in which every cell changes, at 25 a second, by a loop shaped as
// the player's (a 1 ms pump, at most one frame per pass when one is due).
//
// Reported: the lag between the frame the terminal has on its screen and
// the frame the clock is at, sampled every 10 ms after the first 2 s
// (p50, p95, max, and p95 of the last third of the run: it must not grow),
// frames shown and skipped, and bytes per frame. The goal is p95 lag <=
// max(3 frame periods, 2 x the time one frame takes at R).
//
// The second argument 1 runs the old way instead, as a baseline: every
// frame painted and written with a blocking write, the loop waiting in it.
// The third holds each answer back that many milliseconds: a distant
// terminal, whose round trip the link must not stand idle for.
// VEXL_BENCH_SECONDS sets the length of each run (default 12).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/fd_write.h"
#include "term/frame_painter.h"
#include "platform/linux/linux_terminal.h"
#include "platform/thread_message_queue.h"
#include "tests/support/vt_screen.h"

namespace vexl {
namespace {

using Clock = std::chrono::steady_clock;
using platform::CharInfo;
using namespace std::chrono_literals;

constexpr auto frame_period = 40ms;

// Every cell changes from any frame to any other less than 1024 frames
// away, not only to the next: the console sends the difference to
// whichever frame went last, and a frame that left some cells alone would
// go faster than the goal assumes. Cell (i, j) of frame k shows look 3i + j + k of 1024
// looks that differ in character (four that show both colours), foreground
// or background; the frame's number is written in its top-left corner.
std::vector<CharInfo> moving_frame(int k)
{
    static const std::uint16_t glyphs[4] = {0xB0, 0xB1, 0xB2, 0xFE};
    std::vector<CharInfo> cells(4000);
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j) {
            const int look = (i * 3 + j + k) % 1024;
            cells[static_cast<std::size_t>(i * 80 + j)] =
                CharInfo{glyphs[look % 4], static_cast<std::uint16_t>((look / 4) % 16 | ((look / 64) << 4))};
        }
    const std::string number = std::to_string(100000 + k).substr(1);
    for (int j = 0; j < 5; ++j)
        cells[static_cast<std::size_t>(j)] = CharInfo{static_cast<std::uint16_t>(number[static_cast<std::size_t>(j)]), 0x0F};
    return cells;
}

// The far side of the pseudo-terminal.
class SlowTerminal {
public:
    // `round_trip`: how long the answers take to come back (all of it on
    // the way back, which is the same to the pacing).
    SlowTerminal(int master, double bytes_per_second, Clock::duration round_trip)
        : master_(master), rate_(bytes_per_second), round_trip_(round_trip)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~SlowTerminal() { stop(); }

    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    // The frame number on the screen after each whole frame the terminal took.
    struct Shown {
        Clock::time_point at;
        int frame;
    };
    std::vector<Shown> shown()
    {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    void run()
    {
        const std::string frame_end = "\x1b[?2026l";
        std::string pending;
        double allowance = 0;
        auto last = Clock::now();
        int answered = 0;
        std::deque<Clock::time_point> answers;  // when each is due back
        while (!stop_) {
            for (; !answers.empty() && answers.front() <= Clock::now(); answers.pop_front())
                platform::write_all(master_, "\x1b[0n", 4);
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 2) <= 0 || (p.revents & POLLIN) == 0)
                continue;
            std::size_t take = sizeof buffer_;
            if (rate_ > 0) {
                const auto now = Clock::now();
                allowance = std::min(allowance + rate_ * std::chrono::duration<double>(now - last).count(), rate_ * 0.02);
                last = now;
                if (allowance < 1) {
                    std::this_thread::sleep_for(2ms);
                    continue;
                }
                take = std::min(take, static_cast<std::size_t>(allowance));
            }
            const ssize_t n = ::read(master_, buffer_, take);
            if (n <= 0)
                continue;
            allowance -= static_cast<double>(n);
            pending.append(buffer_, static_cast<std::size_t>(n));
            // Whole frames are looked at; the rest waits for more.
            for (std::size_t end; (end = pending.find(frame_end)) != std::string::npos;) {
                screen_.feed(std::string_view(pending).substr(0, end + frame_end.size()));
                pending.erase(0, end + frame_end.size());
                note_frame();
            }
            // Only what may be the start of a frame's end waits.
            std::size_t keep = std::min(pending.size(), frame_end.size() - 1);
            while (keep > 0 && pending.compare(pending.size() - keep, keep, frame_end, 0, keep) != 0)
                --keep;
            screen_.feed(std::string_view(pending).substr(0, pending.size() - keep));
            pending.erase(0, pending.size() - keep);
            for (; answered < screen_.status_requests; ++answered)
                answers.push_back(Clock::now() + round_trip_);
        }
    }

    void note_frame()
    {
        int frame = 0;
        for (int j = 0; j < 5; ++j) {
            const char32_t c = screen_.at(0, j).ch;
            if (c < U'0' || c > U'9')
                return;
            frame = frame * 10 + static_cast<int>(c - U'0');
        }
        std::lock_guard lock(mutex_);
        shown_.push_back({Clock::now(), frame});
    }

    int master_;
    double rate_;  // 0: as fast as it can
    Clock::duration round_trip_;
    testing::VtScreen screen_{50, 80};
    char buffer_[65536];
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Shown> shown_;
    std::thread thread_;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void BM_ThrottledTerminal(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0)) * 1000;
    const bool blocking = state.range(1) != 0;
    const auto round_trip = std::chrono::milliseconds(state.range(2));
    const char* seconds_text = std::getenv("VEXL_BENCH_SECONDS");
    const auto run_time = std::chrono::seconds(seconds_text != nullptr ? std::atoi(seconds_text) : 12);
    for (auto _ : state) {
        winsize ws{};
        ws.ws_row = 50;
        ws.ws_col = 80;
        int master = -1, slave = -1;
        if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        SlowTerminal far_side(master, rate, round_trip);
        platform::LinuxTerminal console(slave, term::ColorMode::truecolor);
        platform::ThreadMessageQueue queue;
        platform::ConsoleHandle out = nullptr;
        term::FramePainter painter(term::ColorMode::truecolor);
        std::string bytes;
        std::uint64_t blocking_bytes = 0;
        if (blocking) {
            painter.set_screen_size(50, 80);
        } else {
            console.alloc_console();
            out = console.get_std_handle(platform::StdHandle::output);
            console.set_screen_buffer_size(out, platform::Coord{80, 50});
        }

        const auto start = Clock::now();
        int presented = 0;
        for (auto now = start; now - start < run_time; now = Clock::now()) {
            if (!blocking)
                console.pump(queue);
            std::this_thread::sleep_for(1ms);
            const int due = static_cast<int>((Clock::now() - start) / frame_period) + 1;
            if (presented >= due)
                continue;
            const std::vector<CharInfo> frame = moving_frame(presented);
            if (blocking) {
                painter.begin(bytes);
                for (int i = 0; i < 4000; ++i)
                    painter.put(i / 80, i % 80, static_cast<std::uint8_t>(frame[static_cast<std::size_t>(i)].ch),
                                static_cast<std::uint8_t>(frame[static_cast<std::size_t>(i)].attributes));
                painter.end();
                platform::write_all(slave, bytes.data(), bytes.size());
                blocking_bytes += bytes.size();
            } else {
                platform::SmallRect region{0, 0, 79, 49};
                console.write_output(out, frame.data(), platform::Coord{80, 50}, platform::Coord{0, 0}, region);
            }
            ++presented;
        }
        const auto end = Clock::now();
        const platform::LinuxTerminal::Counts counts = console.counts();
        far_side.stop();  // before the console gives the terminal back
        if (!blocking)
            console.free_console();
        ::close(master);
        ::close(slave);

        // The lag as the user sees it, sampled every 10 ms.
        const std::vector<SlowTerminal::Shown> shown = far_side.shown();
        if (std::getenv("VEXL_BENCH_TRACE") != nullptr)
            for (const auto& s : shown)
                std::fprintf(stderr, "%8.3f s: frame %d (due %.3f s)\n", std::chrono::duration<double>(s.at - start).count(),
                             s.frame, s.frame * 0.04);
        std::vector<double> lags, late_lags;
        std::size_t at = 0;
        int on_screen = -1;
        for (auto t = start + 2s; t < end; t += 10ms) {
            while (at < shown.size() && shown[at].at <= t)
                on_screen = shown[at++].frame;
            const double due_at = std::chrono::duration<double, std::milli>(on_screen * frame_period).count();
            const double lag = on_screen < 0 ? std::chrono::duration<double, std::milli>(t - start).count()
                                             : std::chrono::duration<double, std::milli>(t - start).count() - due_at;
            lags.push_back(lag);
            if (t - start > run_time * 2 / 3)
                late_lags.push_back(lag);
        }
        const double bytes_sent = static_cast<double>(blocking ? blocking_bytes : counts.bytes);
        const double frames_shown = blocking ? static_cast<double>(presented) : static_cast<double>(counts.frames_shown);
        state.counters["lag_p50_ms"] = percentile(lags, 0.5);
        state.counters["lag_p95_ms"] = percentile(lags, 0.95);
        state.counters["lag_max_ms"] = percentile(lags, 1.0);
        state.counters["lag_p95_last_third_ms"] = percentile(late_lags, 0.95);
        state.counters["shown"] = frames_shown;
        state.counters["skipped"] = blocking ? 0 : static_cast<double>(counts.frames_skipped);
        state.counters["due"] = static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(end - start) / frame_period);
        state.counters["bytes_per_frame"] = frames_shown > 0 ? bytes_sent / frames_shown : 0;
        if (rate > 0 && frames_shown > 0) {
            const double transmit_ms = 1000 * bytes_sent / frames_shown / rate;
            state.counters["goal_p95_ms"] = std::max(3.0 * 40, 2 * transmit_ms);
        }
    }
}

// kB/s (0: as fast as the terminal takes it), 1 for the blocking baseline,
// and the answers' round trip in ms (a distant terminal).
BENCHMARK(BM_ThrottledTerminal)
    ->ArgNames({"kBps", "blocking", "rtt_ms"})
    ->Args({8, 0, 0})
    ->Args({8, 1, 0})
    ->Args({30, 0, 0})
    ->Args({30, 1, 0})
    ->Args({120, 0, 0})
    ->Args({120, 1, 0})
    ->Args({0, 0, 0})
    ->Args({0, 1, 0})
    ->Args({30, 0, 60})
    ->Args({120, 0, 60})
    ->Args({0, 0, 60})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace vexl

BENCHMARK_MAIN();
