#pragma once
// Sleep(1) as the playback loop means it: about a millisecond. Windows
// sleeps in timer ticks of 15.6 ms unless asked for finer ones, which this
// service does for its lifetime.

#include "platform/sleep.h"

namespace vexl::platform {

class WinSleeper final : public Sleeper {
public:
    WinSleeper();
    ~WinSleeper() override;
    WinSleeper(const WinSleeper&) = delete;
    WinSleeper& operator=(const WinSleeper&) = delete;

    void sleep(std::uint32_t milliseconds) override;

private:
    bool fine_timer_ = false;
};

}  // namespace vexl::platform
