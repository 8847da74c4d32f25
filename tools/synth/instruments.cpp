#include "tools/synth/instruments.h"

#include <algorithm>

namespace vexl::synth {
namespace {

// Filter updates every 16 samples: inaudible, and cheaper than per sample.
constexpr int control_period = 16;

// A little over and under unison, for the chorus of two oscillators.
constexpr std::int32_t detune_up = 65801;    // +7 cents
constexpr std::int32_t detune_down = 65272;  // -7 cents
constexpr std::int32_t detune_lead = 65725;  // +5 cents

Envelope::Shape shape(std::int32_t attack_ms, std::int32_t decay_ms, std::int32_t sustain_q15,
                      std::int32_t release_ms)
{
    return {ms_samples(attack_ms) + 1, ms_samples(decay_ms), sustain_q15, ms_samples(release_ms)};
}

}  // namespace

// --- drums ---------------------------------------------------------------------
void Kick::trigger(std::int32_t velocity_q15)
{
    velocity_ = velocity_q15;
    body_.set(Wave::sine, hz_increment(50));
    body_.reset_phase(1u << 30);  // start at the peak: a firm thump, not a click
    pitch_.trigger(ms_samples(28));
    amp_.trigger(ms_samples(170));
    click_left_ = ms_samples(2);
}

std::int32_t Kick::next()
{
    if (amp_.idle())
        return 0;
    // The pitch falls from about 160 Hz to 50 Hz in a few tens of ms.
    const std::int32_t sweep = mul_q15(static_cast<std::int32_t>(hz_increment(110)), pitch_.next());
    std::int32_t s = mul_q15(body_.next(sweep), amp_.next());
    if (click_left_ > 0) {
        --click_left_;
        s += click_noise_.next() >> 3;
    }
    return mul_q15(s, velocity_);
}

void Snare::trigger(std::int32_t velocity_q15)
{
    velocity_ = velocity_q15;
    tone_.set(Wave::sine, hz_increment(185));
    tone_.reset_phase();
    tone_amp_.trigger(ms_samples(45));
    noise_amp_.trigger(ms_samples(120));
}

std::int32_t Snare::next()
{
    if (noise_amp_.idle())
        return 0;
    const std::int32_t tone = mul_q15(tone_.next(), tone_amp_.next());
    constexpr std::int32_t rattle_band = svf_coefficient(3200);
    filter_.process(noise_.next(), rattle_band, 22000);
    // Band plus some high: the rattle of the snares.
    const std::int32_t rattle = filter_.band + (filter_.high >> 1);
    const std::int32_t noise = mul_q15(rattle, noise_amp_.next());
    return mul_q15((tone >> 1) + noise, velocity_);
}

void HiHat::trigger(bool open, std::int32_t velocity_q15)
{
    velocity_ = velocity_q15;
    amp_.trigger(ms_samples(open ? 150 : 22));
}

std::int32_t HiHat::next()
{
    if (amp_.idle())
        return 0;
    // Differenced noise is bright; a touch of smoothing takes off the fizz.
    const std::int32_t n = noise_.next();
    const std::int32_t bright = (n - previous_) >> 1;
    previous_ = n;
    smooth_ += (bright - smooth_) >> 1;
    return mul_q15(mul_q15(smooth_, amp_.next()), velocity_);
}

void Riser::start(std::int32_t samples)
{
    length_ = samples < 1 ? 1 : samples;
    left_ = length_;
    control_ = 0;
}

std::int32_t Riser::next()
{
    if (left_ <= 0)
        return 0;
    if (control_-- == 0) {
        control_ = control_period - 1;
        const std::int32_t done = length_ - left_;  // 0 .. length
        progress_ = static_cast<std::int32_t>((static_cast<std::int64_t>(done) << 15) / length_);
        coefficient_ = svf_coefficient(300 + mul_q15(4000, progress_));
    }
    --left_;
    filter_.process(noise_.next(), coefficient_, 9000);
    // Swells in with the sweep.
    return mul_q15(filter_.band >> 2, mul_q15(progress_, progress_));
}

// --- bass ------------------------------------------------------------------------
void Bass::note_on(int note, std::int32_t velocity_q15)
{
    velocity_ = velocity_q15;
    saw_.set(Wave::saw, note_increment(note));
    sub_.set(Wave::sine, note_increment(note - 12));
    amp_.set_shape(shape(3, 160, 20000, 45));
    amp_.gate_on();
    filter_env_.trigger(ms_samples(90));
}

std::int32_t Bass::next()
{
    if (amp_.idle())
        return 0;
    if (control_-- == 0) {
        control_ = control_period - 1;
        const std::int32_t env = filter_env_.next();
        coefficient_ = svf_coefficient(160 + mul_q15(500 + mul_q15(900, brightness_), env) +
                                       mul_q15(300, brightness_));
    } else {
        filter_env_.next();
    }
    const std::int32_t raw = (saw_.next() >> 1) + (sub_.next() >> 1);
    const std::int32_t s = filter_.process(raw, coefficient_, 26000);
    return mul_q15(mul_q15(s, amp_.next()), velocity_);
}

// --- pads --------------------------------------------------------------------------
Pads::Pads()
{
    for (Voice& v : voices_)
        v.amp.set_shape(shape(450, 2000, 26000, 400));
    coefficient_ = svf_coefficient(1200);
}

void Pads::play_chord(const std::array<std::int8_t, 3>& notes)
{
    release_all();
    for (std::int8_t note : notes) {
        Voice& v = voices_[next_voice_];
        next_voice_ = (next_voice_ + 1) % voices_.size();
        v.a.set(Wave::saw, detune(note_increment(note), detune_up));
        v.b.set(Wave::saw, detune(note_increment(note), detune_down));
        v.amp.gate_on();
    }
}

void Pads::release_all()
{
    for (Voice& v : voices_)
        v.amp.gate_off();
}

void Pads::render(std::int32_t* out, int count)
{
    std::fill(out, out + count, 0);
    for (Voice& v : voices_) {
        if (v.amp.idle())
            continue;
        for (int i = 0; i < count; ++i) {
            const std::int32_t s = (v.a.next() + v.b.next()) >> 3;
            out[i] += mul_q15(s, v.amp.next());
        }
    }
    for (int i = 0; i < count; ++i)
        out[i] = filter_.process(out[i], coefficient_, 30000);
}

// --- lead --------------------------------------------------------------------------
Lead::Lead()
{
    vibrato_.set(Wave::sine, hz_increment(5) + hz_increment(1) / 2);  // 5.5 Hz
    amp_.set_shape(shape(6, 350, 22000, 110));
}

void Lead::note_on(int note, std::int32_t velocity_q15)
{
    velocity_ = velocity_q15;
    square_.set(Wave::square, note_increment(note));
    saw_.set(Wave::saw, detune(note_increment(note), detune_lead));
    amp_.gate_on();
    filter_env_.trigger(ms_samples(220));
    age_ = 0;
}

std::int32_t Lead::next()
{
    if (amp_.idle())
        return 0;
    // Vibrato fades in after the note has spoken, as a singer's would.
    ++age_;
    std::int32_t bend = 0;
    const std::int32_t onset = ms_samples(180);
    if (age_ > onset) {
        const std::int32_t depth = static_cast<std::int32_t>(square_.increment() >> 8);  // ~0.4%
        const std::int32_t fade = age_ - onset > 4096 ? q15_one : (age_ - onset) << 3;
        bend = mul_q15(mul_q15(vibrato_.next(), depth), fade);
    }
    if (control_-- == 0) {
        control_ = control_period - 1;
        const std::int32_t env = filter_env_.next();
        coefficient_ = svf_coefficient(700 + mul_q15(1400, brightness_) + mul_q15(1800, env));
    } else {
        filter_env_.next();
    }
    const std::int32_t raw = (square_.next(bend) >> 1) + (saw_.next(bend) >> 1);
    const std::int32_t s = filter_.process(raw, coefficient_, 20000);
    return mul_q15(mul_q15(s, amp_.next()), velocity_);
}

// --- arpeggio ----------------------------------------------------------------------
void Arp::note_on(int note, std::int32_t velocity_q15)
{
    velocity_ = velocity_q15;
    osc_.set(Wave::square, note_increment(note));
    amp_.trigger(ms_samples(110));
}

std::int32_t Arp::next()
{
    if (amp_.idle())
        return 0;
    const std::int32_t env = amp_.next();
    if (control_-- == 0) {
        control_ = control_period - 1;
        coefficient_ = svf_coefficient(500 + mul_q15(2500, mul_q15(env, brightness_)));
    }
    const std::int32_t s = filter_.process(osc_.next(), coefficient_, 16000);
    return mul_q15(mul_q15(s, env), velocity_);
}

}  // namespace vexl::synth
