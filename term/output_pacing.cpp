#include "term/output_pacing.h"

namespace vexl::term {

void LinkState::presented(Clock::time_point now)
{
    if (newest_known_) {
        const Clock::duration gap = now - newest_;
        if (gap > Clock::duration::zero() && gap <= longest_period)
            period_ = period_ == Clock::duration::zero() ? gap : period_ + (gap - period_) / 8;
    }
    newest_known_ = true;
    newest_ = now;
}

void LinkState::request(Clock::time_point now, std::size_t bytes, bool after_frame)
{
    if (mode_ == Mode::silent)
        return;
    if (!asked_) {
        asked_ = true;
        first_request_ = now;
    }
    if (sent_.empty() && !sync_pending_)
        progress_ = now;
    sent_.push_back({now, bytes, after_frame});
    if (after_frame)
        frame_bytes_ = bytes;
}

void LinkState::asked_where_answers_are(Clock::time_point now)
{
    if (!sync_pending_ && sent_.empty())
        progress_ = now;
    sync_pending_ = true;
    sync_at_ = now;
    sync_covers_ = sent_.size();
}

void LinkState::answered(int answers, Clock::time_point now)
{
    if (answers <= 0 || mode_ == Mode::silent)
        return;
    mode_ = Mode::answering;
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
        if (sync_covers_ > 0)
            --sync_covers_;
        if (delays_.size() == delays_kept)
            delays_.pop_front();
        delays_.push_back(delay);
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

void LinkState::attributes_answered(Clock::time_point now)
{
    if (!sync_pending_)
        return;
    sync_pending_ = false;
    // Answers come in order: those owed from before the question are lost.
    for (; sync_covers_ > 0 && !sent_.empty(); --sync_covers_)
        sent_.pop_front();
    sync_covers_ = 0;
    progress_ = now;
}

void LinkState::restart()
{
    sent_.clear();
    sync_pending_ = false;
    sync_covers_ = 0;
    last_answer_known_ = false;
}

double LinkState::bytes_per_second() const
{
    if (speeds_.size() < speeds_trusted)
        return 0;
    return *std::min_element(speeds_.begin(), speeds_.end());
}

bool LinkState::given_up(Clock::time_point now) const
{
    switch (mode_) {
    case Mode::probing:
        return asked_ && now - first_request_ >= first_answer_time;
    case Mode::answering:
        return (!sent_.empty() || sync_pending_) && now - progress_ >= answer_lost_time;
    case Mode::silent:
        break;
    }
    return false;
}

LinkState::Clock::duration LinkState::transmit_time(std::size_t bytes) const
{
    // Bounded so that a speed measured absurdly low can't overflow the clock.
    const double seconds = std::min(static_cast<double>(bytes) / bytes_per_second(), 3600.0);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

LinkState::Clock::time_point LinkState::taking_from(Clock::time_point sent) const
{
    const Clock::time_point arrived = sent + fastest_;
    return last_answer_known_ ? std::max(arrived, last_answer_) : arrived;
}

LinkState::Clock::time_point LinkState::limit_rises_at() const
{
    // The frame on its way will be through within a round trip: the next
    // one, sent then, arrives as the link runs dry.
    if (keeping_up_ || sent_.size() != 1 || fastest_ < shortest_round_trip_to_cover || bytes_per_second() <= 0)
        return Clock::time_point::max();
    return taking_from(sent_.back().at) + transmit_time(sent_.back().bytes) - fastest_;
}

int LinkState::limit(Clock::time_point now) const
{
    if (keeping_up_)
        return unanswered_limit;
    return now >= limit_rises_at() ? unanswered_limit : 1;
}

LinkState::Clock::duration LinkState::answer_allowance(std::size_t bytes) const
{
    Clock::duration slowest = fastest_;
    for (const Clock::duration delay : delays_)
        slowest = std::max(slowest, delay);
    if (bytes_per_second() > 0)
        slowest = std::max(slowest, fastest_ + transmit_time(bytes));
    return std::min(std::max(2 * slowest, shortest_overdue), answer_lost_time);
}

LinkState::Clock::time_point LinkState::overdue_at() const
{
    if (sync_pending_)
        return sync_at_ + answer_allowance(0);  // the question itself went missing
    if (sent_.empty())
        return Clock::time_point::max();
    const Request& oldest = sent_.front();
    return std::max(oldest.at, taking_from(oldest.at) - fastest_) + answer_allowance(oldest.bytes);
}

bool LinkState::worth_waiting_for_newer(Clock::time_point now) const
{
    // Only where the link can't carry every frame anyway, so no frame is
    // skipped that could have been shown.
    if (keeping_up_ || !newest_known_ || period_ == Clock::duration::zero() || bytes_per_second() == 0 ||
        transmit_time(frame_bytes_) < period_)
        return false;
    const Clock::duration age = now - newest_;
    return age > period_ / 2 && age <= period_ + period_ / 8;
}

LinkState::Clock::duration LinkState::settle_time() const
{
    std::size_t owed = 0;
    for (const Request& request : sent_)
        owed += request.bytes;
    Clock::duration wait = answer_allowance(owed);
    return std::clamp(wait, shortest_settle, longest_settle);
}

PaceDecision decide(PaceClock::time_point now, const LinkState& link, const LocalOutput& local)
{
    PaceDecision decision;
    auto wait = [&](PaceClock::time_point until) {
        decision.action = PaceDecision::Action::wait;
        decision.until = until;
        return decision;
    };
    // The last frame's bytes are still leaving: nothing newer can go
    // before they are out, whatever the terminal says.
    if (!local.idle)
        return wait(PaceClock::time_point::max());
    LinkState::Mode mode = link.mode();
    if (link.given_up(now)) {
        decision.stop_asking = true;
        mode = LinkState::Mode::silent;
    }
    if (mode == LinkState::Mode::answering) {
        if (link.unanswered() >= link.limit(now)) {
            const PaceClock::time_point overdue = link.overdue_at();
            if (now >= overdue)
                decision.ask_where_answers_are = true;
            return wait(std::min(link.limit_rises_at(), now >= overdue ? PaceClock::time_point::max() : overdue));
        }
        if (link.worth_waiting_for_newer(now)) {
            decision.action = PaceDecision::Action::coalesce;
            decision.until = link.newer_due_at();
            return decision;
        }
    } else if (local.backlog > 0) {
        // A terminal that does not answer is held back by what the system
        // still queues for it.
        return wait(PaceClock::time_point::max());
    }
    // Painting (scaling above all) takes its time from the player's loop:
    // at most half of it, so that a busy machine skips frames rather than
    // falling behind.
    if (now < local.paint_ready)
        return wait(local.paint_ready);
    return decision;
}

}  // namespace vexl::term
