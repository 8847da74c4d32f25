#pragma once
// WAV files decoded without the system's help: RIFF WAVE with integer PCM
// of 8, 16, 24 or 32 bits or IEEE float of 32 or 64 bits (plain or
// WAVE_FORMAT_EXTENSIBLE), any number of channels, averaged to mono the
// way the Linux decoder does (mix_down), so the same file gives the same
// samples on both platforms. Compressed WAV payloads are left to others.

#include <cstdint>
#include <span>
#include <string>

#include "audio/decoded_sound.h"

namespace vexl::platform {

// Decodes a whole file's bytes. ok; unrecognised for anything but RIFF
// WAVE in one of the encodings above; damaged (with what was read kept)
// for a format chunk that makes no sense or data cut short.
DecodeResult decode_wav(std::span<const std::uint8_t> file, DecodedSound& out, std::string& error);

// The same for a file by name; missing when it can't be read.
DecodeResult decode_wav_file(const char* path, DecodedSound& out, std::string& error);

}  // namespace vexl::platform
