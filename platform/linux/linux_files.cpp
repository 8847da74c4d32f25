#include "platform/linux/linux_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vexl::platform {

bool LinuxFiles::stat_size(const char* path, std::int64_t& size)
{
    struct stat st {};
    if (::stat(path, &st) != 0)
        return false;
    size = st.st_size;
    return true;
}

int LinuxFiles::open_read(const char* path)
{
    return ::open(path, O_RDONLY | O_CLOEXEC);
}

std::int64_t LinuxFiles::read(int fd, void* buffer, std::uint32_t count)
{
    ssize_t n;
    do
        n = ::read(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
}

int LinuxFiles::close(int fd)
{
    return ::close(fd);
}

}  // namespace vexl::platform
