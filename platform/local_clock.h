#pragma once
// The local wall-clock date and time as the debug log stamps its entries.

#include "platform/service.h"

namespace vexl::platform {

// Eight characters and the terminating NUL.
using StampText = char[9];

class LocalClock {
public:
    virtual ~LocalClock() = default;

    // "MM/DD/YY": month, day and year, two digits each.
    virtual void date_text(StampText& out) = 0;
    // "HH:MM:SS" on the 24-hour clock.
    virtual void time_text(StampText& out) = 0;
};

inline LocalClock& local_clock() { return service<LocalClock>(); }

}  // namespace vexl::platform
