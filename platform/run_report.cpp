#include "platform/run_report.h"

#include <algorithm>
#include <utility>

namespace vexl::platform {

void RunReport::add(std::string line)
{
    const std::lock_guard lock(mutex_);
    if (std::find(lines_.begin(), lines_.end(), line) == lines_.end())
        lines_.push_back(std::move(line));
}

std::vector<std::string> RunReport::take()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}

void report_after_run(std::string line)
{
    if (service_installed<RunReport>())
        run_report().add(std::move(line));
}

}  // namespace vexl::platform
