#include "platform/linux/terminal_output.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexl::platform {

void TerminalOutput::queue(std::string_view bytes)
{
    if (fd_ < 0 || gone())
        return;
    if (idle()) {
        pending_.clear();
        written_ = 0;
    }
    pending_.append(bytes);
}

void TerminalOutput::flush()
{
    while (fd_ >= 0 && !gone() && !idle()) {
        const ssize_t n = ::write(fd_, pending_.data() + written_, pending_.size() - written_);
        if (n > 0) {
            written_ += static_cast<std::size_t>(n);
            bytes_sent_ += static_cast<std::uint64_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;  // full for now
        } else {
            fail("write", n < 0 ? errno : EIO);
        }
    }
    if (idle()) {
        pending_.clear();
        written_ = 0;
    }
}

int TerminalOutput::system_backlog() const
{
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

void TerminalOutput::discard()
{
    pending_.clear();
    written_ = 0;
}

std::string TerminalOutput::read_input()
{
    std::string input;
    while (fd_ >= 0 && !gone()) {
        char buffer[512];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            input.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // With VMIN 1 an empty read means the terminal hung up.
        fail("read", n < 0 ? errno : EIO);
    }
    return input;
}

void TerminalOutput::fail(const char* call, int error)
{
    failure_ = std::string(call) + ": " + std::strerror(error);
}

void TerminalOutput::write_urgently(int fd, const char* data, std::size_t length, bool cut)
{
    if (fd < 0)
        return;
    if (cut)
        tcflush(fd, TCOFLUSH);
    constexpr int waits = 50;           // of up to 10 ms each
    constexpr int cut_after_waits = 5;  // the queue did not move for 50 ms
    for (int waited = 0; length > 0 && waited < waits;) {
        const ssize_t n = ::write(fd, data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return;  // gone: nobody is left to tell
        if (++waited == cut_after_waits)
            tcflush(fd, TCOFLUSH);
        pollfd room{fd, POLLOUT, 0};
        poll(&room, 1, 10);
    }
}

}  // namespace vexl::platform
