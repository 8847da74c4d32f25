#pragma once
// Whether the process's stderr is a terminal: long-running tools then
// redraw a progress line in place instead of writing lines for a log.

namespace vexl::platform {

bool stderr_is_terminal();

}  // namespace vexl::platform
