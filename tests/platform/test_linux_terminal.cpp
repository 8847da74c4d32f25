#include "platform/linux/linux_terminal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>

#include <array>
#include <thread>
#include <vector>

#include "core/cp437.h"
#include "platform/linux/job_control_signals.h"
#include "platform/linux/linux_diagnostics.h"
#include "platform/linux/termination_signals.h"
#include "platform/restore_hooks.h"
#include "platform/run_report.h"
#include "platform/thread_message_queue.h"
#include "tests/support/pty.h"
#include "tests/support/vt_screen.h"

namespace vexl::platform {
namespace {

using testing::Pty;
using testing::VtColor;
using testing::VtScreen;

constexpr const char* frame_end = "\x1b[?2026l";

std::vector<CharInfo> make_frame(int seed)
{
    std::vector<CharInfo> cells(4000);
    for (int i = 0; i < 4000; ++i) {
        cells[i].ch = static_cast<std::uint16_t>((i * 7 + seed) & 0xFF);
        cells[i].attributes = static_cast<std::uint16_t>((i + seed) & 0xFF);
    }
    return cells;
}

// What the console screen does with its terminal, minus the widget.
ConsoleHandle open_console(LinuxTerminal& terminal)
{
    terminal.alloc_console();
    ConsoleHandle out = terminal.get_std_handle(StdHandle::output);
    terminal.set_title("a title");
    terminal.set_cursor_info(out, CursorInfo{1, false});
    terminal.set_screen_buffer_size(out, Coord{80, 50});
    terminal.set_window_info(out, true, SmallRect{0, 0, 79, 49});
    return out;
}

bool write_frame(LinuxTerminal& terminal, ConsoleHandle out, const std::vector<CharInfo>& cells,
                 SmallRect* written = nullptr)
{
    SmallRect region{0, 0, 79, 49};
    const bool ok = terminal.write_output(out, cells.data(), Coord{80, 50}, Coord{0, 0}, region);
    if (written != nullptr)
        *written = region;
    return ok;
}

void sleep_for_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Runs the console's message pump, as the player's loop does every
// millisecond, until everything has gone to the terminal.
void pump_until_idle(LinuxTerminal& terminal, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    ThreadMessageQueue queue;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!terminal.idle() && std::chrono::steady_clock::now() < end) {
        terminal.pump(queue);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(LinuxTerminal, TakesTheTerminalOverAndGivesItBack)
{
    Pty pty(50, 80);
    ASSERT_GE(pty.master, 0);
    ASSERT_TRUE(pty.echo_on());
    LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    ASSERT_NE(out, nullptr);
    EXPECT_FALSE(terminal.alloc_console()) << "a second console is refused";
    EXPECT_FALSE(pty.echo_on());

    VtScreen vt(50, 80);
    vt.feed(pty.drain());
    EXPECT_TRUE(vt.private_modes[1049]) << "alternate screen";
    EXPECT_FALSE(vt.private_modes[25]) << "cursor hidden";
    ASSERT_FALSE(vt.titles.empty());
    EXPECT_EQ(vt.titles.back(), "a title");

    ASSERT_TRUE(terminal.free_console());
    vt.feed(pty.drain());
    EXPECT_FALSE(vt.private_modes[1049]) << "main screen back";
    EXPECT_TRUE(vt.private_modes[25]) << "cursor back";
    EXPECT_TRUE(pty.echo_on());
    EXPECT_FALSE(vt.bad_sequence);
}

TEST(LinuxTerminal, FramesArriveWholeAndUnchangedOnesSendNothing)
{
    Pty pty(50, 80);
    LinuxTerminal terminal(pty.slave, term::ColorMode::palette256);
    const ConsoleHandle out = open_console(terminal);
    VtScreen vt(50, 80);
    vt.feed(pty.drain());

    const std::vector<CharInfo> frame = make_frame(3);
    ASSERT_TRUE(write_frame(terminal, out, frame));
    pump_until_idle(terminal);
    const std::string first = pty.drain();
    vt.feed(first);
    EXPECT_EQ(vt.sync_frames, 1);
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ(vt.at(i / 80, i % 80).ch, cp437_unicode[frame[i].ch & 0xFF]) << i;

    const std::uint64_t before = terminal.bytes_written();
    ASSERT_TRUE(write_frame(terminal, out, frame));
    EXPECT_EQ(terminal.bytes_written(), before);
    EXPECT_EQ(pty.drain(std::chrono::milliseconds(100)), "");

    std::vector<CharInfo> next = frame;
    next[4000 - 1].ch = 'Z';
    ASSERT_TRUE(write_frame(terminal, out, next));
    pump_until_idle(terminal);
    const std::string change = pty.drain();
    EXPECT_LT(change.size(), 64u);
    vt.feed(change);
    EXPECT_EQ(vt.at(49, 79).ch, U'Z');
    EXPECT_FALSE(vt.bad_sequence);
}

// Glyphs for the scaled view: every pixel of a cell in its background
// colour, so that the scaled picture's colours can be predicted.
term::CellFont solid_cells()
{
    static const std::array<std::uint8_t, 256 * 8> blank{};
    return {8, blank.data()};
}

// The colour a cell shows: the foreground of a full block, else the background.
VtColor seen_color(const testing::VtCell& cell)
{
    return cell.ch == U'\u2588' ? cell.fg : cell.bg;
}

bool painted(const testing::VtCell& cell)
{
    return cell.fg.kind != VtColor::none || cell.bg.kind != VtColor::none;
}

TEST(LinuxTerminal, ALargerTerminalShowsThePictureCellForCellInTheMiddle)
{
    Pty pty(60, 100);
    LinuxTerminal terminal(pty.slave, term::ColorMode::ansi16);
    terminal.set_font(solid_cells());
    const ConsoleHandle out = open_console(terminal);
    SmallRect written{};
    const std::vector<CharInfo> frame = make_frame(1);
    ASSERT_TRUE(write_frame(terminal, out, frame, &written));
    EXPECT_EQ(written.right, 79) << "the whole buffer is written, whatever the terminal";
    EXPECT_EQ(written.bottom, 49);
    pump_until_idle(terminal);
    VtScreen vt(60, 100);
    vt.feed(pty.drain());
    EXPECT_FALSE(vt.wrote_outside);
    EXPECT_FALSE(vt.bad_sequence);
    for (int r = 0; r < 60; ++r)
        for (int c = 0; c < 100; ++c) {
            const bool inside = r >= 5 && r < 55 && c >= 10 && c < 90;
            if (inside)
                ASSERT_EQ(vt.at(r, c).ch, cp437_unicode[frame[(r - 5) * 80 + c - 10].ch & 0xFF]) << r << "," << c;
            else
                ASSERT_EQ(vt.at(r, c), testing::VtCell{}) << "blank margin at " << r << "," << c;
        }
}

// Four quarters in blue, green, red and white.
std::vector<CharInfo> quarters()
{
    std::vector<CharInfo> cells(4000);
    constexpr std::uint16_t backgrounds[4] = {0x10, 0x20, 0x40, 0xF0};
    for (int i = 0; i < 4000; ++i)
        cells[i] = CharInfo{' ', backgrounds[(i / 80 >= 25 ? 2 : 0) + (i % 80 >= 40 ? 1 : 0)]};
    return cells;
}

class ScaledPicture : public ::testing::TestWithParam<term::ColorMode> {};

TEST_P(ScaledPicture, ASmallerTerminalShowsTheWholePictureWithItsProportions)
{
    Pty pty(24, 80);
    LinuxTerminal terminal(pty.slave, GetParam());
    terminal.set_font(solid_cells());
    const ConsoleHandle out = open_console(terminal);
    SmallRect written{};
    ASSERT_TRUE(write_frame(terminal, out, quarters(), &written));
    EXPECT_EQ(written.right, 79);
    EXPECT_EQ(written.bottom, 49);
    pump_until_idle(terminal);
    VtScreen vt(24, 80);
    vt.feed(pty.drain());
    EXPECT_FALSE(vt.wrote_outside);
    EXPECT_FALSE(vt.bad_sequence);

    // 640 x 400 pixels in cells twice as tall as wide (the terminal tells
    // no pixel size): 76 x 24 cells, centred.
    const term::PictureLayout layout = term::choose_layout(50, 80, 8, 8, 24, 80, 0.5, true);
    ASSERT_EQ(layout, (term::PictureLayout{term::PictureMode::scaled, 0, 2, 24, 76}));
    auto expect = [&](int index) {
        if (GetParam() == term::ColorMode::truecolor) {
            const term::Rgb c = term::vga_palette[index];
            return VtColor{VtColor::rgb, c.r << 16 | c.g << 8 | c.b};
        }
        return VtColor{VtColor::ansi, (index & 8) | term::vga_to_ansi(index & 7)};
    };
    EXPECT_EQ(seen_color(vt.at(0, 2)), expect(1)) << "top left corner";
    EXPECT_EQ(seen_color(vt.at(5, 20)), expect(1));
    EXPECT_EQ(seen_color(vt.at(5, 60)), expect(2));
    EXPECT_EQ(seen_color(vt.at(18, 20)), expect(4));
    EXPECT_EQ(seen_color(vt.at(23, 77)), expect(15)) << "bottom right corner";
    for (int r = 0; r < 24; ++r) {
        EXPECT_FALSE(painted(vt.at(r, 0)) || painted(vt.at(r, 1)) || painted(vt.at(r, 78)) || painted(vt.at(r, 79)))
            << "blank margins, row " << r;
        EXPECT_TRUE(painted(vt.at(r, 2)) && painted(vt.at(r, 77))) << "the picture's edges, row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(TrueAnd16Colours, ScaledPicture, ::testing::Values(term::ColorMode::truecolor, term::ColorMode::ansi16));

// Frame k differs from frame k - 1 in row k only, so each row shows
// whether the damage of a frame that was never sent got through later.
std::vector<CharInfo> frame_with_rows_changed(int k)
{
    std::vector<CharInfo> cells = make_frame(0);
    for (int row = 1; row <= k; ++row)
        for (int col = 0; col < 80; ++col)
            cells[row * 80 + col] = CharInfo{static_cast<std::uint16_t>('A' + row % 26), 0x1E};
    return cells;
}

TEST(LinuxTerminal, AStuckTerminalGetsTheNewestPictureWhenItMovesAgainAndTheSkippedFramesAreTold)
{
    RunReport report;
    ScopedService<RunReport> report_slot(report);
    Pty pty(50, 80);
    pty.answer_status();
    {
        LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
        const ConsoleHandle out = open_console(terminal);
        ASSERT_TRUE(write_frame(terminal, out, frame_with_rows_changed(0)));
        pump_until_idle(terminal);
        VtScreen vt(50, 80);
        vt.feed(pty.drain());

        pty.pause(true);
        ThreadMessageQueue queue;
        for (int k = 1; k <= 40; ++k) {
            ASSERT_TRUE(write_frame(terminal, out, frame_with_rows_changed(k)));
            for (int i = 0; i < 3; ++i) {
                terminal.pump(queue);
                sleep_for_ms(1);
            }
        }
        const LinuxTerminal::Counts held = terminal.counts();
        EXPECT_LT(held.frames_shown, 20u) << "the output waits instead of queueing every frame";
        pty.pause(false);
        pump_until_idle(terminal);
        vt.feed(pty.drain());
        const std::vector<CharInfo> last = frame_with_rows_changed(40);
        for (int i = 0; i < 4000; ++i)
            ASSERT_EQ(vt.at(i / 80, i % 80).ch, cp437_unicode[last[i].ch & 0xFF]) << "cell " << i;
        EXPECT_FALSE(vt.bad_sequence);
        const LinuxTerminal::Counts c = terminal.counts();
        EXPECT_EQ(c.frames_written, 41u);
        EXPECT_GT(c.frames_skipped, 0u);
        EXPECT_EQ(c.frames_shown + c.frames_skipped, 41u);
        terminal.free_console();
    }
    const std::vector<std::string> lines = report.take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("could not keep up"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" skipped"), std::string::npos) << lines[0];
}

TEST(LinuxTerminal, AStuckTerminalIsGivenBackAtOnceAndWhole)
{
    Pty pty(50, 80);
    LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    pty.drain();
    pty.pause(true);
    for (int k = 0; k < 3; ++k)  // more than the system queues: the rest waits here
        ASSERT_TRUE(write_frame(terminal, out, make_frame(k)));
    EXPECT_FALSE(terminal.idle());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(terminal.free_console());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(pty.echo_on());
    pty.pause(false);
    const std::string after = pty.drain();
    // What the pseudo-terminal has moved into its reading side's 4 kB line
    // buffer is out of reach; the rest of the 15 kB it queues is dropped.
    EXPECT_LT(after.size(), 6000u) << "what the terminal had not taken yet was dropped, not waited for";
    VtScreen vt(50, 80);
    vt.feed(after);
    EXPECT_FALSE(vt.private_modes[1049]) << "the restore was not lost to the full queue";
    EXPECT_TRUE(vt.private_modes[25]);
    EXPECT_FALSE(vt.bad_sequence) << "the frame cut off in the middle swallowed nothing";
}

// An answer that goes missing right after the terminal is taken over (a
// question's reader had it) costs about a frame's time, and the answers
// after it pace the frames again.
TEST(LinuxTerminal, ALostAnswerCostsAFrameNotTheRun)
{
    Pty pty(50, 80);
    pty.answer_status();
    pty.lose_answers(1);
    LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    ThreadMessageQueue queue;
    constexpr int frames = 25;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < frames; ++k) {
        ASSERT_TRUE(write_frame(terminal, out, frame_with_rows_changed(k + 1)));
        while (std::chrono::steady_clock::now() < start + (k + 1) * std::chrono::milliseconds(40)) {
            terminal.pump(queue);
            sleep_for_ms(1);
        }
    }
    // A loaded machine may skip a few; before, the picture stood still for
    // ten seconds and the pacing was given up.
    EXPECT_GE(terminal.counts().frames_shown, frames / 2u);
    pump_until_idle(terminal);
    pty.drain();
    const int requests = pty.status_requests();
    ASSERT_TRUE(write_frame(terminal, out, frame_with_rows_changed(1)));
    pump_until_idle(terminal);
    pty.drain();
    EXPECT_GT(pty.status_requests(), requests) << "the terminal is still asked";
}

class PlayingAlong : public ::testing::TestWithParam<bool> {};

// Frames to a terminal that keeps up: one that answers
// status requests, and one that never does (it is asked no more after a
// while, and the picture never waits for it).
TEST_P(PlayingAlong, ATerminalThatKeepsUpGetsEveryFrame)
{
    const bool answers = GetParam();
    Pty pty(50, 80);
    if (answers)
        pty.answer_status();
    LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    ThreadMessageQueue queue;
    // 12.5 frames a second: a loaded machine can stall a thread for a
    // frame period at 25, and then a frame is rightly skipped.
    constexpr int frames = 30;
    ASSERT_TRUE(write_frame(terminal, out, frame_with_rows_changed(1)));
    pump_until_idle(terminal);  // the first, whole picture takes longest
    const auto start = std::chrono::steady_clock::now();
    int requests_after_a_while = -1;
    for (int k = 1; k < frames; ++k) {
        ASSERT_TRUE(write_frame(terminal, out, frame_with_rows_changed(k + 1)));
        const auto next = start + (k + 1) * std::chrono::milliseconds(80);
        while (std::chrono::steady_clock::now() < next) {
            terminal.pump(queue);
            sleep_for_ms(1);
        }
        if (requests_after_a_while < 0 && std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500))
            requests_after_a_while = pty.status_requests();
    }
    pump_until_idle(terminal);
    VtScreen vt(50, 80);
    vt.feed(pty.drain());
    EXPECT_GE(vt.sync_frames, frames);
    EXPECT_EQ(terminal.counts().frames_skipped, 0u);
    const std::vector<CharInfo> last = frame_with_rows_changed(frames);
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ(vt.at(i / 80, i % 80).ch, cp437_unicode[last[i].ch & 0xFF]) << "cell " << i;
    if (answers)
        EXPECT_GT(pty.status_requests(), requests_after_a_while);
    else
        EXPECT_EQ(pty.status_requests(), requests_after_a_while) << "no more requests to a terminal that never answers";
}

INSTANTIATE_TEST_SUITE_P(AnsweringOrNot, PlayingAlong, ::testing::Bool());

TEST(LinuxTerminal, ATerminalThatHangsUpEndsTheRunAndSaysWhy)
{
    RunReport report;
    ScopedService<RunReport> report_slot(report);
    Pty pty(50, 80);
    LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    ASSERT_TRUE(write_frame(terminal, out, make_frame(0)));
    pty.hang_up();
    ThreadMessageQueue queue;
    queue.add_source(&terminal);
    Message m;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 1; !(queue.peek(m, PM_NOREMOVE) && m.code == WM_QUIT); ++k) {
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "no quit";
        write_frame(terminal, out, make_frame(k));
        sleep_for_ms(1);
    }
    queue.remove_source(&terminal);
    EXPECT_TRUE(terminal.idle()) << "nothing waits for a terminal that is gone";
    EXPECT_TRUE(terminal.free_console());
    const std::vector<std::string> lines = report.take();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("the terminal stopped taking output ("), std::string::npos) << lines[0];
}

TEST(LinuxTerminal, SuspendGivesTheTerminalBackUntilTheNextFrame)
{
    Pty pty(50, 80);
    LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    ASSERT_TRUE(write_frame(terminal, out, make_frame(0)));
    VtScreen vt(50, 80);
    vt.feed(pty.drain());
    terminal.suspend();
    vt.feed(pty.drain());
    EXPECT_FALSE(vt.private_modes[1049]);
    EXPECT_TRUE(pty.echo_on());
    ASSERT_TRUE(write_frame(terminal, out, make_frame(0)));
    vt.feed(pty.drain());
    EXPECT_TRUE(vt.private_modes[1049]);
    EXPECT_FALSE(vt.private_modes[25]);
    EXPECT_FALSE(pty.echo_on());
    EXPECT_EQ(vt.at(0, 1).ch, cp437_unicode[7]) << "the same frame is drawn again in full";
    terminal.free_console();
}

// The child side of the signal tests: a console that shows frames until
// its message queue says quit, as the player does.
[[noreturn]] void console_until_quit(int tty, bool pump_messages)
{
    dup2(tty, STDERR_FILENO);  // stderr on the same terminal, as usual
    ThreadMessageQueue queue;
    TerminationSignals signals;
    queue.add_source(&signals);
    LinuxTerminal terminal(tty, term::ColorMode::truecolor);
    const ConsoleHandle out = open_console(terminal);
    for (int frame = 0;; ++frame) {
        Message m;
        if (pump_messages && queue.peek(m, PM_NOREMOVE) && queue.get(m) == 0)
            break;
        write_frame(terminal, out, make_frame(frame));
        if (frame == 0) {
            const char noise[] = "library noise\n";
            [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, noise, sizeof noise - 1);
        }
        timespec ms{0, 1000000};
        nanosleep(&ms, nullptr);
    }
    queue.remove_source(&signals);
    terminal.free_console();
    _exit(0);
}

struct ChildRun {
    int status = 0;
    std::string output;
};

template <class Body, class Poke>
ChildRun run_child(Pty& pty, Body body, Poke poke)
{
    const pid_t child = pty.fork();
    if (child == 0)
        body();
    ChildRun run;
    run.output = pty.read_until(frame_end);
    poke(child);
    waitpid(child, &run.status, 0);
    run.output += pty.drain(std::chrono::milliseconds(200));
    return run;
}

class RestoreOnSignal : public ::testing::TestWithParam<int> {};

TEST_P(RestoreOnSignal, EndsCleanlyWithTheTerminalRestored)
{
    Pty pty(50, 80);
    const int signal_number = GetParam();
    const ChildRun run = run_child(
        pty, [&] { console_until_quit(pty.slave, true); },
        [&](pid_t child) { kill(child, signal_number); });
    ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    VtScreen vt(50, 80);
    vt.feed(run.output);
    EXPECT_GE(vt.sync_frames, 1);
    EXPECT_FALSE(vt.private_modes[1049]);
    EXPECT_TRUE(vt.private_modes[25]);
    EXPECT_TRUE(pty.echo_on());
    // Messages on stderr wait until the picture is gone.
    const std::size_t noise = run.output.find("library noise");
    ASSERT_NE(noise, std::string::npos);
    EXPECT_GT(noise, run.output.rfind("\x1b[?1049l"));
}

INSTANTIATE_TEST_SUITE_P(IntTermHup, RestoreOnSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(RestoreOnSignal, StuckLoopIsEndedByTheThirdSignalWithTheTerminalRestored)
{
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer defers signal handlers, and a signal raised again
    // from inside one never arrives: the child would hang.
    GTEST_SKIP() << "not under ThreadSanitizer";
#endif
    Pty pty(50, 80);
    const ChildRun run = run_child(
        pty, [&] { console_until_quit(pty.slave, false); },
        [&](pid_t child) {
            for (int i = 0; i < 3; ++i) {
                kill(child, SIGTERM);
                timespec ms{0, 20000000};
                nanosleep(&ms, nullptr);
            }
        });
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGTERM);
    VtScreen vt(50, 80);
    vt.feed(run.output);
    EXPECT_FALSE(vt.private_modes[1049]);
    EXPECT_TRUE(pty.echo_on());
    EXPECT_GT(run.output.find("library noise"), run.output.rfind("\x1b[?1049l"));
}

TEST(RestoreOnSignal, FailedCheckTrapGivesTheTerminalBackFirst)
{
    Pty pty(50, 80);
    const ChildRun run = run_child(
        pty,
        [&] {
            LinuxTerminal terminal(pty.slave, term::ColorMode::truecolor);
            const ConsoleHandle out = open_console(terminal);
            write_frame(terminal, out, make_frame(0));
            // The stop after a failed toolkit check.
            signal(SIGTRAP, SIG_DFL);
            LinuxBreakpointTrap().trap();
            _exit(3);
        },
        [](pid_t) {});
    ASSERT_TRUE(WIFSIGNALED(run.status));
    VtScreen vt(50, 80);
    vt.feed(run.output);
    EXPECT_FALSE(vt.private_modes[1049]);
    EXPECT_TRUE(vt.private_modes[25]);
    EXPECT_TRUE(pty.echo_on());
}

// Job control. The child runs in a process group of its own whose parent
// (this test) is outside it, as under a shell: a group without that is
// orphaned and the kernel drops the stop.

bool shows_frame(const VtScreen& vt, const std::vector<CharInfo>& frame, int rows, int cols)
{
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (vt.at(r, c).ch != cp437_unicode[frame[static_cast<std::size_t>(r * 80 + c)].ch & 0xFF])
                return false;
    return true;
}

void sleep_ms(int ms)
{
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

// Waits up to ten seconds for the child to stop on SIGTSTP.
bool stopped(pid_t child)
{
    for (int waited = 0; waited < 10000; waited += 5) {
        int status = 0;
        const pid_t r = waitpid(child, &status, WUNTRACED | WNOHANG);
        if (r == child)
            return WIFSTOPPED(status) && WSTOPSIG(status) == SIGTSTP;
        if (r < 0)
            return false;
        sleep_ms(5);
    }
    return false;
}

termios modes_of(int fd)
{
    termios t{};
    tcgetattr(fd, &t);
    return t;
}

// Shows one frame, then only looks at its messages: a picture that stands
// still, as when the clock does not run. `pump` false: after a moment for
// the frame to go out, the main thread never comes back to the console (a
// stuck loop); it closes `stuck` then.
[[noreturn]] void still_picture(int tty, bool pump, int stuck = -1)
{
    setpgid(0, 0);
    signal(SIGTSTP, SIG_DFL);  // whatever the test runner was started with
    ThreadMessageQueue queue;
    TerminationSignals signals;
    JobControlSignals job_control;
    LinuxTerminal terminal(tty, term::ColorMode::truecolor);
    terminal.set_font(solid_cells());
    queue.add_source(&signals);
    queue.add_source(&terminal);
    const ConsoleHandle out = open_console(terminal);
    write_frame(terminal, out, make_frame(5));
    for (int looked = 0; !pump && looked < 100; ++looked) {
        Message m;
        queue.peek(m, PM_NOREMOVE);
        sleep_ms(1);
    }
    if (stuck >= 0)
        ::close(stuck);
    for (;;) {
        Message m;
        if (pump && queue.peek(m, PM_NOREMOVE) && queue.get(m) == 0)
            break;
        sleep_ms(1);
    }
    queue.remove_source(&terminal);
    queue.remove_source(&signals);
    terminal.free_console();
    _exit(0);
}

// A child showing a still picture (see still_picture), its first frame
// read; killed at the end if it is still there (a failed assertion left it
// running or stopped): it holds the test's output open, and the run would
// wait for it to time out.
struct StillPictureChild {
    pid_t pid;
    StillPictureChild(Pty& pty, bool pump, int stuck = -1) : pid(pty.fork())
    {
        if (pid == 0)
            still_picture(pty.slave, pump, stuck);
        pty.read_until(frame_end);
    }
    StillPictureChild(const StillPictureChild&) = delete;
    StillPictureChild& operator=(const StillPictureChild&) = delete;
    ~StillPictureChild()
    {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
    }
};

TEST(JobControl, CtrlZGivesTheTerminalBackAndContinuingDrawsThePictureAgain)
{
    Pty pty(50, 80);
    const termios found = modes_of(pty.slave);
    const StillPictureChild still(pty, true);
    const pid_t child = still.pid;

    kill(child, SIGTSTP);
    ASSERT_TRUE(stopped(child));
    const std::string at_stop = pty.drain();
    VtScreen vt(50, 80);
    vt.feed(at_stop);
    EXPECT_FALSE(vt.private_modes[1049]) << "main screen";
    EXPECT_TRUE(vt.private_modes[25]) << "cursor shown";
    EXPECT_NE(at_stop.find("\x1b[23;0t"), std::string::npos) << "title popped";
    const termios during = modes_of(pty.slave);
    EXPECT_EQ(during.c_lflag & ECHO, found.c_lflag & ECHO);
    EXPECT_EQ(during.c_iflag & IXON, found.c_iflag & IXON);

    kill(child, SIGCONT);
    const std::string at_continue = pty.read_until(frame_end);
    VtScreen back(50, 80);
    back.feed(at_continue);
    EXPECT_TRUE(back.private_modes[1049]);
    EXPECT_FALSE(back.private_modes[25]);
    ASSERT_FALSE(back.titles.empty());
    EXPECT_EQ(back.titles.back(), "a title");
    EXPECT_FALSE(pty.echo_on());
    EXPECT_TRUE(shows_frame(back, make_frame(5), 50, 80)) << "the whole picture, though no new frame came";
    EXPECT_FALSE(back.bad_sequence);

    // A smaller terminal: the whole picture again, scaled, though no new
    // frame came; then the full size again: cell for cell.
    pty.resize(30, 60);
    kill(child, SIGWINCH);
    VtScreen small(30, 60);
    small.feed(pty.read_until(frame_end));
    EXPECT_FALSE(small.wrote_outside);
    const term::PictureLayout layout = term::choose_layout(50, 80, 8, 8, 30, 60, 0.5, true);
    ASSERT_EQ(layout.mode, term::PictureMode::scaled);
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 60; ++c) {
            const bool inside = r >= layout.top && r < layout.top + layout.rows && c >= layout.left &&
                                c < layout.left + layout.cols;
            ASSERT_EQ(painted(small.at(r, c)), inside) << r << "," << c;
        }
    pty.resize(50, 80);
    kill(child, SIGWINCH);
    VtScreen full(50, 80);
    full.feed(pty.read_until(frame_end));
    EXPECT_TRUE(shows_frame(full, make_frame(5), 50, 80));

    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(pty.echo_on());
}

TEST(JobControl, ContinuedAfterAStopFromElsewhereTheModesAreTakenAgain)
{
    Pty pty(50, 80);
    const StillPictureChild still(pty, true);
    const pid_t child = still.pid;
    kill(child, SIGSTOP);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
    // Meanwhile a shell turns echo back on and prints on the screen.
    termios t = modes_of(pty.slave);
    t.c_lflag |= ECHO;
    tcsetattr(pty.slave, TCSANOW, &t);
    kill(child, SIGCONT);
    VtScreen vt(50, 80);
    vt.feed(pty.read_until(frame_end));
    EXPECT_FALSE(pty.echo_on());
    EXPECT_TRUE(vt.private_modes[1049]);
    EXPECT_TRUE(shows_frame(vt, make_frame(5), 50, 80));
    kill(child, SIGINT);
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
}

TEST(JobControl, ASecondCtrlZStopsAStuckLoopWithTheTerminalRestored)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer defers a signal raised inside a handler";
#endif
    Pty pty(50, 80);
    int stuck[2];
    ASSERT_EQ(pipe(stuck), 0);
    const StillPictureChild still(pty, false, stuck[1]);
    const pid_t child = still.pid;
    ::close(stuck[1]);
    char end_of_pipe;
    ASSERT_EQ(::read(stuck[0], &end_of_pipe, 1), 0);
    ::close(stuck[0]);
    kill(child, SIGTSTP);  // waits for a main thread that never comes
    sleep_ms(200);         // (two signals sent at once arrive as one)
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, WUNTRACED | WNOHANG), 0) << "not stopped yet";
    kill(child, SIGTSTP);
    EXPECT_TRUE(stopped(child));
    VtScreen vt(50, 80);
    vt.feed(pty.drain());
    EXPECT_FALSE(vt.private_modes[1049]);
    EXPECT_TRUE(pty.echo_on());
}

TEST(JobControl, ACtrlZWhileTheTerminalIsGivenBackStopsWithItsModesBack)
{
    Pty pty(50, 80);
    const StillPictureChild still(pty, true);
    const pid_t child = still.pid;
    kill(child, SIGTSTP);
    // The restore is out; the answers to the status requests (which this
    // terminal never gives) are waited for a moment.
    pty.read_until("\x1b[?1049l");
    kill(child, SIGTSTP);
    ASSERT_TRUE(stopped(child));
    EXPECT_TRUE(pty.echo_on());
}

}  // namespace
}  // namespace vexl::platform
