#include "platform/thread_message_queue.h"

#include <chrono>

namespace vexl::platform {

bool ThreadMessageQueue::peek(Message& out, std::uint32_t flags)
{
    sources_.pump(*this);
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return false;
    out = queue_.front();
    if ((flags & PM_REMOVE) != 0)
        queue_.pop_front();
    return true;
}

int ThreadMessageQueue::get(Message& out)
{
    for (;;) {
        sources_.pump(*this);
        std::unique_lock lock(mutex_);
        if (queue_.empty()) {
            // Sources are polled, not signalled, so wake up now and then to
            // ask them again even when nobody posts.
            posted_.wait_for(lock, std::chrono::milliseconds(5));
            if (queue_.empty())
                continue;
        }
        out = queue_.front();
        queue_.pop_front();
        return out.code == WM_QUIT ? 0 : 1;
    }
}

void ThreadMessageQueue::translate(const Message&) {}

void ThreadMessageQueue::dispatch(const Message&) {}

void ThreadMessageQueue::post(const Message& message)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(message);
    }
    posted_.notify_one();
}

void ThreadMessageQueue::add_source(MessageSource* source)
{
    sources_.add(source);
}

void ThreadMessageQueue::remove_source(MessageSource* source)
{
    sources_.remove(source);
}

}  // namespace vexl::platform
