#pragma once
// Sample-rate conversion by SDL2's audio streams, for the audio engine.

#include "audio/rate_converter.h"

namespace vexl::platform {

std::unique_ptr<RateConverter> make_sdl_rate_converter(int from_rate, int to_rate);

}  // namespace vexl::platform
