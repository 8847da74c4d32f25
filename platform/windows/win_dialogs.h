#pragma once
// Message boxes on Windows: MessageBoxA, from Explorer or a console alike.
// Where no box can be shown (no desktop: a service, wine without a
// display) the default button is taken, and both the question and the
// answer go to stderr.

#include "platform/windows/win32.h"

namespace vexl::platform {

class WinDialogs final : public Dialogs {
public:
    int message_box(WindowHandle owner, const char* text, const char* caption, std::uint32_t type) override;
};

}  // namespace vexl::platform
