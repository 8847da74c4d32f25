#pragma once
// The video files `vexl record` writes: for each, the container, the two
// encoders and the kind of picture the video encoder takes, chosen by the
// output's extension or by name; and the picture's size.

#include <string_view>

namespace vexl::record {

enum class PictureKind {
    yuv420,   // 4:2:0 YUV: a 2x2 block shares one colour, so scale 2 keeps text crisp
    rgb,      // 8-bit RGB, kept exactly
    palette,  // indices into the 16 colours, kept exactly
};

struct RecordFormat {
    std::string_view name;         // for --format: "mp4"
    std::string_view extension;    // ".mp4"
    std::string_view description;  // "H.264 + AAC"
    const char* muxer;             // libavformat's name for the container
    const char* video_encoder;     // libavcodec's names of the encoders
    const char* audio_encoder;     // null: the container holds no sound
    PictureKind picture;
    int default_scale;
    bool lossless;   // chosen with --lossless
    bool faststart;  // the index goes to the front, so playback starts while downloading
    bool tunable;    // --crf and --preset apply
    bool streams;    // written front to back, so it can go into a pipe
};

inline constexpr RecordFormat record_formats[] = {
    {"mp4", ".mp4", "H.264 + AAC", "mp4", "libx264", "aac", PictureKind::yuv420, 2, false, true, true, false},
    {"webm", ".webm", "VP9 + Opus", "webm", "libvpx-vp9", "libopus", PictureKind::yuv420, 2, false, false,
     true, true},
    {"mkv", ".mkv", "H.264 + AAC", "matroska", "libx264", "aac", PictureKind::yuv420, 2, false, false, true,
     true},
    {"mkv", ".mkv", "lossless FFV1 + FLAC", "matroska", "ffv1", "flac", PictureKind::rgb, 1, true, false,
     false, true},
    {"gif", ".gif", "GIF, no sound", "gif", "gif", nullptr, PictureKind::palette, 1, false, false, false,
     true},
    {"apng", ".apng", "animated PNG, no sound", "apng", "apng", nullptr, PictureKind::palette, 1, false,
     false, false, true},
};

// The format called `name` (as --format takes it), lossless or not; null
// when there is none such.
const RecordFormat* format_named(std::string_view name, bool lossless);

// The format for a file name's extension (any case), or null.
const RecordFormat* format_for_file(std::string_view path, bool lossless);

// Whether `name` names a format at all, lossless or not.
bool known_format_name(std::string_view name);

// The extension of `path` when it names a format other than `chosen`
// (given with --format), else empty: the file is written as asked, and the
// user is told, since players go by the name.
std::string_view disagreeing_extension(std::string_view path, const RecordFormat& chosen);

struct PictureSize {
    int width = 0;
    int height = 0;
};

inline constexpr int largest_record_scale = 4;
inline constexpr int aspect_default_scale = 3;  // 1600 x 1200, each pixel 2.5 x 3

// The recorded picture: the 640 x 400 screen `scale` times across and
// down; with `aspect` `scale` times down and as wide as makes 4:3 (width
// rounded to an even number, as 4:2:0 needs).
PictureSize picture_size(int scale, bool aspect);

}  // namespace vexl::record
