#pragma once
// The console on Linux: the process's terminal, taken over for the run
// (alternate screen, hidden cursor, no echo, title) and given back as it
// was found at the end, at a signal's emergency exit or after a failed
// check (through a restore hook).

#include <termios.h>

#include <cstdint>
#include <string>

#include "platform/linux/frame_painter.h"
#include "platform/terminal.h"

namespace vexl::platform {

class LinuxTerminal final : public Terminal {
public:
    // The process's terminal: standard output when it is one, else the
    // controlling terminal. Without either the console draws nowhere.
    LinuxTerminal();
    // A given terminal descriptor (not closed here), such as a
    // pseudo-terminal in a test.
    LinuxTerminal(int fd, ColorMode mode);
    ~LinuxTerminal() override;
    LinuxTerminal(const LinuxTerminal&) = delete;
    LinuxTerminal& operator=(const LinuxTerminal&) = delete;

    bool alloc_console() override;
    ConsoleHandle get_std_handle(StdHandle which) override;
    bool set_title(const char* title) override;
    bool set_cursor_info(ConsoleHandle console, const CursorInfo& info) override;
    bool set_screen_buffer_size(ConsoleHandle console, Coord size) override;
    bool set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window) override;
    bool write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                      Coord buffer_origin, SmallRect& region) override;
    bool free_console() override;

    // Hands the terminal back to the user for a moment (a question asked
    // on it); the console takes it again at its next output.
    void suspend();

    // Bytes sent to the terminal so far (benchmarks).
    std::uint64_t bytes_written() const { return bytes_written_; }

private:
    bool valid(ConsoleHandle console) const;
    void enter();
    void leave();
    void query_size();
    void capture_stderr();
    static void release_stderr(LinuxTerminal& self);
    void send(const std::string& bytes);
    static void restore_hook(void* self);

    int fd_ = -1;
    bool owns_fd_ = false;
    bool allocated_ = false;
    bool entered_ = false;      // the terminal is in the console's modes now
    bool have_termios_ = false;
    termios saved_{};
    int hook_token_ = -1;
    // While the console is up, whatever the process writes to stderr on
    // the same terminal (a library's warnings) is kept aside and shown
    // after the console is given back, instead of scrolling the picture.
    int saved_stderr_ = -1;
    int captured_stderr_ = -1;

    std::string title_;
    bool cursor_visible_ = true;
    int buffer_rows_ = -1;  // -1: no buffer size set, the terminal's size rules
    int buffer_cols_ = -1;
    int found_rows_ = 0;  // the size the terminal had when taken over
    int found_cols_ = 0;
    bool size_requested_ = false;

    // What the restore hook writes; prepared beforehand because the hook
    // may run in a signal handler.
    char restore_sequence_[64] = {};
    std::size_t restore_length_ = 0;

    FramePainter painter_;
    std::string frame_;
    std::uint64_t bytes_written_ = 0;
};

}  // namespace vexl::platform
