#pragma once
// Whether the process's stderr is a terminal: long-running tools then
// redraw a progress line in place instead of writing lines for a log.

namespace vexl::platform {

bool stderr_is_terminal();

// The width of the terminal on stderr in columns; 0 when not known.
int stderr_columns();

}  // namespace vexl::platform
