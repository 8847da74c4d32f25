#pragma once
// The heard position of an audio output, in output frames, read from any
// thread at any time.
//
// The output only tells us, at each of its callbacks, how many frames it
// has taken so far; what the listener hears at that moment lags by the
// frames still buffered in the device. Between callbacks the position is
// interpolated with the monotonic clock. Callback times are noisy (thread
// wake-ups), so each callback only nudges a straight-line model towards
// the measurement instead of snapping to it; a large error (start, stall,
// underrun) re-anchors the model. Reads never go backwards and never run
// past the frames actually handed to the device.

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

    // Model tuning, exposed for the tests: the share of the measured error
    // taken at each callback, and the error beyond which the model is
    // re-anchored rather than nudged.
    static constexpr double correction_gain = 1.0 / 16.0;
    static constexpr double reanchor_seconds = 0.1;

private:
    double predicted(Clock::time_point now) const;

    const int rate_;
    const std::int64_t latency_;
    mutable std::mutex mutex_;
    bool anchored_ = false;
    Clock::time_point anchor_time_{};
    double anchor_frames_ = 0.0;
    std::int64_t handed_ = 0;  // frames given to the device so far
    double last_read_ = 0.0;
};

}  // namespace vexl::platform
