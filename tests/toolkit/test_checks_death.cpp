// The failed checks on the real path: each ends the process by SIGTRAP
// and leaves exactly one entry in debugansi.log. Every case runs in a
// freshly started child (the "threadsafe" death test style re-executes the
// binary), so the child's run starts with no log written and no widget
// built.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "platform/linux/linux_diagnostics.h"
#include "tests/toolkit/text_shape.h"
#include "vuvorazi/ag_screen.h"

namespace vuvorazi {
namespace {

namespace fs = std::filesystem;

constexpr const char earlier_runs[] = "01/01/01 00:00:00 \r\n";
constexpr const char entry_pattern[] = "[0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9] ";

class probe_box : public ag_box {
public:
    void force_lock_count(std::int32_t value) { lock_count = value; }
    void force_parent(ag_box* value) { parent = value; }
    void enter_own_section() { lock_section.lock(); }
    void leave_own_section() { lock_section.unlock(); }
};

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each test gets its own directory holding a log with an earlier run's
// entry; the child works in it. The child runs the test program anew, so
// the directory is named by the program's path (two build trees apart),
// not by the process.
class FailedCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::size_t program = std::hash<std::string>{}(fs::read_symlink("/proc/self/exe").string());
        dir_ = fs::temp_directory_path() / ("vexl-check-" + std::string(info->name()) + "-" + std::to_string(program));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "debugansi.log", std::ios::binary | std::ios::trunc) << earlier_runs;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs in the child: real diagnostics, the log's directory as the
    // current one.
    void enter_log_dir() { fs::current_path(dir_); }

    // One empty line, then one entry of date, time and the empty message.
    void expect_one_new_entry()
    {
        const std::string log = read_file(dir_ / "debugansi.log");
        const std::string prefix = std::string(earlier_runs) + "\r\n";
        ASSERT_EQ(log.substr(0, prefix.size()), prefix);
        const std::string added = log.substr(prefix.size());
        ASSERT_EQ(added.size(), 18u + 2u) << added;
        EXPECT_TRUE(vexl::testing::has_shape(added.substr(0, 18), "99/99/99 99:99:99 ")) << added;
        EXPECT_EQ(added.substr(18), "\r\n") << "the line break is the two bytes 0D 0A";
    }

    fs::path dir_;
};

#define EXPECT_CHECK_TRAPS(statement)                                                   \
    EXPECT_EXIT(                                                                        \
        {                                                                               \
            enter_log_dir();                                                            \
            vexl::platform::ScopedLinuxDiagnostics diagnostics;                         \
            statement;                                                                  \
            std::_Exit(0);                                                              \
        },                                                                              \
        ::testing::KilledBySignal(SIGTRAP), entry_pattern);                             \
    expect_one_new_entry()

TEST_F(FailedCheck, Check136ChildHoldsACountBeforeTakingTheParentsLock)
{
    EXPECT_CHECK_TRAPS({
        ag_box root;
        probe_box child;
        root.add_child(&child, -1, 1);
        child.force_lock_count(1);
        child.lock();
    });
}

TEST_F(FailedCheck, Check138ChildGainsACountWhileWaitingForTheParentsLock)
{
    EXPECT_CHECK_TRAPS({
        ag_box root;
        probe_box child;
        root.add_child(&child, -1, 1);
        root.lock();
        std::atomic<bool> started{false};
        std::thread waiter([&] {
            started = true;
            child.lock();
        });
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        child.force_lock_count(1);
        root.unlock();
        waiter.join();
    });
}

TEST_F(FailedCheck, Check141RootGainsAParentWhileWaitingForItsSection)
{
    EXPECT_CHECK_TRAPS({
        probe_box root;
        ag_box future_parent;
        root.enter_own_section();
        std::atomic<bool> started{false};
        std::thread waiter([&] {
            started = true;
            root.lock();
        });
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        root.force_parent(&future_parent);
        root.leave_own_section();
        waiter.join();
    });
}

TEST_F(FailedCheck, Check149HolderOfTheCountHasAParent)
{
    EXPECT_CHECK_TRAPS({
        probe_box widget;
        ag_box other;
        widget.lock();
        widget.force_parent(&other);
        widget.unlock();
    });
}

TEST_F(FailedCheck, Check152ReleaseWithoutTake)
{
    EXPECT_CHECK_TRAPS({
        ag_screen screen;
        screen.unlock();
    });
}

TEST_F(FailedCheck, Check381VerticalLayoutBeforeTheFirstResize)
{
    EXPECT_CHECK_TRAPS({
        ag_box column;
        ag_raw child;
        column.set_orientation(orient_vertical);
        column.add_child(&child, -1, 1);
    });
}

TEST_F(FailedCheck, Check409HorizontalLayoutBeforeTheFirstResize)
{
    EXPECT_CHECK_TRAPS({
        ag_box row;
        ag_raw child;
        row.set_orientation(orient_horizontal);
        row.add_child(&child, -1, 1);
    });
}

TEST_F(FailedCheck, RunWithoutFailedChecksLeavesNoLog)
{
    fs::remove(dir_ / "debugansi.log");
    EXPECT_EXIT(
        {
            enter_log_dir();
            vexl::platform::ScopedLinuxDiagnostics diagnostics;
            ag_screen screen;
            ag_raw leaf;
            screen.set_orientation(orient_vertical);
            screen.resize(50, 80);
            screen.add_child(&leaf, -1, 1);
            leaf.put_cell(0, 0, ag_cell{'x', 1, 2});
            std::_Exit(screen.queue_at(0, 0)->pending_count() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(fs::exists(dir_ / "debugansi.log"));
}

// Ids count widgets of every class from 1 in a fresh process.
TEST_F(FailedCheck, IdsStartAtOneInEveryRun)
{
    EXPECT_EXIT(
        {
            ag_raw first;
            ag_box second;
            ag_screen third;
            ag_raw fourth;
            const bool in_order = first.get_id() == 1 && second.get_id() == 2
                                  && third.get_id() == 3 && fourth.get_id() == 4;
            std::_Exit(in_order ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vuvorazi
