#include "platform/linux/stderr_terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace vexl::platform {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

int stderr_columns()
{
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

}  // namespace vexl::platform
