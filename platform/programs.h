#pragma once
// Handing over to another program: `vexl play` finds the player beside
// itself and becomes it, so the player owns the terminal, the signals and
// the exit status exactly as when it is started by hand.

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
};

inline Programs& programs() { return service<Programs>(); }

}  // namespace vexl::platform
