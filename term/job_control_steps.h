#pragma once
// What the console does about job control, as a pure next-state function:
// given who holds the terminal and what happened, the actions to take (in
// the order listed) and who holds it afterwards. The console feeds it the
// events JobControlSignals counted, between frames.

#include <cstdint>

namespace vexl::term {

enum class TerminalHold : std::uint8_t {
    given,  // handed back on purpose (not taken yet, a question, the end)
    taken,  // in the console's modes, showing the picture
    lost,   // given back by a signal handler's restore behind the console's back
};

enum class JobEvent : std::uint8_t {
    output,        // a frame to show
    stop_request,  // Ctrl+Z, deferred to the main thread
    continued,     // SIGCONT from elsewhere (after SIGSTOP, or a stop the handler did)
    resized,       // SIGWINCH
    give_back,     // a question on the terminal, or the end
};

// In the order they are carried out.
enum JobAction : std::uint8_t {
    no_action = 0,
    leave = 1 << 0,         // give the terminal back as it was found
    stop = 1 << 1,          // stop the process; returns once continued
    take = 1 << 2,          // take the terminal: modes, screen, a full repaint
    retake_modes = 1 << 3,  // taken still, but the shell may have changed the modes meanwhile
    repaint = 1 << 4,       // show the whole picture again (size and layout read anew)
};

struct JobStep {
    TerminalHold next;
    std::uint8_t actions;
    bool operator==(const JobStep&) const = default;
};

constexpr JobStep next_job_step(TerminalHold hold, JobEvent event)
{
    using enum TerminalHold;
    switch (event) {
    case JobEvent::output:
        return {taken, hold == taken ? no_action : take};
    case JobEvent::stop_request:
        // Given back before the stop, taken again after it.
        if (hold == taken)
            return {taken, leave | stop | take};
        return {hold, stop};
    case JobEvent::continued:
        if (hold == taken)
            return {taken, retake_modes | repaint};
        if (hold == lost)
            return {taken, take};
        return {given, no_action};
    case JobEvent::resized:
        return {hold, hold == taken ? repaint : no_action};
    case JobEvent::give_back:
        return {given, hold == taken ? leave : no_action};
    }
    return {hold, no_action};
}

}  // namespace vexl::term
