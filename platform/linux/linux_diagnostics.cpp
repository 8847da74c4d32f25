#include "platform/linux/linux_diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/linux/fd_write.h"
#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

int open_for_append(const char* path)
{
    return ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

// Makes every missing folder of `path`, private to the user as the XDG
// base directory rules ask.
bool make_folders(const std::string& path)
{
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            return true;
    }
}

bool local_now(std::tm& out)
{
    const std::time_t now = std::time(nullptr);
    return localtime_r(&now, &out) != nullptr;
}

// An unreadable clock still gives an entry of the usual width.
void keep_width(std::size_t formatted, const char* placeholder, StampText& out)
{
    if (formatted != sizeof out - 1)
        std::memcpy(out, placeholder, sizeof out);
}

}  // namespace

void LinuxDebugOutput::write_debugger(const char* text)
{
    write_all(STDERR_FILENO, text, std::strlen(text));
}

std::string LinuxDebugOutput::state_folder()
{
    // The base directory rules ignore relative paths.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/vexlade";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state/vexlade";
    return {};
}

int LinuxDebugOutput::open_log()
{
    const int fd = open_for_append(log_path);
    if (fd >= 0)
        return fd;
    const std::string folder = state_folder();
    if (folder.empty() || !make_folders(folder))
        return -1;
    return open_for_append((folder + "/" + log_path).c_str());
}

void LinuxDebugOutput::write_log(int fd, const char* data, std::size_t size)
{
    if (fd >= 0)
        write_all(fd, data, size);
}

// The log's dates have two-digit years, as _strdate gave them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
void LinuxLocalClock::date_text(StampText& out)
{
    std::tm now{};
    keep_width(local_now(now) ? std::strftime(out, sizeof out, "%m/%d/%y", &now) : 0, "--/--/--", out);
}
#pragma GCC diagnostic pop

void LinuxLocalClock::time_text(StampText& out)
{
    std::tm now{};
    keep_width(local_now(now) ? std::strftime(out, sizeof out, "%H:%M:%S", &now) : 0, "--:--:--", out);
}

void LinuxBreakpointTrap::trap()
{
    run_restore_hooks();
    std::raise(SIGTRAP);
}

}  // namespace vexl::platform
