#pragma once
// The console on Windows: a Win32 console, in a screen buffer of the
// player's own. A process started from a console (cmd.exe, Windows
// Terminal) keeps that console; the player's buffer is made the active one
// for the run, and at the end the user's buffer (with its contents, size
// and window) becomes active again, its title comes back and the keys
// typed meanwhile are dropped, so the shell finds its console as it was.
// A process without one (started from Explorer) gets a console of its own,
// which goes away at the end.
//
// Cells are written as Unicode: the frames' character bytes are code page
// 437, which the console's own code page is almost nowhere (and never in a
// UTF-8 console), so each goes through the CP437 table.

#include <string>
#include <vector>

#include "platform/windows/win32.h"

namespace vexl::platform {

struct ConsoleBuffer {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

class WinConsole final : public Terminal {
public:
    WinConsole() = default;
    ~WinConsole() override;
    WinConsole(const WinConsole&) = delete;
    WinConsole& operator=(const WinConsole&) = delete;

    bool alloc_console() override;
    ConsoleHandle get_std_handle(StdHandle which) override;
    bool set_title(const char* title) override;
    bool set_cursor_info(ConsoleHandle console, const CursorInfo& info) override;
    // The console refuses a buffer smaller than its window: the window is
    // made to fit first.
    bool set_screen_buffer_size(ConsoleHandle console, Coord size) override;
    // A window larger than the screen allows becomes the largest allowed.
    bool set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window) override;
    bool write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                      Coord buffer_origin, SmallRect& region) override;
    bool free_console() override;

private:
    // Puts back what the run changed; also the restore hook's work.
    void give_back();
    static void restore_hook(void* self);

    bool allocated_ = false;                     // the console is the player's own
    HANDLE found_buffer_ = INVALID_HANDLE_VALUE;  // the user's active buffer
    std::wstring found_title_;
    ConsoleBuffer buffer_;  // the player's
    int restore_token_ = -1;
    std::vector<CHAR_INFO> records_;
};

// Whether the console the process was started with was made for it alone
// (a console program started from Explorer), shown in a window of its own:
// then the player lets it go at once, so that the questions come without
// an empty console behind them, and makes one again if the demo is shown
// in a console. A console shared with a shell, or one without a window of
// its own (Windows Terminal, the terminal wine runs in), is kept.
void let_go_of_console_made_for_this_process();

}  // namespace vexl::platform
