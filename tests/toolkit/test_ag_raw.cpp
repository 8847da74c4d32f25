#include "vuvorazi/ag_raw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "tests/toolkit/toolkit_fixture.h"

namespace vuvorazi {
namespace {

using testing::cell_of;
using testing::probe_box;
using Widget = testing::FakeDiagnosticsTest;

TEST_F(Widget, StartsUnsizedUnattachedUnfocusedAndUnlocked)
{
    ag_raw widget;
    EXPECT_EQ(widget.get_rows(), -1);
    EXPECT_EQ(widget.get_cols(), -1);
    EXPECT_FALSE(widget.has_grid());
    EXPECT_EQ(widget.get_parent(), nullptr);
    EXPECT_FALSE(widget.is_fixed());
    EXPECT_EQ(widget.get_fixed_rows(), 0);
    EXPECT_EQ(widget.get_fixed_cols(), 0);
    EXPECT_FALSE(widget.is_focusable());
    EXPECT_FALSE(widget.is_focused());
    EXPECT_EQ(widget.get_key_handler(), nullptr);
    EXPECT_EQ(widget.get_lock_count(), 0);
}

TEST_F(Widget, IdsAreDistinctAndIncreasingAcrossClassesAndThreads)
{
    ag_raw first;
    ag_box second;
    ag_screen third;
    EXPECT_EQ(second.get_id(), first.get_id() + 1);
    EXPECT_EQ(third.get_id(), first.get_id() + 2);

    constexpr int per_thread = 500;
    std::vector<std::uint64_t> ids[2];
    auto build = [](std::vector<std::uint64_t>& out) {
        for (int i = 0; i < per_thread; ++i) {
            ag_raw widget;
            out.push_back(widget.get_id());
        }
    };
    std::thread a(build, std::ref(ids[0]));
    std::thread b(build, std::ref(ids[1]));
    a.join();
    b.join();
    std::vector<std::uint64_t> all = ids[0];
    all.insert(all.end(), ids[1].begin(), ids[1].end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "an id was handed out twice";
    EXPECT_GT(all.front(), third.get_id());
}

TEST_F(Widget, ResizeReplacesTheGridAndRefusesNegativeOrOversizedSizes)
{
    ag_raw widget;
    EXPECT_TRUE(widget.resize(0, 80));
    EXPECT_EQ(widget.get_rows(), 0);
    EXPECT_EQ(widget.get_cols(), 80);
    EXPECT_FALSE(widget.has_grid());

    EXPECT_FALSE(widget.resize(-1, 5));
    EXPECT_FALSE(widget.resize(5, -1));
    EXPECT_EQ(widget.get_rows(), 0);
    EXPECT_EQ(widget.get_cols(), 80);

    ASSERT_TRUE(widget.resize(50, 80));
    ASSERT_TRUE(widget.has_grid());
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j)
            ASSERT_EQ(widget.cell_at(i, j), ag_cell{}) << i << "," << j;
    EXPECT_FALSE(widget.cell_at(50, 0).has_value());
    EXPECT_FALSE(widget.cell_at(0, -1).has_value());

    ASSERT_TRUE(widget.put_cell(49, 79, cell_of(1)));
    EXPECT_EQ(widget.cell_at(49, 79), cell_of(1));
    EXPECT_FALSE(widget.resize(65536, 65536)) << "more cells than an index can reach";
    EXPECT_EQ(widget.cell_at(49, 79), cell_of(1)) << "a refused resize keeps the grid";
    ASSERT_TRUE(widget.resize(50, 80));
    EXPECT_EQ(widget.cell_at(49, 79), ag_cell{}) << "contents are never carried over";
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Widget, WriteCellsKeepsWhatFallsInsideTheGrid)
{
    ag_raw widget;
    ASSERT_TRUE(widget.resize(3, 4));
    const ag_cell block[] = {cell_of(0), cell_of(1), cell_of(2), cell_of(3)};
    EXPECT_TRUE(widget.write_cells(2, 3, 2, 2, block)) << "only the top-left cell lands";
    EXPECT_EQ(widget.cell_at(2, 3), cell_of(0));
    EXPECT_TRUE(widget.write_cells(-1, -1, 2, 2, block)) << "only the bottom-right cell lands";
    EXPECT_EQ(widget.cell_at(0, 0), cell_of(3));
    EXPECT_EQ(widget.cell_at(0, 1), ag_cell{});
    EXPECT_FALSE(widget.write_cells(3, 0, 1, 1, block));
    EXPECT_FALSE(widget.write_cells(0, 0, 0, 1, block));
    EXPECT_FALSE(widget.write_cells(0, 0, 1, 1, nullptr));
}

TEST_F(Widget, LockNestsOnTheRootOfTheTree)
{
    ag_box root;
    ag_raw child;
    ASSERT_TRUE(root.add_child(&child, -1, 1));

    root.lock();
    root.lock();
    EXPECT_EQ(root.get_lock_count(), 2);
    child.lock();
    EXPECT_EQ(root.get_lock_count(), 3) << "a child's lock is the root's";
    EXPECT_EQ(child.get_lock_count(), 0);
    child.unlock();
    root.unlock();
    EXPECT_EQ(root.get_lock_count(), 1);
    root.unlock();
    EXPECT_EQ(root.get_lock_count(), 0);
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Widget, ReleaseWithoutTakeIsReportedAndHarmless)
{
    ag_raw widget;
    widget.unlock();
    EXPECT_EQ(trap.traps, 1);
    EXPECT_EQ(output.log, "\r\n01/02/03 04:05:06 \r\n");
    EXPECT_EQ(widget.get_lock_count(), 0);
    widget.lock();
    EXPECT_EQ(widget.get_lock_count(), 1);
    widget.unlock();
    EXPECT_EQ(trap.traps, 1);
}

TEST_F(Widget, ReleasingAnotherThreadsLockIsRefused)
{
    ag_raw widget;
    {
        testing::held_elsewhere busy(widget);
        widget.unlock();
        EXPECT_EQ(trap.traps, 1) << "not ours to release";
    }
    EXPECT_EQ(trap.traps, 1) << "the holder's own release still works";
}

TEST_F(Widget, LockCountOnAChildAndAParentedHolderAreReported)
{
    probe_box root;
    probe_box child;
    ASSERT_TRUE(root.add_child(&child, -1, 1));
    child.force_lock_count(1);
    child.lock();  // fails before and after taking the parent's lock
    EXPECT_EQ(trap.traps, 2);
    child.force_lock_count(0);
    child.unlock();
    EXPECT_EQ(trap.traps, 2);

    probe_box other;
    other.lock();
    other.force_parent(&root);
    other.unlock();  // the holder is no longer a root
    EXPECT_EQ(trap.traps, 3);
    other.force_parent(nullptr);
    EXPECT_EQ(other.get_lock_count(), 0) << "the lock was released all the same";
}

TEST_F(Widget, RootThatGainsAParentWhileWaitingIsReported)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the check exists to catch this very race, which TSan reports too";
#endif
    probe_box root;
    probe_box future_parent;
    root.enter_own_section();
    std::atomic<bool> started{false};
    std::thread waiter([&] {
        started = true;
        root.lock();  // sees no parent, then waits for the section
        root.force_lock_count(0);
        root.leave_own_section();
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    root.force_parent(&future_parent);
    root.leave_own_section();
    waiter.join();
    root.force_parent(nullptr);
    EXPECT_EQ(trap.traps, 1);
}

TEST_F(Widget, RunWithoutFailedChecksReportsNothing)
{
    ag_screen screen;
    ag_box box;
    ag_raw leaf;
    ASSERT_TRUE(screen.set_orientation(orient_vertical));
    ASSERT_TRUE(screen.resize(10, 10));
    ASSERT_TRUE(screen.add_child(&box, -1, 1));
    ASSERT_TRUE(box.set_orientation(orient_horizontal));
    ASSERT_TRUE(box.add_child(&leaf, -1, 1));
    EXPECT_TRUE(leaf.put_cell(0, 0, cell_of(3)));
    screen.lock();
    screen.unlock();
    EXPECT_EQ(output.open_calls, 0);
    EXPECT_TRUE(output.debugger.empty());
    EXPECT_EQ(trap.traps, 0);
}

}  // namespace
}  // namespace vuvorazi
