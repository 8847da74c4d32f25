#pragma once
// Whole-file loading through the C runtime's _stat, _open, _read, _close.
// Why a file could not be opened is kept for after the run.

#include "platform/files.h"

namespace vexl::platform {

class WinFiles final : public Files {
public:
    bool stat_size(const char* path, std::int64_t& size) override;
    // Binary mode; only a regular file (not a folder or a device).
    int open_read(const char* path) override;
    std::int64_t read(int fd, void* buffer, std::uint32_t count) override;
    int close(int fd) override;
};

}  // namespace vexl::platform
