#include "audio/decoded_sound.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vexl::platform {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::int16_t mix_down(const std::int32_t* frame, int channels)
{
    std::int64_t sum = 0;
    for (int c = 0; c < channels; ++c)
        sum += frame[c];
    std::int64_t mean = sum / channels;
    if (sum % channels != 0 && sum < 0)
        --mean;
    return static_cast<std::int16_t>(mean >> 16);
}

std::int32_t from_full_scale(double sample)
{
    if (!(sample > -1.0))
        return INT32_MIN;
    if (sample >= 1.0)
        return INT32_MAX;
    return static_cast<std::int32_t>(std::lrint(sample * 2147483648.0));
}

bool read_raw_sound_file(const char* path, DecodedSound& out, std::string& error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    out = {};
    out.sample_rate = raw_sample_rate;
    out.raw = true;
    unsigned char bytes[65536];
    int carry = -1;  // a low byte waiting for its high byte across reads
    for (;;) {
        const std::size_t got = std::fread(bytes, 1, sizeof bytes, file.get());
        std::size_t i = 0;
        if (got > 0 && carry >= 0) {
            out.samples.push_back(static_cast<std::int16_t>(carry | bytes[0] << 8));
            carry = -1;
            i = 1;
        }
        for (; i + 1 < got; i += 2)
            out.samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
        if (i < got)
            carry = bytes[i];
        if (got < sizeof bytes)
            break;
    }
    if (std::ferror(file.get())) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

DecodeResult decode_as_played(const char* path, DecodedSound& out, std::string& error,
                              ContainerDecoder containers)
{
    const DecodeResult result = containers(path, out, error);
    if (result != DecodeResult::unrecognised)
        return result;
    // No container: headerless signed 16-bit little-endian mono.
    error.clear();
    return read_raw_sound_file(path, out, error) ? DecodeResult::ok : DecodeResult::missing;
}

}  // namespace vexl::platform
