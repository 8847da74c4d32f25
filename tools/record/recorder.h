#pragma once
// A recording from start to end: each frame read from the packed frame
// stream as the player reads it, drawn by the screen's glyph rasteriser
// and encoded with the soundtrack samples under it, into one file.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

#include "player/frame_reader.h"
#include "tools/record/progress.h"
#include "tools/record/record_format.h"
#include "tools/record/video_encoder.h"

namespace vexl::record {

struct RecordingPlan {
    const RecordFormat* format = nullptr;
    PictureSize size;
    VideoTuning tuning;
    std::int64_t first_frame = 0;  // frames [first_frame, end_frame) are recorded
    std::int64_t end_frame = 0;
    std::span<const std::int16_t> sound;  // played_sound() up to end_frame
    int sound_rate = 0;
};

struct RecordingResult {
    bool ok = false;
    bool stopped = false;  // stop_requested said so; the file is unfinished
    std::string problem;   // why not ok, when not stopped
    int audio_rate = 0;    // the rate the sound was stored at; 0 without sound
};

// Records `plan` from `frames`, a reader at its first frame, into `out`:
// a seekable file open for reading and writing and empty, or a pipe for a
// format that streams. `stop_requested` is asked after every frame.
RecordingResult record(FrameReader& frames, const RecordingPlan& plan, std::FILE* out, bool out_seekable,
                       Progress& progress, const std::function<bool()>& stop_requested);

}  // namespace vexl::record
