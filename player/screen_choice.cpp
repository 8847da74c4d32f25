// The one screen of a run, held through its concrete type: the screens'
// destructors are not virtual, so each kind is destroyed as what it is.

#include <new>

#include "core/process_records.h"
#include "output/ag_console.h"
#include "output/ag_ddraw.h"
#include "player/launcher.h"

namespace vexl {
namespace {

ag_console* console_screen = nullptr;
ag_ddraw* ddraw_screen = nullptr;

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

}  // namespace

void create_screen()
{
    if (PlayerSettings.use_console)
        console_screen = construct<ag_console>();
    else
        ddraw_screen = construct<ag_ddraw>();
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

}  // namespace vexl
