#pragma once
#include "platform/sleep.h"

namespace vexl::platform {

class LinuxSleeper final : public Sleeper {
public:
    void sleep(std::uint32_t milliseconds) override;
};

}  // namespace vexl::platform
