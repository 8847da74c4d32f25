#include "tools/synth/score.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexl::synth {
namespace {

TEST(DefaultBeatGrid, BeatsAndBarsAreWholeFramesAndCoverTheTrack)
{
    const BeatGrid& g = default_beat_grid();
    EXPECT_EQ(g.total_samples, 15567300);
    EXPECT_EQ(g.samples_per_beat, 10584);
    EXPECT_EQ(g.samples_per_beat % samples_per_frame, 0);
    ASSERT_EQ(g.beats.size(), 1471u);  // the last beat starts 8820 samples before the end
    ASSERT_EQ(g.bars.size(), 368u);
    for (std::size_t i = 0; i < g.beats.size(); ++i)
        ASSERT_EQ(g.beats[i], static_cast<std::int64_t>(i) * 10584);
    for (std::size_t i = 0; i < g.bars.size(); ++i)
        ASSERT_EQ(g.bars[i], g.beats[i * 4]);
    EXPECT_LT(g.beats.back(), g.total_samples);
}

TEST(DefaultBeatGrid, SectionsAreGaplessOnBarLinesInPlannedOrder)
{
    const BeatGrid& g = default_beat_grid();
    ASSERT_FALSE(g.sections.empty());
    EXPECT_EQ(g.sections.front().name, "intro");
    EXPECT_EQ(g.sections.front().start_sample, 0);
    EXPECT_EQ(g.sections.back().name, "outro");
    EXPECT_EQ(g.sections.back().kind, SectionKind::outro);
    EXPECT_EQ(g.sections.back().end_sample, g.total_samples);
    int bar = 0;
    for (std::size_t i = 0; i < g.sections.size(); ++i) {
        const Section& s = g.sections[i];
        SCOPED_TRACE(std::string(s.name));
        EXPECT_EQ(s.first_bar, bar);
        EXPECT_EQ(s.start_sample, bar * samples_per_bar);
        if (i + 1 < g.sections.size()) {
            EXPECT_EQ(s.end_sample, g.sections[i + 1].start_sample);
        }
        EXPECT_GE(s.intensity, 0);
        EXPECT_LE(s.intensity, 10);
        bar += s.bar_count;
    }
    EXPECT_EQ(bar, 368);  // the outro's part bar counts as one
    const auto finale = std::find_if(g.sections.begin(), g.sections.end(),
                                     [](const Section& s) { return s.kind == SectionKind::finale; });
    ASSERT_NE(finale, g.sections.end());
    EXPECT_EQ(finale->intensity, 10);
}

TEST(DefaultBeatGrid, LookupsClampAndFindTheContainingSlot)
{
    const BeatGrid& g = default_beat_grid();
    EXPECT_EQ(g.beat_at(-5), 0);
    EXPECT_EQ(g.beat_at(10583), 0);
    EXPECT_EQ(g.beat_at(10584), 1);
    EXPECT_EQ(g.beat_at(g.total_samples + 1000), 1470);
    EXPECT_EQ(g.bar_at(42336 * 32), 32);
    EXPECT_EQ(g.section_at(0).name, "intro");
    EXPECT_EQ(g.section_at(42336 * 32 - 1).name, "rise");
    EXPECT_EQ(g.section_at(42336 * 32).name, "theme");
    EXPECT_EQ(g.section_at(g.total_samples + 5).name, "outro");
    EXPECT_DOUBLE_EQ(g.beat_phase(10584 * 3), 0.0);
    EXPECT_DOUBLE_EQ(g.beat_phase(10584 * 3 + 5292), 0.5);
}

TEST(DefaultBeatGrid, DrumHitsFollowTheArrangement)
{
    const BeatGrid& g = default_beat_grid();
    ASSERT_FALSE(g.kicks.empty());
    EXPECT_TRUE(std::is_sorted(g.kicks.begin(), g.kicks.end()));
    EXPECT_TRUE(std::is_sorted(g.snares.begin(), g.snares.end()));
    for (std::int64_t k : g.kicks) {
        ASSERT_EQ(k % samples_per_step, 0);
        const Section& s = g.section_at(k);
        ASSERT_NE(s.kind, SectionKind::intro);
        ASSERT_NE(s.layers & layer_kick, 0u) << s.name;
    }
    // The theme opens on a kick, a quiet section has none.
    EXPECT_TRUE(std::binary_search(g.kicks.begin(), g.kicks.end(), 42336 * 32));
    const Section& drift = g.section_at(42336 * 100);
    EXPECT_EQ(drift.name, "drift");
    EXPECT_EQ(std::count_if(g.kicks.begin(), g.kicks.end(),
                            [&](std::int64_t k) { return drift.contains(k); }),
              0);
}

}  // namespace
}  // namespace vexl::synth
