#include "audio/audio_outputs.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vexl::platform {
namespace {

class NullOutput final : public AudioOutput {
public:
    // Blocks of 20 ms: the clock is interpolated between blocks, so their
    // size does not make it coarser, and every wake-up of this thread costs
    // (at 5 ms blocks it took a fifth of a terminal run's processor time).
    static constexpr int blocks_per_second = 50;
    // The output works this many blocks ahead of the position it reports,
    // like a device's buffer: its thread may wake up that late (40 ms) on a
    // busy machine before the clock has to wait for it.
    static constexpr int lead_blocks = 3;

    static int block_frames(int rate) { return std::max(1, rate / blocks_per_second); }

    NullOutput(AudioEngine& engine, int rate) : engine_(engine), rate_(rate)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~NullOutput() override { stop(); }
    NullOutput(const NullOutput&) = delete;
    NullOutput& operator=(const NullOutput&) = delete;

    void stop() override
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    const char* name() const override { return "null"; }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        const int block = block_frames(rate_);
        std::vector<std::int16_t> sink(static_cast<std::size_t>(block));
        // Each block has a due time on an absolute schedule (frames so far /
        // rate), and the clock is told that time rather than when the thread
        // woke up: late wake-ups neither accumulate into drift nor show as
        // jitter.
        Clock::time_point start = Clock::now();
        std::int64_t frames = 0;
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            auto due = start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(static_cast<double>(frames) / rate_));
            if (wake_.wait_until(lock, due, [this] { return stopping_; }))
                break;
            lock.unlock();
            // After a long stall (suspended process, debugger) the lost time
            // is skipped rather than raced through.
            const auto now = Clock::now();
            if (now - due > std::chrono::milliseconds(500)) {
                start = now - std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(static_cast<double>(frames) / rate_));
                due = now;
            }
            engine_.render(sink.data(), block, due);
            frames += block;
            lock.lock();
        }
    }

    AudioEngine& engine_;
    const int rate_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> start_null_output(AudioEngine& engine, int rate)
{
    engine.set_output(rate, static_cast<std::int64_t>(NullOutput::lead_blocks) *
                                NullOutput::block_frames(rate));
    return std::make_unique<NullOutput>(engine, rate);
}

}  // namespace vexl::platform
