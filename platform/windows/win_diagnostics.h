#pragma once
// The real debug output, local clock and breakpoint trap on Windows: the
// debugger output (OutputDebugStringA), the log "C:\debugansi.log" through
// the C runtime, _strdate and _strtime, and a breakpoint.

#include <string>

#include "platform/breakpoint_trap.h"
#include "platform/debug_output.h"
#include "platform/local_clock.h"

namespace vexl::platform {

// The log goes to the drive root where it always went. An ordinary user
// may not write there: then it goes to %LOCALAPPDATA%\vexlade, so that the
// entry is still kept.
class WinDebugOutput final : public DebugOutput {
public:
    static constexpr const char* log_path = "C:\\debugansi.log";
    static constexpr const char* log_name = "debugansi.log";

    // %LOCALAPPDATA%\vexlade; empty when LOCALAPPDATA is not set.
    static std::string fallback_folder();

    void write_debugger(const char* text) override;
    int open_log() override;
    void write_log(int fd, const char* data, std::size_t size) override;
};

class WinLocalClock final : public LocalClock {
public:
    void date_text(StampText& out) override;
    void time_text(StampText& out) override;
};

// Gives the console and the display back, then breaks: a debugger stops
// there, otherwise the process ends.
class WinBreakpointTrap final : public BreakpointTrap {
public:
    void trap() override;
};

class ScopedWinDiagnostics {
public:
    ScopedWinDiagnostics() = default;

private:
    WinDebugOutput output_;
    WinLocalClock clock_;
    WinBreakpointTrap trap_;
    ScopedService<DebugOutput> output_slot_{output_};
    ScopedService<LocalClock> clock_slot_{clock_};
    ScopedService<BreakpointTrap> trap_slot_{trap_};
};

}  // namespace vexl::platform
