#pragma once
// Telling the user, once the picture is gone, what went wrong on the way
// (platform::run_report): on standard error when the player was started
// from a console or with its output redirected, else in one message box,
// as a player started from Explorer has nowhere else to say it.

#include <string>
#include <vector>

namespace vexl::platform {

void tell_after_run(const std::vector<std::string>& lines, const char* caption);

}  // namespace vexl::platform
