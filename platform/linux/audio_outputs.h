#pragma once
// Where the engine's mix goes: an SDL2 audio device at the device's own
// rate, or, when there is none, a silent output that takes the mix in real
// time on a thread of its own so the clock still runs.

#include <memory>
#include <string>

#include "platform/linux/audio_engine.h"

namespace vexl::platform {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Stops pulling; when this returns, render() is no longer running.
    virtual void stop() = 0;
    virtual const char* name() const = 0;
    // The device went away (unplugged, its sound server gone): it pulls no
    // more, and the play position would stand still.
    virtual bool lost() const { return false; }
};

// Opens the default SDL2 device (the audio subsystem must be initialised)
// and starts it pulling from `engine`. Null, with the reason in `why`, if
// no device can be opened.
std::unique_ptr<AudioOutput> start_sdl_output(AudioEngine& engine, int wanted_rate,
                                              std::string& why);

// The silent output at `rate` frames per second.
std::unique_ptr<AudioOutput> start_null_output(AudioEngine& engine, int rate);

}  // namespace vexl::platform
