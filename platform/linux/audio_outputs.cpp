#include "platform/linux/audio_outputs.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vexl::platform {
namespace {

class SdlOutput final : public AudioOutput {
public:
    explicit SdlOutput(AudioEngine& engine) : engine_(engine) {}
    ~SdlOutput() override { stop(); }
    SdlOutput(const SdlOutput&) = delete;
    SdlOutput& operator=(const SdlOutput&) = delete;

    bool open(int wanted_rate, std::string& why)
    {
        SDL_AudioSpec want{};
        want.freq = wanted_rate;
        want.format = AUDIO_S16SYS;
        want.channels = 1;
        // 20 to 40 ms, a power of two as SDL expects: drivers round other
        // sizes up for their own pacing while still asking for the size
        // given, and then take fewer frames per second than their rate
        // (SDL's dummy driver: 441 frames every 23 ms, 14% slow).
        want.samples = static_cast<Uint16>(
            std::bit_ceil(static_cast<unsigned>(std::clamp(wanted_rate / 50, 64, 8192))));
        want.callback = &SdlOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // The device's own rate; SDL converts format and channels to it.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device_ == 0) {
            why = SDL_GetError();
            return false;
        }
        engine_.set_output(have.freq, have.samples);
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void stop() override
    {
        if (device_ != 0) {
            SDL_CloseAudioDevice(device_);  // returns once the callback has finished
            device_ = 0;
        }
    }
    const char* name() const override { return "sdl"; }
    // SDL stops a device it has lost for good; this one is never paused.
    bool lost() const override
    {
        return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
    }

private:
    static void SDLCALL callback(void* self, Uint8* stream, int len)
    {
        static_cast<SdlOutput*>(self)->engine_.render(
            reinterpret_cast<std::int16_t*>(stream), len / static_cast<int>(sizeof(std::int16_t)));
    }

    AudioEngine& engine_;
    SDL_AudioDeviceID device_ = 0;
};

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

std::unique_ptr<AudioOutput> start_sdl_output(AudioEngine& engine, int wanted_rate,
                                              std::string& why)
{
    auto output = std::make_unique<SdlOutput>(engine);
    if (!output->open(wanted_rate, why))
        return nullptr;
    return output;
}

std::unique_ptr<AudioOutput> start_null_output(AudioEngine& engine, int rate)
{
    engine.set_output(rate, static_cast<std::int64_t>(NullOutput::lead_blocks) *
                                NullOutput::block_frames(rate));
    return std::make_unique<NullOutput>(engine, rate);
}

}  // namespace vexl::platform
