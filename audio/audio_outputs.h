#pragma once
// Where the engine's mix goes: a sound device of the system (SDL2's on
// Linux, waveOut on Windows), or, when there is none, a silent output that
// takes the mix in real time on a thread of its own so the clock still runs.

#include <memory>
#include <string>

#include "audio/audio_engine.h"

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

// The silent output at `rate` frames per second.
std::unique_ptr<AudioOutput> start_null_output(AudioEngine& engine, int rate);

}  // namespace vexl::platform
