#pragma once
// Integer building blocks of the synthesizer. Every sample is computed with
// integer arithmetic only, so the soundtrack comes out bit for bit the same
// on every machine, compiler and optimisation level; no libm call and no
// floating point is anywhere in the sample path.
//
// Formats: audio signals are Q15 (full scale +-32767) held in int32 so sums
// have headroom; gains and envelope levels are Q15 too unless noted;
// oscillator phases are unsigned 32-bit fractions of a cycle.

#include <array>
#include <cstdint>

namespace vexl::synth {

inline constexpr int sample_rate = 22050;
inline constexpr std::int32_t q15_one = 1 << 15;

constexpr std::int32_t mul_q15(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>((static_cast<std::int64_t>(a) * b) >> 15);
}

constexpr std::int32_t clamp16(std::int32_t v)
{
    return v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
}

// --- sine ----------------------------------------------------------------
inline constexpr int sine_bits = 12;
inline constexpr int sine_size = 1 << sine_bits;

// sin(pi/2 * x) for x = i / quarter in Q30, by its Taylor series to the
// ninth power (error below 4e-6, far under one Q15 step).
constexpr std::int64_t quarter_sine_q30(std::int64_t i, std::int64_t quarter)
{
    constexpr std::int64_t one = 1LL << 30;
    const std::int64_t x = (i * one) / quarter;
    const std::int64_t x2 = (x * x) >> 30;
    // (pi/2)^n / n! in Q30 for n = 1, 3, 5, 7, 9.
    constexpr std::int64_t c1 = 1686629713, c3 = 693598668, c5 = 85569306, c7 = 5026995,
                           c9 = 172272;
    std::int64_t t = c9;
    t = c7 - ((t * x2) >> 30);
    t = c5 - ((t * x2) >> 30);
    t = c3 - ((t * x2) >> 30);
    t = c1 - ((t * x2) >> 30);
    return (t * x) >> 30;
}

constexpr std::array<std::int16_t, sine_size> make_sine_table()
{
    std::array<std::int16_t, sine_size> table{};
    constexpr int quarter = sine_size / 4;
    for (int i = 0; i <= quarter; ++i) {
        std::int64_t v = (quarter_sine_q30(i, quarter) * 32767 + (1LL << 29)) >> 30;
        if (v > 32767)
            v = 32767;
        const auto s = static_cast<std::int16_t>(v);
        table[static_cast<std::size_t>(i)] = s;                                 // rising
        table[static_cast<std::size_t>((2 * quarter - i) % sine_size)] = s;     // falling
        table[static_cast<std::size_t>((2 * quarter + i) % sine_size)] = static_cast<std::int16_t>(-s);
        table[static_cast<std::size_t>((4 * quarter - i) % sine_size)] = static_cast<std::int16_t>(-s);
    }
    return table;
}

inline constexpr std::array<std::int16_t, sine_size> sine_table = make_sine_table();

// Q15 sine of a 32-bit phase (a full cycle is 2^32), linearly interpolated.
constexpr std::int32_t sine_q15(std::uint32_t phase)
{
    const std::uint32_t index = phase >> (32 - sine_bits);
    const std::int32_t frac = static_cast<std::int32_t>((phase >> (32 - sine_bits - 15)) & 0x7FFF);
    const std::int32_t a = sine_table[index];
    const std::int32_t b = sine_table[(index + 1) & (sine_size - 1)];
    return a + (((b - a) * frac) >> 15);
}

// --- pitch ---------------------------------------------------------------
// 2^(k/12) in Q30 for the twelve semitones of an octave.
inline constexpr std::array<std::int64_t, 12> semitone_ratio_q30{
    1073741824, 1137589835, 1205234447, 1276901417, 1352829926, 1433273380,
    1518500250, 1608794974, 1704458901, 1805811301, 1913190429, 2026954652};

// Phase increment per sample of 440 Hz at 22050 Hz.
inline constexpr std::int64_t a4_increment = 85704563;

// Phase increment per sample of MIDI note `note` (69 = A4 = 440 Hz).
constexpr std::uint32_t note_increment(int note)
{
    const int from_a4 = note - 69;
    int octave = from_a4 >= 0 ? from_a4 / 12 : -((11 - from_a4) / 12);
    const int semitone = from_a4 - octave * 12;
    std::int64_t inc = (a4_increment * semitone_ratio_q30[static_cast<std::size_t>(semitone)]) >> 30;
    inc = octave >= 0 ? inc << octave : inc >> -octave;
    return static_cast<std::uint32_t>(inc);
}

// Phase increment of a frequency given in Hz.
constexpr std::uint32_t hz_increment(std::int64_t hz)
{
    return static_cast<std::uint32_t>((hz << 32) / sample_rate);
}

// Multiplies an increment by (1 + cents/1200)-ish: a small detune in
// 1/65536 steps (65536 = unchanged).
constexpr std::uint32_t detune(std::uint32_t increment, std::int32_t ratio_q16)
{
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(increment) *
                                       static_cast<std::uint32_t>(ratio_q16)) >> 16);
}

// --- time ----------------------------------------------------------------
constexpr std::int32_t ms_samples(std::int32_t ms)
{
    return static_cast<std::int32_t>(static_cast<std::int64_t>(ms) * sample_rate / 1000);
}

// Per-sample factor (Q30) of an exponential decay that falls to about 1/e
// in `samples`: 1 - 1/samples, close to exp(-1/samples) for the long
// times used here.
constexpr std::int64_t decay_factor_q30(std::int64_t samples)
{
    return (1LL << 30) - (1LL << 30) / (samples < 2 ? 2 : samples);
}

// --- noise ---------------------------------------------------------------
class Noise {
public:
    explicit constexpr Noise(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
    // Q15 white noise.
    constexpr std::int32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::int32_t>(state_ >> 16) - 32768;
    }

private:
    std::uint32_t state_;
};

}  // namespace vexl::synth
