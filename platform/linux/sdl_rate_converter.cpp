#include "platform/linux/sdl_rate_converter.h"

#include <SDL2/SDL_audio.h>

#include <algorithm>

namespace vexl::platform {
namespace {

class SdlRateConverter final : public RateConverter {
public:
    explicit SdlRateConverter(SDL_AudioStream* stream) : stream_(stream) {}
    ~SdlRateConverter() override { SDL_FreeAudioStream(stream_); }
    SdlRateConverter(const SdlRateConverter&) = delete;
    SdlRateConverter& operator=(const SdlRateConverter&) = delete;

    void put(const std::int16_t* samples, int count) override
    {
        SDL_AudioStreamPut(stream_, samples, count * static_cast<int>(sizeof(std::int16_t)));
    }
    int available() const override
    {
        return SDL_AudioStreamAvailable(stream_) / static_cast<int>(sizeof(std::int16_t));
    }
    int get(std::int16_t* out, int count) override
    {
        const int got = SDL_AudioStreamGet(stream_, out, count * static_cast<int>(sizeof(std::int16_t)));
        return std::max(0, got) / static_cast<int>(sizeof(std::int16_t));
    }

private:
    SDL_AudioStream* stream_;
};

}  // namespace

std::unique_ptr<RateConverter> make_sdl_rate_converter(int from_rate, int to_rate)
{
    SDL_AudioStream* stream = SDL_NewAudioStream(AUDIO_S16SYS, 1, from_rate, AUDIO_S16SYS, 1, to_rate);
    if (stream == nullptr)
        return nullptr;
    return std::make_unique<SdlRateConverter>(stream);
}

}  // namespace vexl::platform
