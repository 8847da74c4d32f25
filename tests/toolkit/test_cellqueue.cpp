#include "vuvorazi/ag_cellqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/toolkit/toolkit_fixture.h"

namespace vuvorazi {
namespace {

using testing::cell_of;

TEST(CellQueue, KeepsItsCurrentNodeAndQueuesInOrder)
{
    ag_cellqueue queue;
    EXPECT_EQ(queue.current(), queue.newest());
    EXPECT_EQ(queue.current()->value, ag_cell{});
    EXPECT_EQ(queue.pending_count(), 0);
    EXPECT_FALSE(queue.pop());

    ASSERT_TRUE(queue.push(cell_of(1)));
    ASSERT_TRUE(queue.push(cell_of(1))) << "push itself does not compare";
    ASSERT_TRUE(queue.push_if_changed(cell_of(1)));
    ASSERT_TRUE(queue.push_if_changed(cell_of(2)));
    EXPECT_EQ(queue.pending_count(), 3);
    EXPECT_EQ(queue.newest()->value, cell_of(2));
    EXPECT_EQ(queue.newest()->prev->value, cell_of(1));
    EXPECT_EQ(queue.current()->prev, nullptr);
    EXPECT_EQ(queue.newest()->next, nullptr);

    ASSERT_TRUE(queue.pop());
    ASSERT_TRUE(queue.pop());
    ASSERT_TRUE(queue.pop());
    EXPECT_EQ(queue.current()->value, cell_of(2));
    EXPECT_EQ(queue.current(), queue.newest());
    EXPECT_FALSE(queue.pop());
    // Destruction frees whatever is still pending (checked by ASan).
    queue.push(cell_of(3));
    queue.push(cell_of(4));
}

// A producer pushes a run of values while a consumer pops them on another
// thread: every value arrives once, whole and in order. Run under TSan.
TEST(CellQueue, ConsumerOnAnotherThreadSeesWholeValuesInOrder)
{
    constexpr std::uint32_t count = 20000;
    ag_cellqueue queue;
    std::atomic<bool> torn{false};
    std::atomic<bool> out_of_order{false};

    std::thread consumer([&] {
        std::uint32_t last = 0;
        while (last < count) {
            if (!queue.pop()) {
                std::this_thread::yield();
                continue;
            }
            const ag_cell value = queue.current()->value;
            if (value != cell_of(value.word_a))
                torn = true;
            if (value.word_a != last + 1)
                out_of_order = true;
            last = value.word_a;
        }
    });
    for (std::uint32_t n = 1; n <= count; ++n)
        ASSERT_TRUE(queue.push(cell_of(n)));
    consumer.join();

    EXPECT_FALSE(torn);
    EXPECT_FALSE(out_of_order);
    EXPECT_EQ(queue.pending_count(), 0);
    EXPECT_EQ(queue.current()->value, cell_of(count));
}

}  // namespace
}  // namespace vuvorazi
