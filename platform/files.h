#pragma once
// Whole-file loading for the launcher: size, open, one read, close.

#include <cstdint>

#include "platform/service.h"

namespace vexl::platform {

class Files {
public:
    virtual ~Files() = default;
    // The file's size in bytes; false when it can't be examined.
    virtual bool stat_size(const char* path, std::int64_t& size) = 0;
    // Opens read-only, binary; returns a descriptor, or -1.
    virtual int open_read(const char* path) = 0;
    // One read of up to `count` bytes; the count read, or -1 on error.
    virtual std::int64_t read(int fd, void* buffer, std::uint32_t count) = 0;
    virtual int close(int fd) = 0;
};

inline Files& files() { return service<Files>(); }

}  // namespace vexl::platform
