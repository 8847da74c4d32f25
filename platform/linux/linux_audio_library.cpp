#include "platform/linux/linux_audio_library.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <optional>

#include "platform/linux/sdl_audio_drivers.h"
#include "platform/linux/sdl_audio_output.h"
#include "platform/linux/sdl_rate_converter.h"
#include "platform/linux/sound_decoder.h"

namespace vexl::platform {

LinuxAudioLibrary::LinuxAudioLibrary() : LinuxAudioLibrary(Options{}) {}

LinuxAudioLibrary::LinuxAudioLibrary(Options options)
    : EngineAudioLibrary(make_sdl_rate_converter), options_(std::move(options))
{
}

LinuxAudioLibrary::LinuxAudioLibrary(DeviceMaker device)
    : EngineAudioLibrary(make_sdl_rate_converter), device_(std::move(device))
{
}

LinuxAudioLibrary::~LinuxAudioLibrary()
{
    close();
}

std::unique_ptr<AudioOutput> LinuxAudioLibrary::open_device(AudioEngine& engine, int rate, std::string& why)
{
    if (device_)
        return device_(engine, rate);
    if (options_.output == OutputChoice::null_only)
        return nullptr;
    // The player handles SIGINT and SIGTERM itself; SDL must not.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
    const std::optional<std::string> drivers = sdl_audio_driver_hint(
        options_.sdl_driver, std::getenv(SDL_HINT_AUDIODRIVER),
        alsa_may_have_device(AlsaPlaces::of_this_system()), sdl_available_audio_drivers());
    // An empty list: no backend could play here, so SDL is not asked.
    if (drivers && drivers->empty()) {
        why = "no sound card, and no sound server SDL could reach";
        return nullptr;
    }
    if (drivers)
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, drivers->c_str(), SDL_HINT_OVERRIDE);
    std::unique_ptr<AudioOutput> output;
    // Only the audio subsystem, counted by SDL: the display may use SDL
    // too, and each side shuts down only what it started.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        sdl_audio_initialised_ = true;
        output = start_sdl_output(engine, rate, why);
    } else {
        why = SDL_GetError();
    }
    // The backend is chosen; a later SDL user starts from the user's own
    // setting again.
    if (drivers)
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!output)
        device_closed();
    return output;
}

bool LinuxAudioLibrary::silent_output_allowed() const
{
    return device_ || options_.output != OutputChoice::sdl_only;
}

void LinuxAudioLibrary::device_closed()
{
    if (sdl_audio_initialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdl_audio_initialised_ = false;
    }
}

DecodeResult LinuxAudioLibrary::decode(const char* path, DecodedSound& out, std::string& error)
{
    // Read as the tools read it too: without a container, headerless
    // signed 16-bit little-endian mono.
    return decode_as_played(path, out, error);
}

}  // namespace vexl::platform
