#pragma once
// Message boxes: the start-up questions and the loading-failure notice.

#include <cstdint>

#include "platform/handles.h"
#include "platform/service.h"

namespace vexl::platform {

// Button sets; no default-button flag means the first button is the default.
enum MessageBoxType : std::uint32_t {
    MB_OK = 0x0000,
    MB_YESNO = 0x0004,
};

// The button the user chose.
enum MessageBoxResult : int {
    IDOK = 1,
    IDYES = 6,
    IDNO = 7,
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows `text` under `caption` with the buttons of `type`, waits for an
    // answer and returns the button chosen. `owner` may be null.
    virtual int message_box(WindowHandle owner, const char* text, const char* caption,
                            std::uint32_t type) = 0;
};

inline Dialogs& dialogs() { return service<Dialogs>(); }

// The button a box stands for when nobody can be asked: its default.
constexpr int default_button(std::uint32_t type)
{
    return type == MB_YESNO ? IDYES : IDOK;
}

constexpr const char* button_name(int button)
{
    switch (button) {
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "OK";
    }
}

}  // namespace vexl::platform
