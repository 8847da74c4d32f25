#pragma once
#include "platform/programs.h"

namespace vexl::platform {

// /proc/self/exe, chdir(2) and execv(2).
class LinuxPrograms final : public Programs {
public:
    std::string own_path(std::string& problem) override;
    void replace_process(const std::string& program, const std::string& folder, std::string& problem) override;
};

}  // namespace vexl::platform
