#pragma once
// Opaque handles shared by several platform services.

namespace vexl::platform {

// A top-level window of the display service. Dialogs take one as owner and
// messages name the window they came from; only the display knows what is
// behind it.
struct Window;
using WindowHandle = Window*;

}  // namespace vexl::platform
