// LinuxPrograms::restart_in_terminal_window with terminal emulators of the
// test's own in PATH: which one starts, that its command goes on in this
// folder with the answers, and why none may.

#include "platform/linux/linux_programs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/dialogs.h"
#include "tests/player/tmux_session.h"
#include "tests/support/test_dir.h"

namespace vexl::platform {
namespace {

namespace fs = std::filesystem;
using testing::shell_quote;

class TerminalWindow : public ::testing::Test {
protected:
    ~TerminalWindow() override { setenv("PATH", path_.c_str(), 1); }
    // Only the terminal emulators `names` in PATH, each writing to `said_` its
    // name, its "-e" if any and the program it was to start, then running its
    // command from / with a reporter in that program's place, then ending
    // with `status`; the marker of a run in a terminal window as given.
    bool restart(std::initializer_list<const char*> names, int status, const char* in_window, std::string& problem)
    {
        const fs::path bin = dir_.path() / "bin";
        fs::remove_all(bin);
        fs::create_directories(bin);
        const std::string said = shell_quote(said_.string());
        write_program(bin / "report", "echo \"$PWD $VEXLADE_ANSWERS $VEXLADE_IN_TERMINAL_WINDOW\" >>" + said);
        for (const char* name : names) {
            write_program(bin / name, "e=; [ \"$1\" != -e ] || { e=' -e'; shift; }\necho \"${0##*/}$e ${!#}\" >" + said +
                                          "\ncd / && \"${@:1:$#-1}\" " + shell_quote((bin / "report").string()) +
                                          "\nexit " + std::to_string(status));
        }
        setenv("PATH", bin.c_str(), 1);
        setenv("DISPLAY", ":99", 1);
        in_window != nullptr ? setenv("VEXLADE_IN_TERMINAL_WINDOW", in_window, 1) : unsetenv("VEXLADE_IN_TERMINAL_WINDOW");
        const int answers[] = {IDNO, IDYES};
        return LinuxPrograms().restart_in_terminal_window(answers, problem);
    }
    static void write_program(const fs::path& file, const std::string& body)
    {
        std::ofstream(file) << "#!/bin/bash\n" << body << "\n";
        fs::permissions(file, fs::perms::owner_all);
    }
    std::string said() const
    {
        std::ostringstream text;
        text << std::ifstream(said_).rdbuf();
        return text.str();
    }
    test::ScopedTestDir dir_{"vexl-terminal-window"};
    fs::path said_ = dir_.path() / "said";
    std::string path_ = std::getenv("PATH");
};

TEST_F(TerminalWindow, TheDesktopsTerminalRunsThisProgramHereWithTheAnswers)
{
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string ran = dir_.path().string() + " No,Yes 1\n";
    std::string problem;
    ASSERT_TRUE(restart({"x-terminal-emulator"}, 0, nullptr, problem)) << problem;
    EXPECT_EQ(said(), "x-terminal-emulator -e " + self + "\n" + ran);
    ASSERT_TRUE(restart({"x-terminal-emulator", "xdg-terminal-exec"}, 0, nullptr, problem)) << problem;
    EXPECT_EQ(said(), "xdg-terminal-exec " + self + "\n" + ran) << "the desktop's choice first";
}

TEST_F(TerminalWindow, NoWindowIsAProblemToldNotAHang)
{
    // (Without a display: the full-screen end-to-end tests.)
    std::string problem;
    EXPECT_FALSE(restart({}, 0, nullptr, problem));
    EXPECT_EQ(problem, "no terminal emulator found (neither xdg-terminal-exec nor x-terminal-emulator)");
    EXPECT_FALSE(restart({"x-terminal-emulator"}, 0, "1", problem));
    EXPECT_EQ(problem, "it was started in a terminal window already, and has no terminal there either");
    EXPECT_FALSE(restart({"x-terminal-emulator"}, 3, nullptr, problem));
    EXPECT_TRUE(problem.ends_with("/x-terminal-emulator ended with status 3")) << problem;
}

}  // namespace
}  // namespace vexl::platform
