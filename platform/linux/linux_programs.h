#pragma once
#include "platform/programs.h"

namespace vexl::platform {

// /proc/self/exe, chdir(2) and execv(2); a terminal window through
// xdg-terminal-exec where present (the desktop's chosen terminal), else
// Debian's x-terminal-emulator, started with posix_spawn(3).
class LinuxPrograms final : public Programs {
public:
    std::string own_path(std::string& problem) override;
    void replace_process(const std::string& program, const std::string& folder, std::string& problem) override;
    bool restart_in_terminal_window(std::span<const int> answers, std::string& problem) override;
};

}  // namespace vexl::platform
