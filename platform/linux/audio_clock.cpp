#include "platform/linux/audio_clock.h"

#include <algorithm>
#include <cmath>

namespace vexl::platform {

AudioClock::AudioClock(int rate, std::int64_t latency_frames)
    : rate_(rate > 0 ? rate : 1), latency_(std::max<std::int64_t>(0, latency_frames))
{
}

double AudioClock::predicted(Clock::time_point now) const
{
    const double elapsed = std::chrono::duration<double>(now - anchor_time_).count();
    return anchor_frames_ + elapsed * rate_;
}

void AudioClock::on_block(std::int64_t frames, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    // What is being heard right now: everything handed before, less what
    // still waits in the device.
    const double measured = static_cast<double>(handed_ - latency_);
    if (!anchored_) {
        anchored_ = true;
        anchor_time_ = now;
        anchor_frames_ = measured;
    } else {
        const double expected = predicted(now);
        const double error = measured - expected;
        anchor_time_ = now;
        if (std::abs(error) > reanchor_seconds * rate_)
            anchor_frames_ = measured;
        else
            anchor_frames_ = expected + error * correction_gain;
    }
    handed_ += std::max<std::int64_t>(0, frames);
}

double AudioClock::heard_frames(Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    if (!anchored_)
        return last_read_;
    double position = predicted(now);
    position = std::min(position, static_cast<double>(handed_));
    position = std::max(position, last_read_);
    last_read_ = position;
    return position;
}

std::int64_t AudioClock::frames_handed() const
{
    std::lock_guard lock(mutex_);
    return handed_;
}

}  // namespace vexl::platform
