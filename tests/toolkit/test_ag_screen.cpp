#include "vuvorazi/ag_screen.h"

#include <gtest/gtest.h>

#include "tests/toolkit/toolkit_fixture.h"

namespace vuvorazi {
namespace {

using testing::cell_of;
using Screen = testing::FakeDiagnosticsTest;

TEST_F(Screen, ResizeGivesEveryCellAZeroValueAndAnEmptyQueue)
{
    ag_screen screen;
    EXPECT_EQ(screen.queue_at(0, 0), nullptr) << "unsized";
    ASSERT_TRUE(screen.resize(50, 80));
    for (int i = 0; i < 50; ++i) {
        for (int j = 0; j < 80; ++j) {
            const ag_cellqueue* queue = screen.queue_at(i, j);
            ASSERT_NE(queue, nullptr);
            ASSERT_EQ(queue->pending_count(), 0);
            ASSERT_EQ(queue->current()->value, ag_cell{});
            ASSERT_EQ(screen.cell_at(i, j), ag_cell{});
        }
    }
    EXPECT_EQ(screen.queue_at(50, 0), nullptr);
    EXPECT_EQ(screen.queue_at(0, 80), nullptr);
    EXPECT_EQ(screen.queue_at(-1, 0), nullptr);

    EXPECT_FALSE(screen.resize(-1, 80));
    EXPECT_FALSE(screen.resize(65536, 65536));
    EXPECT_EQ(screen.get_rows(), 50);
    EXPECT_NE(screen.queue_at(49, 79), nullptr);

    EXPECT_TRUE(screen.resize(0, 0));
    EXPECT_EQ(screen.queue_at(0, 0), nullptr);
    EXPECT_TRUE(screen.present());
}

// A screen with one full-size child that draws into it.
class ScreenWithChild : public testing::FakeDiagnosticsTest {
protected:
    ScreenWithChild()
    {
        screen.set_orientation(orient_vertical);
        screen.resize(4, 5);
        screen.add_child(&child, -1, 1);
    }

    ag_cellqueue& queue(int row, int col) { return *screen.queue_at(row, col); }

    ag_screen screen;
    ag_raw child;
};

TEST_F(ScreenWithChild, OnlyValuesThatDifferFromTheLastQueuedAreQueued)
{
    ASSERT_TRUE(child.put_cell(1, 2, ag_cell{}));
    EXPECT_EQ(queue(1, 2).pending_count(), 0) << "equal to the current value";

    ASSERT_TRUE(child.put_cell(1, 2, cell_of(0)));  // A
    ASSERT_TRUE(child.put_cell(1, 2, cell_of(1)));  // B
    ASSERT_TRUE(child.put_cell(1, 2, cell_of(0)));  // A again
    EXPECT_EQ(queue(1, 2).pending_count(), 3);
    ASSERT_TRUE(child.put_cell(1, 2, cell_of(0)));
    EXPECT_EQ(queue(1, 2).pending_count(), 3) << "equal to the newest value";
    EXPECT_EQ(queue(1, 2).newest()->value, cell_of(0));
    EXPECT_EQ(queue(1, 2).current()->value, ag_cell{});
    EXPECT_EQ(screen.cell_at(1, 2), cell_of(0));
    EXPECT_EQ(queue(0, 0).pending_count(), 0) << "other cells untouched";

    ASSERT_TRUE(queue(1, 2).pop());
    EXPECT_EQ(queue(1, 2).current()->value, cell_of(0));
    EXPECT_EQ(queue(1, 2).pending_count(), 2);
    ASSERT_TRUE(queue(1, 2).pop());
    ASSERT_TRUE(queue(1, 2).pop());
    EXPECT_EQ(queue(1, 2).current()->value, cell_of(0));
    EXPECT_FALSE(queue(1, 2).pop()) << "nothing pending";
    EXPECT_EQ(queue(1, 2).current()->value, cell_of(0));
    EXPECT_EQ(queue(1, 2).pending_count(), 0);

    // Back to a value equal to the current one, with nothing pending.
    ASSERT_TRUE(child.put_cell(1, 2, cell_of(0)));
    EXPECT_EQ(queue(1, 2).pending_count(), 0);
}

TEST_F(ScreenWithChild, RegionIsQueuedCellByCellWithinThePlacement)
{
    ag_cell block[4 * 5];
    for (std::uint32_t n = 0; n < 20; ++n)
        block[n] = cell_of(n + 1);
    ASSERT_TRUE(child.write_cells(0, 0, 4, 5, block));
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(queue(i, j).pending_count(), 1);
            EXPECT_EQ(queue(i, j).newest()->value, block[i * 5 + j]);
        }
    }
    EXPECT_TRUE(screen.update_region(&child, 2, 3, 9, 9)) << "trimmed, all equal already";
    EXPECT_EQ(queue(3, 4).pending_count(), 1);
}

TEST_F(ScreenWithChild, ResizeDiscardsEveryQueuedValue)
{
    ASSERT_TRUE(child.put_cell(0, 0, cell_of(1)));
    ASSERT_TRUE(child.put_cell(0, 0, cell_of(2)));
    ASSERT_EQ(queue(0, 0).pending_count(), 2);
    ASSERT_TRUE(screen.resize(4, 5));
    EXPECT_EQ(queue(0, 0).pending_count(), 0);
    EXPECT_EQ(queue(0, 0).current()->value, ag_cell{});
    EXPECT_EQ(screen.cell_at(0, 0), ag_cell{});
    EXPECT_EQ(child.get_rows(), 4) << "laid out again";
}

TEST_F(ScreenWithChild, StrangersReachNeitherGridNorQueues)
{
    ag_raw stranger;
    stranger.resize(4, 5);
    stranger.put_cell(0, 0, cell_of(1));
    EXPECT_FALSE(screen.update_region(&stranger, 0, 0, 4, 5));
    EXPECT_EQ(queue(0, 0).pending_count(), 0);
    EXPECT_EQ(screen.cell_at(0, 0), ag_cell{});
    EXPECT_EQ(trap.traps, 0);
}

// What a derived screen does: replace the operations and call the base.
class counting_screen : public ag_screen {
public:
    counting_screen() { resize(3, 4); }
    bool resize(std::int32_t new_rows, std::int32_t new_cols) override
    {
        ++resizes;
        return ag_screen::resize(new_rows, new_cols);
    }
    bool present() override
    {
        ag_lock_guard guard(*this);
        ++presents;
        return rows == 3 && cols == 4 && queues != nullptr;
    }
    int resizes = 0;
    int presents = 0;
};

TEST_F(Screen, DerivedScreensReplaceTheOperations)
{
    counting_screen screen;
    ag_screen& base = screen;
    EXPECT_TRUE(base.present());
    EXPECT_EQ(screen.presents, 1);
    EXPECT_TRUE(base.resize(3, 4));
    EXPECT_EQ(screen.resizes, 2);
}

}  // namespace
}  // namespace vuvorazi
