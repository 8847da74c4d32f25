#include "platform/linux/stderr_terminal.h"

#include <unistd.h>

namespace vexl::platform {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace vexl::platform
