#pragma once
// Every other signal whose default action ends the process (SIGQUIT from
// Ctrl+\, SIGUSR1, SIGPIPE, SIGSEGV, SIGABRT, ...) gives the terminal back
// first (the restore hooks) and then takes its default course, so the exit
// status and any core dump are what the user expects of that signal.
// SIGINT, SIGTERM and SIGHUP are not among them: they end the run the
// orderly way (TerminationSignals). SIGTRAP stays the debugger's, and the
// failed-check trap restores the terminal itself before it raises it.
//
// Only signals still at their default action are taken: one ignored when
// the process started (nohup, a parent that ignores SIGPIPE) stays ignored,
// and one that a tool already handles (a sanitizer's SIGSEGV, a profiler's
// SIGPROF) stays that tool's.

namespace vexl::platform {

class FatalSignals {
public:
    FatalSignals();   // installs the handlers
    ~FatalSignals();  // puts the previous actions back
    FatalSignals(const FatalSignals&) = delete;
    FatalSignals& operator=(const FatalSignals&) = delete;

    // The signals handled here, whether installed or not (for tests).
    static bool covers(int number);
};

}  // namespace vexl::platform
