#include "tools/synth/song.h"

#include <string_view>

#include "tools/synth/arrangement.h"

namespace vexl::synth {
namespace {

// --- chords ------------------------------------------------------------------
constexpr Chord Am{{57, 60, 64}, 45};
constexpr Chord F{{57, 60, 65}, 41};
constexpr Chord C{{55, 60, 64}, 48};
constexpr Chord G{{55, 59, 62}, 43};
constexpr Chord E{{56, 59, 64}, 40};  // major: the leading tone G# pulls home to A
constexpr Chord Em{{55, 59, 64}, 40};
constexpr Chord Dm{{57, 62, 65}, 38};

using Progression = std::array<Chord, bars_per_phrase>;
constexpr std::array<Progression, static_cast<std::size_t>(ProgressionId::count)> progressions{{
    {Am, F, C, G, Am, F, G, E},    // theme
    {F, G, Em, Am, Dm, G, C, E},   // answer
    {F, C, G, Am, F, C, G, G},     // lift
    {Am, Am, F, F, C, C, G, G},    // slow: a chord every two bars
    {Dm, Dm, Am, Am, Dm, Dm, E, E} // deep
}};

// --- melodies ------------------------------------------------------------------
// Written as "note:steps" words, bars separated by '|' for the reader only;
// "r" is a rest. Parsed once, at compile time.
constexpr int note_number(std::string_view name)
{
    constexpr int semitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int n = semitones[name[0] - 'A'];
    std::size_t i = 1;
    if (name[i] == '#') {
        ++n;
        ++i;
    } else if (name[i] == 'b') {
        --n;
        ++i;
    }
    return n + 12 * (name[i] - '0' + 1);
}

template <std::size_t N>
struct Melody {
    std::array<MelodyNote, N> notes{};
    int count = 0;
};

template <std::size_t N>
constexpr Melody<N> parse(std::string_view text)
{
    Melody<N> m;
    std::size_t i = 0;
    int total = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '|') {
            ++i;
            continue;
        }
        const std::size_t colon = text.find(':', i);
        const std::string_view name = text.substr(i, colon - i);
        std::size_t end = colon + 1;
        int steps = 0;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9')
            steps = steps * 10 + (text[end++] - '0');
        const int note = name == "r" ? 0 : note_number(name);
        m.notes[static_cast<std::size_t>(m.count++)] = {static_cast<std::int8_t>(note),
                                                        static_cast<std::int8_t>(steps)};
        total += steps;
        i = end;
    }
    if (total != bars_per_phrase * 16)
        throw "a melody must fill eight bars";  // stops compilation
    return m;
}

constexpr auto theme_melody = parse<64>(
    "A4:2 C5:2 E5:4 D5:2 C5:2 D5:2 E5:2 | F5:6 E5:2 C5:4 A4:4 | G4:2 C5:2 E5:4 G5:4 E5:2 C5:2 |"
    "D5:6 B4:2 G4:4 r:4 | A4:2 C5:2 E5:4 D5:2 C5:2 D5:2 E5:2 | F5:4 A5:4 G5:2 F5:2 E5:4 |"
    "D5:4 G5:4 F5:2 E5:2 D5:4 | E5:4 G#5:4 B5:4 r:4");

constexpr auto answer_melody = parse<64>(
    "C6:4 A5:4 F5:4 A5:4 | B5:4 G5:4 D5:4 G5:2 A5:2 | B5:6 G5:2 E5:8 |"
    "A5:2 G5:2 E5:2 C5:2 E5:4 A5:4 | F5:4 A5:4 D6:4 C6:2 A5:2 | B5:4 D6:4 B5:4 G5:4 |"
    "C6:6 B5:2 G5:4 E5:4 | G#5:4 B5:4 E6:4 D6:2 B5:2");

constexpr auto lift_melody = parse<64>(
    "A5:2 C6:2 F6:4 E6:4 C6:4 | G5:2 C6:2 E6:4 D6:4 C6:4 | B5:2 D6:2 G6:4 D6:4 B5:4 |"
    "C6:4 B5:2 A5:2 E5:8 | A5:2 C6:2 F6:4 E6:4 C6:4 | G5:2 C6:2 E6:4 G6:4 E6:4 |"
    "D6:4 B5:4 G5:4 B5:4 | D6:8 r:8");

constexpr auto drift_melody = parse<64>(
    "E5:16 | C5:8 D5:8 | C5:16 | A4:16 | G4:8 C5:8 | E5:16 | D5:8 B4:8 | G4:16");

constexpr auto deep_melody = parse<64>(
    "D4:8 F4:8 | A4:16 | E4:8 C4:8 | A3:16 | D4:8 F4:4 G4:4 | A4:16 | G#4:8 B4:8 | E4:16");

// --- phrases of every section ---------------------------------------------------
// One row per section of section_plan(), one entry per eight-bar phrase
// (the outro's part bar plays its last phrase).
constexpr Phrase P(ProgressionId p, MelodyId m, int transpose = 0)
{
    return {p, m, static_cast<std::int8_t>(transpose)};
}
using enum ProgressionId;
using M = MelodyId;

constexpr std::array<std::array<Phrase, 4>, 14> phrases{{
    /* intro     */ {P(slow, M::none), P(slow, M::drift, -12)},
    /* rise      */ {P(theme, M::none), P(theme, M::theme, -12)},
    /* theme     */ {P(theme, M::theme), P(theme, M::theme), P(answer, M::answer), P(theme, M::theme, 12)},
    /* answer    */ {P(answer, M::answer), P(answer, M::answer), P(theme, M::theme), P(answer, M::answer)},
    /* drift     */ {P(slow, M::drift), P(slow, M::drift, 12)},
    /* climb     */ {P(theme, M::none), P(theme, M::none)},
    /* theme II  */ {P(theme, M::theme), P(theme, M::theme, 12), P(answer, M::answer), P(theme, M::theme)},
    /* lift      */ {P(lift, M::lift), P(lift, M::lift), P(answer, M::answer), P(lift, M::lift)},
    /* deep      */ {P(deep, M::deep), P(deep, M::deep), P(deep, M::deep, 12), P(deep, M::deep)},
    /* surge     */ {P(theme, M::none), P(theme, M::theme, -12)},
    /* answer II */ {P(answer, M::answer), P(theme, M::theme), P(answer, M::answer), P(answer, M::answer, 12)},
    /* finale    */ {P(theme, M::theme, 12), P(answer, M::answer), P(theme, M::theme, 12), P(lift, M::lift)},
    /* peak      */ {P(lift, M::lift), P(answer, M::answer, 12), P(theme, M::theme, 12), P(theme, M::theme)},
    /* outro     */ {P(theme, M::theme), P(slow, M::drift), P(slow, M::drift, -12), P(slow, M::none)},
}};

template <std::size_t N>
constexpr std::span<const MelodyNote> notes_of(const Melody<N>& m)
{
    return {m.notes.data(), static_cast<std::size_t>(m.count)};
}

}  // namespace

const Chord& progression_chord(ProgressionId id, int bar)
{
    return progressions[static_cast<std::size_t>(id)][static_cast<std::size_t>(bar % bars_per_phrase)];
}

std::span<const MelodyNote> melody(MelodyId id)
{
    switch (id) {
    case MelodyId::theme: return notes_of(theme_melody);
    case MelodyId::answer: return notes_of(answer_melody);
    case MelodyId::lift: return notes_of(lift_melody);
    case MelodyId::drift: return notes_of(drift_melody);
    case MelodyId::deep: return notes_of(deep_melody);
    case MelodyId::none:
    case MelodyId::count: break;
    }
    return {};
}

Phrase phrase_at(int section, int bar_in_section)
{
    static_assert(phrases.size() == 14);
    const auto& row = phrases.at(static_cast<std::size_t>(section));
    const auto& plan = section_plan()[static_cast<std::size_t>(section)];
    // The last section's length is not in the plan; it has four phrases.
    const int count = plan.bar_count > 0 ? plan.bar_count / bars_per_phrase : 4;
    int index = bar_in_section / bars_per_phrase;
    index = index < 0 ? 0 : (index >= count ? count - 1 : index);
    return row[static_cast<std::size_t>(index)];
}

}  // namespace vexl::synth
