#pragma once
// Sound files for the tools: read any audio file as signed 16-bit mono at
// its own rate, write signed 16-bit mono WAV or FLAC. The decoding is the audio
// library's, so a tool hears a file exactly as the player would.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/service.h"

namespace vexl::platform {

struct MonoSound {
    std::vector<std::int16_t> samples;
    int sample_rate = 0;
};

// How read_as_played found the file.
struct PlayedSoundNotes {
    bool raw = false;    // no container: read as headerless data
    std::string damage;  // why decoding stopped early; empty when it did not
};

class SoundFiles {
public:
    virtual ~SoundFiles() = default;

    // Decodes a file in any container the platform knows, channels averaged.
    // False, with a reason in `error`, if it is missing, not a sound file,
    // or damaged.
    virtual bool read_mono16(const std::string& path, MonoSound& out, std::string& error) = 0;

    // Reads a file exactly as the player's audio library opens its
    // soundtrack: any container the platform knows, anything else as
    // headerless signed 16-bit little-endian mono at 22050 Hz, a damaged
    // file as far as it decodes (`notes` says so). False, with a reason in
    // `error`, only when the file cannot be opened at all.
    virtual bool read_as_played(const std::string& path, MonoSound& out, PlayedSoundNotes& notes,
                                std::string& error) = 0;

    // Writes `samples` as a 16-bit PCM mono WAV file at `sample_rate`.
    // False, with a reason in `error`, if it could not be written whole.
    virtual bool write_wav_mono16(const std::string& path, std::span<const std::int16_t> samples,
                                  int sample_rate, std::string& error) = 0;
    // The same as FLAC, compressed as far as it goes: every sample kept, in
    // about three quarters of the WAV file's size for the default demo.
    virtual bool write_flac_mono16(const std::string& path, std::span<const std::int16_t> samples,
                                   int sample_rate, std::string& error) = 0;
};

inline SoundFiles& sound_files() { return service<SoundFiles>(); }

}  // namespace vexl::platform
