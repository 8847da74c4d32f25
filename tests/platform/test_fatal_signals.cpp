#include "platform/linux/fatal_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <vector>

#include "platform/linux/linux_terminal.h"
#include "platform/linux/termination_signals.h"
#include "tests/support/pty.h"
#include "tests/support/vt_screen.h"

namespace vexl::platform {
namespace {

using testing::Pty;
using testing::VtScreen;

constexpr const char* frame_end = "\x1b[?2026l";

struct sigaction action_of(int number)
{
    struct sigaction current {};
    sigaction(number, nullptr, &current);
    return current;
}

bool is_default(int number)
{
    const struct sigaction current = action_of(number);
    return (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL;
}

TEST(FatalSignals, TakesOnlySignalsAtTheirDefaultAndGivesThemBack)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    sigaction(SIGUSR2, &ignore, &before);
    const bool alarm_default = is_default(SIGALRM);
    {
        FatalSignals fatal;
        EXPECT_EQ(action_of(SIGUSR2).sa_handler, SIG_IGN) << "ignored at start stays ignored";
        EXPECT_NE(action_of(SIGUSR1).sa_flags & SA_SIGINFO, 0);
        if (alarm_default) {
            EXPECT_FALSE(is_default(SIGALRM));
        }
        EXPECT_TRUE(is_default(SIGCHLD)) << "a signal that ends nothing is left alone";
        EXPECT_TRUE(is_default(SIGWINCH));
    }
    EXPECT_TRUE(is_default(SIGUSR1));
    EXPECT_EQ(is_default(SIGALRM), alarm_default);
    sigaction(SIGUSR2, &before, nullptr);

    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGTRAP, SIGTSTP, SIGCONT, SIGKILL})
        EXPECT_FALSE(FatalSignals::covers(number)) << number;
    for (int number : {SIGQUIT, SIGUSR1, SIGUSR2, SIGPIPE, SIGSEGV, SIGABRT, SIGXCPU, SIGRTMIN, SIGRTMAX})
        EXPECT_TRUE(FatalSignals::covers(number)) << number;
}

// A console that shows frames until the signal ends it, as the player does
// (with the orderly signals taken as well). `fault`: dies of a segmentation
// fault of its own after the first frame.
[[noreturn]] void console_until_killed(int tty, bool fault)
{
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    TerminationSignals orderly;
    FatalSignals fatal;
    LinuxTerminal terminal(tty, term::ColorMode::truecolor);
    terminal.alloc_console();
    const ConsoleHandle out = terminal.get_std_handle(StdHandle::output);
    terminal.set_cursor_info(out, CursorInfo{1, false});
    std::vector<CharInfo> cells(4000);
    for (int frame = 0;; ++frame) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            cells[i] = CharInfo{static_cast<std::uint16_t>('A' + (frame + i) % 26), 0x1E};
        SmallRect region{0, 0, 79, 49};
        terminal.write_output(out, cells.data(), Coord{80, 50}, Coord{0, 0}, region);
        if (fault && frame == 1)
            *static_cast<volatile int*>(nullptr) = frame;
        timespec ms{0, 1000000};
        nanosleep(&ms, nullptr);
    }
}

struct Case {
    int number;
    bool fault;  // raised by the child's own bad access, not sent
};

std::string case_name(const ::testing::TestParamInfo<Case>& param)
{
    return std::string(sigabbrev_np(param.param.number)) + (param.param.fault ? "Fault" : "Sent");
}

void PrintTo(const Case& c, std::ostream* out) { *out << "SIG" << sigabbrev_np(c.number); }

class TerminalRestoredOnFatalSignal : public ::testing::TestWithParam<Case> {};

TEST_P(TerminalRestoredOnFatalSignal, ThenTheSignalTakesItsDefaultCourse)
{
    const Case c = GetParam();
    if (c.fault && !is_default(c.number))
        GTEST_SKIP() << "a sanitizer handles the fault";
    Pty pty(50, 80);
    const pid_t child = pty.fork();
    if (child == 0)
        console_until_killed(pty.slave, c.fault);
    std::string output = pty.read_until(frame_end);
    if (output.find(frame_end) == std::string::npos) {
        kill(child, SIGKILL);  // it would hold the test's output open
        waitpid(child, nullptr, 0);
        FAIL() << "no frame came";
    }
    if (!c.fault)
        kill(child, c.number);
    int status = 0;
    waitpid(child, &status, 0);
    output += pty.drain(std::chrono::milliseconds(200));

    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), c.number) << "the signal's own exit status";
    VtScreen vt(50, 80);
    vt.feed(output);
    EXPECT_FALSE(vt.private_modes[1049]) << "main screen back";
    EXPECT_TRUE(vt.private_modes[25]) << "cursor shown";
    termios modes{};
    tcgetattr(pty.slave, &modes);
    EXPECT_NE(modes.c_lflag & ECHO, 0u) << "echo back on";
    EXPECT_NE(modes.c_iflag & ICRNL, 0u);
    EXPECT_NE(modes.c_iflag & IXON, 0u) << "flow control back on";
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminalRestoredOnFatalSignal,
                         ::testing::Values(Case{SIGQUIT, false}, Case{SIGUSR1, false}, Case{SIGPIPE, false},
                                           Case{SIGSEGV, true}),
                         case_name);

}  // namespace
}  // namespace vexl::platform
