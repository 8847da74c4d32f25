#include "platform/linux/linux_terminal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>

#include <vector>

#include "platform/linux/cp437.h"
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

}  // namespace
}  // namespace vexl::platform
