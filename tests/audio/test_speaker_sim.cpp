#include "audio/speaker_sim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace vexl {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class SpeakerSim : public ::testing::Test {
protected:
    void SetUp() override { speaker_sim_reset(); }
    void TearDown() override { speaker_sim_reset(); }

    static std::vector<std::int16_t> run(std::vector<std::int16_t> block)
    {
        EXPECT_EQ(speaker_sim_dsp(nullptr, block.data(), static_cast<int>(block.size()), nullptr),
                  block.data());
        return block;
    }

    // The level the quantiser takes from `input`, read through the held
    // level that the next sample emits.
    static std::int32_t level_after(std::int16_t input)
    {
        speaker_sim_reset();
        std::int16_t s = input;
        speaker_sim_dsp(nullptr, &s, 1, nullptr);
        return speaker_level;
    }
};

TEST_F(SpeakerSim, EightThenFourSamplesFromProgramStart)
{
    EXPECT_THAT(run(std::vector<std::int16_t>(8, 16384)),
                ElementsAre(-235, -1401, -3072, -2039, 3634, 9570, 10545, 7315));
    EXPECT_THAT(run(std::vector<std::int16_t>(4, 0)), ElementsAre(3597, 964, -1563, -5096));
}

TEST_F(SpeakerSim, ResultDoesNotDependOnBlockSizes)
{
    std::vector<std::int16_t> input(8, 16384);
    input.resize(12, 0);
    std::vector<std::int16_t> out;
    for (auto [from, to] : {std::pair{0, 3}, {3, 9}, {9, 12}}) {
        const auto part = run({input.begin() + from, input.begin() + to});
        out.insert(out.end(), part.begin(), part.end());
    }
    EXPECT_THAT(out, ElementsAre(-235, -1401, -3072, -2039, 3634, 9570, 10545, 7315, 3597, 964,
                                 -1563, -5096));

    // A longer, livelier signal cut two ways.
    std::vector<std::int16_t> wave(4000);
    for (std::size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
    speaker_sim_reset();
    const auto whole = run(wave);
    speaker_sim_reset();
    std::vector<std::int16_t> pieces;
    std::size_t at = 0;
    for (std::size_t size = 1; at < wave.size(); size = size * 3 % 997 + 1) {
        const std::size_t end = std::min(wave.size(), at + size);
        const auto part = run({wave.begin() + static_cast<long>(at), wave.begin() + static_cast<long>(end)});
        pieces.insert(pieces.end(), part.begin(), part.end());
        at = end;
    }
    EXPECT_EQ(pieces, whole);
}

TEST_F(SpeakerSim, EmptyBlockChangesNothing)
{
    run(std::vector<std::int16_t>(5, 16384));
    const std::int32_t level = speaker_level;
    const LadderState first = speaker_filters[0];
    std::int16_t untouched = 1234;
    EXPECT_EQ(speaker_sim_dsp(nullptr, &untouched, 0, nullptr), &untouched);
    EXPECT_EQ(speaker_sim_dsp(nullptr, &untouched, -3, nullptr), &untouched);
    EXPECT_EQ(untouched, 1234);
    EXPECT_EQ(speaker_level, level);
    EXPECT_EQ(speaker_filters[0].b4, first.b4);
}

TEST_F(SpeakerSim, QuantiserLevelsAtTheirBoundaries)
{
    EXPECT_EQ(level_after(0), 12);
    EXPECT_EQ(level_after(-2), 12);
    EXPECT_EQ(level_after(-3), 11);
    EXPECT_EQ(level_after(2727), 12);
    EXPECT_EQ(level_after(2728), 13);
    EXPECT_EQ(level_after(32764), 23);
    EXPECT_EQ(level_after(32765), 24);
    EXPECT_EQ(level_after(32767), 24);
    EXPECT_EQ(level_after(-32768), 0);

    // The first input of every level; the one below it is still a level lower.
    constexpr std::array<int, 25> first_input{
        -32768, -30039, -27308, -24577, -21847, -19116, -16386, -13655, -10925,
        -8194,  -5463,  -2733,  -2,     2728,   5459,   8190,   10920,  13651,
        16381,  19112,  21842,  24573,  27304,  30034,  32765};
    for (int level = 0; level < speaker_level_count; ++level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(level_after(static_cast<std::int16_t>(first_input[level])), level);
        if (level > 0) {
            EXPECT_EQ(level_after(static_cast<std::int16_t>(first_input[level] - 1)), level - 1);
        }
    }
}

TEST_F(SpeakerSim, FirstSampleIsLevelZeroAndExtremeLevelsAreExact)
{
    // Bypass the filters by reading the quantiser's output the way the
    // chain sees it: level 0 emits -1, level 24 emits +1.
    EXPECT_EQ(0.0f * speaker_level_step - 1.0f, -1.0f);
    EXPECT_EQ(24.0f * speaker_level_step - 1.0f, 1.0f);

    // Whatever the first input, the first emitted value is level 0: the
    // output is the chain's answer to -1, the same for any first sample.
    std::int16_t a = 32767;
    speaker_sim_dsp(nullptr, &a, 1, nullptr);
    speaker_sim_reset();
    std::int16_t b = -32768;
    speaker_sim_dsp(nullptr, &b, 1, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, 0);
}

TEST_F(SpeakerSim, CoefficientsOfTheFourStages)
{
    const LadderCoefficients s1 = ladder_coefficients(0.328f, 0.0021f);
    EXPECT_FLOAT_EQ(s1.p, 0.50433284f);
    EXPECT_FLOAT_EQ(s1.k, 0.0086656809f);
    EXPECT_FLOAT_EQ(s1.r, 0.0041158074f);
    const LadderCoefficients s2 = ladder_coefficients(0.1f, 0.0f);
    EXPECT_FLOAT_EQ(s2.p, 0.172f);
    EXPECT_FLOAT_EQ(s2.k, -0.656f);
    EXPECT_EQ(s2.r, 0.0f);
    const LadderCoefficients s4 = ladder_coefficients(0.28f, 0.0f);
    EXPECT_FLOAT_EQ(s4.p, 0.44128001f);
    EXPECT_FLOAT_EQ(s4.k, -0.11743999f);
    EXPECT_EQ(s4.r, 0.0f);
}

std::vector<float> impulse_response(const LadderSettings& stage)
{
    std::vector<float> v{1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    LadderState state{};
    ladder_filter(v.data(), static_cast<std::int32_t>(v.size()), stage.cutoff, stage.resonance,
                  stage.mode, state);
    return v;
}

void expect_near_relative(const std::vector<float>& got, const std::vector<float>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], std::abs(want[i]) * 2e-4f) << "sample " << i;
}

TEST(LadderFilter, SingleStagesFedOneThenZeros)
{
    expect_near_relative(impulse_response(speaker_stages[0]),
                         {0.19088f, 0.38327f, 0.013797f, -0.37476f, -0.17815f});
    expect_near_relative(impulse_response(speaker_stages[1]),
                         {0.99912f, -0.0057974f, -0.018203f, -0.037278f, -0.058059f});
    expect_near_relative(impulse_response(speaker_stages[2]),
                         {0.99912f, -0.0057974f, -0.018203f, -0.037278f, -0.058059f});
    expect_near_relative(impulse_response(speaker_stages[3]),
                         {0.037910f, 0.16868f, 0.29922f, 0.27648f, 0.14471f});
}

TEST(LadderFilter, StateCarriesAcrossCallsAndSplitsAnywhere)
{
    std::vector<float> whole(64);
    for (std::size_t i = 0; i < whole.size(); ++i)
        whole[i] = static_cast<float>((i * 37) % 11) / 5.0f - 1.0f;
    std::vector<float> split = whole;
    LadderState a{}, b{};
    ladder_filter(whole.data(), 64, 0.328f, 0.0021f, ladder_bandpass, a);
    ladder_filter(split.data(), 13, 0.328f, 0.0021f, ladder_bandpass, b);
    ladder_filter(split.data() + 13, 51, 0.328f, 0.0021f, ladder_bandpass, b);
    EXPECT_EQ(whole, split);
    EXPECT_EQ(a.b4, b.b4);
}

TEST(LadderFilter, InvalidModeOutputsZerosButKeepsTheStateMoving)
{
    for (std::int32_t bad : {0, 4, -1, 99}) {
        SCOPED_TRACE(bad);
        std::vector<float> silent{1.0f, 0.5f, -0.25f, 0.0f};
        std::vector<float> low = silent;
        LadderState s_bad{}, s_low{};
        ladder_filter(silent.data(), 4, 0.28f, 0.3f, static_cast<LadderMode>(bad), s_bad);
        ladder_filter(low.data(), 4, 0.28f, 0.3f, ladder_lowpass, s_low);
        EXPECT_THAT(silent, ElementsAre(0.0f, 0.0f, 0.0f, 0.0f));
        EXPECT_EQ(s_bad.b0, s_low.b0);
        EXPECT_EQ(s_bad.b4, s_low.b4);
        EXPECT_NE(s_bad.b4, 0.0f);
    }
}

TEST(SpeakerOutput, ClampedAndTruncatedTowardZero)
{
    EXPECT_EQ(speaker_output_sample(1.0001f), 32600);
    EXPECT_EQ(speaker_output_sample(7.0f), 32600);
    EXPECT_EQ(speaker_output_sample(-1.0001f), -32600);
    EXPECT_EQ(speaker_output_sample(-std::numeric_limits<float>::infinity()), -32600);
    EXPECT_EQ(speaker_output_sample(std::numeric_limits<float>::quiet_NaN()), -32600);
    EXPECT_EQ(speaker_output_sample(0.99999f), 32599);
    EXPECT_EQ(speaker_output_sample(-0.5f), -16300);
    EXPECT_EQ(speaker_output_sample(-0.99999f), -32599);
    EXPECT_EQ(speaker_output_sample(0.0f), 0);
}

TEST_F(SpeakerSim, FullScaleInputStaysWithinTheRails)
{
    // The chain's band-pass has gain; whatever goes in, the block holds
    // values the clamp allows.
    for (std::size_t period : {1u, 4u, 10u, 15u}) {
        std::vector<std::int16_t> square(4096);
        for (std::size_t i = 0; i < square.size(); ++i)
            square[i] = (i / period) % 2 == 0 ? 32767 : -32768;
        const auto out = run(square);
        const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
        EXPECT_GE(*lo, -32600);
        EXPECT_LE(*hi, 32600);
    }
}

TEST_F(SpeakerSim, NotANumberCannotReachTheBlock)
{
    // A NaN in the filter state (here planted by hand) is clamped to -1 on
    // the way out, never turned into an undefined conversion.
    speaker_filters[3].b4 = std::numeric_limits<float>::quiet_NaN();
    speaker_filters[3].b3 = std::numeric_limits<float>::quiet_NaN();
    std::vector<std::int16_t> block(4, 0);
    const auto out = run(block);
    EXPECT_THAT(out, ElementsAreArray({-32600, -32600, -32600, -32600}));
}

}  // namespace
}  // namespace vexl
