#include "platform/linux/terminal_session.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/linux/fd_write.h"
#include "platform/linux/job_control_signals.h"
#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

std::string window_size_request(int rows, int cols)
{
    return "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(cols) + "t";
}

}  // namespace

TerminalSession::~TerminalSession()
{
    give_back(false, [] {});
}

term::TerminalHold TerminalSession::hold() const
{
    if (entered_)
        return term::TerminalHold::taken;
    return given_on_purpose_ ? term::TerminalHold::given : term::TerminalHold::lost;
}

void TerminalSession::take()
{
    if (entered_ || fd_ < 0)
        return;
    given_on_purpose_ = false;
    have_termios_ = tcgetattr(fd_, &saved_) == 0;
    if (shared_) {
        saved_flags_ = fcntl(fd_, F_GETFL);
        if (saved_flags_ >= 0)
            fcntl(fd_, F_SETFL, saved_flags_ | O_NONBLOCK);
    }
    set_modes();
    // Push the title, then the console's screen.
    output_.queue("\x1b[22;0t" + screen_modes());
    prepare_restore();
    entered_ = true;
    capture_stderr();
    hook_token_ = add_restore_hook(&TerminalSession::restore_hook, this);
    JobControlSignals::defer_stops(true);
}

void TerminalSession::retake_modes()
{
    if (!entered_)
        return;
    set_modes();
    output_.queue(screen_modes());
}

void TerminalSession::set_modes()
{
    if (!have_termios_)
        return;
    termios t = saved_;
    // No echo of typed keys, and input byte by byte so that the
    // terminal's answers arrive without a line end. Ctrl+S must not freeze
    // the output. Ctrl+C keeps sending SIGINT, Ctrl+Z SIGTSTP.
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON);
    // A read without input then says "nothing yet", never "end of input".
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd_, TCSANOW, &t);
}

// Alternate screen, title, cursor and window size as the console has them.
std::string TerminalSession::screen_modes() const
{
    std::string modes = "\x1b[?1049h";
    if (!title_.empty())
        modes += "\x1b]0;" + title_ + "\x07";
    if (!cursor_visible_)
        modes += "\x1b[?25l";
    if (requested_rows_ > 0 && requested_cols_ > 0)
        modes += window_size_request(requested_rows_, requested_cols_);
    return modes;
}

void TerminalSession::prepare_restore()
{
    // CAN first: a frame cut off in the middle of a sequence must not
    // swallow the restore.
    std::string restore = "\x18\x1b[?2026l\x1b[0m\x1b[?25h\x1b[?1049l\x1b[23;0t";
    if (requested_rows_ > 0 && found_rows_ > 0 && found_cols_ > 0)
        restore += window_size_request(found_rows_, found_cols_);
    restore_length_ = std::min(restore.size(), sizeof restore_sequence_);
    std::memcpy(restore_sequence_, restore.data(), restore_length_);
}

void TerminalSession::give_back(bool cut, const std::function<void()>& settle)
{
    given_on_purpose_ = true;
    if (!entered_)
        return;
    if (!entered_.exchange(false)) {
        // A signal handler was first.
        remove_restore_hook(hook_token_);
        hook_token_ = -1;
        return;
    }
    // The hook stays until the modes are back: a stop or a fatal signal
    // while the terminal settles must not leave it without echo.
    JobControlSignals::defer_stops(false);
    TerminalOutput::write_urgently(fd_, restore_sequence_, restore_length_, cut);
    settle();
    if (have_termios_)
        tcsetattr(fd_, TCSAFLUSH, &saved_);  // typed-ahead keys go too
    give_back_modes();
    remove_restore_hook(hook_token_);
    hook_token_ = -1;
    release_stderr(*this);
}

// Async-signal-safe: write(2), poll(2), tcflush(3), tcsetattr(3) and
// release_stderr only.
void TerminalSession::restore_hook(void* context)
{
    auto* self = static_cast<TerminalSession*>(context);
    if (!self->entered_.exchange(false)) {
        // The main thread is giving the terminal back and has written the
        // restore already; only the modes may still be missing.
        if (self->have_termios_)
            tcsetattr(self->fd_, TCSANOW, &self->saved_);
        self->give_back_modes();
        release_stderr(*self);
        return;
    }
    JobControlSignals::defer_stops(false);
    TerminalOutput::write_urgently(self->fd_, self->restore_sequence_, self->restore_length_, false);
    if (self->have_termios_)
        tcsetattr(self->fd_, TCSAFLUSH, &self->saved_);
    self->give_back_modes();
    release_stderr(*self);
}

// The shell's descriptor blocks again. Async-signal-safe.
void TerminalSession::give_back_modes()
{
    if (shared_ && saved_flags_ >= 0)
        fcntl(fd_, F_SETFL, saved_flags_);
}

void TerminalSession::capture_stderr()
{
    struct stat err {}, term {};
    if (fstat(STDERR_FILENO, &err) != 0 || fstat(fd_, &term) != 0 || !S_ISCHR(err.st_mode) ||
        err.st_rdev != term.st_rdev)
        return;
    captured_stderr_ = memfd_create("vexlade-stderr", MFD_CLOEXEC);
    if (captured_stderr_ < 0)
        return;
    saved_stderr_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved_stderr_ < 0 || dup2(captured_stderr_, STDERR_FILENO) < 0) {
        if (saved_stderr_ >= 0)
            ::close(saved_stderr_);
        ::close(captured_stderr_);
        saved_stderr_ = captured_stderr_ = -1;
    }
}

// Async-signal-safe: dup2, lseek, read, write, close.
void TerminalSession::release_stderr(TerminalSession& self)
{
    if (self.captured_stderr_ < 0)
        return;
    dup2(self.saved_stderr_, STDERR_FILENO);
    ::close(self.saved_stderr_);
    lseek(self.captured_stderr_, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(self.captured_stderr_, buffer, sizeof buffer)) > 0)
        write_all(STDERR_FILENO, buffer, static_cast<std::size_t>(n));
    ::close(self.captured_stderr_);
    self.saved_stderr_ = self.captured_stderr_ = -1;
}

void TerminalSession::set_title(std::string title)
{
    // Control characters would end the sequence early.
    for (char& c : title)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    title_ = std::move(title);
    if (entered_)
        output_.queue("\x1b]0;" + title_ + "\x07");
}

void TerminalSession::set_cursor_visible(bool visible)
{
    cursor_visible_ = visible;
    if (entered_)
        output_.queue(visible ? "\x1b[?25h" : "\x1b[?25l");
}

void TerminalSession::request_size(int rows, int cols, int found_rows, int found_cols)
{
    if (requested_rows_ == 0) {  // the size to go back to is the first one found
        found_rows_ = found_rows;
        found_cols_ = found_cols;
    }
    requested_rows_ = rows;
    requested_cols_ = cols;
    if (!entered_)
        return;
    prepare_restore();
    output_.queue(window_size_request(rows, cols));
}

void TerminalSession::reset()
{
    title_.clear();
    cursor_visible_ = true;
    requested_rows_ = requested_cols_ = 0;
    found_rows_ = found_cols_ = 0;
}

}  // namespace vexl::platform
