#pragma once
// The PC-speaker simulation: a DSP hook on the soundtrack stream that makes
// the music sound as if a PC's built-in speaker played it. Every sample is
// reduced to one of 25 levels (a speaker driven by pulse widths has little
// more), then four resonant ladder filters give it the thin, boxy tone of a
// small cone in a metal case.
//
// The state is process-wide and carries from block to block, so the result
// does not depend on how the library cuts the stream into blocks. It is
// touched only by the audio thread, one block at a time; no lock.

#include <cstdint>

namespace vexl {

// Which output of the ladder a stage delivers. Any other value gives
// silence while the stage's state still evolves.
enum LadderMode : std::int32_t {
    ladder_lowpass = 1,
    ladder_highpass = 2,
    ladder_bandpass = 3,
};

// One filter stage's memory, all 32-bit floats, in this order.
struct LadderState {
    float b0;  // previous input after the resonance feedback was taken off
    float b1;  // first pole
    float b2;  // second pole
    float b3;  // third pole
    float b4;  // fourth pole, after the soft clip
};

// The settings of one stage: normalised cutoff (0..1, independent of the
// sample rate), resonance (0..1) and the output taken.
struct LadderSettings {
    float cutoff;
    float resonance;
    LadderMode mode;
};

inline constexpr int speaker_stage_count = 4;

// The chain, in running order: a band-pass that shapes the cone's
// resonance, two high-passes for its missing bass, a low-pass for its
// missing treble.
inline constexpr LadderSettings speaker_stages[speaker_stage_count] = {
    {0.328f, 0.0021f, ladder_bandpass},
    {0.1f, 0.0f, ladder_highpass},
    {0.1f, 0.0f, ladder_highpass},
    {0.28f, 0.0f, ladder_lowpass},
};

// Conversion and quantiser constants.
inline constexpr float speaker_input_scale = 3.0518509e-05f;  // 1/32767 (not 1/32768)
inline constexpr float speaker_level_step = 0.083333336f;     // 1/12
inline constexpr float speaker_level_scale = 24.0f;
inline constexpr float speaker_level_bias = 0.001f;
inline constexpr float speaker_output_scale = 32600.0f;  // headroom below 32767
inline constexpr int speaker_level_count = 25;           // levels 0..24

// Ladder coefficient constants.
inline constexpr float ladder_cutoff_warp = 0.8f;
inline constexpr float ladder_resonance_curve = 5.6f;
inline constexpr float ladder_resonance_half = 0.5f;
inline constexpr float ladder_soft_clip = 0.166667f;  // near, not exactly, 1/6
inline constexpr float ladder_bandpass_gain = 3.0f;

// The quantiser's held level, 0..24; 0 at program start.
extern std::int32_t speaker_level;
// The four stages' memories, in running order; zero at program start.
extern LadderState speaker_filters[speaker_stage_count];

// The per-call coefficients of a stage, as 32-bit floats.
struct LadderCoefficients {
    float p;  // pole gain
    float k;  // pole feedback
    float r;  // resonance feedback
};
LadderCoefficients ladder_coefficients(float cutoff, float resonance);

// Runs one stage over `count` floats in place.
void ladder_filter(float* samples, std::int32_t count, float cutoff, float resonance,
                   LadderMode mode, LadderState& state);

// The last step of the hook: clamps to [-1, 1] (NaN to -1) and scales to a
// 16-bit sample, truncating toward zero; always within -32600..32600.
std::int16_t speaker_output_sample(float value);

// The DSP hook: rewrites `length` signed 16-bit samples of `block` in place
// and returns `block`. `source` and `param` are not read. If its work
// buffer cannot be allocated the block is returned unprocessed and the
// state is left as it was.
void* speaker_sim_dsp(void* source, void* block, int length, void* param);

// Puts the state back to program start (for offline runs and tests).
void speaker_sim_reset();

}  // namespace vexl
