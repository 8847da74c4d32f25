#include "platform/linux/linux_terminal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>

#include <vector>

#include "platform/linux/cp437.h"
#include "platform/linux/job_control_signals.h"
#include "platform/linux/linux_diagnostics.h"
#include "platform/linux/termination_signals.h"
#include "platform/restore_hooks.h"
#include "platform/thread_message_queue.h"
#include "tests/platform/pty.h"
#include "tests/platform/vt_screen.h"

namespace vexl::platform {
namespace {

using testing::Pty;
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

TEST(LinuxTerminal, TakesTheTerminalOverAndGivesItBack)
{
    Pty pty(50, 80);
    ASSERT_GE(pty.master, 0);
    ASSERT_TRUE(pty.echo_on());
    LinuxTerminal terminal(pty.slave, ColorMode::truecolor);
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
    LinuxTerminal terminal(pty.slave, ColorMode::palette256);
    const ConsoleHandle out = open_console(terminal);
    VtScreen vt(50, 80);
    vt.feed(pty.drain());

    const std::vector<CharInfo> frame = make_frame(3);
    ASSERT_TRUE(write_frame(terminal, out, frame));
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
    const std::string change = pty.drain();
    EXPECT_LT(change.size(), 64u);
    vt.feed(change);
    EXPECT_EQ(vt.at(49, 79).ch, U'Z');
    EXPECT_FALSE(vt.bad_sequence);
}

TEST(LinuxTerminal, OutputIsClippedToTheTerminalAndToTheBuffer)
{
    Pty pty(20, 30);
    LinuxTerminal terminal(pty.slave, ColorMode::ansi16);
    const ConsoleHandle out = open_console(terminal);
    pty.drain();
    SmallRect written{};
    ASSERT_TRUE(write_frame(terminal, out, make_frame(1), &written));
    EXPECT_EQ(written.right, 29);
    EXPECT_EQ(written.bottom, 19);
    VtScreen vt(20, 30);
    vt.feed(pty.drain());
    EXPECT_FALSE(vt.wrote_outside);
    EXPECT_FALSE(vt.bad_sequence);

    // A bigger terminal still shows only the console's 80x50 buffer.
    pty.resize(60, 100);
    ASSERT_TRUE(write_frame(terminal, out, make_frame(2), &written));
    EXPECT_EQ(written.right, 79);
    EXPECT_EQ(written.bottom, 49);
    VtScreen big(60, 100);
    big.feed(pty.drain());
    EXPECT_EQ(big.at(55, 90).ch, U' ');
    EXPECT_NE(big.at(49, 79).ch, U' ');
}

TEST(LinuxTerminal, SuspendGivesTheTerminalBackUntilTheNextFrame)
{
    Pty pty(50, 80);
    LinuxTerminal terminal(pty.slave, ColorMode::truecolor);
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
    LinuxTerminal terminal(tty, ColorMode::truecolor);
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
    const pid_t child = fork();
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
            LinuxTerminal terminal(pty.slave, ColorMode::truecolor);
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
// still, as when the clock does not run. `pump` false: the main thread
// never comes back to the console (a stuck loop).
[[noreturn]] void still_picture(int tty, bool pump)
{
    setpgid(0, 0);
    signal(SIGTSTP, SIG_DFL);  // whatever the test runner was started with
    ThreadMessageQueue queue;
    TerminationSignals signals;
    JobControlSignals job_control;
    LinuxTerminal terminal(tty, ColorMode::truecolor);
    queue.add_source(&signals);
    queue.add_source(&terminal);
    const ConsoleHandle out = open_console(terminal);
    write_frame(terminal, out, make_frame(5));
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

TEST(JobControl, CtrlZGivesTheTerminalBackAndContinuingDrawsThePictureAgain)
{
    Pty pty(50, 80);
    const termios found = modes_of(pty.slave);
    const pid_t child = fork();
    if (child == 0)
        still_picture(pty.slave, true);
    pty.read_until(frame_end);

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

    // A smaller terminal: drawn again, clipped to it.
    pty.resize(30, 60);
    kill(child, SIGWINCH);
    VtScreen small(30, 60);
    small.feed(pty.read_until(frame_end));
    EXPECT_TRUE(shows_frame(small, make_frame(5), 30, 60));
    EXPECT_FALSE(small.wrote_outside);

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
    const pid_t child = fork();
    if (child == 0)
        still_picture(pty.slave, true);
    pty.read_until(frame_end);
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
    const pid_t child = fork();
    if (child == 0)
        still_picture(pty.slave, false);
    pty.read_until(frame_end);
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
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
}

}  // namespace
}  // namespace vexl::platform
