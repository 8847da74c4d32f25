#pragma once
// The console's hold on the terminal: its modes (no echo, keys one at a
// time, no flow control), the alternate screen, the title, the cursor and
// the window size asked for, and everything needed to give the terminal
// back as it was found: at the end, before a stop, and from a signal
// handler or a failed check (through a restore hook). While the terminal
// is held, whatever the process writes to stderr on the same terminal (a
// library's warnings) is kept aside and shown once it is given back.

#include <termios.h>

#include <atomic>
#include <functional>
#include <string>

#include "term/job_control_steps.h"
#include "platform/linux/terminal_output.h"

namespace vexl::platform {

class TerminalSession {
public:
    // `fd`: the terminal; the bytes go out through `output`. `shared`: `fd`
    // shares its open file with the shell, so it is made non-blocking only
    // while the terminal is held.
    TerminalSession(int fd, TerminalOutput& output, bool shared = false)
        : fd_(fd), output_(output), shared_(shared)
    {
    }
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    term::TerminalHold hold() const;
    bool taken() const { return entered_; }

    // Takes the terminal (modes read afresh: the user may have changed
    // them while the process was stopped).
    void take();
    // Taken still, but after a stop from elsewhere the shell may have
    // changed the modes or the screen: sets them again.
    void retake_modes();
    // Gives the terminal back on purpose. `cut`: the terminal is behind,
    // so what it has not taken yet is dropped rather than waited for.
    // `settle` runs after the screen is back and before the modes are:
    // answers still on their way are read then, not by the shell.
    void give_back(bool cut, const std::function<void()>& settle);

    void set_title(std::string title);
    void set_cursor_visible(bool visible);
    // Asks the terminal to resize its window (xterm's CSI 8 t); the size
    // found is asked back for when the terminal is given back.
    void request_size(int rows, int cols, int found_rows, int found_cols);
    // Forgets the title, cursor and size (a new console).
    void reset();

private:
    std::string screen_modes() const;
    void set_modes();
    void prepare_restore();
    void capture_stderr();
    static void release_stderr(TerminalSession& self);
    static void restore_hook(void* self);
    void restore(bool cut);

    void give_back_modes();

    int fd_;
    TerminalOutput& output_;
    bool shared_;
    int saved_flags_ = -1;  // of a shared descriptor, while held
    // Cleared by whoever gives the terminal back first: the main thread,
    // or the restore hook in a signal handler on any thread.
    std::atomic<bool> entered_{false};
    bool given_on_purpose_ = true;
    bool have_termios_ = false;
    termios saved_{};
    int hook_token_ = -1;
    int saved_stderr_ = -1;
    int captured_stderr_ = -1;

    std::string title_;
    bool cursor_visible_ = true;
    int requested_rows_ = 0;  // 0: no size asked for
    int requested_cols_ = 0;
    int found_rows_ = 0;
    int found_cols_ = 0;

    // What the restore writes; prepared beforehand because a signal
    // handler may have to write it.
    char restore_sequence_[80] = {};
    std::size_t restore_length_ = 0;
};

}  // namespace vexl::platform
