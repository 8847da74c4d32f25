#pragma once
// The demo's time base: the frames a second it shows and the rate of the
// sample clock that paces them, shared by the player, the tools and the
// soundtrack's synthesizer.

#include <cstdint>

namespace vexl {

inline constexpr std::int32_t frames_per_second = 25;
inline constexpr std::int32_t clock_rate = 22050;                              // samples per second
inline constexpr std::int32_t frame_interval = clock_rate / frames_per_second;  // 882 samples

}  // namespace vexl
