#pragma once
#include "platform/files.h"

namespace vexl::platform {

class LinuxFiles final : public Files {
public:
    bool stat_size(const char* path, std::int64_t& size) override;
    int open_read(const char* path) override;
    std::int64_t read(int fd, void* buffer, std::uint32_t count) override;
    int close(int fd) override;
};

}  // namespace vexl::platform
