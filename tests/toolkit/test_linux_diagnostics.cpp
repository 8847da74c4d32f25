#include "platform/linux/linux_diagnostics.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/restore_hooks.h"
#include "tests/support/test_dir.h"
#include "tests/toolkit/text_shape.h"

namespace vexl::platform {
namespace {

namespace fs = std::filesystem;

// Works in a directory of its own, as the log goes to the current
// directory first.
class LinuxDiagnostics : public ::testing::Test {
protected:

    static std::string read_log()
    {
        std::ifstream in(LinuxDebugOutput::log_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    test::ScopedTestDir dir_{"vexl-diag"};
};

TEST_F(LinuxDiagnostics, LogIsCreatedPrivateAndOnlyEverAppendedTo)
{
    LinuxDebugOutput output;
    const int fd = output.open_log();
    ASSERT_GE(fd, 0);
    const auto permissions = fs::status(LinuxDebugOutput::log_path).permissions();
    EXPECT_EQ(permissions & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    EXPECT_NE(permissions & fs::perms::owner_write, fs::perms::none);

    output.write_log(fd, "one\r\n", 5);
    // A second descriptor, as a second run would have: appends after.
    const int again = output.open_log();
    output.write_log(again, "two\r\n", 5);
    output.write_log(fd, "three", 5);
    EXPECT_EQ(read_log(), "one\r\ntwo\r\nthree");
    output.write_log(-1, "ignored", 7);
}

// Sets an environment variable (or unsets it, for nullptr) for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }

private:
    void set(const char* value) const
    {
        if (value != nullptr)
            ::setenv(name_, value, 1);
        else
            ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(LinuxDiagnostics, StateFolderFollowsTheBaseDirectoryRules)
{
    struct Case {
        const char* state;
        const char* home;
        const char* folder;
    };
    const Case cases[] = {
        {"/state", "/home/u", "/state/vexlade"},
        {nullptr, "/home/u", "/home/u/.local/state/vexlade"},
        {"relative/state", "/home/u", "/home/u/.local/state/vexlade"},  // relative ones are ignored
        {"", "/home/u", "/home/u/.local/state/vexlade"},
        {nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        const ScopedEnv state("XDG_STATE_HOME", c.state);
        const ScopedEnv home("HOME", c.home);
        EXPECT_EQ(LinuxDebugOutput::state_folder(), c.folder) << (c.state ? c.state : "(unset)");
    }
}

// A folder in the log's place stands for a current directory that takes
// no file (a read-only install folder: the tests may run as root, whom
// permissions don't stop).
TEST_F(LinuxDiagnostics, LogGoesToTheStateFolderWhenTheCurrentDirectoryTakesNoFile)
{
    const fs::path state = fs::current_path() / "state" / "deeper";
    const ScopedEnv env("XDG_STATE_HOME", state.c_str());
    fs::create_directory(LinuxDebugOutput::log_path);
    LinuxDebugOutput output;
    const int fd = output.open_log();
    ASSERT_GE(fd, 0);
    output.write_log(fd, "kept", 4);
    ::close(fd);

    std::ifstream in(state / "vexlade" / LinuxDebugOutput::log_path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
    EXPECT_EQ(fs::status(state / "vexlade").permissions(), fs::perms::owner_all);
}

TEST_F(LinuxDiagnostics, UnopenableLogGivesMinusOne)
{
    std::ofstream("not-a-folder") << "file";
    const ScopedEnv env("XDG_STATE_HOME", (fs::current_path() / "not-a-folder").c_str());
    fs::create_directory(LinuxDebugOutput::log_path);  // a directory can't be opened for writing
    LinuxDebugOutput output;
    EXPECT_EQ(output.open_log(), -1);
}

TEST_F(LinuxDiagnostics, ClockFormatsDateAndTimeInEightCharacters)
{
    LinuxLocalClock clock;
    StampText date;
    StampText time;
    clock.date_text(date);
    clock.time_text(time);
    EXPECT_TRUE(vexl::testing::has_shape(date, "99/99/99")) << date;
    EXPECT_TRUE(vexl::testing::has_shape(time, "99:99:99")) << time;
}

TEST_F(LinuxDiagnostics, DebuggerOutputGoesToStandardError)
{
    LinuxDebugOutput output;
    ::testing::internal::CaptureStderr();
    output.write_debugger("entry");
    output.write_debugger("\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "entry\n");
}

void announce_restore(void*)
{
    std::fputs("environment restored\n", stderr);
}

TEST(LinuxBreakpointTrapDeath, RestoresTheEnvironmentThenRaisesSigtrap)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            add_restore_hook(announce_restore, nullptr);
            LinuxBreakpointTrap().trap();
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTRAP), "environment restored");
}

}  // namespace
}  // namespace vexl::platform
