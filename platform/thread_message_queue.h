#pragma once
// The message queue of the player's thread: a plain FIFO fed by post() from
// any thread and by the registered sources on the owner's thread.

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/message_sources.h"

namespace vexl::platform {

class ThreadMessageQueue : public MessageQueue {
public:
    bool peek(Message& out, std::uint32_t flags) override;
    int get(Message& out) override;
    void translate(const Message& message) override;
    void dispatch(const Message& message) override;
    void post(const Message& message) override;
    void add_source(MessageSource* source) override;
    void remove_source(MessageSource* source) override;

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Message> queue_;
    MessageSourceList sources_;
};

}  // namespace vexl::platform
