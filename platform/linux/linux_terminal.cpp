#include "platform/linux/linux_terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/linux/fd_write.h"
#include "platform/linux/job_control_signals.h"
#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

// The one screen buffer a console has; handles point at it.
char buffer_tag;
ConsoleBuffer* const the_buffer = reinterpret_cast<ConsoleBuffer*>(&buffer_tag);

int open_process_terminal(bool& owned)
{
    owned = false;
    if (isatty(STDOUT_FILENO) != 0)
        return STDOUT_FILENO;
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    owned = fd >= 0;
    return fd;
}

}  // namespace

LinuxTerminal::LinuxTerminal()
    : painter_(detect_color_mode(std::getenv("COLORTERM"), std::getenv("TERM")))
{
    fd_ = open_process_terminal(owns_fd_);
}

LinuxTerminal::LinuxTerminal(int fd, ColorMode mode) : fd_(fd), painter_(mode) {}

LinuxTerminal::~LinuxTerminal()
{
    free_console();
    if (owns_fd_)
        ::close(fd_);
}

bool LinuxTerminal::valid(ConsoleHandle console) const
{
    return allocated_ && console == the_buffer;
}

bool LinuxTerminal::alloc_console()
{
    if (allocated_)
        return false;
    allocated_ = true;
    found_rows_ = found_cols_ = 0;
    size_requested_ = false;
    if (fd_ >= 0) {
        winsize ws{};
        if (ioctl(fd_, TIOCGWINSZ, &ws) == 0) {
            found_rows_ = ws.ws_row;
            found_cols_ = ws.ws_col;
        }
    }
    seen_continues_ = JobControlSignals::continues();
    seen_resizes_ = JobControlSignals::resizes();
    last_cells_.clear();
    enter();
    return true;
}

ConsoleHandle LinuxTerminal::get_std_handle(StdHandle which)
{
    // No terminal, no screen buffer: the console screen can show nothing.
    return allocated_ && fd_ >= 0 && which == StdHandle::output ? the_buffer : nullptr;
}

void LinuxTerminal::enter()
{
    if (entered_ || fd_ < 0)
        return;
    suspended_ = false;
    // Read afresh: the user may have changed them while the process was
    // stopped.
    have_termios_ = tcgetattr(fd_, &saved_) == 0;
    take_modes();
    // Push the title, then the console's screen.
    send("\x1b[22;0t" + screen_modes());
    entered_ = true;
    capture_stderr();

    std::string restore = "\x1b[?2026l\x1b[0m\x1b[?25h\x1b[?1049l\x1b[23;0t";
    if (size_requested_ && found_rows_ > 0 && found_cols_ > 0)
        restore += "\x1b[8;" + std::to_string(found_rows_) + ";" + std::to_string(found_cols_) + "t";
    restore_length_ = std::min(restore.size(), sizeof restore_sequence_);
    std::memcpy(restore_sequence_, restore.data(), restore_length_);
    hook_token_ = add_restore_hook(&LinuxTerminal::restore_hook, this);
    JobControlSignals::defer_stops(true);
    painter_.invalidate();
}

void LinuxTerminal::take_modes()
{
    if (!have_termios_)
        return;
    termios t = saved_;
    // No echo of typed keys; Ctrl+S must not freeze the output (the loop
    // would block in write). Ctrl+C keeps sending SIGINT, Ctrl+Z SIGTSTP.
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON);
    tcsetattr(fd_, TCSANOW, &t);
}

// Alternate screen, title, cursor and window size as the console has them.
std::string LinuxTerminal::screen_modes() const
{
    std::string modes = "\x1b[?1049h";
    if (!title_.empty())
        modes += "\x1b]0;" + title_ + "\x07";
    if (!cursor_visible_)
        modes += "\x1b[?25l";
    if (size_requested_ && requested_rows_ > 0 && requested_cols_ > 0)
        modes += "\x1b[8;" + std::to_string(requested_rows_) + ";" + std::to_string(requested_cols_) + "t";
    return modes;
}

void LinuxTerminal::leave()
{
    if (!entered_)
        return;
    suspended_ = true;
    remove_restore_hook(hook_token_);
    hook_token_ = -1;
    restore_hook(this);
}

// On the main thread: between frames, never in the middle of one.
void LinuxTerminal::follow_job_control()
{
    if (!allocated_ || fd_ < 0)
        return;
    bool repaint = false;
    if (JobControlSignals::take_stop_request()) {
        const bool was_entered = entered_;
        leave();
        JobControlSignals::stop_process();
        seen_continues_ = JobControlSignals::continues();
        if (was_entered) {
            enter();
            repaint = true;
        }
    }
    const unsigned continues = JobControlSignals::continues();
    if (continues != seen_continues_) {
        // Stopped and continued without the console's doing (SIGSTOP, or
        // a Ctrl+Z the handler had to take): the shell had the terminal
        // meanwhile and may have changed its modes or written over it.
        seen_continues_ = continues;
        if (entered_) {
            take_modes();
            send(screen_modes());
            painter_.invalidate();
        } else if (!suspended_) {
            enter();
        }
        repaint = true;
    }
    const unsigned resizes = JobControlSignals::resizes();
    if (resizes != seen_resizes_) {
        seen_resizes_ = resizes;
        // The terminal may have reflowed or cleared the picture.
        painter_.invalidate();
        repaint = true;
    }
    if (repaint && entered_)
        redraw();
}

void LinuxTerminal::pump(MessageQueue&)
{
    follow_job_control();
}

void LinuxTerminal::capture_stderr()
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
void LinuxTerminal::release_stderr(LinuxTerminal& self)
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

// Async-signal-safe: write(2), tcsetattr(3) and the above only.
void LinuxTerminal::restore_hook(void* context)
{
    auto* self = static_cast<LinuxTerminal*>(context);
    if (!self->entered_.exchange(false))
        return;
    JobControlSignals::defer_stops(false);
    write_all(self->fd_, self->restore_sequence_, self->restore_length_);
    if (self->have_termios_)
        tcsetattr(self->fd_, TCSAFLUSH, &self->saved_);  // typed-ahead keys go too
    release_stderr(*self);
}

void LinuxTerminal::suspend()
{
    leave();
}

bool LinuxTerminal::set_title(const char* title)
{
    if (!allocated_ || title == nullptr)
        return false;
    title_ = title;
    // Control characters would end the sequence early.
    for (char& c : title_)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    if (entered_)
        send("\x1b]0;" + title_ + "\x07");
    return true;
}

bool LinuxTerminal::set_cursor_info(ConsoleHandle console, const CursorInfo& info)
{
    if (!valid(console))
        return false;
    cursor_visible_ = info.visible;
    if (entered_)
        send(info.visible ? "\x1b[?25h" : "\x1b[?25l");
    return true;
}

bool LinuxTerminal::set_screen_buffer_size(ConsoleHandle console, Coord size)
{
    if (!valid(console) || size.x < 0 || size.y < 0)
        return false;
    buffer_rows_ = size.y;
    buffer_cols_ = size.x;
    return true;
}

bool LinuxTerminal::set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window)
{
    if (!valid(console) || !absolute)
        return false;
    const int rows = window.bottom - window.top + 1;
    const int cols = window.right - window.left + 1;
    if (rows <= 0 || cols <= 0)
        return false;
    query_size();
    if (rows != painter_.rows() || cols != painter_.cols()) {
        // Terminals that allow it resize their window; the others ignore
        // the request and the output is clipped to what they have.
        if (!size_requested_ && found_rows_ > 0 && found_cols_ > 0) {
            size_requested_ = true;
            const std::string put_back =
                "\x1b[8;" + std::to_string(found_rows_) + ";" + std::to_string(found_cols_) + "t";
            if (restore_length_ + put_back.size() <= sizeof restore_sequence_) {
                std::memcpy(restore_sequence_ + restore_length_, put_back.data(), put_back.size());
                restore_length_ += put_back.size();
            }
        }
        requested_rows_ = rows;
        requested_cols_ = cols;
        if (entered_)
            send("\x1b[8;" + std::to_string(rows) + ";" + std::to_string(cols) + "t");
    }
    return true;
}

void LinuxTerminal::query_size()
{
    winsize ws{};
    if (fd_ >= 0 && ioctl(fd_, TIOCGWINSZ, &ws) == 0)
        painter_.set_screen_size(ws.ws_row, ws.ws_col);
    else
        painter_.set_screen_size(0, 0);
}

bool LinuxTerminal::write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                                 Coord buffer_origin, SmallRect& region)
{
    if (!valid(console) || cells == nullptr)
        return false;
    follow_job_control();
    enter();
    remember(cells, buffer_size, buffer_origin, region);
    draw(cells, buffer_size, buffer_origin, region);
    return true;
}

// Keeps the part of the source that the region covers.
void LinuxTerminal::remember(const CharInfo* cells, Coord buffer_size, Coord buffer_origin,
                             const SmallRect& region)
{
    last_region_ = region;
    int rows = std::min(region.bottom - region.top + 1, buffer_size.y - buffer_origin.y);
    int cols = std::min(region.right - region.left + 1, buffer_size.x - buffer_origin.x);
    if (buffer_origin.x < 0 || buffer_origin.y < 0 || rows <= 0 || cols <= 0)
        rows = cols = 0;
    last_size_ = Coord{static_cast<std::int16_t>(cols), static_cast<std::int16_t>(rows)};
    last_cells_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int y = 0; y < rows; ++y) {
        const CharInfo* from = cells + static_cast<std::ptrdiff_t>(buffer_origin.y + y) * buffer_size.x + buffer_origin.x;
        std::copy(from, from + cols, last_cells_.begin() + static_cast<std::ptrdiff_t>(y) * cols);
    }
}

void LinuxTerminal::redraw()
{
    if (last_cells_.empty())
        return;
    SmallRect region = last_region_;
    draw(last_cells_.data(), last_size_, Coord{0, 0}, region);
}

void LinuxTerminal::draw(const CharInfo* cells, Coord buffer_size, Coord buffer_origin, SmallRect& region)
{
    query_size();

    // Clip the region to the screen buffer, to the terminal and to the
    // part of the source buffer that lies behind the origin.
    int top = region.top, left = region.left, bottom = region.bottom, right = region.right;
    top = std::max(top, 0);
    left = std::max(left, 0);
    auto clip_end = [](int& end, int limit) {
        if (limit >= 0)
            end = std::min(end, limit - 1);
    };
    clip_end(bottom, buffer_rows_);
    clip_end(right, buffer_cols_);
    clip_end(bottom, painter_.rows());
    clip_end(right, painter_.cols());
    clip_end(bottom, region.top + buffer_size.y - buffer_origin.y);
    clip_end(right, region.left + buffer_size.x - buffer_origin.x);
    if (buffer_origin.x < 0 || buffer_origin.y < 0 || buffer_size.x <= 0 || buffer_size.y <= 0)
        bottom = top - 1;

    painter_.begin(frame_);
    for (int y = top; y <= bottom; ++y) {
        const int source_row = buffer_origin.y + (y - region.top);
        for (int x = left; x <= right; ++x) {
            const int source_col = buffer_origin.x + (x - region.left);
            const CharInfo& c = cells[source_row * buffer_size.x + source_col];
            painter_.put(y, x, static_cast<std::uint8_t>(c.ch), static_cast<std::uint8_t>(c.attributes));
        }
    }
    if (painter_.end())
        send(frame_);

    if (bottom < top || right < left) {
        region.right = static_cast<std::int16_t>(region.left - 1);
        region.bottom = static_cast<std::int16_t>(region.top - 1);
    } else {
        region = {static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                  static_cast<std::int16_t>(right), static_cast<std::int16_t>(bottom)};
    }
}

bool LinuxTerminal::free_console()
{
    if (!allocated_)
        return false;
    leave();
    allocated_ = false;
    have_termios_ = false;
    last_cells_.clear();
    title_.clear();
    cursor_visible_ = true;
    buffer_rows_ = buffer_cols_ = -1;
    return true;
}

void LinuxTerminal::send(const std::string& bytes)
{
    if (fd_ < 0)
        return;
    write_all(fd_, bytes.data(), bytes.size());
    bytes_written_ += bytes.size();
}

}  // namespace vexl::platform
