#pragma once
// The player's spine: the start-up questions, loading the packed frame
// file, the playback loop paced by the soundtrack's sample clock, and the
// teardown.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/frame_timing.h"

namespace vexl {

inline constexpr const char* frame_file_name = "ld_vexl.d1";  // in the current directory
inline constexpr const char* player_caption = "lumen-drift Vexlade 2003";
inline constexpr const char* question_fullscreen = "Use DirectDraw output (FullScreen)?";
inline constexpr const char* question_speaker = "Simulate PC-Speaker?";
inline constexpr const char* loading_failed_text = "Loading failed.";

inline constexpr std::uint32_t frame_read_size = 8000;  // one TextFrame per read
// The largest frame file the player loads: what a signed 32-bit file size
// describes.
inline constexpr std::int64_t largest_frame_file = INT32_MAX;
inline constexpr std::int32_t end_limit = 15567300;  // 706 s: exactly 17650 frame intervals
inline constexpr std::uint32_t idle_sleep_ms = 1;

static_assert(end_limit == 17650 * frame_interval);

// Asks the two questions into PlayerSettings, then runs the demo; returns
// run_demo's result.
int ask_settings();

// The answers to the two questions, in the order asked, that give the
// PlayerSettings as they are.
std::array<int, 2> settings_as_answers();

// Loads, plays and tears down. 0 after playback, 1 after a loading failure
// (the frame file missing, unreadable or not a regular file, no memory for
// it, the stream not opening, not a single frame decoding from it, or no
// screen: no memory for one, or no terminal and no terminal window to show
// the console in). Why is told after the run (platform::report_after_run),
// as is damage part way through a file that played. 0 too when the run
// went on in a terminal window.
int run_demo();

// The screen PlayerSettings chose; at most one exists between these two.
// Full screen that can't be set up falls back to the console screen; a
// console with no terminal behind it (a start from the desktop's menu) is
// no screen (screen_exists is false): the run then goes on in a terminal
// window of the desktop, with the same answers, and continued_elsewhere
// is true.
void create_screen();
void show_frame();  // presents the TextFrame; the result is not examined
void destroy_screen();
bool screen_exists();
bool continued_elsewhere();

// The allocator of the file image block: std::malloc, behind a pointer so
// tests can make it fail.
using LauncherAllocate = void* (*)(std::size_t bytes);
extern LauncherAllocate launcher_allocate;

}  // namespace vexl
