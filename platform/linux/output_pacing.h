#pragma once
// When the next frame may go to the terminal, measured end to end: a
// status request (CSI 5 n) follows each frame, and the terminal answers
// only after it has shown everything before it, however many links lie in
// between. A frame goes out while fewer than `unanswered_limit` are
// unanswered; otherwise the picture waits and later frames replace it.
//
// Some terminals never answer. Until the first answer the output is held
// back only locally (the descriptor's own queue); when none has come a
// while after the first request, no more are sent. A terminal that
// answered once but then stops for a long time is treated the same way.

#include <chrono>

namespace vexl::platform {

class OutputPacing {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int unanswered_limit = 2;
    static constexpr Clock::duration first_answer_time = std::chrono::seconds(1);
    static constexpr Clock::duration answer_lost_time = std::chrono::seconds(10);

    enum class Mode { probing, answering, silent };

    Mode mode() const { return mode_; }
    int unanswered() const { return unanswered_; }
    // Whether to send status requests at all.
    bool asks() const { return mode_ != Mode::silent; }

    void requested(Clock::time_point now)
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
    }

    void answered(int answers, Clock::time_point now)
    {
        if (answers <= 0 || mode_ == Mode::silent)
            return;
        mode_ = Mode::answering;
        unanswered_ = unanswered_ > answers ? unanswered_ - answers : 0;
        progress_ = now;
    }

    // False while the terminal is behind by the limit.
    bool may_send(Clock::time_point now)
    {
        if (mode_ == Mode::probing && asked_ && now - first_request_ >= first_answer_time)
            mode_ = Mode::silent;
        if (mode_ != Mode::answering)
            return true;
        if (unanswered_ < unanswered_limit)
            return true;
        if (now - progress_ >= answer_lost_time) {
            mode_ = Mode::silent;
            return true;
        }
        return false;
    }

    // The terminal was given back and taken again: requests sent before
    // may have been cut off unsent, so none is waited for.
    void restart() { unanswered_ = 0; }

private:
    Mode mode_ = Mode::probing;
    bool asked_ = false;
    int unanswered_ = 0;
    Clock::time_point first_request_{};
    Clock::time_point progress_{};  // the last answer, or the request that started the wait
};

}  // namespace vexl::platform
