#pragma once
// Decoding of sound files into signed 16-bit mono samples at the file's own
// rate, with libsndfile: WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3 and every
// other container it knows.

#include <string>

#include "audio/decoded_sound.h"

namespace vexl::platform {

// Decodes `path`. On `damaged`, `out` keeps what was read before the fault.
// `error` says what went wrong for anything but `ok`.
DecodeResult decode_sound_file(const char* path, DecodedSound& out, std::string& error);

// decode_as_played (audio/decoded_sound.h) with libsndfile's containers.
DecodeResult decode_as_played(const char* path, DecodedSound& out, std::string& error);

}  // namespace vexl::platform
