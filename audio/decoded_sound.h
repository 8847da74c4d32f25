#pragma once
// A sound file decoded for the audio engine: signed 16-bit mono samples at
// the file's own rate. What the decoders of both platforms share: the
// result, the headerless fallback, the mix-down of channels, and the order
// in which the audio library tries them.

#include <cstdint>
#include <string>
#include <vector>

namespace vexl::platform {

struct DecodedSound {
    std::vector<std::int16_t> samples;  // mono, channels averaged
    int sample_rate = 0;
    bool raw = false;  // read as headerless data
};

enum class DecodeResult {
    ok,
    missing,       // cannot be opened (absent, no permission, a directory)
    unrecognised,  // exists, but in no container the decoder knows
    damaged,       // recognised, but reading failed part-way
};

// The rate assumed for headerless data.
inline constexpr int raw_sample_rate = 22050;

// The mean of one frame's channels, given as 32-bit samples (a 16-bit
// sample in the upper half), brought back to 16 bits. Floor division keeps
// mono files bit-exact.
std::int16_t mix_down(const std::int32_t* frame, int channels);

// A sample of full scale +-1 (as floating-point files hold them, and as
// integer samples read as such) as 32 bits; beyond full scale saturated,
// not-a-number the lowest. Integer samples of up to 32 bits come back
// exactly.
std::int32_t from_full_scale(double sample);

// Reads the whole file as signed 16-bit little-endian mono samples at
// raw_sample_rate (an odd last byte is dropped). False if it can't be read.
bool read_raw_sound_file(const char* path, DecodedSound& out, std::string& error);

// Decodes a file in the containers a platform knows.
using ContainerDecoder = DecodeResult (*)(const char* path, DecodedSound& out, std::string& error);

// Decodes `path` the way the audio library opens a stream: a container the
// decoder knows, else headerless data (`out.raw`); a damaged file as far as
// it decodes. Returns ok, damaged (with what was read kept and `error`
// saying why) or missing (nothing can be played).
DecodeResult decode_as_played(const char* path, DecodedSound& out, std::string& error,
                              ContainerDecoder containers);

}  // namespace vexl::platform
