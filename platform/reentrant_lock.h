#pragma once
// The re-entrant lock of the widget trees, the cell queues and the debug
// log: a thread that holds it may take it again, and it must be released
// as often as it was taken.

#include <atomic>
#include <mutex>
#include <thread>

namespace vexl::platform {

class ReentrantLock {
public:
    ReentrantLock() = default;
    ReentrantLock(const ReentrantLock&) = delete;
    ReentrantLock& operator=(const ReentrantLock&) = delete;

    void lock()
    {
        mutex_.lock();
        if (depth_++ == 0)
            owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }

    // Takes the lock only if no other thread holds it (re-entering is fine).
    bool try_lock()
    {
        if (!mutex_.try_lock())
            return false;
        if (depth_++ == 0)
            owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
        return true;
    }

    // Only the holding thread may call this.
    void unlock()
    {
        if (--depth_ == 0)
            owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.unlock();
    }

    // Lets callers refuse to release a lock they do not hold instead of
    // running into undefined behaviour. A thread can only ever read its own
    // id here if it stored it itself, so relaxed order is enough.
    bool held_by_this_thread() const
    {
        return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

private:
    std::recursive_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;  // touched only by the holder
};

}  // namespace vexl::platform
