#include "platform/windows/win32.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <cstring>

#include "platform/restore_hooks.h"
#include "platform/windows/win_diagnostics.h"

namespace vexl::platform {
namespace {

// Appending, created readable and writable; no mode flag, so the runtime's
// default text mode turns each "\n" written into "\r\n".
int open_for_append(const char* path)
{
    return _open(path, _O_WRONLY | _O_APPEND | _O_SEQUENTIAL | _O_CREAT, _S_IREAD | _S_IWRITE);
}

}  // namespace

void WinDebugOutput::write_debugger(const char* text)
{
    OutputDebugStringA(text);
}

std::string WinDebugOutput::fallback_folder()
{
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || local[0] == '\0')
        return {};
    return std::string(local) + "\\vexlade";
}

int WinDebugOutput::open_log()
{
    const int fd = open_for_append(log_path);
    if (fd >= 0)
        return fd;
    const std::string folder = fallback_folder();
    if (folder.empty())
        return -1;
    CreateDirectoryA(folder.c_str(), nullptr);  // may be there already
    return open_for_append((folder + "\\" + log_name).c_str());
}

void WinDebugOutput::write_log(int fd, const char* data, std::size_t size)
{
    while (fd >= 0 && size > 0) {
        const int written = _write(fd, data, static_cast<unsigned>(size));
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void WinLocalClock::date_text(StampText& out)
{
    _strdate(out);
}

void WinLocalClock::time_text(StampText& out)
{
    _strtime(out);
}

void WinBreakpointTrap::trap()
{
    run_restore_hooks();
    DebugBreak();
}

}  // namespace vexl::platform
