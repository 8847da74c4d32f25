#pragma once
// Sound files through libsndfile.

#include "platform/sound_files.h"

namespace vexl::platform {

class LinuxSoundFiles final : public SoundFiles {
public:
    bool read_mono16(const std::string& path, MonoSound& out, std::string& error) override;
    bool read_as_played(const std::string& path, MonoSound& out, PlayedSoundNotes& notes,
                        std::string& error) override;
    bool write_wav_mono16(const std::string& path, std::span<const std::int16_t> samples,
                          int sample_rate, std::string& error) override;
    bool write_flac_mono16(const std::string& path, std::span<const std::int16_t> samples,
                           int sample_rate, std::string& error) override;
};

}  // namespace vexl::platform
