#pragma once
// The default soundtrack of the default demo, made by the project's own
// synthesizer: 706 seconds of music in A minor at 125 beats per minute,
// mono, signed 16-bit, 22050 Hz (exactly soundtrack_samples samples).
//
// Deterministic: integer arithmetic only, one thread, no time or random
// source, so every run on every machine gives the same bytes. Its timing
// plan (beats, bars, sections, drum hits) is in score.h.

#include <cstdint>
#include <vector>

#include "tools/synth/score.h"

namespace vexl::synth {

std::vector<std::int16_t> render_default_soundtrack();

}  // namespace vexl::synth
