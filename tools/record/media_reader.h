#pragma once
// Reading a recording back through libavformat and libavcodec, to check
// what a player will get from it: its streams, its pictures as RGB and its
// sound as samples. Used by the tests and the benchmark, not by the tool.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexl::record {

struct MediaStream {
    bool video = false;
    std::string codec;  // libavcodec's name: "h264", "aac", ...
    int width = 0;
    int height = 0;
    int sample_rate = 0;
    int channels = 0;
    double start_seconds = 0;  // of its first packet
};

struct MediaInfo {
    std::string container;  // libavformat's name of what it found
    std::vector<MediaStream> streams;
    double duration_seconds = 0;
    std::int64_t index_offset = -1;  // of mp4's index box ("moov"), -1 when not mp4
    std::int64_t data_offset = -1;   // of mp4's media data box ("mdat")
};

// False, with `problem` set, when the file does not open as a media file.
bool probe_media(const std::string& path, MediaInfo& info, std::string& problem);

// One decoded picture: 8-bit RGB rows of width * 3 bytes, and its time.
struct RgbFrame {
    int width = 0;
    int height = 0;
    double seconds = 0;
    const std::vector<std::uint8_t>* rgb = nullptr;
};

// Decodes the first video stream and hands every picture to `take` in
// order; false, with `problem` set, on an error.
bool read_pictures(const std::string& path, const std::function<void(const RgbFrame&)>& take,
                   std::string& problem);

struct DecodedSound {
    std::vector<std::int16_t> samples;  // mono (channels averaged), at `rate`
    int rate = 0;
    double start_seconds = 0;  // the time of samples[0], after the decoder's own skipping
};

// Decodes the first audio stream whole.
bool read_sound(const std::string& path, DecodedSound& sound, std::string& problem);

}  // namespace vexl::record
