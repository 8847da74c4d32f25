#include "platform/linux/sdl_audio_output.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <bit>

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

}  // namespace

std::unique_ptr<AudioOutput> start_sdl_output(AudioEngine& engine, int wanted_rate,
                                              std::string& why)
{
    auto output = std::make_unique<SdlOutput>(engine);
    if (!output->open(wanted_rate, why))
        return nullptr;
    return output;
}

}  // namespace vexl::platform
