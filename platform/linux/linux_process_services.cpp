#include "platform/process_services.h"

#include <cstdio>

#include "output/terminal_glyphs.h"
#include "platform/linux/fatal_signals.h"
#include "platform/linux/job_control_signals.h"
#include "platform/linux/linux_audio_library.h"
#include "platform/linux/linux_diagnostics.h"
#include "platform/linux/linux_dialogs.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_programs.h"
#include "platform/linux/linux_sleep.h"
#include "platform/linux/linux_terminal.h"
#include "platform/linux/sdl_display.h"
#include "platform/linux/standard_descriptors.h"
#include "platform/linux/termination_signals.h"
#include "platform/restore_hooks.h"
#include "platform/run_report.h"
#include "platform/thread_message_queue.h"

namespace vexl::platform {

int run_with_process_services(int (*body)())
{
    // Before anything opens a file: started with standard input closed, the
    // questions must not find the terminal there.
    reserve_standard_descriptors();
    ScopedLinuxDiagnostics diagnostics;
    RunReport report;
    ScopedService<RunReport> report_slot(report);

    ThreadMessageQueue messages;
    ScopedService<MessageQueue> messages_slot(messages);
    TerminationSignals signals;  // Ctrl+C, SIGTERM, SIGHUP -> WM_QUIT
    FatalSignals fatal_signals;  // the rest restore the terminal, then end the process
    messages.add_source(&signals);

    JobControlSignals job_control;  // Ctrl+Z, SIGCONT, SIGWINCH
    LinuxTerminal terminal;
    terminal.set_font(full_screen_font());
    ScopedService<Terminal> terminal_slot(terminal);
    messages.add_source(&terminal);  // follows job control between frames
    LinuxDialogs dialogs(&terminal);
    ScopedService<Dialogs> dialogs_slot(dialogs);
    LinuxSleeper sleeper;
    ScopedService<Sleeper> sleeper_slot(sleeper);
    LinuxFiles files;
    ScopedService<Files> files_slot(files);
    SdlDisplay display;
    ScopedService<Display> display_slot(display);
    LinuxAudioLibrary audio;
    ScopedService<AudioLibrary> audio_slot(audio);
    LinuxPrograms programs;  // a terminal window for a run that has no terminal
    ScopedService<Programs> programs_slot(programs);

    const int code = body();

    messages.remove_source(&terminal);
    messages.remove_source(&signals);
    // Whatever a path out left changed (a loading failure leaves nothing
    // to tear down) is given back now.
    run_restore_hooks();
    // Only now can the user read them: the picture is gone.
    for (const std::string& line : report.take())
        std::fprintf(stderr, "vexlade: %s\n", line.c_str());
    return code;
}

}  // namespace vexl::platform
