#include "diag/debug_log.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/toolkit/toolkit_fixture.h"

namespace vexl {
namespace {

using DebugLog = vuvorazi::testing::FakeDiagnosticsTest;

TEST_F(DebugLog, FirstReportStartsWithAnEmptyLineLaterOnesDoNot)
{
    debug_report(1, "vuvorazi\\ag_raw", 136, "");
    EXPECT_EQ(output.log, "\r\n01/02/03 04:05:06 \r\n");
    ASSERT_EQ(output.debugger.size(), 2u);
    EXPECT_EQ(output.debugger[0], "01/02/03 04:05:06 ");
    EXPECT_EQ(output.debugger[0].size(), 18u) << "date, space, time, space";
    EXPECT_EQ(output.debugger[1], "\n");

    clock.time = "04:05:07";
    debug_report(1, "vuvorazi\\ag_raw", 152, "second");
    EXPECT_EQ(output.log, "\r\n01/02/03 04:05:06 \r\n01/02/03 04:05:07 second\r\n");
    EXPECT_EQ(output.open_calls, 1);
    EXPECT_EQ(output.debugger.size(), 4u);
}

TEST_F(DebugLog, LevelFileAndLineAreRecordedNowhere)
{
    debug_report(1, "vuvorazi\\ag_raw", 136, "same");
    debug_report(7, "elsewhere", 9999, "same");
    EXPECT_EQ(output.log, "\r\n01/02/03 04:05:06 same\r\n01/02/03 04:05:06 same\r\n");
    EXPECT_EQ(output.debugger[0], output.debugger[2]);
}

TEST_F(DebugLog, FailedOpenIsRetriedByTheNextWrite)
{
    output.failing_opens = 1;
    debug_report(1, "f", 1, "lost");
    // The entry's own write fails; its line break opens the log, which
    // starts with the run's empty line.
    EXPECT_EQ(output.open_calls, 2);
    EXPECT_EQ(output.failed_writes, 2);
    EXPECT_EQ(output.log, "\r\n\r\n");
    EXPECT_EQ(output.debugger[0], "01/02/03 04:05:06 lost") << "the debugger still gets it";
    EXPECT_EQ(debug_log_fd, fakes::FakeDebugOutput::log_fd);
}

TEST_F(DebugLog, OverlongEntryIsCutToTheBuffer)
{
    const std::string message(2000, 'x');
    debug_report(1, "f", 1, message.c_str());
    ASSERT_EQ(output.debugger[0].size(), static_cast<std::size_t>(debug_entry_size - 1));
    EXPECT_EQ(output.debugger[0].substr(0, 18), "01/02/03 04:05:06 ");
    EXPECT_EQ(output.log.size(), 2 + 1023 + 2u);
}

TEST_F(DebugLog, LockIsReentrantAndDirectWritesShareTheFile)
{
    debug_lock();
    debug_lock();
    debug_log_line("by hand");
    debug_unlock();
    debug_unlock();
    EXPECT_EQ(output.log, "\r\nby hand\r\n");
    EXPECT_TRUE(output.debugger.empty());
}

}  // namespace
}  // namespace vexl
