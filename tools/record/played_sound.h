#pragma once
// The soundtrack as the player plays it under the frames: its samples,
// silence once they run out, and through the PC-speaker simulation when
// asked, which the player runs from the first sample on.

#include <cstdint>
#include <vector>

namespace vexl::record {

// The first sample of frame `frame` at `rate` samples per second: frame k
// starts at k / 25 s, so at 882 k for the soundtrack's 22050 Hz.
std::int64_t frame_start_sample(std::int64_t frame, int rate);

// The samples heard under frames [0, end_frame): `samples` cut or padded
// with silence to frame_start_sample(end_frame, rate), then simulated
// through the speaker if `speaker` (the simulation starts from rest).
std::vector<std::int16_t> played_sound(std::vector<std::int16_t> samples, int rate, std::int64_t end_frame,
                                       bool speaker);

}  // namespace vexl::record
