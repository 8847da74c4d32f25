#pragma once
// The console on Linux: the process's terminal, taken over for the run
// (alternate screen, hidden cursor, no echo, title) and given back as it
// was found at the end, at a signal's emergency exit or after a failed
// check (through a restore hook). Job control is followed as a full-screen
// program should: Ctrl+Z gives the terminal back before the process stops,
// and after it continues (or the terminal is resized) the console takes
// the terminal again and draws the whole picture anew.

#include <termios.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/frame_painter.h"
#include "platform/messages.h"
#include "platform/terminal.h"

namespace vexl::platform {

// Also a message source: the player's loop looks at its queue every
// millisecond, which is when the console answers job-control signals
// (JobControlSignals), even while no new frame is due.
class LinuxTerminal final : public Terminal, public MessageSource {
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

    void pump(MessageQueue& queue) override;

    // Hands the terminal back to the user for a moment (a question asked
    // on it); the console takes it again at its next output.
    void suspend();

    // Bytes sent to the terminal so far (benchmarks).
    std::uint64_t bytes_written() const { return bytes_written_; }

private:
    bool valid(ConsoleHandle console) const;
    void enter();
    void leave();
    void take_modes();
    std::string screen_modes() const;
    void follow_job_control();
    void remember(const CharInfo* cells, Coord buffer_size, Coord buffer_origin, const SmallRect& region);
    void draw(const CharInfo* cells, Coord buffer_size, Coord buffer_origin, SmallRect& region);
    void redraw();
    void query_size();
    void capture_stderr();
    static void release_stderr(LinuxTerminal& self);
    void send(const std::string& bytes);
    static void restore_hook(void* self);

    int fd_ = -1;
    bool owns_fd_ = false;
    bool allocated_ = false;
    // The terminal is in the console's modes now. Cleared by the restore
    // hook, which may run in a signal handler on any thread.
    std::atomic<bool> entered_{false};
    // Given back on purpose (a question, the end): only the next output
    // takes the terminal again, not a SIGCONT.
    bool suspended_ = false;
    bool have_termios_ = false;
    termios saved_{};  // the modes found, read again each time the console takes over
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
    int requested_rows_ = 0;  // the window size asked for
    int requested_cols_ = 0;

    unsigned seen_continues_ = 0;  // JobControlSignals counts already followed
    unsigned seen_resizes_ = 0;
    // The last cell write, for drawing the picture again after a stop or a
    // resize while no new frame comes (the clock stands still).
    std::vector<CharInfo> last_cells_;
    Coord last_size_{};
    SmallRect last_region_{};

    // What the restore hook writes; prepared beforehand because the hook
    // may run in a signal handler.
    char restore_sequence_[64] = {};
    std::size_t restore_length_ = 0;

    FramePainter painter_;
    std::string frame_;
    std::uint64_t bytes_written_ = 0;
};

}  // namespace vexl::platform
