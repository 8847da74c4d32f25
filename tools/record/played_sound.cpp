#include "tools/record/played_sound.h"

#include <algorithm>

#include "audio/speaker_sim.h"
#include "player/launcher.h"

namespace vexl::record {
namespace {

// The simulation's result does not depend on the block size.
constexpr std::size_t speaker_block = 4096;

}  // namespace

std::int64_t frame_start_sample(std::int64_t frame, int rate) { return frame * rate / frames_per_second; }

std::vector<std::int16_t> played_sound(std::vector<std::int16_t> samples, int rate, std::int64_t end_frame,
                                       bool speaker)
{
    samples.resize(static_cast<std::size_t>(frame_start_sample(end_frame, rate)), 0);
    if (speaker) {
        speaker_sim_reset();
        for (std::size_t at = 0; at < samples.size(); at += speaker_block) {
            const std::size_t n = std::min(speaker_block, samples.size() - at);
            speaker_sim_dsp(nullptr, samples.data() + at, static_cast<int>(n), nullptr);
        }
    }
    return samples;
}

}  // namespace vexl::record
