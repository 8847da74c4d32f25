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

void ladder_filter(float* samples, std::int32_t count, float cutoff, float resonance,
                   LadderMode mode, LadderState& state)
{
    const auto [p, k, r] = ladder_coefficients(cutoff, resonance);

    float b0 = state.b0, b1 = state.b1, b2 = state.b2, b3 = state.b3, b4 = state.b4;
    for (std::int32_t i = 0; i < count; ++i) {
        const float x = samples[i] - r * b4;
        const float n1 = (x + b0) * p - k * b1;
        const float n2 = (n1 + b1) * p - k * b2;
        const float n3 = (n2 + b2) * p - k * b3;
        const float y = (n3 + b3) * p - k * b4;
        const float n4 = y - y * y * y * ladder_soft_clip;
        b0 = x;
        b1 = n1;
        b2 = n2;
        b3 = n3;
        b4 = n4;
        switch (mode) {
        case ladder_lowpass: samples[i] = n4; break;
        case ladder_highpass: samples[i] = x - n4; break;
        case ladder_bandpass: samples[i] = ladder_bandpass_gain * (n3 - n4); break;
        default: samples[i] = 0.0f; break;
        }
    }
    state = {b0, b1, b2, b3, b4};
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

    for (std::size_t i = 0; i < n; ++i)
        work[i] = static_cast<float>(samples[i]) * speaker_input_scale;

    // The held level is emitted before the new one is taken, so the
    // quantised signal runs one sample late.
    std::int32_t level = speaker_level;
    for (std::size_t i = 0; i < n; ++i) {
        const float x = clamp_unit(work[i]);
        work[i] = static_cast<float>(level) * speaker_level_step - 1.0f;
        const float v = (x + 1.0f) * 0.5f;
        level = static_cast<std::int32_t>(v * speaker_level_scale + speaker_level_bias);
    }
    speaker_level = level;

    for (int s = 0; s < speaker_stage_count; ++s)
        ladder_filter(work, length, speaker_stages[s].cutoff, speaker_stages[s].resonance,
                      speaker_stages[s].mode, speaker_filters[s]);

    for (std::size_t i = 0; i < n; ++i)
        samples[i] = speaker_output_sample(work[i]);

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
