#pragma once
// The arrangement of the default soundtrack: the section table and the
// drum pattern of every bar. The synthesizer plays from it and the beat
// grid is derived from it, so the two can never disagree.

#include <cstdint>
#include <span>

#include "tools/synth/score.h"

namespace vexl::synth {

// One row of the section table; sample positions follow from the bars.
struct SectionPlan {
    std::string_view name;
    SectionKind kind;
    int intensity;
    std::uint32_t layers;
    int bar_count;  // the last section runs to the end of the track instead
};

std::span<const SectionPlan> section_plan();

// Sixteen steps of one bar, bit s set = a hit on step s.
struct DrumBar {
    std::uint16_t kick = 0;
    std::uint16_t snare = 0;
    std::uint16_t closed_hat = 0;
    std::uint16_t open_hat = 0;
};

// The drums of bar `bar_in_section` of section `section_index`.
DrumBar drum_bar(int section_index, int bar_in_section);

inline constexpr int steps_per_bar = beats_per_bar * steps_per_beat;  // 16

}  // namespace vexl::synth
