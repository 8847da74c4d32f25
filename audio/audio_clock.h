#pragma once
// The heard position of an audio output, in output frames, read from any
// thread at any time.
//
// The output only tells us, at each of its callbacks, how many frames it
// has taken so far; what the listener hears at that moment lags by the
// frames still buffered in the device. Callback times are noisy (thread
// wake-ups, drivers that ask in bursts) and a device's speed is never quite
// its nominal rate (its own crystal; SDL's dummy driver pacing itself with
// millisecond sleeps). So the callbacks feed a small Kalman filter that
// estimates both the position and the device's speed; between callbacks
// the position runs on from the estimate with the monotonic clock. Single
// late callbacks are clipped unless the error persists; a large one (start,
// stall, underrun) re-anchors the estimate on the measurement. Reads never
// go backwards and never run past the frames actually handed to the device.

#include <chrono>
#include <cstdint>
#include <mutex>

namespace vexl::platform {

class AudioClock {
public:
    using Clock = std::chrono::steady_clock;

    // `rate`: output frames per second; `latency_frames`: frames the device
    // holds beyond the block it asks for at a callback.
    AudioClock(int rate, std::int64_t latency_frames);

    // At a callback, before the block is handed over: `frames` is the size
    // of the block about to be handed to the device at `now`.
    void on_block(std::int64_t frames, Clock::time_point now);

    // The heard position at `now`, in frames since the output started (0
    // before anything was heard). Never less than an earlier answer.
    double heard_frames(Clock::time_point now);

    int rate() const { return rate_; }
    std::int64_t latency_frames() const { return latency_; }
    std::int64_t frames_handed() const;
    // The device's estimated speed: frames it consumes per second over its
    // nominal rate (1 before the estimate exists).
    double speed() const;
    // The device's own account, unfiltered, for measuring the estimate
    // against: what was heard at the last callback, run on at the nominal
    // rate for at most the block handed then.
    double raw_frames(Clock::time_point now) const;

    // Filter tuning, in seconds of sound: the spread of a callback's time
    // around its true moment, and how fast the device's speed may wander
    // (variance growth of the speed per second). A measurement further off
    // than `clip_sigmas` of its expected spread counts only that far, until
    // `believe_after` such callbacks in a row fall on the same side. A
    // single error beyond `reanchor_seconds` moves the estimate onto the
    // measurement at once.
    static constexpr double callback_noise_seconds = 1e-3;
    static constexpr double speed_wander = 3e-8;
    static constexpr double clip_sigmas = 3.0;
    static constexpr int believe_after = 8;
    static constexpr double reanchor_seconds = 0.1;

private:
    double estimate_at(Clock::time_point now) const;  // in seconds of sound
    void reanchor(double measured, double now_s);

    const int rate_;
    const std::int64_t latency_;
    mutable std::mutex mutex_;
    bool anchored_ = false;
    Clock::time_point origin_{};  // the first callback; filter times count from here
    double time_ = 0.0;           // of the last callback, seconds since origin_
    double position_ = 0.0;       // estimated heard position then, seconds of sound
    double speed_ = 1.0;          // estimated seconds of sound per second
    double p00_ = 0.0, p01_ = 0.0, p11_ = 0.0;  // covariance of (position, speed)
    int clipped_in_a_row_ = 0;                  // signed: the side they fell on
    std::int64_t handed_ = 0;                   // frames given to the device so far
    Clock::time_point last_block_time_{};
    std::int64_t last_block_frames_ = 0;
    double last_read_ = 0.0;
};

}  // namespace vexl::platform
