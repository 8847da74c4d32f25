#include "audio/audio_clock.h"

#include <algorithm>
#include <cmath>

namespace vexl::platform {
namespace {

// How unsure the speed is before the first callbacks: a device may run well
// off its nominal rate.
constexpr double initial_speed_sigma = 0.1;
// Speeds beyond these are no device, only a burst of callbacks.
constexpr double slowest_speed = 0.5;
constexpr double fastest_speed = 2.0;

}  // namespace

AudioClock::AudioClock(int rate, std::int64_t latency_frames)
    : rate_(rate > 0 ? rate : 1), latency_(std::max<std::int64_t>(0, latency_frames))
{
}

double AudioClock::estimate_at(Clock::time_point now) const
{
    const double t = std::chrono::duration<double>(now - origin_).count();
    return position_ + speed_ * (t - time_);
}

void AudioClock::reanchor(double measured, double now_s)
{
    time_ = now_s;
    position_ = measured;
    constexpr double r = callback_noise_seconds * callback_noise_seconds;
    p00_ = r;
    p01_ = 0.0;
    clipped_in_a_row_ = 0;
}

void AudioClock::on_block(std::int64_t frames, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    // What is being heard right now: everything handed before, less what
    // still waits in the device.
    const double measured = static_cast<double>(handed_ - latency_) / rate_;
    last_block_time_ = now;
    last_block_frames_ = std::max<std::int64_t>(0, frames);
    handed_ += last_block_frames_;
    if (!anchored_) {
        anchored_ = true;
        origin_ = now;
        speed_ = 1.0;
        p11_ = initial_speed_sigma * initial_speed_sigma;
        reanchor(measured, 0.0);
        return;
    }
    const double t = std::chrono::duration<double>(now - origin_).count();
    const double dt = std::max(0.0, t - time_);

    // Predict: position runs on at the estimated speed; the speed may have
    // wandered a little.
    const double predicted = position_ + speed_ * dt;
    const double q = speed_wander;
    double a00 = p00_ + dt * (2.0 * p01_ + dt * p11_) + q * dt * dt * dt / 3.0;
    const double a01 = p01_ + dt * p11_ + q * dt * dt / 2.0;
    const double a11 = p11_ + q * dt;

    double error = measured - predicted;
    if (std::abs(error) > reanchor_seconds) {
        p11_ = a11;
        reanchor(measured, t);
        return;
    }
    constexpr double r = callback_noise_seconds * callback_noise_seconds;
    double spread = a00 + r;
    const double limit = clip_sigmas * std::sqrt(spread);
    if (std::abs(error) > limit) {
        // One late wake-up says little. The same story again and again
        // means the device really moved: then the estimate admits that much
        // doubt about where it is and follows within a few callbacks.
        const int side = error > 0 ? 1 : -1;
        clipped_in_a_row_ = clipped_in_a_row_ * side >= 0 ? clipped_in_a_row_ + side : side;
        if (std::abs(clipped_in_a_row_) < believe_after) {
            error = side * limit;
        } else {
            const double excess = std::abs(error) - limit;
            a00 += excess * excess;
            spread = a00 + r;
        }
    } else {
        clipped_in_a_row_ = 0;
    }
    const double k0 = a00 / spread;
    const double k1 = a01 / spread;
    time_ = t;
    position_ = predicted + k0 * error;
    speed_ = std::clamp(speed_ + k1 * error, slowest_speed, fastest_speed);
    p00_ = (1.0 - k0) * a00;
    p01_ = (1.0 - k0) * a01;
    p11_ = a11 - k1 * a01;
}

double AudioClock::heard_frames(Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    if (!anchored_)
        return last_read_;
    double position = estimate_at(now) * rate_;
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

double AudioClock::speed() const
{
    std::lock_guard lock(mutex_);
    return speed_;
}

double AudioClock::raw_frames(Clock::time_point now) const
{
    std::lock_guard lock(mutex_);
    if (!anchored_)
        return 0.0;
    const double since = std::chrono::duration<double>(now - last_block_time_).count() * rate_;
    const auto at_block = static_cast<double>(handed_ - last_block_frames_ - latency_);
    return at_block + std::clamp(since, 0.0, static_cast<double>(last_block_frames_));
}

}  // namespace vexl::platform
