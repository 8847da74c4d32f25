#pragma once
// When the next frame may go to the terminal, measured end to end: a
// status request (CSI 5 n) follows each frame, and the terminal answers
// only after it has shown everything before it, however many links lie in
// between. A frame goes out only when the one before has been answered;
// otherwise the picture waits and later frames replace it. A terminal that
// keeps up (its answers take no longer than the shortest round trip seen,
// give or take a frame's time) may have two frames unanswered, so that a
// fast but distant one is not held to one frame per round trip; on a slow
// link the second would only wait behind the first and add to the lag.
//
// On a slow link two more things keep the lag down. The answers tell the
// link's speed (bytes the far end took between two answers); once that is
// known, and the round trip is long enough to matter, the next frame goes
// a round trip before the one on its way is expected to be answered, so
// that it arrives just as the link runs dry instead of a round trip later.
// And a frame that goes stays on the screen until the next one is through,
// so it should be as new as possible: when the waiting frame is older than
// half a frame period, the next one (due sooner than the waiting one is
// old) goes instead, if the link could not carry every frame anyway.
//
// Some terminals never answer. Until the first answer the output is held
// back only locally (the descriptor's own queue); when none has come a
// while after the first request, no more are sent. A terminal that
// answered once but then stops for a long time is treated the same way.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>

namespace vexl::term {

class OutputPacing {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int unanswered_limit = 2;
    // An answer this much slower than the fastest one means the frames
    // queue up on their way.
    static constexpr Clock::duration keeping_up_margin = std::chrono::milliseconds(40);
    static constexpr Clock::duration first_answer_time = std::chrono::seconds(1);
    static constexpr Clock::duration answer_lost_time = std::chrono::seconds(10);
    // Shorter transmissions are mostly the noise of wake-ups and reads.
    static constexpr Clock::duration shortest_measured = std::chrono::milliseconds(10);
    // The speed is the lowest of the last few measurements (a guess too
    // high would queue frames up), used once there are two.
    static constexpr std::size_t speeds_kept = 4;
    static constexpr std::size_t speeds_trusted = 2;
    // Sending ahead of the answer covers the round trip, but if the far end
    // slows down the frame queues behind the one before, where a fresher
    // one could have gone at the answer: not worth it for a nearby terminal.
    static constexpr Clock::duration shortest_round_trip_to_cover = std::chrono::milliseconds(5);
    // Frames further apart than this are a pause, not the frame rate.
    static constexpr Clock::duration longest_period = std::chrono::milliseconds(250);

    enum class Mode { probing, answering, silent };

    Mode mode() const { return mode_; }
    int unanswered() const { return unanswered_; }
    // Whether to send status requests at all.
    bool asks() const { return mode_ != Mode::silent; }
    // Bytes a second the far end takes; 0 until measured.
    double bytes_per_second() const
    {
        if (speeds_.size() < speeds_trusted)
            return 0;
        return *std::min_element(speeds_.begin(), speeds_.end());
    }
    // The time between frames; zero until two came.
    Clock::duration frame_period() const { return period_; }

    // A new frame is waiting to be shown.
    void presented(Clock::time_point now)
    {
        if (newest_known_) {
            const Clock::duration gap = now - newest_;
            if (gap > Clock::duration::zero() && gap <= longest_period)
                period_ = period_ == Clock::duration::zero() ? gap : period_ + (gap - period_) / 8;
        }
        newest_known_ = true;
        newest_ = now;
    }

    // A request after a frame; `bytes`: the frame's and the request's.
    void requested(Clock::time_point now, std::size_t bytes) { request(now, bytes, true); }
    // A request on its own (on taking the terminal over), which measures
    // the round trip but not whether frames keep up.
    void requested_alone(Clock::time_point now) { request(now, 0, false); }

    void answered(int answers, Clock::time_point now)
    {
        if (answers <= 0 || mode_ == Mode::silent)
            return;
        mode_ = Mode::answering;
        unanswered_ = unanswered_ > answers ? unanswered_ - answers : 0;
        progress_ = now;
        if (sent_.empty())
            return;  // late answers to requests that were cut off
        const Clock::time_point first_sent = sent_.front().at;
        std::size_t bytes = 0;
        for (; answers > 0 && !sent_.empty(); --answers) {
            const Clock::duration delay = now - sent_.front().at;
            const bool after_frame = sent_.front().after_frame;
            bytes += sent_.front().bytes;
            sent_.pop_front();
            if (!fastest_known_ || delay < fastest_) {
                fastest_known_ = true;
                fastest_ = delay;
            }
            if (after_frame)
                keeping_up_ = delay - fastest_ <= keeping_up_margin;
        }
        // The far end took these bytes from when the first of them reached
        // it, or from when it was done with what came before, until it
        // answered: each answer comes a round trip's second half later.
        const Clock::duration taking = now - taking_from(first_sent);
        if (bytes > 0 && taking >= shortest_measured) {
            if (speeds_.size() == speeds_kept)
                speeds_.pop_front();
            speeds_.push_back(static_cast<double>(bytes) / std::chrono::duration<double>(taking).count());
        }
        last_answer_ = now;
        last_answer_known_ = true;
    }

    // False while the terminal is behind by the limit, or while a newer
    // frame is worth waiting for.
    bool may_send(Clock::time_point now)
    {
        if (mode_ == Mode::probing && asked_ && now - first_request_ >= first_answer_time)
            mode_ = Mode::silent;
        if (mode_ != Mode::answering)
            return true;
        if (unanswered_ >= limit(now)) {
            if (now - progress_ < answer_lost_time)
                return false;
            mode_ = Mode::silent;
            return true;
        }
        return !worth_waiting_for_newer(now);
    }

    // The terminal was given back and taken again: requests sent before
    // may have been cut off unsent, so none is waited for.
    void restart()
    {
        unanswered_ = 0;
        sent_.clear();
        last_answer_known_ = false;
    }

private:
    void request(Clock::time_point now, std::size_t bytes, bool after_frame)
    {
        if (mode_ == Mode::silent)
            return;
        if (!asked_) {
            asked_ = true;
            first_request_ = now;
        }
        if (unanswered_ == 0)
            progress_ = now;
        ++unanswered_;
        sent_.push_back({now, bytes, after_frame});
        if (after_frame)
            frame_bytes_ = bytes;
    }

    Clock::duration transmit_time(std::size_t bytes) const
    {
        // Bounded so that a speed measured absurdly low can't overflow the clock.
        const double seconds = std::min(static_cast<double>(bytes) / bytes_per_second(), 3600.0);
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    // When the far end began on bytes sent at `sent`, seen from here.
    Clock::time_point taking_from(Clock::time_point sent) const
    {
        const Clock::time_point arrived = sent + fastest_;
        return last_answer_known_ ? std::max(arrived, last_answer_) : arrived;
    }

    int limit(Clock::time_point now) const
    {
        if (keeping_up_)
            return unanswered_limit;
        // The frame on its way will be through within a round trip: the
        // next one, sent now, arrives as the link runs dry.
        if (unanswered_ == 1 && sent_.size() == 1 && fastest_ >= shortest_round_trip_to_cover &&
            bytes_per_second() > 0) {
            const Clock::time_point expected_answer = taking_from(sent_.back().at) + transmit_time(sent_.back().bytes);
            if (now >= expected_answer - fastest_)
                return unanswered_limit;
        }
        return 1;
    }

    // Only where the link can't carry every frame anyway, so no frame is
    // skipped that could have been shown.
    bool worth_waiting_for_newer(Clock::time_point now) const
    {
        if (keeping_up_ || !newest_known_ || period_ == Clock::duration::zero() || bytes_per_second() == 0 ||
            transmit_time(frame_bytes_) < period_)
            return false;
        const Clock::duration age = now - newest_;
        return age > period_ / 2 && age <= period_ + period_ / 8;
    }

    Mode mode_ = Mode::probing;
    bool asked_ = false;
    int unanswered_ = 0;
    Clock::time_point first_request_{};
    Clock::time_point progress_{};  // the last answer, or the request that started the wait
    struct Request {
        Clock::time_point at;
        std::size_t bytes;
        bool after_frame;
    };
    std::deque<Request> sent_;  // the unanswered requests
    bool fastest_known_ = false;
    Clock::duration fastest_{};  // the shortest answer delay: the round trip
    bool keeping_up_ = false;
    bool last_answer_known_ = false;
    Clock::time_point last_answer_{};
    std::deque<double> speeds_;  // bytes a second, the newest last
    std::size_t frame_bytes_ = 0;  // of the last frame sent
    bool newest_known_ = false;
    Clock::time_point newest_{};  // when the newest frame came
    Clock::duration period_{};
};

}  // namespace vexl::term
