// LinuxPrograms::restart_in_terminal_window with terminal emulators of the
// test's own in PATH that record their arguments: which one starts, that
// its command goes on in this folder with the answers, and why none may.

#include "platform/linux/linux_programs.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/dialogs.h"
#include "tests/player/tmux_session.h"
#include "tests/support/test_dir.h"

namespace vexl::platform {
namespace {

namespace fs = std::filesystem;
using testing::shell_quote;

class TerminalWindow : public ::testing::Test {
protected:
    ~TerminalWindow() override
    {
        setenv("PATH", path_.c_str(), 1);
        fs::remove_all(dir_);
    }
    // Only the terminal emulators `names` in PATH, each writing its arguments
    // to NAME.args, one a line, and ending with `status`; DISPLAY and the
    // marker of a run in a terminal window as given.
    bool restart(std::initializer_list<const char*> names, int status, const char* display, const char* in_window,
                 std::string& problem)
    {
        fs::remove_all(dir_ / "bin");
        fs::create_directories(dir_ / "bin");
        for (const char* name : names) {
            std::ofstream(dir_ / "bin" / name) << "#!/bin/sh\nfor a; do echo \"$a\"; done >"
                                               << shell_quote((dir_ / name).string() + ".args") << "\nexit " << status;
            fs::permissions(dir_ / "bin" / name, fs::perms::owner_all);
        }
        setenv("PATH", (dir_ / "bin").c_str(), 1);
        display != nullptr ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
        in_window != nullptr ? setenv("VEXLADE_IN_TERMINAL_WINDOW", in_window, 1) : unsetenv("VEXLADE_IN_TERMINAL_WINDOW");
        unsetenv("WAYLAND_DISPLAY");
        const int answers[] = {IDNO, IDYES};
        return LinuxPrograms().restart_in_terminal_window(answers, problem);
    }
    fs::path dir_ = test::fresh_test_dir("vexl-terminal-window");
    std::string path_ = std::getenv("PATH");
};

TEST_F(TerminalWindow, TheDesktopsTerminalRunsThisProgramHereWithTheAnswers)
{
    for (const char* chosen : {"x-terminal-emulator", "xdg-terminal-exec"}) {
        std::string problem;
        ASSERT_TRUE(restart({"x-terminal-emulator", chosen}, 0, ":99", nullptr, problem)) << problem;
        std::ifstream in(dir_ / (std::string(chosen) + ".args"));
        std::vector<std::string> args;
        for (std::string line; std::getline(in, line);)
            args.push_back(line);
        if (std::string_view(chosen) == "x-terminal-emulator") {  // x-terminal-emulator -e COMMAND...
            ASSERT_FALSE(args.empty());
            EXPECT_EQ(args.front(), "-e");
            args.erase(args.begin());
        }
        ASSERT_EQ(args.size(), 7u) << chosen;
        EXPECT_EQ(args.back(), fs::read_symlink("/proc/self/exe").string()) << "this program";
        // The command, with a shell in the program's place that tells where
        // it runs and what it was handed.
        args.back() = "/bin/sh";
        std::string command = "cd / && echo 'echo \"$PWD $VEXLADE_ANSWERS $VEXLADE_IN_TERMINAL_WINDOW\"' | ";
        for (const std::string& arg : args)
            command += shell_quote(arg) + " ";
        EXPECT_EQ(testing::run_output(command), fs::current_path().string() + " No,Yes 1\n") << chosen;
    }
}

TEST_F(TerminalWindow, NoWindowIsAProblemToldNotAHang)
{
    // (Without a display: the full-screen end-to-end tests.)
    std::string problem;
    EXPECT_FALSE(restart({}, 0, ":99", nullptr, problem));
    EXPECT_EQ(problem, "no terminal emulator found (neither xdg-terminal-exec nor x-terminal-emulator)");
    EXPECT_FALSE(restart({"x-terminal-emulator"}, 0, ":99", "1", problem));
    EXPECT_EQ(problem, "it was started in a terminal window already, and has no terminal there either");
    EXPECT_FALSE(restart({"x-terminal-emulator"}, 3, ":99", nullptr, problem));
    EXPECT_TRUE(problem.ends_with("/x-terminal-emulator ended with status 3")) << problem;
}

}  // namespace
}  // namespace vexl::platform
