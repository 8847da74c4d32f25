// The `vexlade` executable: installs the real platform services and runs
// the player. The command line is ignored.

#include <cstdio>

#include "output/terminal_glyphs.h"
#include "platform/linux/fatal_signals.h"
#include "platform/linux/linux_audio_library.h"
#include "platform/linux/linux_diagnostics.h"
#include "platform/linux/linux_dialogs.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_programs.h"
#include "platform/linux/linux_sleep.h"
#include "platform/linux/job_control_signals.h"
#include "platform/linux/linux_terminal.h"
#include "platform/linux/sdl_display.h"
#include "platform/linux/termination_signals.h"
#include "platform/restore_hooks.h"
#include "platform/run_report.h"
#include "platform/thread_message_queue.h"
#include "player/launcher.h"

using namespace vexl;

int main(int, char**)
{
    platform::ScopedLinuxDiagnostics diagnostics;
    platform::RunReport report;
    platform::ScopedService<platform::RunReport> report_slot(report);

    platform::ThreadMessageQueue messages;
    platform::ScopedService<platform::MessageQueue> messages_slot(messages);
    platform::TerminationSignals signals;  // Ctrl+C, SIGTERM, SIGHUP -> WM_QUIT
    platform::FatalSignals fatal_signals;  // the rest restore the terminal, then end the process
    messages.add_source(&signals);

    platform::JobControlSignals job_control;  // Ctrl+Z, SIGCONT, SIGWINCH
    platform::LinuxTerminal terminal;
    terminal.set_rasterizer(full_screen_glyphs());
    platform::ScopedService<platform::Terminal> terminal_slot(terminal);
    messages.add_source(&terminal);  // follows job control between frames
    platform::LinuxDialogs dialogs(&terminal);
    platform::ScopedService<platform::Dialogs> dialogs_slot(dialogs);
    platform::LinuxSleeper sleeper;
    platform::ScopedService<platform::Sleeper> sleeper_slot(sleeper);
    platform::LinuxFiles files;
    platform::ScopedService<platform::Files> files_slot(files);
    platform::SdlDisplay display;
    platform::ScopedService<platform::Display> display_slot(display);
    platform::LinuxAudioLibrary audio;
    platform::ScopedService<platform::AudioLibrary> audio_slot(audio);
    platform::LinuxPrograms programs;  // a terminal window for a run that has no terminal
    platform::ScopedService<platform::Programs> programs_slot(programs);

    const int code = ask_settings();

    messages.remove_source(&terminal);
    messages.remove_source(&signals);
    // Whatever a path out left changed (a loading failure leaves nothing
    // to tear down) is given back now.
    platform::run_restore_hooks();
    // Only now can the user read them: the picture is gone.
    for (const std::string& line : report.take())
        std::fprintf(stderr, "vexlade: %s\n", line.c_str());
    return code;
}
