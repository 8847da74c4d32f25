#include "platform/linux/sound_decoder.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vexl::platform {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr sf_count_t chunk_frames = 16384;

bool readable_regular_file(const char* path, std::string& error)
{
    struct stat info {};
    if (::stat(path, &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    return true;
}

}  // namespace

DecodeResult decode_sound_file(const char* path, DecodedSound& out, std::string& error)
{
    out = {};
    if (path == nullptr || !readable_regular_file(path, error))
        return DecodeResult::missing;

    SF_INFO info{};
    SndfileHandle file(sf_open(path, SFM_READ, &info));
    if (!file) {
        // sf_open fails alike for unknown containers and unreadable files.
        std::unique_ptr<std::FILE, FileCloser> probe(std::fopen(path, "rb"));
        if (!probe) {
            error = std::strerror(errno);
            return DecodeResult::missing;
        }
        error = sf_strerror(nullptr);
        return DecodeResult::unrecognised;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = "no channels or no sample rate";
        return DecodeResult::damaged;
    }

    out.sample_rate = info.samplerate;
    if (info.frames > 0)
        out.samples.reserve(static_cast<std::size_t>(std::min<sf_count_t>(info.frames, 1 << 26)));

    // Read at full scale +-1, which integer samples of up to 32 bits survive
    // exactly; read as integers, floating-point data would be truncated to
    // almost nothing.
    const int channels = info.channels;
    std::vector<double> frames(static_cast<std::size_t>(chunk_frames * channels));
    std::vector<std::int32_t> frame(static_cast<std::size_t>(channels));
    for (;;) {
        const sf_count_t got = sf_readf_double(file.get(), frames.data(), chunk_frames);
        if (got <= 0)
            break;
        for (sf_count_t f = 0; f < got; ++f) {
            for (int c = 0; c < channels; ++c)
                frame[static_cast<std::size_t>(c)] = from_full_scale(frames[static_cast<std::size_t>(f * channels + c)]);
            out.samples.push_back(mix_down(frame.data(), channels));
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        error = sf_strerror(file.get());
        return DecodeResult::damaged;
    }
    return DecodeResult::ok;
}

DecodeResult decode_as_played(const char* path, DecodedSound& out, std::string& error)
{
    return decode_as_played(path, out, error, decode_sound_file);
}

}  // namespace vexl::platform
