#pragma once
// What the user should hear about a run but can't while the picture is up:
// why there is no sound, why full screen was not available, that frames
// were skipped. Any layer (the audio thread included) adds a line; the
// executable writes them to stderr, in order, once the terminal and the
// display have been given back. A line already kept is not kept twice, so
// a failure that repeats every frame is told once.

#include <mutex>
#include <string>
#include <vector>

#include "platform/service.h"

namespace vexl::platform {

class RunReport {
public:
    // One line, without its line break.
    void add(std::string line);
    // The lines so far, oldest first; the report is empty afterwards.
    std::vector<std::string> take();

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

inline RunReport& run_report() { return service<RunReport>(); }

// Adds a line when a report is installed (tools and tests may have none).
void report_after_run(std::string line);

}  // namespace vexl::platform
