#include "tools/synth/synth.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tools/synth/dsp.h"
#include "tools/synth/fixed_point.h"

namespace vexl::synth {
namespace {

std::uint64_t fingerprint(const std::vector<std::int16_t>& samples)
{
    std::uint64_t h = 1469598103934665603ULL;  // FNV-1a over the sample values
    for (std::int16_t v : samples) {
        h ^= static_cast<std::uint16_t>(v);
        h *= 1099511628211ULL;
    }
    return h;
}

double rms(const std::vector<std::int16_t>& s, std::int64_t from, std::int64_t to)
{
    double sum = 0;
    for (std::int64_t i = from; i < to; ++i)
        sum += static_cast<double>(s[static_cast<std::size_t>(i)]) * s[static_cast<std::size_t>(i)];
    return std::sqrt(sum / static_cast<double>(to - from));
}

class DefaultSoundtrack : public ::testing::Test {
protected:
    static void SetUpTestSuite() { track_ = new std::vector<std::int16_t>(render_default_soundtrack()); }
    static void TearDownTestSuite()
    {
        delete track_;
        track_ = nullptr;
    }
    static const std::vector<std::int16_t>& track() { return *track_; }

private:
    static inline std::vector<std::int16_t>* track_ = nullptr;
};

TEST_F(DefaultSoundtrack, IsExactly706SecondsAndTheSameBytesEverywhere)
{
    ASSERT_EQ(track().size(), 15567300u);
    // Integer arithmetic only: this value is the same on every machine and
    // build (sanitizers included). Change it only together with the music.
    EXPECT_EQ(fingerprint(track()), 0x3446df177fc81ecfULL);
}

TEST_F(DefaultSoundtrack, RendersTheSameTwiceInOneProcess)
{
    // No state survives a render (caches, statics): a second run is equal.
    EXPECT_EQ(render_default_soundtrack(), track());
}

TEST_F(DefaultSoundtrack, FollowsTheSectionPlan)
{
    const BeatGrid& grid = default_beat_grid();
    double intro = 0, loudest_main = 0, quietest_main = 1e9;
    for (const Section& s : grid.sections) {
        const double level = rms(track(), s.start_sample, s.end_sample);
        SCOPED_TRACE(std::string(s.name));
        EXPECT_GT(level, 500.0);  // nothing is silent for a whole section
        if (s.kind == SectionKind::intro)
            intro = level;
        if (s.kind == SectionKind::main || s.kind == SectionKind::finale) {
            loudest_main = std::max(loudest_main, level);
            quietest_main = std::min(quietest_main, level);
        }
    }
    EXPECT_LT(intro * 2.0, quietest_main);
    EXPECT_LT(loudest_main, 16000.0);  // headroom, not a wall of clipping
    // It fades out: the last second is silent, and it does not start with a click.
    EXPECT_EQ(rms(track(), grid.total_samples - 22050, grid.total_samples), 0.0);
    EXPECT_LT(std::abs(track()[0]), 10);
}

TEST_F(DefaultSoundtrack, KicksOfTheGridAreHeardWhereTheGridSaysTheyAre)
{
    // The demo flashes on these positions; the audio must punch there. In
    // the theme section every kick brings a jump in level.
    const BeatGrid& grid = default_beat_grid();
    const Section& theme = grid.sections[2];
    ASSERT_EQ(theme.name, "theme");
    int kicks = 0, punches = 0;
    for (std::int64_t k : grid.kicks) {
        if (!theme.contains(k) || k < 2000)
            continue;
        ++kicks;
        if (rms(track(), k, k + 441) > 1.5 * rms(track(), k - 441, k))
            ++punches;
    }
    EXPECT_GT(kicks, 100);
    EXPECT_GE(punches, kicks * 9 / 10);
}

TEST(SynthUnits, SineTableAndPitchesAreAccurate)
{
    for (std::uint32_t i = 0; i < 4096; i += 7) {
        const double exact = 32767.0 * std::sin(2.0 * M_PI * i / 4096.0);
        ASSERT_NEAR(sine_q15(i << 20), exact, 1.5) << i;
    }
    // A4 = 440 Hz, A3 = 220 Hz, C4 = 261.63 Hz.
    EXPECT_NEAR(note_increment(69) * 22050.0 / 4294967296.0, 440.0, 0.01);
    EXPECT_NEAR(note_increment(57) * 22050.0 / 4294967296.0, 220.0, 0.01);
    EXPECT_NEAR(note_increment(60) * 22050.0 / 4294967296.0, 261.626, 0.01);
    EXPECT_NEAR(note_increment(28) * 22050.0 / 4294967296.0, 41.203, 0.01);
}

TEST(SynthUnits, WavetablesStayBelowNyquist)
{
    // A high saw played from its table has no energy folding back below
    // its fundamental: a DFT bin between 0 and f is near silent.
    Oscillator osc;
    const std::uint32_t inc = note_increment(93);  // A6, 1760 Hz
    osc.set(Wave::saw, inc);
    std::vector<double> s(22050);
    for (double& v : s)
        v = osc.next();
    auto bin = [&](double hz) {
        double re = 0, im = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            re += s[i] * std::cos(2 * M_PI * hz * static_cast<double>(i) / 22050.0);
            im += s[i] * std::sin(2 * M_PI * hz * static_cast<double>(i) / 22050.0);
        }
        return std::hypot(re, im);
    };
    const double fundamental = bin(1760.0);
    // A naive saw's 13th and 14th harmonics would fold back to 830 and
    // 2590 Hz at a twentieth of the fundamental's strength.
    EXPECT_LT(bin(830.0), fundamental / 300.0);
    EXPECT_LT(bin(2590.0), fundamental / 300.0);
    EXPECT_GT(bin(3520.0), fundamental / 4.0);  // the real harmonics are there
}

}  // namespace
}  // namespace vexl::synth
