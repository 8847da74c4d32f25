#include "platform/run_report.h"

#include <gtest/gtest.h>

namespace vexl::platform {
namespace {

TEST(RunReport, KeepsLinesInOrderOnceEachAndEmptiesWhenTaken)
{
    RunReport report;
    ScopedService<RunReport> slot(report);
    report_after_run("no sound device: none found");
    report_after_run("terminal write failed: EIO");
    report_after_run("no sound device: none found");
    EXPECT_EQ(report.take(), (std::vector<std::string>{"no sound device: none found", "terminal write failed: EIO"}));
    EXPECT_TRUE(report.take().empty());
}

TEST(RunReport, WithoutAnInstalledReportLinesAreDropped)
{
    report_after_run("nobody listens");  // must not abort
    SUCCEED();
}

}  // namespace
}  // namespace vexl::platform
