#include "platform/windows/win32.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/run_report.h"
#include "platform/windows/win_files.h"

namespace vexl::platform {

bool WinFiles::stat_size(const char* path, std::int64_t& size)
{
    struct _stat64 st {};
    if (_stat64(path, &st) != 0)
        return false;
    size = st.st_size;
    return true;
}

int WinFiles::open_read(const char* path)
{
    const int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        report_after_run(std::string("cannot open ") + path + ": " + std::strerror(errno));
        return -1;
    }
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        report_after_run(std::string(path) + " is not a regular file");
        _close(fd);
        return -1;
    }
    return fd;
}

std::int64_t WinFiles::read(int fd, void* buffer, std::uint32_t count)
{
    // _read takes at most INT_MAX bytes; the launcher reads no more.
    return _read(fd, buffer, count);
}

int WinFiles::close(int fd)
{
    return _close(fd);
}

}  // namespace vexl::platform
