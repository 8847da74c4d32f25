// The terminal's pure parts: the job-control steps, the answers picked out
// of the input, the pacing by status reports, and the picture's layout.

#include <gtest/gtest.h>

#include "term/job_control_steps.h"
#include "term/output_pacing.h"
#include "term/picture_layout.h"
#include "term/terminal_replies.h"

namespace vexl::term {
namespace {

TEST(JobControlSteps, EveryHoldAndEvent)
{
    using enum TerminalHold;
    using enum JobEvent;
    struct Row {
        TerminalHold hold;
        JobEvent event;
        JobStep step;
    };
    constexpr Row table[] = {
        {given, output, {taken, take}},
        {taken, output, {taken, no_action}},
        {lost, output, {taken, take}},
        {given, stop_request, {given, stop}},
        {taken, stop_request, {taken, leave | stop | take}},
        {lost, stop_request, {lost, stop}},
        {given, continued, {given, no_action}},  // a question is being asked: leave it be
        {taken, continued, {taken, retake_modes | repaint}},
        {lost, continued, {taken, take}},
        {given, resized, {given, no_action}},
        {taken, resized, {taken, repaint}},
        {lost, resized, {lost, no_action}},
        {given, give_back, {given, no_action}},
        {taken, give_back, {given, leave}},
        {lost, give_back, {given, no_action}},
    };
    for (const Row& row : table)
        EXPECT_EQ(next_job_step(row.hold, row.event), row.step)
            << "hold " << static_cast<int>(row.hold) << " event " << static_cast<int>(row.event);
}

TEST(TerminalReplies, AnswersAreFoundAmongKeysAndAcrossReads)
{
    TerminalReplies replies;
    // Typed keys (an arrow, a letter, Escape alone) around two status reports.
    auto found = replies.feed("x\x1b[A\x1b[0nq\x1b\x1b[3n");
    EXPECT_EQ(found.status_reports, 2);
    EXPECT_EQ(found.cell_width, 0);
    found = replies.feed("\x1b[");
    EXPECT_EQ(found.status_reports, 0);
    found = replies.feed("0n\x1b[6;17;");
    EXPECT_EQ(found.status_reports, 1) << "split between two reads";
    found = replies.feed("9t");
    EXPECT_EQ(found.cell_height, 17);
    EXPECT_EQ(found.cell_width, 9);
    // Not answers: another status, a window report, a key that ends in n.
    found = replies.feed("\x1b[1n\x1b[8;24;80t\x1b[6;x;9t\x1b[2;5n\x1b[6;0;9t");
    EXPECT_EQ(found.status_reports, 0);
    EXPECT_EQ(found.cell_width, 0);
    // The device attributes, in their place among the status reports.
    found = replies.feed("\x1b[0n\x1b[?62;22c\x1b[0n\x1b[c");
    EXPECT_EQ(found.status_reports, 2);
    EXPECT_TRUE(found.attributes_answered);
    EXPECT_EQ(found.reports_before_attributes, 1);
}

using namespace std::chrono_literals;
using Clock = LinkState::Clock;
using Action = PaceDecision::Action;

// Carries the decision out on the link as the terminal does; true when a
// frame may go now.
bool may_send(LinkState& link, Clock::time_point now, const LocalOutput& local = {})
{
    const PaceDecision decision = decide(now, link, local);
    if (decision.stop_asking)
        link.stop_asking();
    if (decision.ask_where_answers_are)
        link.asked_where_answers_are(now);
    return decision.action == Action::send;
}

TEST(Pacing, AnAnsweringTerminalThatKeepsUpHasAtMostTwoFramesUnanswered)
{
    LinkState pacing;
    const Clock::time_point t0{};
    pacing.requested_alone(t0);  // on taking the terminal over
    EXPECT_TRUE(may_send(pacing, t0 + 1ms)) << "no answer yet: only local back-pressure";
    pacing.answered(1, t0 + 30ms);  // a distant terminal: 30 ms round trip
    EXPECT_EQ(pacing.mode(), LinkState::Mode::answering);
    pacing.requested(t0 + 40ms, 0);
    EXPECT_FALSE(may_send(pacing, t0 + 40ms)) << "whether frames keep up is not known yet";
    pacing.answered(1, t0 + 80ms);
    pacing.requested(t0 + 80ms, 0);
    EXPECT_TRUE(may_send(pacing, t0 + 80ms));
    pacing.requested(t0 + 81ms, 0);
    EXPECT_FALSE(may_send(pacing, t0 + 42ms));
    pacing.answered(1, t0 + 130ms);  // 50 ms: a frame's transmission on top of the round trip
    EXPECT_TRUE(may_send(pacing, t0 + 130ms));
    pacing.answered(5, t0 + 135ms);  // late answers to requests that were cut off
    EXPECT_EQ(pacing.unanswered(), 0);
    EXPECT_TRUE(pacing.asks());
}

TEST(Pacing, OnASlowLinkAFrameWaitsForTheAnswerToTheOneBefore)
{
    LinkState pacing;
    const Clock::time_point t0{};
    pacing.requested_alone(t0);
    pacing.answered(1, t0 + 5ms);
    pacing.requested(t0 + 10ms, 0);
    pacing.answered(1, t0 + 20ms);
    pacing.requested(t0 + 30ms, 0);
    EXPECT_TRUE(may_send(pacing, t0 + 30ms)) << "keeping up so far";
    pacing.requested(t0 + 31ms, 0);
    EXPECT_FALSE(may_send(pacing, t0 + 9s)) << "a slow link may take seconds per frame";
    pacing.answered(1, t0 + 9s);
    EXPECT_FALSE(may_send(pacing, t0 + 9s)) << "the frame would only queue behind the one still on its way";
    pacing.answered(1, t0 + 11s);
    EXPECT_TRUE(may_send(pacing, t0 + 11s));
    pacing.requested(t0 + 11s, 0);
    EXPECT_FALSE(may_send(pacing, t0 + 11s));
    pacing.answered(1, t0 + 11s + 20ms);  // quick again
    pacing.requested(t0 + 12s, 0);
    EXPECT_TRUE(may_send(pacing, t0 + 12s));
}

TEST(Pacing, ATerminalThatNeverAnswersIsAskedNoMore)
{
    LinkState pacing;
    const Clock::time_point t0{};
    pacing.requested(t0, 0);
    for (int i = 1; i < 5; ++i)
        pacing.requested(t0 + i * 40ms, 0);
    EXPECT_TRUE(may_send(pacing, t0 + 999ms));
    EXPECT_TRUE(pacing.asks());
    EXPECT_TRUE(may_send(pacing, t0 + 1s));
    EXPECT_FALSE(pacing.asks());
    pacing.answered(1, t0 + 2s);
    EXPECT_EQ(pacing.mode(), LinkState::Mode::silent) << "decided once";
}

TEST(Pacing, ATerminalThatStopsAnsweringForLongIsAskedNoMore)
{
    LinkState pacing;
    const Clock::time_point t0{};
    pacing.requested(t0, 0);
    pacing.answered(1, t0 + 1ms);
    pacing.requested(t0 + 2ms, 0);
    pacing.requested(t0 + 3ms, 0);
    EXPECT_FALSE(may_send(pacing, t0 + 9s));
    EXPECT_TRUE(may_send(pacing, t0 + 11s));
    EXPECT_FALSE(pacing.asks());
    pacing.restart();
    EXPECT_TRUE(may_send(pacing, t0 + 12s));
}

// A link of 12 kB/s; frames of 12 kB take a second.
struct SlowLink {
    LinkState pacing;
    Clock::time_point t0{};

    explicit SlowLink(Clock::duration round_trip = 20ms)
    {
        pacing.requested_alone(t0);
        pacing.answered(1, t0 + round_trip);
        pacing.requested(t0 + 40ms, 12000);
        pacing.answered(1, t0 + 1040ms + round_trip);
        EXPECT_EQ(pacing.bytes_per_second(), 0) << "one measurement is not trusted";
        pacing.requested(t0 + 1040ms + round_trip, 12000);
        pacing.answered(1, t0 + 2040ms + 2 * round_trip);
    }
};

TEST(Pacing, TheLinksSpeedSendsTheNextFrameARoundTripBeforeTheLinkRunsDry)
{
    SlowLink link;
    LinkState& pacing = link.pacing;
    const Clock::time_point t0 = link.t0;
    EXPECT_DOUBLE_EQ(pacing.bytes_per_second(), 12000);
    pacing.requested(t0 + 2080ms, 12000);  // answered at 3100 ms
    EXPECT_FALSE(may_send(pacing, t0 + 3079ms));
    EXPECT_TRUE(may_send(pacing, t0 + 3080ms));
    pacing.requested(t0 + 3080ms, 6000);
    EXPECT_FALSE(may_send(pacing, t0 + 3099ms)) << "never more than two on their way";
    pacing.answered(1, t0 + 3100ms);
    EXPECT_FALSE(may_send(pacing, t0 + 3579ms));
    EXPECT_TRUE(may_send(pacing, t0 + 3580ms)) << "the second one began when the first was through";
    pacing.answered(1, t0 + 3700ms);  // 6000 bytes in 600 ms: a slower stretch
    EXPECT_DOUBLE_EQ(pacing.bytes_per_second(), 10000) << "the lowest recent speed";
    pacing.requested(t0 + 3800ms, 5);
    pacing.answered(1, t0 + 3822ms);
    EXPECT_DOUBLE_EQ(pacing.bytes_per_second(), 10000) << "a short transmission is not measured";

    SlowLink nearby(1ms);
    nearby.pacing.requested(nearby.t0 + 2042ms, 12000);  // answered at 3043 ms
    EXPECT_FALSE(may_send(nearby.pacing, nearby.t0 + 3042ms)) << "a round trip too short to cover";
}

TEST(Pacing, OnASlowLinkAStaleFrameWaitsForTheNextOne)
{
    SlowLink link;
    LinkState& pacing = link.pacing;
    Clock::time_point at = link.t0 + 2000ms;
    for (int i = 0; i < 4; ++i, at += 40ms)
        pacing.presented(at);
    const Clock::time_point newest = at - 40ms;
    pacing.presented(newest + 2s);  // a pause is not the frame rate
    EXPECT_EQ(pacing.frame_period(), 40ms);
    struct Row {
        Clock::duration age;
        bool sent;
    };
    const Row table[] = {
        {0ms, true}, {20ms, true}, {21ms, false}, {40ms, false}, {45ms, false}, {46ms, true}, {2s, true},
    };
    for (const Row& row : table)
        EXPECT_EQ(may_send(pacing, newest + 2s + row.age), row.sent) << "a frame " << row.age.count() << " ns old";

    // Small frames that go through in less than a frame period: none is
    // held back, so none is skipped that could have been shown.
    pacing.requested(newest + 3s, 300);
    pacing.answered(1, newest + 3s + 45ms);
    pacing.presented(newest + 3s + 50ms);
    EXPECT_TRUE(may_send(pacing, newest + 3s + 80ms));
}

// What the local output is doing holds a frame back whatever the link
// says; a terminal that answers is paced by its answers alone, one that
// doesn't by what the system still queues for it.
TEST(Pacing, TheLocalOutputHoldsFramesBack)
{
    const Clock::time_point t0{};
    LinkState answering;
    answering.requested_alone(t0);
    answering.answered(1, t0 + 1ms);
    LinkState probing;
    probing.requested_alone(t0);
    struct Row {
        const LinkState& link;
        LocalOutput local;
        Action action;
        Clock::time_point until;
    };
    const Clock::time_point now = t0 + 5ms, never = Clock::time_point::max();
    const Row table[] = {
        {answering, {true, 0, {}}, Action::send, never},
        {answering, {false, 0, {}}, Action::wait, never},         // the last frame is still leaving
        {answering, {true, 4096, {}}, Action::send, never},       // the answers tell, not the queue
        {answering, {true, 0, now + 3ms}, Action::wait, now + 3ms},  // painting took its time
        {probing, {true, 0, {}}, Action::send, never},
        {probing, {true, 4096, {}}, Action::wait, never},
    };
    for (const Row& row : table) {
        const PaceDecision decision = decide(now, row.link, row.local);
        EXPECT_EQ(decision.action, row.action) << &row - table;
        EXPECT_EQ(decision.until, row.until) << &row - table;
    }
}

// An answer read by something else: after twice what the answers take,
// the device attributes are asked for; their answer comes after every
// status report owed before it, so what is still owed then is lost.
TEST(Pacing, ALostAnswerCostsAboutARoundTripAndPacingGoesOn)
{
    const Clock::time_point t0{};
    LinkState pacing;
    pacing.requested_alone(t0);
    pacing.answered(1, t0 + 1ms);
    pacing.requested(t0 + 10ms, 20000);  // its answer goes missing
    EXPECT_FALSE(may_send(pacing, t0 + 49ms));
    EXPECT_FALSE(pacing.asking_where_answers_are());
    EXPECT_FALSE(may_send(pacing, t0 + 50ms));
    EXPECT_TRUE(pacing.asking_where_answers_are());
    pacing.attributes_answered(t0 + 51ms);
    EXPECT_EQ(pacing.unanswered(), 0);
    EXPECT_TRUE(may_send(pacing, t0 + 51ms)) << "one frame's time lost, not ten seconds";
    pacing.requested(t0 + 60ms, 20000);
    pacing.answered(1, t0 + 70ms);
    EXPECT_EQ(pacing.mode(), LinkState::Mode::answering);
    EXPECT_TRUE(may_send(pacing, t0 + 70ms));

    // A late answer comes before the attributes: nothing is written off,
    // and the answers after it are still counted right.
    pacing.requested(t0 + 80ms, 20000);
    pacing.requested(t0 + 90ms, 20000);  // it keeps up: two may be on their way
    EXPECT_FALSE(may_send(pacing, t0 + 119ms));
    EXPECT_FALSE(pacing.asking_where_answers_are());
    EXPECT_FALSE(may_send(pacing, t0 + 120ms));
    EXPECT_TRUE(pacing.asking_where_answers_are());
    pacing.answered(2, t0 + 125ms);
    pacing.requested(t0 + 126ms, 20000);
    pacing.attributes_answered(t0 + 127ms);
    EXPECT_EQ(pacing.unanswered(), 1) << "the frame sent after the question is still owed";
}

// The terminal's last answers after it is given back are waited for as
// long as the answers have taken lately, within bounds.
TEST(Pacing, TheLastAnswersAreWaitedForAsLongAsTheRoundTrip)
{
    struct Row {
        Clock::duration round_trip;
        Clock::duration settle;
    };
    const Row table[] = {{1ms, 200ms}, {250ms, 500ms}, {5s, 2s}};
    for (const Row& row : table) {
        LinkState pacing;
        pacing.requested_alone(Clock::time_point{});
        pacing.answered(1, Clock::time_point{} + row.round_trip);
        EXPECT_EQ(pacing.settle_time(), row.settle) << row.round_trip.count();
    }
}

TEST(PictureLayout, ExactCentredOrScaledByTheTerminalsSize)
{
    using enum PictureMode;
    struct Row {
        int term_rows, term_cols;
        double aspect;
        bool can_scale;
        PictureLayout expected;
    };
    const Row table[] = {
        {50, 80, 0.5, true, {exact, 0, 0, 50, 80}},
        {60, 100, 0.5, true, {centred, 5, 10, 50, 80}},
        {51, 80, 0.5, true, {exact, 0, 0, 50, 80}},  // half a row of margin is none
        {50, 200, 0.5, true, {centred, 0, 60, 50, 80}},
        // 640 x 400 pixels: cells 1:2 make it 76 x 24 in 80 x 24.
        {24, 80, 0.5, true, {scaled, 0, 2, 24, 76}},
        {30, 80, 0.5, true, {scaled, 2, 0, 25, 80}},
        {49, 80, 0.5, true, {scaled, 12, 0, 25, 80}},
        {24, 80, 1.0, true, {scaled, 0, 21, 24, 38}},  // square cells: 24 rows, 38.4 columns
        {50, 79, 0.5, true, {scaled, 13, 0, 24, 79}},  // 79 columns, 24.7 rows
        {24, 80, 0.5, false, {exact, 0, 0, 24, 80}},  // no glyphs: the top-left part
        {0, 0, 0.5, true, {}},
    };
    for (const Row& row : table) {
        const PictureLayout got = choose_layout(50, 80, 8, 8, row.term_rows, row.term_cols, row.aspect, row.can_scale);
        EXPECT_EQ(got, row.expected) << row.term_rows << "x" << row.term_cols << " aspect " << row.aspect << ": got "
                                     << static_cast<int>(got.mode) << " " << got.top << "," << got.left << " "
                                     << got.rows << "x" << got.cols;
    }
}

TEST(PictureLayout, CellAspectFromTheWindowsPixelsOnlyWhenBelievable)
{
    struct Row {
        unsigned short rows, cols, xpixel, ypixel;
        double aspect;
    };
    const Row table[] = {
        {24, 80, 1280, 768, 0.5},  // tmux's default: 16 x 32
        {50, 80, 800, 1000, 0.5},  // 10 x 20
        {24, 80, 720, 408, 9.0 / 17.0},
        {24, 80, 0, 0, 0},      // not told
        {24, 80, 80, 24, 0},    // 1 x 1 pixels
        {24, 80, 1280, 0, 0},
        {24, 80, 2560, 384, 0},  // cells twice as wide as tall
        {24, 80, 160, 768, 0},   // 2 x 32
    };
    for (const Row& row : table) {
        EXPECT_DOUBLE_EQ(cell_aspect_of({row.rows, row.cols, row.xpixel, row.ypixel}), row.aspect) << row.xpixel << "x" << row.ypixel;
    }
}

}  // namespace
}  // namespace vexl::term
