#pragma once
// Decoding of sound files into signed 16-bit mono samples at the file's own
// rate, with libsndfile: WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3 and every
// other container it knows.

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
    unrecognised,  // exists, but no container libsndfile knows
    damaged,       // recognised, but reading failed part-way
};

// The rate assumed for headerless data.
inline constexpr int raw_sample_rate = 22050;

// Decodes `path`. On `damaged`, `out` keeps what was read before the fault.
// `error` says what went wrong for anything but `ok`.
DecodeResult decode_sound_file(const char* path, DecodedSound& out, std::string& error);

// Reads the whole file as signed 16-bit little-endian mono samples at
// raw_sample_rate (an odd last byte is dropped). False if it can't be read.
bool read_raw_sound_file(const char* path, DecodedSound& out, std::string& error);

// Decodes `path` the way the audio library opens a stream: a container
// libsndfile knows, else headerless data (`out.raw`); a damaged file as far
// as it decodes. Returns ok, damaged (with what was read kept and `error`
// saying why) or missing (nothing can be played).
DecodeResult decode_as_played(const char* path, DecodedSound& out, std::string& error);

}  // namespace vexl::platform
