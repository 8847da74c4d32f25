#include "audio/speaker_sim.h"

#include <cstdlib>

namespace vexl {

std::int32_t speaker_level = 0;
LadderState speaker_filters[speaker_stage_count] = {};

namespace {

// NaN fails every comparison, so it lands on -1 with the values below it.
inline float clamp_unit(float x)
{
    if (!(x >= -1.0f))
        return -1.0f;
    if (x > 1.0f)
        return 1.0f;
    return x;
}

}  // namespace

std::int16_t speaker_output_sample(float value)
{
    return static_cast<std::int16_t>(clamp_unit(value) * speaker_output_scale);
}

LadderCoefficients ladder_coefficients(float cutoff, float resonance)
{
    const float q = 1.0f - cutoff;
    const float p = cutoff * (1.0f + ladder_cutoff_warp * q);
    const float k = 2.0f * p - 1.0f;
    const float r = resonance * (1.0f + ladder_resonance_half * q *
                                            (1.0f - q + ladder_resonance_curve * q * q));
    return {p, k, r};
}

namespace {

// One sample through one stage. Shared by ladder_filter and the hook, so
// the two compute exactly the same values.
inline float ladder_step(float v, const LadderCoefficients& c, LadderMode mode, LadderState& s)
{
    const float x = v - c.r * s.b4;
    const float n1 = (x + s.b0) * c.p - c.k * s.b1;
    const float n2 = (n1 + s.b1) * c.p - c.k * s.b2;
    const float n3 = (n2 + s.b2) * c.p - c.k * s.b3;
    const float y = (n3 + s.b3) * c.p - c.k * s.b4;
    const float n4 = y - y * y * y * ladder_soft_clip;
    s = {x, n1, n2, n3, n4};
    switch (mode) {
    case ladder_lowpass: return n4;
    case ladder_highpass: return x - n4;
    case ladder_bandpass: return ladder_bandpass_gain * (n3 - n4);
    default: return 0.0f;
    }
}

}  // namespace

void ladder_filter(float* samples, std::int32_t count, float cutoff, float resonance,
                   LadderMode mode, LadderState& state)
{
    const LadderCoefficients c = ladder_coefficients(cutoff, resonance);
    LadderState s = state;
    for (std::int32_t i = 0; i < count; ++i)
        samples[i] = ladder_step(samples[i], c, mode, s);
    state = s;
}

void* speaker_sim_dsp(void* /*source*/, void* block, int length, void* /*param*/)
{
    if (block == nullptr || length <= 0)
        return block;
    auto* samples = static_cast<std::int16_t*>(block);
    const auto n = static_cast<std::size_t>(length);
    // A plain heap block, as the rest of the player's buffers.
    auto* work = static_cast<float*>(std::malloc(n * sizeof(float)));
    if (work == nullptr)
        return block;  // heard unprocessed rather than not at all

    // Convert and quantise. The held level is emitted before the new one is
    // taken, so the quantised signal runs one sample late.
    std::int32_t level = speaker_level;
    for (std::size_t i = 0; i < n; ++i) {
        const float x = clamp_unit(static_cast<float>(samples[i]) * speaker_input_scale);
        work[i] = static_cast<float>(level) * speaker_level_step - 1.0f;
        const float v = (x + 1.0f) * 0.5f;
        level = static_cast<std::int32_t>(v * speaker_level_scale + speaker_level_bias);
    }
    speaker_level = level;

    // The four stages, each over the whole block in order. Each stage sees
    // the same sequence of values as it would running over the block on its
    // own, so running them side by side, sample by sample, gives the same
    // result while letting the processor overlap the stages' work.
    LadderCoefficients c[speaker_stage_count];
    LadderState s[speaker_stage_count];
    for (int k = 0; k < speaker_stage_count; ++k) {
        c[k] = ladder_coefficients(speaker_stages[k].cutoff, speaker_stages[k].resonance);
        s[k] = speaker_filters[k];
    }
    for (std::size_t i = 0; i < n; ++i) {
        float v = work[i];
        v = ladder_step(v, c[0], speaker_stages[0].mode, s[0]);
        v = ladder_step(v, c[1], speaker_stages[1].mode, s[1]);
        v = ladder_step(v, c[2], speaker_stages[2].mode, s[2]);
        v = ladder_step(v, c[3], speaker_stages[3].mode, s[3]);
        work[i] = v;
        samples[i] = speaker_output_sample(v);
    }
    for (int k = 0; k < speaker_stage_count; ++k)
        speaker_filters[k] = s[k];

    std::free(work);
    return block;
}

void speaker_sim_reset()
{
    speaker_level = 0;
    for (LadderState& s : speaker_filters)
        s = {};
}

}  // namespace vexl
