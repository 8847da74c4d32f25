#include "audio/soundtrack.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/speaker_sim.h"
#include "core/process_records.h"
#include "tests/fakes/fake_audio_library.h"

namespace vexl {
namespace {

using ::testing::ElementsAre;

TEST(SampleClock, ConversionWorkedValues)
{
    static_assert(samples_from_ms(0) == 0);
    EXPECT_EQ(samples_from_ms(1), 22);
    EXPECT_EQ(samples_from_ms(999), 22027);
    EXPECT_EQ(samples_from_ms(1000), 22050);
    EXPECT_EQ(samples_from_ms(100000), 2205000);  // past 97 s: no overflow
    EXPECT_EQ(samples_from_ms(706000), 15567300);
    EXPECT_EQ(samples_from_ms(-1), -22);         // truncated toward zero
    EXPECT_EQ(samples_from_ms(-1000), -22050);
    // The whole 32-bit range converts without overflow; only the low 32
    // bits of the quotient are kept.
    EXPECT_EQ(samples_from_ms(2147483647), 107374160);  // 47352014416 mod 2^32
}

class Soundtrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_settings_ = PlayerSettings;
        soundtrack_stream = nullptr;
        speaker_sim_reset();
    }
    void TearDown() override
    {
        PlayerSettings = saved_settings_;
        soundtrack_stream = nullptr;
        speaker_sim_reset();
    }

    fakes::FakeAudioLibrary library_;
    platform::ScopedService<platform::AudioLibrary> installed_{library_};
    PlayerSettingsRecord saved_settings_;
};

TEST_F(Soundtrack, PlainRunCallsTheLibraryInOrder)
{
    PlayerSettings.simulate_speaker = false;
    soundtrack_start();
    EXPECT_NE(soundtrack_stream, nullptr);
    library_.set_time_ms(1000);
    EXPECT_EQ(sample_clock(), 22050);
    library_.set_time_ms(706000);
    EXPECT_EQ(sample_clock(), 15567300);
    soundtrack_stop();
    EXPECT_THAT(library_.calls(),
                ElementsAre("init(22050, 1, 0x2)", "stream_open_file(\"ld_vexl.d2\", 0x130, 0) -> stream1",
                            "stream_play(0, stream1)", "stream_get_time(stream1) -> 1000",
                            "stream_get_time(stream1) -> 706000", "stream_close(stream1)",
                            "close()"));
    EXPECT_TRUE(library_.dsps().empty());
}

TEST_F(Soundtrack, SpeakerSimulationIsSwitchedOnBeforePlay)
{
    PlayerSettings.simulate_speaker = true;
    soundtrack_start();
    EXPECT_THAT(library_.calls(),
                ElementsAre("init(22050, 1, 0x2)", "stream_open_file(\"ld_vexl.d2\", 0x130, 0) -> stream1",
                            "stream_create_dsp(stream1, callback, 0, 0) -> dsp1",
                            "dsp_set_active(dsp1, 1)", "stream_play(0, stream1)"));
    const auto dsps = library_.dsps();
    ASSERT_EQ(dsps.size(), 1u);
    EXPECT_EQ(dsps[0].callback, &speaker_sim_dsp);
    EXPECT_EQ(dsps[0].priority, 0);
    EXPECT_EQ(dsps[0].param, nullptr);
    EXPECT_TRUE(dsps[0].active);

    // The first block the library plays goes through the simulation.
    std::vector<std::int16_t> block(8, 16384);
    EXPECT_EQ(library_.run_dsp(block), 1);
    EXPECT_THAT(block, ElementsAre(-235, -1401, -3072, -2039, 3634, 9570, 10545, 7315));
    soundtrack_stop();
}

TEST_F(Soundtrack, MissingFileStillMakesEveryCallWithTheNullHandle)
{
    PlayerSettings.simulate_speaker = true;
    library_.fail_open(true);
    soundtrack_start();
    EXPECT_EQ(soundtrack_stream, nullptr);
    EXPECT_EQ(sample_clock(), 0);
    soundtrack_stop();
    EXPECT_THAT(library_.calls(),
                ElementsAre("init(22050, 1, 0x2)", "stream_open_file(\"ld_vexl.d2\", 0x130, 0) -> null",
                            "stream_create_dsp(null, callback, 0, 0) -> null",
                            "dsp_set_active(null, 1)", "stream_play(0, null)",
                            "stream_get_time(null) -> 0", "stream_close(null)", "close()"));
}

}  // namespace
}  // namespace vexl
