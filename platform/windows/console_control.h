#pragma once
// Ctrl+C, Ctrl+Break and closing the console window end the run the
// orderly way: each posts WM_QUIT to the player's thread, whose loop then
// tears down as after any other end, and the exit code is 0.
//
// Closing the console (and logging off, shutting down) is different: the
// system ends the process as soon as the handler returns, and at the
// latest after five seconds. The handler therefore waits until the run
// says it is over, then ends the process with the run's exit code.

#include "platform/windows/win32.h"

namespace vexl::platform {

class ConsoleControl {
public:
    // Installs the handler; WM_QUIT goes to `player_thread`.
    explicit ConsoleControl(DWORD player_thread);
    ~ConsoleControl();  // removes it
    ConsoleControl(const ConsoleControl&) = delete;
    ConsoleControl& operator=(const ConsoleControl&) = delete;

    // The run is over and the console and the display have been given
    // back: a close waiting in the handler may end the process now.
    void run_finished(int exit_code);
};

}  // namespace vexl::platform
