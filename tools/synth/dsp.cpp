#include "tools/synth/dsp.h"

namespace vexl::synth {
namespace {

// Sums sine harmonics into one table (saw: every harmonic at 1/k; square:
// odd harmonics at 1/k), then scales its peak to 90% of full scale.
void build_table(std::int16_t* out, int harmonics, bool odd_only)
{
    constexpr int n = Wavetables::size;
    constexpr int step = sine_size / n;
    std::vector<std::int64_t> sum(n, 0);
    for (int k = 1; k <= harmonics; k += odd_only ? 2 : 1) {
        const std::int64_t weight = 65536 / k;
        for (int i = 0; i < n; ++i)
            sum[static_cast<std::size_t>(i)] +=
                sine_table[static_cast<std::size_t>((static_cast<std::int64_t>(k) * i * step) % sine_size)] * weight;
    }
    std::int64_t peak = 1;
    for (std::int64_t v : sum)
        peak = v > peak ? v : (-v > peak ? -v : peak);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(sum[static_cast<std::size_t>(i)] * 29490 / peak);
}

constexpr std::int32_t band_top_hz(int band) { return 40 << band; }

}  // namespace

const Wavetables& Wavetables::get()
{
    static const Wavetables tables;
    return tables;
}

Wavetables::Wavetables()
    : saw_(static_cast<std::size_t>(bands * size)), square_(static_cast<std::size_t>(bands * size))
{
    for (int b = 0; b < bands; ++b) {
        // Harmonics up to about 10 kHz for the highest note of the band.
        const int harmonics = 10000 / band_top_hz(b) > 1 ? 10000 / band_top_hz(b) : 1;
        build_table(&saw_[static_cast<std::size_t>(b * size)], harmonics, false);
        build_table(&square_[static_cast<std::size_t>(b * size)], harmonics, true);
    }
}

const std::int16_t* Wavetables::table(Wave wave, std::uint32_t increment) const
{
    if (wave == Wave::sine)
        return nullptr;
    int band = 0;
    while (band + 1 < bands && increment > hz_increment(band_top_hz(band)))
        ++band;
    const auto& tables = wave == Wave::saw ? saw_ : square_;
    return &tables[static_cast<std::size_t>(band * size)];
}

Echo::Echo(std::int32_t delay_samples, std::int32_t feedback_q15)
    : line_(static_cast<std::size_t>(delay_samples < 1 ? 1 : delay_samples), 0),
      feedback_(feedback_q15)
{
}

std::int32_t Echo::process(std::int32_t in)
{
    const std::int32_t out = line_[at_];
    // One-pole low-pass in the loop: each repeat a little duller.
    damp_state_ += (out - damp_state_) >> 1;
    line_[at_] = in + mul_q15(damp_state_, feedback_);
    at_ = at_ + 1 == line_.size() ? 0 : at_ + 1;
    return out;
}

Reverb::Reverb()
{
    // Mutually prime lengths (about 25-31 ms and 5-8 ms at 22050 Hz).
    constexpr std::array<int, 4> comb_lengths{557, 593, 641, 677};
    constexpr std::array<int, 2> allpass_lengths{113, 173};
    for (std::size_t i = 0; i < combs_.size(); ++i)
        combs_[i].line.assign(static_cast<std::size_t>(comb_lengths[i]), 0);
    for (std::size_t i = 0; i < allpasses_.size(); ++i)
        allpasses_[i].line.assign(static_cast<std::size_t>(allpass_lengths[i]), 0);
}

std::int32_t Reverb::process(std::int32_t in)
{
    constexpr std::int32_t feedback = 27525;  // 0.84: a medium room, about 1.5 s
    constexpr std::int32_t damping = 9830;    // 0.3: high frequencies die first
    std::int32_t sum = 0;
    for (Comb& c : combs_) {
        const std::int32_t out = c.line[c.at];
        c.store = out + mul_q15(c.store - out, damping);
        c.line[c.at] = (in >> 2) + mul_q15(c.store, feedback);
        c.at = c.at + 1 == c.line.size() ? 0 : c.at + 1;
        sum += out;
    }
    for (AllPass& a : allpasses_) {
        const std::int32_t delayed = a.line[a.at];
        const std::int32_t out = delayed - sum;
        a.line[a.at] = sum + (delayed >> 1);
        a.at = a.at + 1 == a.line.size() ? 0 : a.at + 1;
        sum = out;
    }
    return sum;
}

}  // namespace vexl::synth
