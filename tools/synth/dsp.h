#pragma once
// The synthesizer's signal-processing units, all in integer arithmetic (see
// fixed_point.h): band-limited wavetable oscillators, a state-variable
// filter, envelopes, a feedback echo and a small reverb.

#include <array>
#include <cstdint>
#include <vector>

#include "tools/synth/fixed_point.h"

namespace vexl::synth {

// --- oscillators -----------------------------------------------------------
enum class Wave : std::uint8_t { sine, saw, square };

// Saw and square tables with only the harmonics that fit below the Nyquist
// frequency, one table per octave band, so high notes do not alias into
// harsh noise at 22050 Hz.
class Wavetables {
public:
    static constexpr int bits = 11;
    static constexpr int size = 1 << bits;
    static constexpr int bands = 11;  // band b serves notes up to 40 * 2^b Hz

    static const Wavetables& get();

    // The table to play `wave` at `increment` with (null for sine).
    const std::int16_t* table(Wave wave, std::uint32_t increment) const;

private:
    Wavetables();
    std::vector<std::int16_t> saw_;     // bands * size
    std::vector<std::int16_t> square_;  // bands * size
};

// One oscillator: a phase and the table chosen for its pitch.
class Oscillator {
public:
    void set(Wave wave, std::uint32_t increment)
    {
        wave_ = wave;
        increment_ = increment;
        table_ = Wavetables::get().table(wave, increment);
    }
    void reset_phase(std::uint32_t phase = 0) { phase_ = phase; }

    // Q15 sample; `bend` is added to the increment for this sample only.
    std::int32_t next(std::int32_t bend = 0)
    {
        const std::uint32_t p = phase_;
        phase_ += increment_ + static_cast<std::uint32_t>(bend);
        if (table_ == nullptr)
            return sine_q15(p);
        const std::uint32_t index = p >> (32 - Wavetables::bits);
        const std::int32_t frac = static_cast<std::int32_t>((p >> (32 - Wavetables::bits - 15)) & 0x7FFF);
        const std::int32_t a = table_[index];
        const std::int32_t b = table_[(index + 1) & (Wavetables::size - 1)];
        return a + (((b - a) * frac) >> 15);
    }

    std::uint32_t increment() const { return increment_; }

private:
    Wave wave_ = Wave::sine;
    std::uint32_t phase_ = 0;
    std::uint32_t increment_ = 0;
    const std::int16_t* table_ = nullptr;
};

// --- filter ------------------------------------------------------------------
// Frequency coefficient of the state-variable filter, 2 sin(pi fc / fs) in
// Q15, for a cutoff in Hz (kept within the filter's stable range).
constexpr std::int32_t svf_coefficient(std::int32_t hz)
{
    hz = hz < 20 ? 20 : (hz > 4500 ? 4500 : hz);
    // sin(pi fc / fs) is the sine at half the phase increment of fc.
    return 2 * sine_q15(hz_increment(hz) / 2);
}

// Chamberlin state-variable filter: low-, band- and high-pass at once.
struct Svf {
    std::int32_t low = 0;
    std::int32_t band = 0;

    // `f`: svf_coefficient; `damping`: Q15, 2/Q (smaller rings more).
    // Returns the low-pass output; band and high are left in the members.
    std::int32_t process(std::int32_t in, std::int32_t f, std::int32_t damping)
    {
        low += mul_q15(f, band);
        high = in - low - mul_q15(damping, band);
        band += mul_q15(f, high);
        // Keep a runaway resonance from ever overflowing.
        band = band > (1 << 20) ? (1 << 20) : (band < -(1 << 20) ? -(1 << 20) : band);
        return low;
    }
    std::int32_t high = 0;
};

// --- envelopes ---------------------------------------------------------------
// Attack (linear), decay to the sustain level and release (exponential).
// Levels are Q30 internally, Q15 outside.
class Envelope {
public:
    struct Shape {
        std::int32_t attack = 1;          // samples
        std::int32_t decay = 1;           // samples to fall about 1/e of the way
        std::int32_t sustain = q15_one;   // Q15
        std::int32_t release = 1;         // samples to fall about 1/e
    };

    void set_shape(const Shape& shape)
    {
        attack_step_ = (1LL << 30) / (shape.attack < 1 ? 1 : shape.attack);
        decay_k_ = decay_factor_q30(shape.decay);
        sustain_ = static_cast<std::int64_t>(shape.sustain) << 15;
        release_k_ = decay_factor_q30(shape.release);
    }
    void gate_on() { stage_ = Stage::attack; }
    void gate_off()
    {
        if (stage_ != Stage::idle)
            stage_ = Stage::release;
    }
    bool idle() const { return stage_ == Stage::idle; }
    bool releasing() const { return stage_ == Stage::release; }

    std::int32_t next()
    {
        switch (stage_) {
        case Stage::idle:
            return 0;
        case Stage::attack:
            level_ += attack_step_;
            if (level_ >= (1LL << 30)) {
                level_ = 1LL << 30;
                stage_ = Stage::decay;
            }
            break;
        case Stage::decay:
            level_ = sustain_ + (((level_ - sustain_) * decay_k_) >> 30);
            break;
        case Stage::release:
            level_ = (level_ * release_k_) >> 30;
            if (level_ < idle_level) {  // -60 dB: inaudible under the mix
                level_ = 0;
                stage_ = Stage::idle;
            }
            break;
        }
        return static_cast<std::int32_t>(level_ >> 15);
    }

private:
    static constexpr std::int64_t idle_level = (1LL << 30) / 1024;
    enum class Stage : std::uint8_t { idle, attack, decay, release };
    Stage stage_ = Stage::idle;
    std::int64_t level_ = 0;
    std::int64_t attack_step_ = 1LL << 30;
    std::int64_t decay_k_ = 0;
    std::int64_t sustain_ = 1LL << 30;
    std::int64_t release_k_ = 0;
};

// A plain exponential decay from 1 (for drums): Q15 level, retriggerable.
class Decay {
public:
    void trigger(std::int32_t samples)
    {
        level_ = 1LL << 30;
        k_ = decay_factor_q30(samples);
    }
    std::int32_t next()
    {
        const auto out = static_cast<std::int32_t>(level_ >> 15);
        level_ = (level_ * k_) >> 30;
        return out;
    }
    bool idle() const { return level_ < (1LL << 30) / 1024; }  // -60 dB

private:
    std::int64_t level_ = 0;
    std::int64_t k_ = 0;
};

// --- effects -----------------------------------------------------------------
// A feedback echo with a darkening feedback path, like a tape delay.
class Echo {
public:
    Echo(std::int32_t delay_samples, std::int32_t feedback_q15);
    std::int32_t process(std::int32_t in);  // returns the wet signal only

private:
    std::vector<std::int32_t> line_;
    std::size_t at_ = 0;
    std::int32_t feedback_;
    std::int32_t damp_state_ = 0;
};

// A small Schroeder reverb: four damped combs in parallel, two all-passes
// in series. Returns the wet signal only.
class Reverb {
public:
    Reverb();
    std::int32_t process(std::int32_t in);

private:
    struct Comb {
        std::vector<std::int32_t> line;
        std::size_t at = 0;
        std::int32_t store = 0;
    };
    struct AllPass {
        std::vector<std::int32_t> line;
        std::size_t at = 0;
    };
    std::array<Comb, 4> combs_;
    std::array<AllPass, 2> allpasses_;
};

}  // namespace vexl::synth
