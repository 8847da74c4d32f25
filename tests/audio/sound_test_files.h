#pragma once
// Helpers for the platform audio tests: a scratch directory and sound files
// written with libsndfile in any container.

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vexl::testing {

class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexl-audio-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes interleaved 16-bit frames; false if libsndfile refuses the format.
inline bool write_sound(const std::string& path, int format, int channels, int rate,
                        const std::vector<std::int16_t>& interleaved)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr)
        return false;
    // Floating-point files at full scale +-1, as every program writes them.
    sf_command(f, SFC_SET_SCALE_INT_FLOAT_WRITE, nullptr, SF_TRUE);
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool ok = sf_writef_short(f, interleaved.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

// A sine at `hz`, amplitude `amplitude`, `count` samples at `rate`.
inline std::vector<std::int16_t> sine(int count, int rate, double hz, double amplitude)
{
    std::vector<std::int16_t> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2.0 * M_PI * hz * i / rate)));
    return out;
}

}  // namespace vexl::testing
