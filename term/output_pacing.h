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
// An answer can go missing (something else read it from the terminal's
// input). The answers all read alike, so a late one and a lost one can't be
// told apart by themselves; when one is overdue (twice what the answers
// have taken lately), a device-attributes request (CSI c) follows, whose
// answer differs and comes after every answer owed before it: whatever is
// still owed then is lost. A lost answer costs about a round trip; a late
// one costs a few bytes and nothing is written off by mistake.
//
// Some terminals never answer. Until the first answer the output is held
// back only locally (the descriptor's own queue); when none has come a
// while after the first request, no more are sent. A terminal that
// answered once but then stops for a long time is treated the same way.
//
// LinkState holds what the answers have told; only its events change it.
// decide() asks it, with the state of the local output, what to do now,
// and changes nothing: the caller carries the decision out.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>

namespace vexl::term {

using PaceClock = std::chrono::steady_clock;

class LinkState {
public:
    using Clock = PaceClock;

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
    // An answer is overdue after twice what the answers took lately, and
    // never before a frame's time; asking where the answers are is bounded
    // by how long a terminal is given to answer at all.
    static constexpr Clock::duration shortest_overdue = std::chrono::milliseconds(40);
    static constexpr std::size_t delays_kept = 4;
    // When the terminal is given back, its last answers are waited for at
    // least this long, and at most the longer bound.
    static constexpr Clock::duration shortest_settle = std::chrono::milliseconds(200);
    static constexpr Clock::duration longest_settle = std::chrono::seconds(2);

    enum class Mode { probing, answering, silent };

    // --- Events ---

    // A new frame is waiting to be shown.
    void presented(Clock::time_point now);
    // A request after a frame; `bytes`: the frame's and the request's.
    void requested(Clock::time_point now, std::size_t bytes) { request(now, bytes, true); }
    // A request on its own (on taking the terminal over), which measures
    // the round trip but not whether frames keep up.
    void requested_alone(Clock::time_point now) { request(now, 0, false); }
    // The device-attributes request that tells lost answers from late ones.
    void asked_where_answers_are(Clock::time_point now);
    // `answers` status reports came.
    void answered(int answers, Clock::time_point now);
    // The device attributes came: every status report owed from before
    // they were asked is lost.
    void attributes_answered(Clock::time_point now);
    // The terminal does not answer: no more requests.
    void stop_asking() { mode_ = Mode::silent; }
    // The terminal was given back and taken again: requests sent before
    // may have been cut off unsent, so none is waited for.
    void restart();

    // --- Questions ---

    Mode mode() const { return mode_; }
    int unanswered() const { return static_cast<int>(sent_.size()); }
    // Whether to send status requests at all.
    bool asks() const { return mode_ != Mode::silent; }
    // Bytes a second the far end takes; 0 until measured.
    double bytes_per_second() const;
    // The time between frames; zero until two came.
    Clock::duration frame_period() const { return period_; }
    // The terminal has been asked but never answered, for the time a
    // terminal is given to answer at all; or it answered once and then
    // owed answers for long.
    bool given_up(Clock::time_point now) const;
    // How many status requests may be unanswered when the next frame goes
    // at `now`, and from when a second one may be.
    int limit(Clock::time_point now) const;
    Clock::time_point limit_rises_at() const;
    // When the oldest unanswered request's answer is overdue (max: none is owed).
    Clock::time_point overdue_at() const;
    // Whether the device attributes are asked for and not answered yet.
    bool asking_where_answers_are() const { return sync_pending_; }
    // The waiting frame is stale and the next one is due soon: better to
    // send that one, on a link that can't carry every frame anyway.
    bool worth_waiting_for_newer(Clock::time_point now) const;
    Clock::time_point newer_due_at() const { return newest_ + period_ + period_ / 8; }
    // How long to wait for the answers still owed when the terminal is
    // given back (a late one would reach the shell).
    Clock::duration settle_time() const;

private:
    struct Request {
        Clock::time_point at;
        std::size_t bytes;
        bool after_frame;
    };

    void request(Clock::time_point now, std::size_t bytes, bool after_frame);
    Clock::duration transmit_time(std::size_t bytes) const;
    // When the far end began on bytes sent at `sent`, seen from here.
    Clock::time_point taking_from(Clock::time_point sent) const;
    // What an answer to a request of `bytes` may take, at the most.
    Clock::duration answer_allowance(std::size_t bytes) const;

    Mode mode_ = Mode::probing;
    bool asked_ = false;
    Clock::time_point first_request_{};
    Clock::time_point progress_{};  // the last answer, or the request that started the wait
    std::deque<Request> sent_;      // the unanswered status requests
    bool sync_pending_ = false;
    Clock::time_point sync_at_{};
    std::size_t sync_covers_ = 0;  // of sent_'s oldest, those asked before the attributes
    bool fastest_known_ = false;
    Clock::duration fastest_{};  // the shortest answer delay: the round trip
    std::deque<Clock::duration> delays_;  // the latest answer delays, the newest last
    bool keeping_up_ = false;
    bool last_answer_known_ = false;
    Clock::time_point last_answer_{};
    std::deque<double> speeds_;  // bytes a second, the newest last
    std::size_t frame_bytes_ = 0;  // of the last frame sent
    bool newest_known_ = false;
    Clock::time_point newest_{};  // when the newest frame came
    Clock::duration period_{};
};

// What the local side of the output is doing.
struct LocalOutput {
    bool idle = true;              // all of ours has been handed to the system
    std::size_t backlog = 0;       // bytes the system still holds for the terminal
    PaceClock::time_point paint_ready{};  // painting may take the loop's time again
};

struct PaceDecision {
    enum class Action {
        send,      // paint the newest picture now
        wait,      // until `until`, or until something changes
        coalesce,  // the waiting frame is stale: let the next one replace it
    };
    Action action = Action::send;
    PaceClock::time_point until = PaceClock::time_point::max();
    bool stop_asking = false;    // the terminal does not answer: no more requests
    bool ask_where_answers_are = false;  // an answer is overdue: send the attributes request
};

PaceDecision decide(PaceClock::time_point now, const LinkState& link, const LocalOutput& local);

}  // namespace vexl::term
