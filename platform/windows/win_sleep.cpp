#include "platform/windows/win32.h"

#include <mmsystem.h>

#include "platform/windows/win_sleep.h"

namespace vexl::platform {

WinSleeper::WinSleeper() : fine_timer_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

WinSleeper::~WinSleeper()
{
    if (fine_timer_)
        timeEndPeriod(1);
}

void WinSleeper::sleep(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}

}  // namespace vexl::platform
