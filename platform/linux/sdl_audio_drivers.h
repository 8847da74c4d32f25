#pragma once
// Which of SDL2's audio backends to offer it.
//
// Left to itself SDL settles on ALSA whenever libasound loads, sound card
// or not. On a machine without one (servers, CI, most containers) opening
// the device then makes libasound print a dozen "ALSA lib ... cannot find
// card '0'" lines to stderr before it fails. Without any ALSA device we
// therefore offer SDL only the backends that can play without one (sound
// servers such as PulseAudio and PipeWire, which may well be reachable),
// and a user's own SDL_AUDIODRIVER always wins.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vexl::platform {

// Where ALSA's devices and configuration show. The defaults are the real
// system's; tests point them at a scratch directory.
struct AlsaPlaces {
    std::filesystem::path cards = "/proc/asound/cards";
    std::filesystem::path device_dir = "/dev/snd";
    // Files whose presence means someone set ALSA up by hand, possibly to
    // route to a software device that needs no card.
    std::vector<std::filesystem::path> configs;

    // The real system's places, configuration files from the environment
    // (ALSA_CONFIG_PATH, HOME, XDG_CONFIG_HOME).
    static AlsaPlaces of_this_system();
};

// True when ALSA may have something to play on: a card is listed, a PCM
// device node exists, or ALSA has a hand-written configuration.
bool alsa_may_have_device(const AlsaPlaces& places);

// The backends of `available` (in SDL's own order) that reach no sound
// hardware through ALSA and that SDL would try on its own, comma-separated
// as SDL's driver hint takes them. Empty when none is left.
std::string sdl_drivers_without_alsa(const std::vector<std::string>& available);

// The driver hint to give SDL while it picks its audio backend, or nothing
// to leave SDL's own choice alone; an empty hint means no backend is worth
// trying. `requested`: a driver the program asks for (empty: none);
// `user_choice`: the SDL_AUDIODRIVER environment value (null: unset).
std::optional<std::string> sdl_audio_driver_hint(const std::string& requested, const char* user_choice,
                                                 bool alsa_device,
                                                 const std::vector<std::string>& available);

// SDL's compiled-in audio backends, in the order it tries them.
std::vector<std::string> sdl_available_audio_drivers();

}  // namespace vexl::platform
