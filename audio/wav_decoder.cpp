#include "audio/wav_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace vexl::platform {
namespace {

constexpr std::uint16_t format_pcm = 1;
constexpr std::uint16_t format_float = 3;
constexpr std::uint16_t format_extensible = 0xFFFE;

std::uint32_t le(std::span<const std::uint8_t> b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

struct Format {
    std::uint16_t tag = 0;
    int channels = 0;
    int rate = 0;
    int block_align = 0;
    int bits = 0;
};

// One sample as 32 bits, a 16-bit value in the upper half.
std::int32_t sample_at(std::span<const std::uint8_t> data, std::size_t at, const Format& f)
{
    if (f.tag == format_float) {
        double v;
        if (f.bits == 32) {
            const std::uint32_t raw = le(data, at, 4);
            float x;
            std::memcpy(&x, &raw, sizeof x);
            v = x;
        } else {
            const std::uint64_t raw = le(data, at, 4) | std::uint64_t{le(data, at + 4, 4)} << 32;
            std::memcpy(&v, &raw, sizeof v);
        }
        return from_full_scale(v);
    }
    switch (f.bits) {
    case 8: return static_cast<std::int32_t>((static_cast<std::uint32_t>(data[at]) - 128u) << 24);
    case 16: return static_cast<std::int32_t>(le(data, at, 2) << 16);
    case 24: return static_cast<std::int32_t>(le(data, at, 3) << 8);
    default: return static_cast<std::int32_t>(le(data, at, 4));
    }
}

}  // namespace

DecodeResult decode_wav(std::span<const std::uint8_t> file, DecodedSound& out, std::string& error)
{
    out = {};
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return DecodeResult::unrecognised;
    }
    Format f;
    bool have_format = false;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::uint32_t size = le(file, at + 4, 4);
        const std::size_t body = at + 8;
        const std::size_t available = std::min<std::size_t>(size, file.size() - body);
        if (std::memcmp(file.data() + at, "fmt ", 4) == 0 && available >= 16) {
            f.tag = static_cast<std::uint16_t>(le(file, body, 2));
            f.channels = static_cast<int>(le(file, body + 2, 2));
            f.rate = static_cast<int>(le(file, body + 4, 4));
            f.block_align = static_cast<int>(le(file, body + 12, 2));
            f.bits = static_cast<int>(le(file, body + 14, 2));
            // The extensible form names the encoding by the first two bytes
            // of its sub-format GUID.
            if (f.tag == format_extensible && available >= 26)
                f.tag = static_cast<std::uint16_t>(le(file, body + 24, 2));
            have_format = true;
        } else if (std::memcmp(file.data() + at, "data", 4) == 0) {
            if (!have_format) {
                error = "the sound data comes before its format";
                return DecodeResult::damaged;
            }
            const bool pcm = f.tag == format_pcm && (f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32);
            const bool floats = f.tag == format_float && (f.bits == 32 || f.bits == 64);
            if (!pcm && !floats) {
                error = "a WAV encoding this decoder does not know";
                return DecodeResult::unrecognised;
            }
            const int sample_bytes = f.bits / 8;
            if (f.channels < 1 || f.rate < 1 || f.block_align < f.channels * sample_bytes) {
                error = "its format gives no channels, no sample rate or a wrong block size";
                return DecodeResult::damaged;
            }
            out.sample_rate = f.rate;
            const auto frame_bytes = static_cast<std::size_t>(f.block_align);
            const std::size_t frames = available / frame_bytes;
            out.samples.reserve(frames);
            std::vector<std::int32_t> frame(static_cast<std::size_t>(f.channels));
            const std::span<const std::uint8_t> data = file.subspan(body, available);
            for (std::size_t i = 0; i < frames; ++i) {
                for (int c = 0; c < f.channels; ++c)
                    frame[static_cast<std::size_t>(c)] =
                        sample_at(data, i * frame_bytes + static_cast<std::size_t>(c * sample_bytes), f);
                out.samples.push_back(mix_down(frame.data(), f.channels));
            }
            if (available < size) {
                error = "its sound data ends after " + std::to_string(available) + " of " + std::to_string(size) +
                        " bytes";
                return DecodeResult::damaged;
            }
            return DecodeResult::ok;
        }
        at = body + size + (size & 1);  // chunks are padded to even sizes
        if (at < body)                  // a size that wraps around
            break;
    }
    error = have_format ? "no sound data" : "no format";
    return DecodeResult::damaged;
}

DecodeResult decode_wav_file(const char* path, DecodedSound& out, std::string& error)
{
    out = {};
    std::error_code ec;
    if (path == nullptr || !std::filesystem::is_regular_file(path, ec)) {
        error = ec ? ec.message() : "not a regular file";
        return DecodeResult::missing;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return DecodeResult::missing;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    if (std::ferror(file.get())) {
        error = std::strerror(errno);
        return DecodeResult::missing;
    }
    return decode_wav(bytes, out, error);
}

}  // namespace vexl::platform
