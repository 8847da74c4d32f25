#pragma once
// SIGINT, SIGTERM and SIGHUP end the run the orderly way: the handler only
// counts the signal, and the player's message queue turns the count into
// WM_QUIT the next time it is looked at, so the loop tears down as after
// any other end. A third signal that arrives before the first was
// delivered means the loop is stuck: the terminal is put back at once and
// the signal takes its default course.

#include "platform/messages.h"

namespace vexl::platform {

class TerminationSignals final : public MessageSource {
public:
    TerminationSignals();   // installs the handlers
    ~TerminationSignals() override;  // puts the previous handlers back
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    void pump(MessageQueue& queue) override;

    // A signal came that has not been turned into WM_QUIT yet. Blocking
    // waits (a question on the terminal) give up when this is true.
    static bool pending();
};

}  // namespace vexl::platform
