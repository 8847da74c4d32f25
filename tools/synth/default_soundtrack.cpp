#include <algorithm>
#include <array>
#include <memory>

#include "tools/synth/arrangement.h"
#include "tools/synth/instruments.h"
#include "tools/synth/song.h"
#include "tools/synth/synth.h"

namespace vexl::synth {
namespace {

constexpr std::int32_t q15(double v) { return static_cast<std::int32_t>(v * 32768.0); }

// Mix levels of the buses (Q15).
constexpr std::int32_t kick_level = q15(0.80);
constexpr std::int32_t snare_level = q15(0.50);
constexpr std::int32_t hat_level = q15(0.22);
constexpr std::int32_t bass_level = q15(0.55);
constexpr std::int32_t pad_level = q15(0.60);
constexpr std::int32_t lead_level = q15(0.34);
constexpr std::int32_t arp_level = q15(0.20);
constexpr std::int32_t riser_level = q15(0.30);
constexpr std::int32_t echo_return = q15(0.45);
constexpr std::int32_t reverb_return = q15(0.50);
constexpr std::int32_t master_level = q15(0.74);  // headroom for the busiest bars

// Everything the sequencer plays, and the effect buses.
struct Band {
    Kick kick;
    Snare snare;
    HiHat closed_hat;
    HiHat open_hat;
    Riser riser;
    Bass bass;
    Pads pads;
    Lead lead;
    Arp arp;
    Echo echo{static_cast<std::int32_t>(samples_per_step * 3), q15(0.38)};  // dotted eighth
    Reverb reverb;
    Decay duck;  // the kick pushes pads and bass down for a moment
    std::int32_t master = 0;  // Q15 master volume, for the fades
};

// Where the sequencer is: section, bar within it, and what that bar plays.
struct BarContext {
    int section = 0;
    int bar_in_section = 0;
    int bars_in_section = 1;
    const SectionPlan* plan = nullptr;
    Phrase phrase{};
    const Chord* chord = nullptr;
    DrumBar drums{};
};

bool has(const BarContext& c, std::uint32_t layer) { return (c.plan->layers & layer) != 0; }

// 0 at a section's start to 1 at its end (Q15).
std::int32_t section_progress(const BarContext& c, int step)
{
    const std::int64_t done = static_cast<std::int64_t>(c.bar_in_section) * steps_per_bar + step;
    const std::int64_t total = static_cast<std::int64_t>(c.bars_in_section) * steps_per_bar;
    return static_cast<std::int32_t>((done << 15) / total);
}

// How open the filters are: by intensity, and sweeping up through builds.
std::int32_t brightness(const BarContext& c, int step)
{
    const std::int32_t base = c.plan->intensity * q15_one / 10;
    if (c.plan->kind == SectionKind::build)
        return q15(0.15) + mul_q15(q15(0.85), section_progress(c, step));
    return base;
}

std::int32_t pad_cutoff(const BarContext& c, int step)
{
    return 500 + mul_q15(2300, brightness(c, step));
}

// Drums get a little louder as sections get busier.
std::int32_t drum_velocity(const BarContext& c)
{
    return q15(0.70) + c.plan->intensity * q15(0.03);
}

// The melody note starting at `step` of the bar, if any.
const MelodyNote* melody_note_at(const BarContext& c, int step, int& length_steps)
{
    const auto notes = melody(c.phrase.melody);
    const int position = (c.bar_in_section % bars_per_phrase) * steps_per_bar + step;
    int at = 0;
    for (const MelodyNote& n : notes) {
        if (at == position) {
            length_steps = n.steps;
            return n.note == 0 ? nullptr : &n;
        }
        at += n.steps;
        if (at > position)
            break;
    }
    return nullptr;
}

// The arpeggio climbs the chord and comes back down, an octave above the pads.
int arp_note(const Chord& chord, int step)
{
    constexpr int pattern[8] = {0, 1, 2, 3, 2, 1, 0, 1};
    const int i = pattern[step % 8];
    return (i == 3 ? chord.notes[0] + 12 : chord.notes[static_cast<std::size_t>(i)]) + 12;
}

// Notes and hits that start at this step; `lead_off_in`: samples until the
// lead's gate closes (for articulation), or -1.
void trigger_step(Band& band, const BarContext& c, int step, std::int32_t& lead_off_in,
                  std::int32_t& bass_off_in, const Chord*& last_pad_chord)
{
    const std::uint16_t bit = static_cast<std::uint16_t>(1u << step);
    const std::int32_t velocity = drum_velocity(c);
    if (has(c, layer_kick) && (c.drums.kick & bit) != 0) {
        band.kick.trigger(velocity);
        band.duck.trigger(ms_samples(70));
    }
    if (has(c, layer_snare) && (c.drums.snare & bit) != 0) {
        // Rolls swell from soft to full.
        std::int32_t v = velocity;
        if (c.plan->kind == SectionKind::build && c.bar_in_section >= c.bars_in_section - 2)
            v = mul_q15(v, q15(0.35) + mul_q15(q15(0.65), section_progress(c, step)));
        band.snare.trigger(v);
    }
    if (has(c, layer_hats)) {
        if ((c.drums.open_hat & bit) != 0)
            band.open_hat.trigger(true, mul_q15(velocity, q15(0.8)));
        else if ((c.drums.closed_hat & bit) != 0)
            band.closed_hat.trigger(false, step % 4 == 0 ? velocity : mul_q15(velocity, q15(0.6)));
    }
    if (c.plan->kind == SectionKind::build && c.bar_in_section == c.bars_in_section - 4 && step == 0)
        band.riser.start(static_cast<std::int32_t>(4 * samples_per_bar));

    if (has(c, layer_bass)) {
        const int root = c.chord->bass;
        switch (c.plan->kind) {
        case SectionKind::breakdown:
            if (step == 0 || step == 10) {
                band.bass.note_on(root, q15(0.9));
                bass_off_in = static_cast<std::int32_t>(samples_per_step * (step == 0 ? 8 : 5));
            }
            break;
        case SectionKind::main:
        case SectionKind::finale:
            // Rolling: root on the off-beat eighth, its octave on the sixteenth after.
            if (step % 4 == 2 || step % 4 == 3) {
                band.bass.note_on(step % 4 == 2 ? root : root + 12, step % 4 == 2 ? q15(0.95) : q15(0.6));
                bass_off_in = static_cast<std::int32_t>(samples_per_step * 3 / 4);
            }
            break;
        default:
            if (step % 4 == 2) {
                band.bass.note_on(root, q15(0.9));
                bass_off_in = static_cast<std::int32_t>(samples_per_step * 3 / 2);
            }
            break;
        }
    }
    if (has(c, layer_pads) && step == 0 &&
        (last_pad_chord == nullptr || last_pad_chord->notes != c.chord->notes)) {
        band.pads.play_chord(c.chord->notes);
        last_pad_chord = c.chord;
    }
    if (has(c, layer_lead) && c.phrase.melody != MelodyId::none) {
        int length = 0;
        if (const MelodyNote* n = melody_note_at(c, step, length)) {
            const std::int32_t v = c.plan->kind == SectionKind::intro ||
                                           c.plan->kind == SectionKind::breakdown ||
                                           c.plan->kind == SectionKind::build
                                       ? q15(0.7)
                                       : q15(0.95);
            band.lead.note_on(n->note + c.phrase.melody_transpose, v);
            lead_off_in = static_cast<std::int32_t>(samples_per_step * length - samples_per_step / 3);
        }
    }
    if (has(c, layer_arp) && c.phrase.melody != MelodyId::deep)
        band.arp.note_on(arp_note(*c.chord, step), step % 2 == 0 ? q15(0.9) : q15(0.6));
}

// Master volume at a bar: a short fade-in, and the outro fading to nothing
// a bar before the end.
std::int32_t master_volume(std::int64_t sample)
{
    const std::int64_t fade_in = 2 * samples_per_bar;
    const std::int64_t fade_out_start = 352 * samples_per_bar;
    const std::int64_t fade_out_end = 366 * samples_per_bar;
    if (sample < fade_in)
        return static_cast<std::int32_t>((sample << 15) / fade_in);
    if (sample >= fade_out_end)
        return 0;
    if (sample >= fade_out_start)
        return static_cast<std::int32_t>(((fade_out_end - sample) << 15) / (fade_out_end - fade_out_start));
    return q15_one;
}

// A gentle knee above -3 dB, then a hard limit: peaks are rounded off
// instead of wrapping or clicking.
std::int16_t soft_clip(std::int32_t v)
{
    constexpr std::int32_t knee = 23000;
    if (v > knee)
        v = knee + (v - knee) / 3;
    else if (v < -knee)
        v = -knee + (v + knee) / 3;
    return static_cast<std::int16_t>(clamp16(v));
}

void render_span(Band& band, std::int16_t* out, std::int64_t first, std::int64_t count,
                 std::int32_t& lead_off_in, std::int32_t& bass_off_in)
{
    std::array<std::int32_t, samples_per_step> pad_block;
    band.pads.render(pad_block.data(), static_cast<int>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        if (lead_off_in >= 0 && lead_off_in-- == 0)
            band.lead.note_off();
        if (bass_off_in >= 0 && bass_off_in-- == 0)
            band.bass.note_off();

        const std::int32_t duck = q15_one - mul_q15(q15(0.55), band.duck.next());
        const std::int32_t drums = mul_q15(band.kick.next(), kick_level) +
                                   mul_q15(band.snare.next(), snare_level) +
                                   mul_q15(band.closed_hat.next() + band.open_hat.next(), hat_level);
        const std::int32_t snare_send = drums >> 3;
        const std::int32_t bass = mul_q15(mul_q15(band.bass.next(), bass_level), duck);
        const std::int32_t pads = mul_q15(mul_q15(pad_block[static_cast<std::size_t>(i)], pad_level), duck);
        const std::int32_t lead = mul_q15(band.lead.next(), lead_level);
        const std::int32_t arp = mul_q15(band.arp.next(), arp_level);
        const std::int32_t riser = mul_q15(band.riser.next(), riser_level);

        const std::int32_t echo = band.echo.process((lead >> 1) + arp);
        const std::int32_t reverb = band.reverb.process((pads >> 2) + (lead >> 1) + (arp >> 1) +
                                                        snare_send + (echo >> 2));
        std::int32_t mix = drums + bass + pads + lead + arp + riser + mul_q15(echo, echo_return) +
                           mul_q15(reverb, reverb_return);
        mix = mul_q15(mul_q15(mix, master_level), master_volume(first + i));
        out[i] = soft_clip(mix);
    }
}

}  // namespace

std::vector<std::int16_t> render_default_soundtrack()
{
    std::vector<std::int16_t> out(static_cast<std::size_t>(soundtrack_samples), 0);
    auto band = std::make_unique<Band>();
    const BeatGrid& grid = default_beat_grid();

    std::int32_t lead_off_in = -1;
    std::int32_t bass_off_in = -1;
    const Chord* last_pad_chord = nullptr;

    for (std::size_t s = 0; s < grid.sections.size(); ++s) {
        const Section& section = grid.sections[s];
        BarContext c;
        c.section = static_cast<int>(s);
        c.plan = &section_plan()[s];
        c.bars_in_section = section.bar_count;
        if (!has(c, layer_pads)) {
            band->pads.release_all();
            last_pad_chord = nullptr;
        }
        for (int bar = 0; bar < section.bar_count; ++bar) {
            c.bar_in_section = bar;
            c.phrase = phrase_at(c.section, bar);
            c.chord = &progression_chord(c.phrase.progression, bar % bars_per_phrase);
            c.drums = drum_bar(c.section, bar);
            const std::int64_t bar_start = section.start_sample + bar * samples_per_bar;
            for (int step = 0; step < steps_per_bar; ++step) {
                const std::int64_t start = bar_start + step * samples_per_step;
                if (start >= soundtrack_samples)
                    break;
                const std::int32_t cutoff_brightness = brightness(c, step);
                band->pads.set_cutoff(pad_cutoff(c, step));
                band->bass.set_brightness(cutoff_brightness);
                band->lead.set_brightness(cutoff_brightness);
                band->arp.set_brightness(cutoff_brightness);
                trigger_step(*band, c, step, lead_off_in, bass_off_in, last_pad_chord);
                const std::int64_t count = std::min(samples_per_step, soundtrack_samples - start);
                render_span(*band, &out[static_cast<std::size_t>(start)], start, count, lead_off_in,
                            bass_off_in);
            }
        }
    }
    return out;
}

}  // namespace vexl::synth
