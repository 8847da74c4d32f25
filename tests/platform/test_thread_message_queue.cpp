#include "platform/thread_message_queue.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/fakes/fake_messages.h"

namespace vexl::platform {
namespace {

Message make(std::uint32_t code, std::uint64_t wparam = 0)
{
    Message m;
    m.code = code;
    m.wparam = wparam;
    return m;
}

TEST(ThreadMessageQueue, PeekWithoutRemoveLeavesTheHeadAndRemoveTakesIt)
{
    ThreadMessageQueue queue;
    Message m;
    EXPECT_FALSE(queue.peek(m, PM_NOREMOVE));

    queue.post(make(WM_KEYDOWN, 'a'));
    queue.post(make(WM_MOUSEMOVE));
    ASSERT_TRUE(queue.peek(m, PM_NOREMOVE));
    EXPECT_EQ(m.code, WM_KEYDOWN);
    ASSERT_TRUE(queue.peek(m, PM_NOREMOVE));
    EXPECT_EQ(m.code, WM_KEYDOWN) << "PM_NOREMOVE must not consume";
    ASSERT_TRUE(queue.peek(m, PM_REMOVE));
    EXPECT_EQ(m.wparam, 'a');
    ASSERT_TRUE(queue.peek(m, PM_NOREMOVE));
    EXPECT_EQ(m.code, WM_MOUSEMOVE);
}

TEST(ThreadMessageQueue, GetReturnsZeroOnlyForQuit)
{
    ThreadMessageQueue queue;
    queue.post(make(WM_SYSKEYDOWN));
    queue.post(make(WM_QUIT));
    Message m;
    EXPECT_NE(queue.get(m), 0);
    EXPECT_EQ(m.code, WM_SYSKEYDOWN);
    EXPECT_EQ(queue.get(m), 0);
    EXPECT_EQ(m.code, WM_QUIT);
    EXPECT_FALSE(queue.peek(m, PM_NOREMOVE));
}

TEST(ThreadMessageQueue, GetWaitsForAMessagePostedFromAnotherThread)
{
    ThreadMessageQueue queue;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.post(make(WM_KEYDOWN, 7));
    });
    Message m;
    EXPECT_NE(queue.get(m), 0);
    EXPECT_EQ(m.wparam, 7u);
    poster.join();
}

class CountingSource : public MessageSource {
public:
    void pump(MessageQueue& queue) override
    {
        ++pumps;
        if (pending > 0) {
            --pending;
            queue.post(make(WM_KEYDOWN, 100 + pumps));
        }
    }
    int pumps = 0;
    int pending = 0;
};

TEST(ThreadMessageQueue, SourcesArePumpedBeforeEveryPeekAndGetUntilRemoved)
{
    ThreadMessageQueue queue;
    CountingSource source;
    queue.add_source(&source);
    Message m;
    EXPECT_FALSE(queue.peek(m, PM_NOREMOVE));
    EXPECT_EQ(source.pumps, 1);

    source.pending = 1;
    ASSERT_TRUE(queue.peek(m, PM_NOREMOVE));
    EXPECT_EQ(m.wparam, 102u);

    source.pending = 1;
    EXPECT_NE(queue.get(m), 0);
    EXPECT_EQ(m.wparam, 102u) << "FIFO: the older message comes first";

    queue.remove_source(&source);
    const int before = source.pumps;
    queue.peek(m, PM_REMOVE);
    EXPECT_EQ(source.pumps, before);
}

class SelfRemovingSource : public MessageSource {
public:
    void pump(MessageQueue& queue) override
    {
        ++pumps;
        queue.remove_source(this);
    }
    int pumps = 0;
};

TEST(ThreadMessageQueue, ASourceMayRemoveItselfWhilePumpedWithoutSkippingTheNext)
{
    ThreadMessageQueue queue;
    SelfRemovingSource first;
    CountingSource second;
    queue.add_source(&first);
    queue.add_source(&second);
    Message m;
    queue.peek(m, PM_NOREMOVE);
    queue.peek(m, PM_NOREMOVE);
    EXPECT_EQ(first.pumps, 1);
    EXPECT_EQ(second.pumps, 2);
}

TEST(FakeMessageQueue, RecordsTranslateAndDispatchInOrder)
{
    fakes::FakeMessageQueue queue;
    queue.translate(make(WM_CHAR, 1));
    queue.dispatch(make(WM_CHAR, 1));
    queue.dispatch(make(WM_MOUSEMOVE));
    ASSERT_EQ(queue.translated.size(), 1u);
    ASSERT_EQ(queue.dispatched.size(), 2u);
    EXPECT_EQ(queue.dispatched[1].code, WM_MOUSEMOVE);
}

}  // namespace
}  // namespace vexl::platform
