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
// Some terminals never answer. Until the first answer the output is held
// back only locally (the descriptor's own queue); when none has come a
// while after the first request, no more are sent. A terminal that
// answered once but then stops for a long time is treated the same way.

#include <chrono>
#include <deque>

namespace vexl::platform {

class OutputPacing {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int unanswered_limit = 2;
    // An answer this much slower than the fastest one means the frames
    // queue up on their way.
    static constexpr Clock::duration keeping_up_margin = std::chrono::milliseconds(40);
    static constexpr Clock::duration first_answer_time = std::chrono::seconds(1);
    static constexpr Clock::duration answer_lost_time = std::chrono::seconds(10);

    enum class Mode { probing, answering, silent };

    Mode mode() const { return mode_; }
    int unanswered() const { return unanswered_; }
    // Whether to send status requests at all.
    bool asks() const { return mode_ != Mode::silent; }

    // `after_frame` false: a request on its own (on taking the terminal
    // over), which measures the round trip but not whether frames keep up.
    void requested(Clock::time_point now, bool after_frame = true)
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
        sent_.push_back({now, after_frame});
    }

    void answered(int answers, Clock::time_point now)
    {
        if (answers <= 0 || mode_ == Mode::silent)
            return;
        mode_ = Mode::answering;
        unanswered_ = unanswered_ > answers ? unanswered_ - answers : 0;
        progress_ = now;
        for (; answers > 0 && !sent_.empty(); --answers) {
            const Clock::duration delay = now - sent_.front().at;
            const bool after_frame = sent_.front().after_frame;
            sent_.pop_front();
            if (!fastest_known_ || delay < fastest_) {
                fastest_known_ = true;
                fastest_ = delay;
            }
            if (after_frame)
                keeping_up_ = delay - fastest_ <= keeping_up_margin;
        }
    }

    // How many frames may be unanswered now.
    int limit() const { return keeping_up_ ? unanswered_limit : 1; }

    // False while the terminal is behind by the limit.
    bool may_send(Clock::time_point now)
    {
        if (mode_ == Mode::probing && asked_ && now - first_request_ >= first_answer_time)
            mode_ = Mode::silent;
        if (mode_ != Mode::answering)
            return true;
        if (unanswered_ < limit())
            return true;
        if (now - progress_ >= answer_lost_time) {
            mode_ = Mode::silent;
            return true;
        }
        return false;
    }

    // The terminal was given back and taken again: requests sent before
    // may have been cut off unsent, so none is waited for.
    void restart()
    {
        unanswered_ = 0;
        sent_.clear();
    }

private:
    Mode mode_ = Mode::probing;
    bool asked_ = false;
    int unanswered_ = 0;
    Clock::time_point first_request_{};
    Clock::time_point progress_{};  // the last answer, or the request that started the wait
    struct Request {
        Clock::time_point at;
        bool after_frame;
    };
    std::deque<Request> sent_;  // the unanswered requests
    bool fastest_known_ = false;
    Clock::duration fastest_{};  // the shortest answer delay: the round trip
    bool keeping_up_ = false;
};

}  // namespace vexl::platform
