#pragma once
// The notes of the default soundtrack: chords, progressions, melodies and
// which of them each eight-bar phrase of each section plays. The section
// table itself (names, lengths, layers, drums) is in arrangement.h.
//
// The tune is in A minor. Notes are MIDI numbers (60 = middle C).

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vexl::synth {

struct Chord {
    std::array<std::int8_t, 3> notes;  // pad voicing, around middle C
    std::int8_t bass;                  // root, second octave
};

enum class ProgressionId : std::uint8_t { theme, answer, lift, slow, deep, count };
enum class MelodyId : std::uint8_t { none, theme, answer, lift, drift, deep, count };

// A note of a melody; note 0 is a rest. Lengths are in sixteenth steps.
struct MelodyNote {
    std::int8_t note;
    std::int8_t steps;
};

// One eight-bar phrase of a section.
struct Phrase {
    ProgressionId progression;
    MelodyId melody;
    std::int8_t melody_transpose;  // semitones added to the melody (octaves)
};

inline constexpr int bars_per_phrase = 8;

// The chord of bar `bar` (0..7) of a progression.
const Chord& progression_chord(ProgressionId id, int bar);

// A melody: eight bars of notes, 128 steps in all.
std::span<const MelodyNote> melody(MelodyId id);

// The phrase that plays at bar `bar_in_section` of section `section`
// (index into section_plan()).
Phrase phrase_at(int section, int bar_in_section);

}  // namespace vexl::synth
