// The player's process on Windows: the Windows services installed around
// the program's body.

#include "platform/windows/win32.h"

#include "platform/process_services.h"
#include "platform/restore_hooks.h"
#include "platform/run_report.h"
#include "platform/windows/after_run.h"
#include "platform/windows/console_control.h"
#include "platform/windows/win_audio_library.h"
#include "platform/windows/win_console.h"
#include "platform/windows/win_diagnostics.h"
#include "platform/windows/win_dialogs.h"
#include "platform/windows/win_display.h"
#include "platform/windows/win_files.h"
#include "platform/windows/win_message_queue.h"
#include "platform/windows/win_sleep.h"

namespace vexl::platform {
namespace {

// The caption of what is told after the run from Explorer.
constexpr const char* report_caption = "vexlade";

int run_services(int (*body)())
{
    ScopedWinDiagnostics diagnostics;
    RunReport report;
    ScopedService<RunReport> report_slot(report);

    WinMessageQueue messages;
    ScopedService<MessageQueue> messages_slot(messages);
    WinConsole console;
    ScopedService<Terminal> console_slot(console);
    WinDialogs dialogs;
    ScopedService<Dialogs> dialogs_slot(dialogs);
    WinSleeper sleeper;
    ScopedService<Sleeper> sleeper_slot(sleeper);
    WinFiles files;
    ScopedService<Files> files_slot(files);
    WinDisplay display;
    ScopedService<Display> display_slot(display);
    WinAudioLibrary audio;
    ScopedService<AudioLibrary> audio_slot(audio);

    const int code = body();

    // Whatever a path out left changed (a loading failure leaves nothing
    // to tear down) is given back now.
    run_restore_hooks();
    // Only now can the user read them: the picture is gone.
    tell_after_run(report.take(), report_caption);
    return code;
}

}  // namespace

int run_with_process_services(int (*body)())
{
    // Started from Explorer, a console program gets an empty console window
    // of its own at once; the questions come without it.
    let_go_of_console_made_for_this_process();
    // Ctrl+C, Ctrl+Break and closing the console end the run cleanly.
    ConsoleControl console_control(GetCurrentThreadId());
    const int code = run_services(body);
    console_control.run_finished(code);
    return code;
}

}  // namespace vexl::platform
