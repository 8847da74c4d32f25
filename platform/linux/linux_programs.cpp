#include "platform/linux/linux_programs.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/linux/desktop_named.h"
#include "platform/linux/given_answers.h"

namespace vexl::platform {
namespace {

// Set for a program that restart_in_terminal_window started: if that run
// too finds no terminal, it must not open yet another window.
constexpr const char* in_window_variable = "VEXLADE_IN_TERMINAL_WINDOW";

// `name` in the first folder of PATH that has it as an executable file, as a
// shell finds it; empty when none has.
std::string find_in_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (folder.empty())
            continue;
        const std::string candidate = std::string(folder) + "/" + name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Starts `args` in a session of its own with every signal at its default,
// and watches it for a moment: a terminal emulator that cannot open its
// window ends at once with a failure, one that has opened it keeps running
// or, when a server of its own shows the window, ends with success.
bool start_terminal(const std::vector<std::string>& args, std::string& problem)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    sigset_t defaults, mask;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    sigemptyset(&mask);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        problem = args[0] + ": " + std::strerror(error);
        return false;
    }
    using namespace std::chrono_literals;
    for (auto waited = 0ms; waited < 2s; waited += 20ms) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                return true;
            problem = args[0] + (WIFEXITED(status) ? " ended with status " + std::to_string(WEXITSTATUS(status))
                                                   : " was ended by signal " + std::to_string(WTERMSIG(status)));
            return false;
        }
        if (ended < 0 && errno != EINTR)
            break;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

}  // namespace

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

bool LinuxPrograms::restart_in_terminal_window(std::span<const int> answers, std::string& problem)
{
    if (set_in_environment(in_window_variable)) {
        problem = "it was started in a terminal window already, and has no terminal there either";
        return false;
    }
    if (!desktop_named()) {
        problem = "no desktop to open one on";
        return false;
    }
    const std::string self = own_path(problem);
    if (self.empty())
        return false;
    std::error_code ec;
    const std::string folder = std::filesystem::current_path(ec).string();
    if (ec) {
        problem = "cannot tell the current folder: " + ec.message();
        return false;
    }
    std::vector<std::string> args;
    if (std::string terminal = find_in_path("xdg-terminal-exec"); !terminal.empty()) {
        args = {terminal};
    } else if (terminal = find_in_path("x-terminal-emulator"); !terminal.empty()) {
        args = {terminal, "-e"};
    } else {
        problem = "no terminal emulator found (neither xdg-terminal-exec nor x-terminal-emulator)";
        return false;
    }
    // sh goes to the folder (a terminal emulator may start its command
    // anywhere) and hands the answers over; then the program takes its place.
    const std::string script = std::string("cd \"$1\" && export ") + given_answers_variable + "=\"$2\" " +
                               in_window_variable + "=1 && exec \"$3\"";
    const std::string name = std::filesystem::path(self).filename().string();
    args.insert(args.end(), {"/bin/sh", "-c", script, name, folder, given_answers_text(answers), self});
    return start_terminal(args, problem);
}

}  // namespace vexl::platform
