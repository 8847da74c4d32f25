#pragma once
// Writes a whole buffer to a descriptor, retrying after signals and short
// writes. Async-signal-safe. Gives up silently on a real error (a terminal
// that hung up): there is nobody left to tell.

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace vexl::platform {

inline void write_all(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
}

}  // namespace vexl::platform
