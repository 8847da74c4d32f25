// `vexlade.exe`: installs the Windows platform services and runs the
// player. The command line is ignored.

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
#include "player/launcher.h"

using namespace vexl;

namespace {

int play()
{
    platform::ScopedWinDiagnostics diagnostics;
    platform::RunReport report;
    platform::ScopedService<platform::RunReport> report_slot(report);

    platform::WinMessageQueue messages;
    platform::ScopedService<platform::MessageQueue> messages_slot(messages);
    platform::WinConsole console;
    platform::ScopedService<platform::Terminal> console_slot(console);
    platform::WinDialogs dialogs;
    platform::ScopedService<platform::Dialogs> dialogs_slot(dialogs);
    platform::WinSleeper sleeper;
    platform::ScopedService<platform::Sleeper> sleeper_slot(sleeper);
    platform::WinFiles files;
    platform::ScopedService<platform::Files> files_slot(files);
    platform::WinDisplay display;
    platform::ScopedService<platform::Display> display_slot(display);
    platform::WinAudioLibrary audio;
    platform::ScopedService<platform::AudioLibrary> audio_slot(audio);

    const int code = ask_settings();

    // Whatever a path out left changed (a loading failure leaves nothing
    // to tear down) is given back now.
    platform::run_restore_hooks();
    // Only now can the user read them: the picture is gone.
    platform::tell_after_run(report.take(), player_caption);
    return code;
}

}  // namespace

int main()
{
    // Started from Explorer, a console program gets an empty console window
    // of its own at once; the questions come without it.
    platform::let_go_of_console_made_for_this_process();
    // Ctrl+C, Ctrl+Break and closing the console end the run cleanly.
    platform::ConsoleControl console_control(GetCurrentThreadId());
    const int code = play();
    console_control.run_finished(code);
    return code;
}
