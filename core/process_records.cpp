#include "core/process_records.h"

namespace vexl {

std::uint8_t TextFrame[frame_bytes] = {};
PlayerSettingsRecord PlayerSettings;
platform::WindowHandle MainWindow = nullptr;

}  // namespace vexl
