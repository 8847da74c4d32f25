#pragma once
// What a file that is not a regular one is, for messages: "a directory",
// "a FIFO", ...

#include <sys/stat.h>

namespace vexl::platform {

inline const char* kind_of_file(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a special file";
}

}  // namespace vexl::platform
