#pragma once
// The soundtrack's beat grid seen in frames: which beat, bar and section a
// frame falls in, and envelopes that jump at every beat and drum hit and
// decay over the next frames, for effects to pulse with.
//
// Frame f is on screen while the sample clock runs from f * 882 to
// (f + 1) * 882, so a sound at sample s is first heard during frame s / 882.

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/synth/score.h"

namespace vexl::demo {

namespace score = vexl::synth;
using score::SectionKind;

using score::samples_per_frame;
inline constexpr int demo_frames = 17650;  // 706 s

struct SectionSpan {
    std::string_view name;
    SectionKind kind;
    int intensity;
    int first_frame;  // inclusive
    int end_frame;    // exclusive
    int first_bar;
    int bar_count;
};

// Everything about the music at one frame.
struct Beat {
    int beat;               // index of the beat the frame falls in
    int bar;                // index of the bar
    int beat_in_bar;        // 0..3
    int since_beat;         // frames since the beat started (0 on the beat)
    int since_bar;          // frames since the bar started
    int pulse;              // 256 on a beat, decaying to 0 over the beat
    int kick;               // 256 on a kick drum hit, decaying over a few frames
    int snare;              // the same for the snare
    int section;            // index into MusicMap::sections()
};

class MusicMap {
public:
    explicit MusicMap(const score::BeatGrid& grid);

    int frame_count() const { return frame_count_; }
    int frames_per_beat() const { return frames_per_beat_; }
    int frames_per_bar() const { return frames_per_bar_; }
    const std::vector<SectionSpan>& sections() const { return sections_; }
    // First frame of a bar (may be past the end for bars beyond the track).
    int bar_frame(int bar) const;
    // True when a beat starts during `frame`.
    bool on_beat(int frame) const;

    Beat at(int frame) const;

private:
    int frame_count_;
    int frames_per_beat_;
    int frames_per_bar_;
    std::int64_t samples_per_bar_;
    std::vector<std::int64_t> beats_;
    std::vector<std::int64_t> bars_;
    std::vector<SectionSpan> sections_;
    std::vector<std::int16_t> since_kick_;   // per frame; large when no hit yet
    std::vector<std::int16_t> since_snare_;
    std::vector<std::int16_t> section_of_;
};

// The map of the default soundtrack.
const MusicMap& default_music();

}  // namespace vexl::demo
