#include "platform/windows/console_control.h"

#include <atomic>

namespace vexl::platform {
namespace {

// How long a close waits for the teardown: within the five seconds the
// system gives a console process.
constexpr DWORD close_grace_ms = 4500;

std::atomic<DWORD> player_thread{0};
std::atomic<int> run_exit_code{0};
HANDLE run_over = nullptr;  // manual-reset event, set by run_finished

void post_quit()
{
    PostThreadMessageA(player_thread.load(), WM_QUIT, 0, 0);
}

// Runs on a thread the system starts for each event.
BOOL WINAPI on_console_event(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        post_quit();
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        post_quit();
        WaitForSingleObject(run_over, close_grace_ms);
        ExitProcess(static_cast<UINT>(run_exit_code.load()));
    default:
        return FALSE;
    }
}

}  // namespace

ConsoleControl::ConsoleControl(DWORD thread)
{
    player_thread = thread;
    run_over = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

ConsoleControl::~ConsoleControl()
{
    SetConsoleCtrlHandler(on_console_event, FALSE);
    // A handler may still be waiting: let it end the process.
    SetEvent(run_over);
}

void ConsoleControl::run_finished(int exit_code)
{
    run_exit_code = exit_code;
    SetEvent(run_over);
}

}  // namespace vexl::platform
