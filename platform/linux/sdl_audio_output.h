#pragma once
// The engine's mix through an SDL2 audio device, at the device's own rate.

#include <memory>
#include <string>

#include "audio/audio_outputs.h"

namespace vexl::platform {

// Opens the default SDL2 device (the audio subsystem must be initialised)
// and starts it pulling from `engine`. Null, with the reason in `why`, if
// no device can be opened.
std::unique_ptr<AudioOutput> start_sdl_output(AudioEngine& engine, int wanted_rate,
                                              std::string& why);

}  // namespace vexl::platform
