#include "tools/synth/arrangement.h"

#include <array>

namespace vexl::synth {
namespace {

constexpr std::uint32_t groove = layer_pads | layer_bass | layer_lead | layer_kick |
                                 layer_snare | layer_hats;

constexpr std::array<SectionPlan, 14> plan{{
    {"intro", SectionKind::intro, 1, layer_pads | layer_lead, 16},
    {"rise", SectionKind::build, 3, layer_pads | layer_bass | layer_lead | layer_kick |
                                        layer_snare | layer_hats, 16},
    {"theme", SectionKind::main, 7, groove, 32},
    {"answer", SectionKind::main, 8, groove | layer_arp, 32},
    {"drift", SectionKind::breakdown, 2, layer_pads | layer_lead, 16},
    {"climb", SectionKind::build, 4, layer_pads | layer_bass | layer_arp | layer_kick |
                                         layer_snare | layer_hats, 16},
    {"theme II", SectionKind::main, 8, groove | layer_arp, 32},
    {"lift", SectionKind::main, 9, groove | layer_arp, 32},
    {"deep", SectionKind::breakdown, 3, groove, 32},
    {"surge", SectionKind::build, 5, groove | layer_arp, 16},
    {"answer II", SectionKind::main, 8, groove | layer_arp, 32},
    {"finale", SectionKind::finale, 10, groove | layer_arp, 32},
    {"peak", SectionKind::finale, 10, groove | layer_arp, 32},
    {"outro", SectionKind::outro, 2, groove, 0},
}};

constexpr std::uint16_t steps(std::initializer_list<int> list)
{
    std::uint16_t mask = 0;
    for (int s : list)
        mask = static_cast<std::uint16_t>(mask | (1u << s));
    return mask;
}

constexpr std::uint16_t four_on_floor = steps({0, 4, 8, 12});
constexpr std::uint16_t backbeat = steps({4, 12});
constexpr std::uint16_t eighths = steps({0, 2, 4, 6, 8, 10, 12, 14});
constexpr std::uint16_t offbeats = steps({2, 6, 10, 14});
constexpr std::uint16_t sixteenths = 0xFFFF;

DrumBar build_bar(int bar, int bars)
{
    DrumBar d;
    d.closed_hat = offbeats;
    if (bar >= bars / 2 && bar < bars - 1)
        d.kick = four_on_floor;
    if (bar == bars - 2)
        d.snare = eighths;
    else if (bar == bars - 1)
        d.snare = sixteenths;
    else if (bar >= bars - 4)
        d.snare = backbeat;
    return d;
}

DrumBar groove_bar(int bar, bool busy)
{
    DrumBar d;
    d.kick = four_on_floor;
    d.snare = backbeat;
    d.open_hat = offbeats;
    d.closed_hat = static_cast<std::uint16_t>((busy ? sixteenths : eighths) & ~offbeats);
    if (bar % 8 == 7) {  // fill into the next phrase
        d.kick = steps({0, 4, 8, 10});
        d.snare = steps({4, 11, 12, 13, 14, 15});
        d.open_hat = 0;
    }
    return d;
}

}  // namespace

std::span<const SectionPlan> section_plan() { return plan; }

DrumBar drum_bar(int section_index, int bar)
{
    const SectionPlan& s = plan.at(static_cast<std::size_t>(section_index));
    switch (s.kind) {
    case SectionKind::intro:
        return {};
    case SectionKind::build:
        return build_bar(bar, s.bar_count);
    case SectionKind::main:
        return groove_bar(bar, s.intensity >= 9);
    case SectionKind::finale:
        return groove_bar(bar, true);
    case SectionKind::breakdown:
        if ((s.layers & layer_kick) == 0)
            return {};
        // Half-time: the snare on beat three makes the pulse feel slower.
        return {steps({0, 10}), steps({8}), eighths, 0};
    case SectionKind::outro:
        if (bar < 8)
            return groove_bar(bar, false);
        if (bar < 16)
            return {four_on_floor, 0, static_cast<std::uint16_t>(eighths & ~offbeats), offbeats};
        return {};
    }
    return {};
}

}  // namespace vexl::synth
