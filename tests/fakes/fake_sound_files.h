#pragma once
// Sound files kept in memory: tests put decoded sounds in by path and read
// back what the code under test wrote.

#include <map>

#include "platform/sound_files.h"

namespace vexl::fakes {

class FakeSoundFiles : public platform::SoundFiles {
public:
    bool read_mono16(const std::string& path, platform::MonoSound& out, std::string& error) override
    {
        const auto it = files.find(path);
        if (it == files.end()) {
            error = "No such file or directory";
            return false;
        }
        out = it->second;
        return true;
    }

    // Files put in by path play as they are; the fake knows no damage.
    bool read_as_played(const std::string& path, platform::MonoSound& out, platform::PlayedSoundNotes& notes,
                        std::string& error) override
    {
        notes = {};
        return read_mono16(path, out, error);
    }

    bool write_wav_mono16(const std::string& path, std::span<const std::int16_t> samples,
                          int sample_rate, std::string& error) override
    {
        if (fail_writes) {
            error = "No space left on device";
            return false;
        }
        files[path] = {{samples.begin(), samples.end()}, sample_rate};
        return true;
    }
    bool write_flac_mono16(const std::string& path, std::span<const std::int16_t> samples,
                           int sample_rate, std::string& error) override
    {
        return write_wav_mono16(path, samples, sample_rate, error);
    }

    std::map<std::string, platform::MonoSound> files;  // by path
    bool fail_writes = false;
};

}  // namespace vexl::fakes
