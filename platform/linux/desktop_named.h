#pragma once
// Whether the environment names a desktop (an X11 or Wayland display) to
// open windows on: the full-screen window and message boxes, and a
// terminal window for a player that has no terminal.

#include <cstdlib>

namespace vexl::platform {

inline bool set_in_environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

inline bool desktop_named()
{
    return set_in_environment("DISPLAY") || set_in_environment("WAYLAND_DISPLAY");
}

}  // namespace vexl::platform
