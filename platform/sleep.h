#pragma once
// Idle waits of the playback loop.

#include <cstdint>

#include "platform/service.h"

namespace vexl::platform {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Gives up the processor for about `milliseconds` (no busy waiting).
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

inline Sleeper& sleeper() { return service<Sleeper>(); }

}  // namespace vexl::platform
