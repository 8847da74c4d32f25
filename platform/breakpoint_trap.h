#pragma once
// The stop after a failed internal check. The real trap puts the user's
// environment back (restore hooks) and raises SIGTRAP: a debugger stops
// there and may continue, otherwise the process ends. Callers must
// therefore cope with the trap returning.

#include "platform/service.h"

namespace vexl::platform {

class BreakpointTrap {
public:
    virtual ~BreakpointTrap() = default;
    virtual void trap() = 0;
};

inline BreakpointTrap& breakpoint_trap() { return service<BreakpointTrap>(); }

}  // namespace vexl::platform
