#pragma once
// The soundtrack: the demo's music, played as a stream through the audio
// library, and the player's only clock. The playback loop reads
// `sample_clock()` to know which frame is due and when the demo is over.

#include <cstdint>

#include "platform/audio_library.h"

namespace vexl {

inline constexpr const char* soundtrack_file_name = "ld_vexl.d2";  // in the current directory

// What the soundtrack asks of the library.
inline constexpr int soundtrack_mixing_rate = 22050;  // also the clock's samples per second
inline constexpr int soundtrack_software_channels = 1;
inline constexpr unsigned soundtrack_init_flags = platform::FSOUND_INIT_GLOBALFOCUS;  // 2
inline constexpr unsigned soundtrack_mode = platform::soundtrack_open_mode;          // 0x130
inline constexpr int soundtrack_open_length = 0;
inline constexpr int speaker_dsp_priority = 0;
inline constexpr int soundtrack_channel = 0;

// The open stream; null until soundtrack_start, null also if the open failed.
extern platform::AudioStreamHandle soundtrack_stream;

// Initialises the library, opens the soundtrack, attaches the speaker
// simulation when PlayerSettings asks for it, and starts playing. The
// library's results are not examined: a missing soundtrack leaves a null
// stream and the clock reads whatever the library says for it.
void soundtrack_start();

// The play position in samples at 22050 Hz.
std::int32_t sample_clock();

// Closes the stream, then the library.
void soundtrack_stop();

// Milliseconds to samples at 22050 Hz: 64-bit product, quotient truncated
// toward zero, low 32 bits kept. The product would overflow 32 bits after
// about 97 seconds.
constexpr std::int32_t samples_from_ms(std::int32_t ms)
{
    const std::int64_t product = static_cast<std::int64_t>(ms) * soundtrack_mixing_rate;
    return static_cast<std::int32_t>(product / 1000);
}

}  // namespace vexl
