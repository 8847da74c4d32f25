#include "tools/synth/score.h"

#include <algorithm>

#include "tools/synth/arrangement.h"

namespace vexl::synth {
namespace {

void add_hits(std::vector<std::int64_t>& out, std::int64_t bar_start, std::uint16_t mask)
{
    for (int step = 0; step < steps_per_bar; ++step) {
        const std::int64_t at = bar_start + step * samples_per_step;
        if ((mask >> step & 1u) != 0 && at < soundtrack_samples)
            out.push_back(at);
    }
}

BeatGrid build_default_grid()
{
    BeatGrid grid;
    for (std::int64_t at = 0; at < soundtrack_samples; at += samples_per_beat)
        grid.beats.push_back(at);
    for (std::int64_t at = 0; at < soundtrack_samples; at += samples_per_bar)
        grid.bars.push_back(at);

    const auto plan = section_plan();
    int bar = 0;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const SectionPlan& p = plan[i];
        const bool last = i + 1 == plan.size();
        Section s{p.name, p.kind, p.intensity, p.layers, bar, p.bar_count,
                  bar * samples_per_bar, 0};
        if (last) {
            s.bar_count = static_cast<int>(grid.bars.size()) - bar;
            s.end_sample = soundtrack_samples;
        } else {
            s.end_sample = (bar + p.bar_count) * samples_per_bar;
        }
        for (int b = 0; b < s.bar_count; ++b) {
            const DrumBar drums = drum_bar(static_cast<int>(i), b);
            const std::int64_t start = (bar + b) * samples_per_bar;
            add_hits(grid.kicks, start, drums.kick);
            add_hits(grid.snares, start, drums.snare);
        }
        grid.sections.push_back(s);
        bar += p.bar_count;
    }
    return grid;
}

// Index of the last element <= sample, clamped to the vector.
int index_at(const std::vector<std::int64_t>& starts, std::int64_t sample)
{
    const auto it = std::upper_bound(starts.begin(), starts.end(), sample);
    if (it == starts.begin())
        return 0;
    return static_cast<int>(it - starts.begin()) - 1;
}

}  // namespace

std::string_view section_kind_name(SectionKind kind)
{
    switch (kind) {
    case SectionKind::intro: return "intro";
    case SectionKind::build: return "build";
    case SectionKind::main: return "main";
    case SectionKind::breakdown: return "breakdown";
    case SectionKind::finale: return "finale";
    case SectionKind::outro: return "outro";
    }
    return "?";
}

int BeatGrid::beat_at(std::int64_t sample) const { return index_at(beats, sample); }

int BeatGrid::bar_at(std::int64_t sample) const { return index_at(bars, sample); }

const Section& BeatGrid::section_at(std::int64_t sample) const
{
    std::size_t i = 0;
    while (i + 1 < sections.size() && sample >= sections[i].end_sample)
        ++i;
    return sections[i];
}

double BeatGrid::beat_phase(std::int64_t sample) const
{
    if (sample < 0)
        return 0.0;
    return static_cast<double>(sample % samples_per_beat) / static_cast<double>(samples_per_beat);
}

const BeatGrid& default_beat_grid()
{
    static const BeatGrid grid = build_default_grid();
    return grid;
}

}  // namespace vexl::synth
