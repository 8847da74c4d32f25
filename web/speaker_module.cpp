// The browser player's speaker module (WebAssembly): the player's PC-speaker
// simulation, run by the page's audio worklet on the soundtrack's 16-bit
// samples, one render quantum at a time. Its state carries from call to
// call as it does from block to block in the player.

#include <cstdint>

#include "audio/speaker_sim.h"

namespace {

constexpr int most_samples = 4096;
std::int16_t samples[most_samples];

}  // namespace

extern "C" {

// Where the worklet puts up to speaker_capacity() samples before a call of
// speaker_process.
std::int16_t* speaker_buffer() { return samples; }
std::int32_t speaker_capacity() { return most_samples; }

// Runs the simulation over the first `count` samples of the buffer in place.
void speaker_process(std::int32_t count)
{
    if (count > 0 && count <= most_samples)
        vexl::speaker_sim_dsp(nullptr, samples, count, nullptr);
}

// Back to rest, as at the player's start.
void speaker_restart() { vexl::speaker_sim_reset(); }

}  // extern "C"
