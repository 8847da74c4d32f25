#include "tools/demo/score_standin.h"

namespace vexl::demo::standin {
namespace {

struct Plan {
    std::string_view name;
    SectionKind kind;
    int intensity;
    int bars;
};

constexpr Plan plan[] = {
    {"intro", SectionKind::intro, 1, 16},        {"rise", SectionKind::build, 3, 16},
    {"theme", SectionKind::main, 7, 32},         {"answer", SectionKind::main, 8, 32},
    {"drift", SectionKind::breakdown, 2, 16},    {"climb", SectionKind::build, 4, 16},
    {"theme II", SectionKind::main, 8, 32},      {"lift", SectionKind::main, 9, 32},
    {"deep", SectionKind::breakdown, 3, 32},     {"surge", SectionKind::build, 5, 16},
    {"answer II", SectionKind::main, 8, 32},     {"finale", SectionKind::finale, 10, 32},
    {"peak", SectionKind::finale, 10, 32},       {"outro", SectionKind::outro, 2, 0},
};

BeatGrid build()
{
    BeatGrid g;
    for (std::int64_t at = 0; at < soundtrack_samples; at += samples_per_beat)
        g.beats.push_back(at);
    for (std::int64_t at = 0; at < soundtrack_samples; at += samples_per_bar)
        g.bars.push_back(at);
    int bar = 0;
    for (const Plan& p : plan) {
        const bool last = &p == &plan[std::size(plan) - 1];
        const int count = last ? static_cast<int>(g.bars.size()) - bar : p.bars;
        Section s{p.name, p.kind, p.intensity, 0, bar, count, bar * samples_per_bar,
                  last ? soundtrack_samples : (bar + count) * samples_per_bar};
        const bool drums = p.kind == SectionKind::main || p.kind == SectionKind::finale ||
                           (p.kind == SectionKind::build && p.intensity > 3);
        for (int b = 0; drums && b < count; ++b)
            for (int beat = 0; beat < 4; ++beat) {
                const std::int64_t at = (bar + b) * samples_per_bar + beat * samples_per_beat;
                if (at >= soundtrack_samples)
                    break;
                g.kicks.push_back(at);
                if (beat % 2 == 1)
                    g.snares.push_back(at);
            }
        g.sections.push_back(s);
        bar += count;
    }
    return g;
}

}  // namespace

const BeatGrid& default_beat_grid()
{
    static const BeatGrid grid = build();
    return grid;
}

}  // namespace vexl::demo::standin
