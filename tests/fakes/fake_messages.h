#pragma once
// A message queue the test fills by hand; it records what the code under
// test translated and dispatched.

#include <vector>

#include "platform/thread_message_queue.h"

namespace vexl::fakes {

class FakeMessageQueue : public platform::ThreadMessageQueue {
public:
    void translate(const platform::Message& message) override { translated.push_back(message); }
    void dispatch(const platform::Message& message) override { dispatched.push_back(message); }

    std::vector<platform::Message> translated;
    std::vector<platform::Message> dispatched;
};

}  // namespace vexl::fakes
