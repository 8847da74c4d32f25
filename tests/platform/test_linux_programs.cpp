// LinuxPrograms::restart_in_terminal_window against terminal emulators of
// the test's own in PATH: which one starts, and that the command it is
// given goes on in this folder with the answers handed over.

#include "platform/linux/linux_programs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "platform/dialogs.h"
#include "tests/player/tmux_session.h"
#include "tests/support/test_dir.h"

namespace vexl::platform {
namespace {

namespace fs = std::filesystem;
using testing::shell_quote;

class TerminalWindow : public ::testing::Test {
public:
    TerminalWindow() : dir_(test::fresh_test_dir("vexl-terminal-window"))
    {
        fs::create_directories(dir_ / "bin");
        for (const char* name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "VEXLADE_IN_TERMINAL_WINDOW"})
            if (const char* value = std::getenv(name))
                saved_[name] = value;
        setenv("PATH", (dir_ / "bin").c_str(), 1);
        setenv("DISPLAY", ":99", 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("VEXLADE_IN_TERMINAL_WINDOW");
    }
    ~TerminalWindow() override
    {
        for (const char* name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "VEXLADE_IN_TERMINAL_WINDOW"})
            unsetenv(name);
        for (const auto& [name, value] : saved_)
            setenv(name.c_str(), value.c_str(), 1);
        fs::remove_all(dir_);
    }

    // A terminal emulator called `name` that writes its arguments to
    // NAME.args, one a line, and ends with `status`.
    void install_terminal(const std::string& name, int status = 0)
    {
        const fs::path program = dir_ / "bin" / name;
        std::ofstream(program) << "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done >" << shell_quote(args_file(name))
                               << "\nexit " << status << "\n";
        fs::permissions(program, fs::perms::owner_all);
    }
    std::string args_file(const std::string& name) const { return (dir_ / (name + ".args")).string(); }
    std::vector<std::string> args_of(const std::string& name) const
    {
        std::ifstream in(args_file(name));
        std::vector<std::string> args;
        for (std::string line; std::getline(in, line);)
            args.push_back(line);
        return args;
    }

    bool restart(std::string& problem)
    {
        const int answers[] = {IDNO, IDYES};
        LinuxPrograms programs;
        return programs.restart_in_terminal_window(answers, problem);
    }

    // Runs the command a terminal was given, with a program that tells
    // where it runs and what it was handed in place of the player.
    std::string run_command(std::vector<std::string> command) const
    {
        const fs::path teller = dir_ / "teller";
        std::ofstream(teller) << "#!/bin/sh\necho \"$PWD $VEXLADE_ANSWERS $VEXLADE_IN_TERMINAL_WINDOW\"\n";
        fs::permissions(teller, fs::perms::owner_all);
        command.back() = teller.string();
        std::string line;
        for (const std::string& arg : command)
            line += shell_quote(arg) + " ";
        return testing::run_output("cd / && " + line);
    }

    fs::path dir_;
    std::map<std::string, std::string> saved_;
};

TEST_F(TerminalWindow, TheDesktopsTerminalRunsThisProgramHereWithTheAnswers)
{
    struct Case {
        std::vector<const char*> installed;
        const char* chosen;
        std::vector<std::string> options;  // before the command
    };
    for (const Case& c : {Case{{"x-terminal-emulator"}, "x-terminal-emulator", {"-e"}},
                          Case{{"x-terminal-emulator", "xdg-terminal-exec"}, "xdg-terminal-exec", {}}}) {
        for (const char* name : c.installed)
            install_terminal(name);
        std::string problem;
        ASSERT_TRUE(restart(problem)) << problem;
        std::vector<std::string> args = args_of(c.chosen);
        ASSERT_EQ(args.size(), c.options.size() + 7) << c.chosen;
        EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + c.options.size()), c.options);
        args.erase(args.begin(), args.begin() + c.options.size());
        EXPECT_EQ(args.back(), fs::read_symlink("/proc/self/exe").string()) << "this program";
        EXPECT_EQ(run_command(args), fs::current_path().string() + " No,Yes 1\n") << c.chosen;
    }
}

TEST_F(TerminalWindow, NoWindowIsAProblemToldNotAHang)
{
    struct Case {
        const char* what;
        void (*arrange)(TerminalWindow&);
        const char* problem;
    };
    for (const Case& c : {
             Case{"no desktop",
                  [](TerminalWindow& t) {
                      t.install_terminal("x-terminal-emulator");
                      unsetenv("DISPLAY");
                  },
                  "no desktop to open one on"},
             Case{"no terminal emulator", [](TerminalWindow&) {},
                  "no terminal emulator found (neither xdg-terminal-exec nor x-terminal-emulator)"},
             Case{"already in one",
                  [](TerminalWindow& t) {
                      t.install_terminal("x-terminal-emulator");
                      setenv("VEXLADE_IN_TERMINAL_WINDOW", "1", 1);
                  },
                  "it was started in a terminal window already, and has no terminal there either"},
             Case{"window refused", [](TerminalWindow& t) { t.install_terminal("x-terminal-emulator", 3); },
                  "/x-terminal-emulator ended with status 3"},
         }) {
        fs::remove_all(dir_ / "bin");
        fs::create_directories(dir_ / "bin");
        setenv("DISPLAY", ":99", 1);
        unsetenv("VEXLADE_IN_TERMINAL_WINDOW");
        c.arrange(*this);
        std::string problem;
        EXPECT_FALSE(restart(problem)) << c.what;
        EXPECT_TRUE(problem.ends_with(c.problem)) << c.what << ": " << problem;
    }
}

}  // namespace
}  // namespace vexl::platform
