#include "platform/linux/audio_clock.h"

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

}  // namespace
}  // namespace vexl::platform
