#pragma once
// Fakes of the debug output, the local clock and the breakpoint trap. The
// output keeps the debugger strings and one in-memory log file per open;
// the trap counts instead of stopping, so code after a failed check runs on.

#include <cstring>
#include <string>
#include <vector>

#include "platform/breakpoint_trap.h"
#include "platform/debug_output.h"
#include "platform/local_clock.h"

namespace vexl::fakes {

class FakeDebugOutput : public platform::DebugOutput {
public:
    static constexpr int log_fd = 7;

    void write_debugger(const char* text) override { debugger.emplace_back(text); }

    int open_log() override
    {
        ++open_calls;
        if (failing_opens > 0) {
            --failing_opens;
            return -1;
        }
        return log_fd;
    }

    void write_log(int fd, const char* data, std::size_t size) override
    {
        if (fd == log_fd)
            log.append(data, size);
        else
            ++failed_writes;
    }

    std::vector<std::string> debugger;  // one element per write_debugger
    std::string log;                    // the file's bytes
    int open_calls = 0;
    int failing_opens = 0;  // how many of the next opens fail
    int failed_writes = 0;
};

class FakeLocalClock : public platform::LocalClock {
public:
    void date_text(platform::StampText& out) override { copy(date, out); }
    void time_text(platform::StampText& out) override { copy(time, out); }

    std::string date = "01/02/03";
    std::string time = "04:05:06";

private:
    static void copy(const std::string& text, platform::StampText& out)
    {
        std::strncpy(out, text.c_str(), sizeof out - 1);
        out[sizeof out - 1] = '\0';
    }
};

class FakeBreakpointTrap : public platform::BreakpointTrap {
public:
    void trap() override { ++traps; }
    int traps = 0;
};

}  // namespace vexl::fakes
