#include "platform/linux/linux_programs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vexl::platform {

std::string LinuxPrograms::own_path(std::string& problem)
{
    // The link names the file even when the program was started through a
    // symbolic link or a relative path.
    std::vector<char> path(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) {
            problem = std::string("cannot find its own file: ") + std::strerror(errno);
            return {};
        }
        if (static_cast<std::size_t>(length) < path.size())
            return std::string(path.data(), static_cast<std::size_t>(length));
        path.resize(path.size() * 2);
    }
}

void LinuxPrograms::replace_process(const std::string& program, const std::string& folder, std::string& problem)
{
    if (::chdir(folder.c_str()) != 0) {
        problem = folder + ": " + std::strerror(errno);
        return;
    }
    const std::string name = program.substr(program.rfind('/') + 1);
    char* const argv[] = {const_cast<char*>(name.c_str()), nullptr};
    ::execv(program.c_str(), argv);
    problem = program + ": " + std::strerror(errno);
}

}  // namespace vexl::platform
