#include "platform/linux/linux_sleep.h"

#include <time.h>

namespace vexl::platform {

void LinuxSleeper::sleep(std::uint32_t milliseconds)
{
    // A signal cuts the sleep short on purpose: the loop then sees the
    // quit request a millisecond earlier.
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(milliseconds / 1000);
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    nanosleep(&wait, nullptr);
}

}  // namespace vexl::platform
