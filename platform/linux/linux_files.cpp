#include "platform/linux/linux_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/linux/file_kind.h"
#include "platform/run_report.h"

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
    // Without O_NONBLOCK, opening a FIFO would wait for a writer forever.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        report_after_run(std::string("cannot open ") + path + ": " + std::strerror(errno));
        return -1;
    }
    // Only a regular file has a size that one read delivers whole; a FIFO
    // or a device would be read from forever, or not at all.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int saved = errno;
        report_after_run(std::string(path) + " is " + kind_of_file(st.st_mode) + ", not a regular file");
        ::close(fd);
        errno = saved;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
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
