#include "platform/linux/linux_diagnostics.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/restore_hooks.h"
#include "tests/toolkit/text_shape.h"

namespace vexl::platform {
namespace {

namespace fs = std::filesystem;

// Works in a directory of its own under the build tree, as the log always
// goes to the current directory.
class LinuxDiagnostics : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const fs::path dir = fs::absolute(fs::path("diag_logs") / info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override { fs::current_path(previous_); }

    static std::string read_log()
    {
        std::ifstream in(LinuxDebugOutput::log_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    fs::path previous_;
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

TEST_F(LinuxDiagnostics, UnopenableLogGivesMinusOne)
{
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
