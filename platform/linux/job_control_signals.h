#pragma once
// Job control for a full-screen terminal program: Ctrl+Z (SIGTSTP), the
// SIGCONT that resumes the process and SIGWINCH after a resize.
//
// The handlers only count. A console that is up takes a stop request on
// the main thread (between frames, never in the middle of one): it gives
// the terminal back, stops the process with stop_process() and, once
// continued, takes the terminal again and repaints. A stop that nobody
// takes up (no console is up, or a second Ctrl+Z arrives before the first
// was taken: the main thread is stuck) is done in the handler itself: the
// restore hooks put the terminal back and the process stops at once.

namespace vexl::platform {

class JobControlSignals {
public:
    JobControlSignals();   // installs the handlers
    ~JobControlSignals();  // puts the previous ones back
    JobControlSignals(const JobControlSignals&) = delete;
    JobControlSignals& operator=(const JobControlSignals&) = delete;

    // While true, a stop request waits for the main thread's
    // take_stop_request() instead of stopping the process in the handler.
    static void defer_stops(bool on);
    // True once per Ctrl+Z deferred to the caller.
    static bool take_stop_request();
    // Stops the process as SIGTSTP's default action does; returns after
    // SIGCONT. Async-signal-safe.
    static void stop_process();

    // How many SIGCONT and SIGWINCH have arrived so far (compare with an
    // earlier count to notice one).
    static unsigned continues();
    static unsigned resizes();
};

}  // namespace vexl::platform
