#include "audio/audio_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vexl::platform {
namespace {

using Clock = AudioClock::Clock;
using std::chrono::microseconds;

Clock::time_point at_us(std::int64_t us) { return Clock::time_point(microseconds(us)); }

TEST(AudioClock, ZeroUntilTheFirstBlockThenFollowsTheDevice)
{
    AudioClock clock(1000, 0);  // 1000 frames a second: 1 frame = 1 ms
    EXPECT_EQ(clock.heard_frames(at_us(5'000'000)), 0.0);
    // Perfectly regular callbacks of 20 frames every 20 ms.
    for (int k = 0; k < 100; ++k)
        clock.on_block(20, at_us(1'000'000 + k * 20'000));
    EXPECT_EQ(clock.frames_handed(), 2000);
    // Between callbacks the position runs with the monotonic clock.
    EXPECT_NEAR(clock.heard_frames(at_us(1'000'000 + 99 * 20'000 + 7'000)), 99 * 20 + 7, 1e-6);
}

TEST(AudioClock, LatencyIsSubtractedAndNothingBeforeStartIsNegative)
{
    AudioClock clock(1000, 40);
    clock.on_block(20, at_us(0));
    EXPECT_EQ(clock.heard_frames(at_us(10'000)), 0.0);  // still the buffered lead-in
    for (int k = 1; k < 50; ++k)
        clock.on_block(20, at_us(k * 20'000));
    EXPECT_NEAR(clock.heard_frames(at_us(49 * 20'000)), 49 * 20 - 40, 0.5);
}

TEST(AudioClock, NeverRunsPastWhatWasHandedNorBackwards)
{
    AudioClock clock(1000, 0);
    clock.on_block(20, at_us(0));
    clock.on_block(20, at_us(20'000));
    // The device stalls: no more callbacks. The position stops at the data.
    EXPECT_EQ(clock.heard_frames(at_us(500'000)), 40.0);
    // The device comes back much later: the model re-anchors, which would be
    // below what was already reported; the answer holds still instead.
    clock.on_block(20, at_us(1'000'000));
    EXPECT_EQ(clock.heard_frames(at_us(1'000'000)), 40.0);
    EXPECT_GE(clock.heard_frames(at_us(1'010'000)), 40.0);
    EXPECT_NEAR(clock.heard_frames(at_us(1'019'000)), 40.0 + 19.0, 1.0);
}

TEST(AudioClock, JitteryCallbacksGiveASmoothLine)
{
    // Callbacks wake up late by 0-3 ms at random; the position read every
    // millisecond stays within a fraction of a millisecond of the true line.
    AudioClock clock(48000, 960);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> late_us(0, 3000);
    const std::int64_t period_us = 20'000;  // 960 frames
    double worst = 0.0;
    std::int64_t next_callback = 0;
    int k = 0;
    double previous = 0.0;
    for (std::int64_t t = 0; t < 10'000'000; t += 1000) {
        while (next_callback <= t) {
            clock.on_block(960, at_us(next_callback));
            ++k;
            next_callback = k * period_us + late_us(random);
        }
        const double heard = clock.heard_frames(at_us(t));
        ASSERT_GE(heard, previous);
        previous = heard;
        if (t > 2'000'000) {  // after settling
            const double ideal = (static_cast<double>(t) / 1e6) * 48000.0 - 960.0;
            worst = std::max(worst, std::abs(heard - ideal + 48.0 * 1.5));  // mean lateness 1.5 ms
        }
    }
    EXPECT_LT(worst / 48.0, 0.5) << "ms";  // raw callback noise is +-1.5 ms
}

// A device whose callbacks come every `period_us` plus a random wake-up
// delay, read every millisecond; returns the worst distance (in frames)
// between the clock and `truth` after the first two seconds.
template <class Truth, class Late>
double worst_error(AudioClock& clock, std::int64_t frames, double period_us, std::int64_t until_us,
                   Truth truth, Late late_us)
{
    double worst = 0.0;
    double previous = 0.0;
    int k = 0;
    std::int64_t next = 0;
    for (std::int64_t t = 0; t < until_us; t += 1000) {
        while (next <= t) {
            clock.on_block(frames, at_us(next));
            ++k;
            next = static_cast<std::int64_t>(k * period_us) + late_us(k);
        }
        const double heard = clock.heard_frames(at_us(t));
        EXPECT_GE(heard, previous);
        previous = heard;
        if (t > 2'000'000)
            worst = std::max(worst, std::abs(heard - truth(t)));
    }
    return worst;
}

TEST(AudioClock, LearnsTheSpeedOfADeviceFarFromItsNominalRate)
{
    // 512-frame blocks at 22050 Hz taken 14% slower than real time, each
    // callback up to 0.4 ms late: the clock runs at the device's pace, not
    // the nominal one, without the saw-tooth of a model stuck at 22050.
    AudioClock clock(22050, 512);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> late(0, 400);
    const double speed = 0.86;
    const double period_us = 512 / 22050.0 / speed * 1e6;
    const double worst = worst_error(
        clock, 512, period_us, 20'000'000,
        [&](std::int64_t t) { return t / 1e6 * 22050 * speed - 512 - 0.2e-3 * 22050 * speed; },
        [&](int) { return late(random); });
    EXPECT_LT(worst / 22.05, 0.5) << "ms";
    EXPECT_NEAR(clock.speed(), speed, 0.001);
}

TEST(AudioClock, OneVeryLateCallbackBarelyMovesItButARealJumpIsFollowed)
{
    AudioClock clock(1000, 0);  // 1 frame = 1 ms
    std::int64_t t = 0;
    for (; t < 5'000'000; t += 20'000)
        clock.on_block(20, at_us(t));
    // One wake-up 15 ms late, then on time again.
    clock.on_block(20, at_us(t + 15'000));
    const double after_late = clock.heard_frames(at_us(t + 19'000));
    EXPECT_NEAR(after_late, (t + 19'000) / 1000.0, 1.0);
    for (t += 20'000; t < 8'000'000; t += 20'000)
        clock.on_block(20, at_us(t));
    EXPECT_NEAR(clock.heard_frames(at_us(t)), t / 1000.0, 0.5);

    // The device stops for 30 ms and carries on from there: after half a
    // second the clock is in step with it again.
    const std::int64_t jump = t;
    for (t += 30'000; t < jump + 550'000; t += 20'000)
        clock.on_block(20, at_us(t));
    EXPECT_NEAR(clock.heard_frames(at_us(t)), (t - 30'000) / 1000.0, 2.0);
    EXPECT_NEAR(clock.speed(), 1.0, 0.01);
}

TEST(AudioClock, RawAccountRunsOnForOneBlockAtMost)
{
    AudioClock clock(1000, 40);
    EXPECT_EQ(clock.raw_frames(at_us(0)), 0.0);
    clock.on_block(20, at_us(0));
    clock.on_block(20, at_us(20'000));
    EXPECT_DOUBLE_EQ(clock.raw_frames(at_us(30'000)), 20 - 40 + 10);
    EXPECT_DOUBLE_EQ(clock.raw_frames(at_us(90'000)), 20 - 40 + 20);
}

}  // namespace
}  // namespace vexl::platform
