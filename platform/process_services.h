#pragma once
// The process's real platform services. Each platform's implementation
// installs its own (terminal, display, sound, dialogs, messages, signals,
// log), runs the program's body, then gives back whatever the services
// changed and tells what could not be told while the picture was up.

namespace vexl::platform {

// Returns `body`'s result.
int run_with_process_services(int (*body)());

}  // namespace vexl::platform
