#pragma once
// The real debug output, local clock and breakpoint trap on Linux.

#include <string>

#include "platform/breakpoint_trap.h"
#include "platform/debug_output.h"
#include "platform/local_clock.h"

namespace vexl::platform {

// The debugger output is stderr; the log is "debugansi.log" in the current
// directory, as Linux has no drive root to put it in. Where the current
// directory takes no file (an installed demo folder, say), the log goes to
// the user's state folder instead, so the entry is still kept.
class LinuxDebugOutput final : public DebugOutput {
public:
    static constexpr const char* log_path = "debugansi.log";

    // $XDG_STATE_HOME/vexlade, or ~/.local/state/vexlade when that is unset
    // or not absolute; empty when neither is known.
    static std::string state_folder();

    void write_debugger(const char* text) override;
    int open_log() override;
    void write_log(int fd, const char* data, std::size_t size) override;
};

class LinuxLocalClock final : public LocalClock {
public:
    void date_text(StampText& out) override;
    void time_text(StampText& out) override;
};

// Runs the restore hooks, then raises SIGTRAP.
class LinuxBreakpointTrap final : public BreakpointTrap {
public:
    void trap() override;
};

// All three, installed for the lifetime of this object: what an executable
// (or a test of the real path) sets up before any widget can fail a check.
class ScopedLinuxDiagnostics {
public:
    ScopedLinuxDiagnostics() = default;

private:
    LinuxDebugOutput output_;
    LinuxLocalClock clock_;
    LinuxBreakpointTrap trap_;
    ScopedService<DebugOutput> output_slot_{output_};
    ScopedService<LocalClock> clock_slot_{clock_};
    ScopedService<BreakpointTrap> trap_slot_{trap_};
};

}  // namespace vexl::platform
