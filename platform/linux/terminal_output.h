#pragma once
// The only way bytes go to the terminal: one queue, written without ever
// waiting (the descriptor is non-blocking), whatever does not fit now
// going out at the next flush. The console flushes it from its message
// pump, every millisecond or so. When a write fails for good (the terminal
// hung up) the output stops and keeps the reason.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexl::platform {

class TerminalOutput {
public:
    // `fd`: a non-blocking descriptor of the terminal, or -1 (nothing goes anywhere).
    explicit TerminalOutput(int fd = -1) : fd_(fd) {}

    void queue(std::string_view bytes);
    // Writes what the terminal takes now.
    void flush();
    // Everything queued has been handed to the system.
    bool idle() const { return written_ == pending_.size(); }
    // Bytes the system still holds for the terminal, where it can tell
    // (a serial line can; a pseudo-terminal always says 0).
    int system_backlog() const;
    // Drops what has not been written yet: the terminal is given back in
    // the middle of a frame.
    void discard();

    // The terminal's input so far, without waiting.
    std::string read_input();

    bool gone() const { return !failure_.empty(); }
    // Why the output stopped, for the user ("write: Input/output error").
    const std::string& failure() const { return failure_; }
    std::uint64_t bytes_sent() const { return bytes_sent_; }

    // Writes `data` whole, even from a signal handler: waits for room a
    // bounded number of times and, when the system's queue for the
    // terminal stays full, drops that queue (stale frames) to make room.
    // `cut` drops it at once. Async-signal-safe.
    static void write_urgently(int fd, const char* data, std::size_t length, bool cut);

private:
    void fail(const char* call, int error);

    int fd_;
    std::string pending_;
    std::size_t written_ = 0;
    std::uint64_t bytes_sent_ = 0;
    std::string failure_;
};

}  // namespace vexl::platform
