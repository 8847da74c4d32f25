#pragma once
// Process-wide records shared by the launcher, the screens and the audio.
// They live below all three so that no lower folder reaches up into the
// player for them.

#include <cstdint>

#include "core/frame_geometry.h"
#include "platform/handles.h"

namespace vexl {

// The current text frame: 50 rows of 80 cells, each a character byte then
// an attribute byte (bits 0-3 foreground, 4-7 background). Only the
// launcher's pack_read writes it; the screens' present reads it.
extern std::uint8_t TextFrame[frame_bytes];

struct PlayerSettingsRecord {
    bool use_console = false;       // console screen instead of full screen
    bool simulate_speaker = false;  // soundtrack through the speaker simulation
};

// Set once by the start-up questions, read afterwards.
extern PlayerSettingsRecord PlayerSettings;

// The full-screen display's window while it exists; owner of the
// loading-failure box.
extern platform::WindowHandle MainWindow;

}  // namespace vexl
