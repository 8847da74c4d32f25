#include "platform/linux/linux_sound_files.h"

#include <sndfile.h>

#include "platform/linux/sound_decoder.h"

namespace vexl::platform {
namespace {

// 16-bit PCM mono in the libsndfile container `container` (WAV, FLAC).
bool write_mono16(const std::string& path, std::span<const std::int16_t> samples, int sample_rate,
                  int container, std::string& error)
{
    if (sample_rate <= 0) {
        error = "invalid sample rate";
        return false;
    }
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = 1;
    info.format = container | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = sf_strerror(nullptr);
        return false;
    }
    double strongest = 1.0;  // ignored by uncompressed containers
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &strongest, sizeof strongest);
    const auto count = static_cast<sf_count_t>(samples.size());
    const sf_count_t written = sf_write_short(file, samples.data(), count);
    bool ok = written == count;
    if (!ok)
        error = sf_strerror(file);
    if (sf_close(file) != 0 && ok) {
        error = "cannot finish writing the file";
        ok = false;
    }
    return ok;
}

}  // namespace

bool LinuxSoundFiles::read_mono16(const std::string& path, MonoSound& out, std::string& error)
{
    DecodedSound sound;
    switch (decode_sound_file(path.c_str(), sound, error)) {
    case DecodeResult::ok:
        out.samples = std::move(sound.samples);
        out.sample_rate = sound.sample_rate;
        return true;
    case DecodeResult::missing:
        return false;
    case DecodeResult::unrecognised:
        error = "not a sound file libsndfile can read (" + error + ")";
        return false;
    case DecodeResult::damaged:
        error = "damaged sound file (" + error + ")";
        return false;
    }
    return false;
}

bool LinuxSoundFiles::read_as_played(const std::string& path, MonoSound& out, PlayedSoundNotes& notes,
                                     std::string& error)
{
    DecodedSound sound;
    std::string problem;
    const DecodeResult result = decode_as_played(path.c_str(), sound, problem);
    if (result == DecodeResult::missing) {
        error = problem;
        return false;
    }
    notes = {};
    notes.raw = sound.raw;
    if (result == DecodeResult::damaged)
        notes.damage = problem;
    out.samples = std::move(sound.samples);
    out.sample_rate = sound.sample_rate;
    return true;
}

bool LinuxSoundFiles::write_wav_mono16(const std::string& path,
                                       std::span<const std::int16_t> samples, int sample_rate,
                                       std::string& error)
{
    return write_mono16(path, samples, sample_rate, SF_FORMAT_WAV, error);
}

bool LinuxSoundFiles::write_flac_mono16(const std::string& path,
                                        std::span<const std::int16_t> samples, int sample_rate,
                                        std::string& error)
{
    return write_mono16(path, samples, sample_rate, SF_FORMAT_FLAC, error);
}

}  // namespace vexl::platform
