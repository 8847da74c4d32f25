#include "platform/thread_message_queue.h"

#include <algorithm>
#include <chrono>

namespace vexl::platform {

void ThreadMessageQueue::pump_sources()
{
    // By index, without a copy (the loop peeks a thousand times a second):
    // a source may remove itself while pumping (its window closed), and then
    // the next one has moved into its place.
    for (std::size_t i = 0; i < sources_.size();) {
        MessageSource* source = sources_[i];
        source->pump(*this);
        if (i < sources_.size() && sources_[i] == source)
            ++i;
    }
}

bool ThreadMessageQueue::peek(Message& out, std::uint32_t flags)
{
    pump_sources();
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
        pump_sources();
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
    sources_.push_back(source);
}

void ThreadMessageQueue::remove_source(MessageSource* source)
{
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

}  // namespace vexl::platform
