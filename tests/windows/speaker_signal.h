#pragma once
// The signal both builds put through the PC-speaker simulation: a sweep
// over every 16-bit value and some noise, in the audio engine's blocks.

#include <cstdint>
#include <vector>

#include "audio/speaker_sim.h"

namespace vexl::testing {

inline std::vector<std::int16_t> speaker_signal()
{
    std::vector<std::int16_t> signal;
    for (int v = -32768; v < 32768; v += 7)
        signal.push_back(static_cast<std::int16_t>(v));
    std::uint32_t seed = 706;
    for (int i = 0; i < 50000; ++i)
        signal.push_back(static_cast<std::int16_t>((seed = seed * 1664525 + 1013904223) >> 16));
    return signal;
}

inline void simulate_speaker(std::vector<std::int16_t>& samples)
{
    constexpr std::size_t block = 512;
    for (std::size_t at = 0; at < samples.size(); at += block) {
        const int length = static_cast<int>(std::min(block, samples.size() - at));
        speaker_sim_dsp(samples.data() + at, samples.data() + at, length, nullptr);
    }
}

}  // namespace vexl::testing
