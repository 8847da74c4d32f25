#pragma once
// A sleep that returns at once, counts, and lets the test act in it (move
// a hand-set clock, post a message).

#include <functional>

#include "platform/sleep.h"

namespace vexl::fakes {

class FakeSleeper : public platform::Sleeper {
public:
    void sleep(std::uint32_t milliseconds) override
    {
        ++count;
        last_milliseconds = milliseconds;
        if (on_sleep)
            on_sleep(count);
    }

    int count = 0;
    std::uint32_t last_milliseconds = 0;
    std::function<void(int count)> on_sleep;  // called with the sleep's number, from 1
};

}  // namespace vexl::fakes
