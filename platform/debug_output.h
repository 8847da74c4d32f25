#pragma once
// Where failed internal checks are recorded: the debugger output of the
// process and the append-only debug log file.

#include <cstddef>

#include "platform/service.h"

namespace vexl::platform {

class DebugOutput {
public:
    virtual ~DebugOutput() = default;

    // One string to the debugger output (no line break added).
    virtual void write_debugger(const char* text) = 0;

    // Opens the log file for appending, creating it readable and writable
    // by the user. Returns the descriptor, or -1 when it can't be opened.
    virtual int open_log() = 0;

    // Writes the bytes to a descriptor from open_log. Failures (a -1
    // descriptor included) are ignored, as nothing could report them.
    virtual void write_log(int fd, const char* data, std::size_t size) = 0;
};

inline DebugOutput& debug_output() { return service<DebugOutput>(); }

}  // namespace vexl::platform
