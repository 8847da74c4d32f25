#pragma once
// Handing over to another program: `vexl play` finds the player and
// becomes it, so the player owns the terminal, the signals and the exit
// status exactly as when it is started by hand; and a player started
// without a terminal (from the desktop's menu) goes on in a terminal window.

#include <span>
#include <string>

#include "platform/service.h"

namespace vexl::platform {

class Programs {
public:
    virtual ~Programs() = default;
    // The absolute path of the running program's own file; empty, with the
    // reason in `problem`, when it can't be found out.
    virtual std::string own_path(std::string& problem) = 0;
    // Runs `program` in place of this process, in `folder`, with no
    // arguments. Returns only when that fails, with the reason in `problem`.
    virtual void replace_process(const std::string& program, const std::string& folder, std::string& problem) = 0;
    // Starts this program again in a new window of the desktop's terminal
    // emulator, in the current folder, its first yes/no questions answered
    // with `answers` (IDYES or IDNO, in the order asked) instead of asked
    // again. False, with the reason in `problem`, when no window opened: no
    // desktop, no terminal emulator, or this program already runs in a
    // window it was started in this way (which would open one after another).
    virtual bool restart_in_terminal_window(std::span<const int> answers, std::string& problem) = 0;
};

inline Programs& programs() { return service<Programs>(); }

}  // namespace vexl::platform
