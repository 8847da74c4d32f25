#pragma once
// The engine's mix through the system's sound (waveOut, which Windows
// plays through its audio engine). The heard position is the device's own
// play position, so the frames follow what is heard.

#include <memory>
#include <string>

#include "audio/audio_outputs.h"

namespace vexl::platform {

// Opens the default sound device at `rate` (or, if it refuses that, a
// common rate the engine converts to) and starts it pulling from `engine`.
// Null, with the reason in `why`, when there is no device.
std::unique_ptr<AudioOutput> start_wave_output(AudioEngine& engine, int rate, std::string& why);

}  // namespace vexl::platform
