#pragma once
// Process-wide state shared by the launcher, the screens and the audio.

#include <cstddef>
#include <cstdint>

#include "platform/handles.h"

namespace vexl {

inline constexpr int frame_rows = 50;
inline constexpr int frame_cols = 80;
inline constexpr int frame_row_bytes = frame_cols * 2;
inline constexpr std::size_t frame_bytes = frame_rows * frame_row_bytes;  // 8000

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
