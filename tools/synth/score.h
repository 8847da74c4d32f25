#pragma once
// The timing plan of the default soundtrack: tempo, beats, bars and the
// sections of the tune, exactly as the synthesizer plays them. The demo
// generator reads it so that its effects land on the music.
//
// Time is counted in samples at 22050 Hz, the unit of the player's sample
// clock, so a position here compares directly with `sample_clock()`.
//
//   tempo        125 beats per minute, 4 beats to the bar
//   one beat     10584 samples = 0.48 s = exactly 12 frames at 25 fps
//   one bar      42336 samples = 1.92 s = exactly 48 frames
//   one step     2646 samples (a sixteenth note) = exactly 3 frames
//   the track    15567300 samples (706 s): 367 whole bars and a final
//                part bar of the outro; beat 0 and bar 0 start at sample 0
//
// Because a beat is a whole number of frames, frame f (0-based, shown at
// sample f * 882) is on a beat exactly when f % 12 == 0, and on a bar line
// when f % 48 == 0.
//
// Sections (bars are 0-based, end exclusive; intensity 0 = near silence,
// 10 = everything at full tilt):
//
//   name        kind       bars      seconds          intensity  what plays
//   intro       intro      0-16      0.00-30.72       1          pads; lead enters at bar 8
//   rise        build      16-32     30.72-61.44      3          + bass, hats, kick from bar 24, snare roll in the last 2 bars
//   theme       main       32-64     61.44-122.88     7          full groove, the main tune
//   answer      main       64-96     122.88-184.32    8          full groove, the answering tune, arpeggio
//   drift       breakdown  96-112    184.32-215.04    2          pads and a soft lead, no drums
//   climb       build      112-128   215.04-245.76    4          bass and hats back, kick from bar 120, roll at the end
//   theme II    main       128-160   245.76-307.20    8          the main tune with arpeggio
//   lift        main       160-192   307.20-368.64    9          new chords, busier hats
//   deep        breakdown  192-224   368.64-430.08    3          half-time beat, pads, low lead
//   surge       build      224-240   430.08-460.80    5          rising roll, kick from bar 232
//   answer II   main       240-272   460.80-522.24    8          the answering tune
//   finale      finale     272-304   522.24-583.68    10         everything, sixteenth hats
//   peak        finale     304-336   583.68-645.12    10         everything, lead an octave up
//   outro       outro      336-end   645.12-706.00    2          drums thin out by bar 352, pads fade to silence
//
// In the main and finale sections the last bar of every eight carries a
// drum fill. Every kick and snare hit the synthesizer plays is listed in
// `kicks` and `snares`, so visuals can flash on the actual drum sounds
// rather than on the metronome.

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/frame_timing.h"

namespace vexl::synth {

inline constexpr int score_sample_rate = clock_rate;
inline constexpr int score_frames_per_second = frames_per_second;
inline constexpr int samples_per_frame = frame_interval;  // 882
inline constexpr int beats_per_minute = 125;
inline constexpr int beats_per_bar = 4;
inline constexpr int steps_per_beat = 4;
inline constexpr std::int64_t samples_per_beat = score_sample_rate * 60 / beats_per_minute;  // 10584
inline constexpr std::int64_t samples_per_step = samples_per_beat / steps_per_beat;         // 2646
inline constexpr std::int64_t samples_per_bar = samples_per_beat * beats_per_bar;           // 42336
inline constexpr int frames_per_beat = static_cast<int>(samples_per_beat / samples_per_frame);  // 12
inline constexpr int frames_per_bar = frames_per_beat * beats_per_bar;                        // 48
inline constexpr std::int64_t soundtrack_samples = 15567300;  // 706 s

static_assert(samples_per_beat * beats_per_minute == score_sample_rate * 60,
              "a beat must be a whole number of samples");
static_assert(samples_per_beat % samples_per_frame == 0, "a beat must be whole frames");

enum class SectionKind : std::uint8_t {
    intro,      // quiet opening
    build,      // tension rising towards a main section
    main,       // full groove
    breakdown,  // drums drop out or go half-time, calm
    finale,     // the loudest, densest part
    outro,      // winding down to silence
};

std::string_view section_kind_name(SectionKind kind);

// Instruments that can play in a section (bit mask in Section::layers).
enum Layer : std::uint32_t {
    layer_pads = 1u << 0,
    layer_bass = 1u << 1,
    layer_lead = 1u << 2,
    layer_arp = 1u << 3,
    layer_kick = 1u << 4,
    layer_snare = 1u << 5,
    layer_hats = 1u << 6,
};

struct Section {
    std::string_view name;      // "intro", "theme II", ... (see the table above)
    SectionKind kind;
    int intensity;              // 0..10, how busy and loud the section is
    std::uint32_t layers;       // Layer bits: what is heard somewhere in the section
    int first_bar;              // index of its first bar
    int bar_count;              // whole bars; the outro ends with a part bar
    std::int64_t start_sample;  // inclusive
    std::int64_t end_sample;    // exclusive; the next section's start_sample

    bool contains(std::int64_t sample) const
    {
        return sample >= start_sample && sample < end_sample;
    }
};

struct BeatGrid {
    int sample_rate = score_sample_rate;
    int bpm = beats_per_minute;
    int beats_per_bar = synth::beats_per_bar;
    std::int64_t samples_per_beat = synth::samples_per_beat;
    std::int64_t samples_per_bar = synth::samples_per_bar;
    std::int64_t total_samples = soundtrack_samples;

    std::vector<std::int64_t> beats;     // start of every beat within the track, ascending
    std::vector<std::int64_t> bars;      // start of every bar within the track, ascending
    std::vector<Section> sections;       // in order, gapless, covering [0, total_samples)
    std::vector<std::int64_t> kicks;     // every kick drum hit, ascending
    std::vector<std::int64_t> snares;    // every snare hit (fills and rolls too), ascending

    // Index of the beat / bar / section that contains `sample` (clamped to
    // the first and last one for positions outside the track).
    int beat_at(std::int64_t sample) const;
    int bar_at(std::int64_t sample) const;
    const Section& section_at(std::int64_t sample) const;

    // Position within the current beat, 0.0 at the beat and approaching 1.0
    // just before the next one. Handy for pulsing effects.
    double beat_phase(std::int64_t sample) const;
};

// The grid of the default soundtrack (built once, then shared).
const BeatGrid& default_beat_grid();

}  // namespace vexl::synth
