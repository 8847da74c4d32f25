// The one screen of a run, held through its concrete type: the screens'
// destructors are not virtual, so each kind is destroyed as what it is.
//
// Full screen that cannot be set up falls back to the console screen, and
// a console with no terminal behind it is no screen at all: either way the
// user is told why after the run, instead of watching nothing for 706 s.
// A player started from the desktop's menu has no terminal: its run goes
// on in a terminal window instead, started with the answers already given.

#include <array>
#include <new>
#include <string>

#include "core/process_records.h"
#include "output/ag_console.h"
#include "output/ag_ddraw.h"
#include "platform/programs.h"
#include "platform/run_report.h"
#include "player/launcher.h"

namespace vexl {
namespace {

ag_console* console_screen = nullptr;
ag_ddraw* ddraw_screen = nullptr;
bool in_terminal_window = false;

template <class Screen>
Screen* construct()
{
    // No memory for the screen or its grid: no screen, which the launcher
    // reports as a loading failure.
    try {
        return new (std::nothrow) Screen();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const char* what_failed(ddraw_step step)
{
    switch (step) {
    case ddraw_step::direct_draw_create: return "no display reachable";
    case ddraw_step::set_cooperative_level: return "the display allows no exclusive full-screen use";
    case ddraw_step::set_display_mode: return "the 640x400 display mode was refused";
    case ddraw_step::create_surface:
    case ddraw_step::get_attached_surface: return "the display refused the picture's surfaces";
    case ddraw_step::none: break;
    }
    return "";
}

// Why a full-screen screen whose construction stopped shows nothing.
std::string full_screen_refusal(const ag_ddraw& screen)
{
    std::string why = what_failed(screen.failed_step());
    const std::string detail = platform::display().failure_detail();
    if (!detail.empty())
        why += ": " + detail;
    return "full screen not available (" + why + ")";
}

}  // namespace

void create_screen()
{
    in_terminal_window = false;
    std::string refusal;
    if (!PlayerSettings.use_console) {
        ddraw_screen = construct<ag_ddraw>();
        if (ddraw_screen == nullptr || ddraw_screen->failed_step() == ddraw_step::none)
            return;
        refusal = full_screen_refusal(*ddraw_screen);
        delete ddraw_screen;
        ddraw_screen = nullptr;
    }
    console_screen = construct<ag_console>();
    if (console_screen != nullptr && console_screen->console_out == nullptr) {
        // No terminal to draw in (started from a desktop, say).
        delete console_screen;
        console_screen = nullptr;
        const std::array<int, 2> answers = settings_as_answers();
        std::string problem;
        in_terminal_window = platform::programs().restart_in_terminal_window(answers, problem);
        if (!in_terminal_window)
            platform::report_after_run((refusal.empty() ? "" : refusal + ", and ") +
                                       "no terminal to show the demo in, nor a terminal window: " + problem);
        return;
    }
    if (!refusal.empty())
        platform::report_after_run(refusal + "; the terminal was used instead");
}

void show_frame()
{
    if (console_screen != nullptr)
        console_screen->present();
    if (ddraw_screen != nullptr)
        ddraw_screen->present();
}

void destroy_screen()
{
    if (console_screen != nullptr) {
        delete console_screen;
        console_screen = nullptr;
    }
    if (ddraw_screen != nullptr) {
        delete ddraw_screen;
        ddraw_screen = nullptr;
    }
}

bool screen_exists()
{
    return console_screen != nullptr || ddraw_screen != nullptr;
}

bool continued_elsewhere()
{
    return in_terminal_window;
}

}  // namespace vexl
