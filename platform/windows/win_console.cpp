#include "platform/windows/win_console.h"

#include <algorithm>

#include "core/cp437.h"
#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

HANDLE handle_of(ConsoleHandle console)
{
    return console != nullptr ? console->handle : INVALID_HANDLE_VALUE;
}

HANDLE open_active_buffer()
{
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

std::wstring console_title()
{
    std::wstring title(1024, L'\0');
    title.resize(GetConsoleTitleW(title.data(), static_cast<DWORD>(title.size())));
    return title;
}

}  // namespace

void let_go_of_console_made_for_this_process()
{
    DWORD processes[2];
    const HWND window = GetConsoleWindow();
    if (window != nullptr && IsWindowVisible(window) && GetConsoleProcessList(processes, 2) == 1)
        FreeConsole();
}

WinConsole::~WinConsole()
{
    give_back();
}

bool WinConsole::alloc_console()
{
    if (buffer_.handle != INVALID_HANDLE_VALUE)
        return false;
    // Refused when the process has a console: that one is used.
    allocated_ = AllocConsole() != 0;
    found_buffer_ = open_active_buffer();
    if (found_buffer_ == INVALID_HANDLE_VALUE)
        return allocated_;  // no console at all: the screen draws nowhere
    found_title_ = console_title();
    buffer_.handle = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (buffer_.handle == INVALID_HANDLE_VALUE || !SetConsoleActiveScreenBuffer(buffer_.handle)) {
        // The user's own buffer then: drawn over, but shown.
        if (buffer_.handle != INVALID_HANDLE_VALUE)
            CloseHandle(buffer_.handle);
        buffer_.handle = found_buffer_;
        found_buffer_ = INVALID_HANDLE_VALUE;
    }
    restore_token_ = add_restore_hook(&WinConsole::restore_hook, this);
    return allocated_;
}

ConsoleHandle WinConsole::get_std_handle(StdHandle which)
{
    if (which != StdHandle::output || buffer_.handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return &buffer_;
}

bool WinConsole::set_title(const char* title)
{
    return SetConsoleTitleA(title) != 0;
}

bool WinConsole::set_cursor_info(ConsoleHandle console, const CursorInfo& info)
{
    const CONSOLE_CURSOR_INFO cursor{info.size, info.visible ? TRUE : FALSE};
    return SetConsoleCursorInfo(handle_of(console), &cursor) != 0;
}

bool WinConsole::set_screen_buffer_size(ConsoleHandle console, Coord size)
{
    const HANDLE handle = handle_of(console);
    const COORD wanted{size.x, size.y};
    if (SetConsoleScreenBufferSize(handle, wanted))
        return true;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(handle, &info))
        return false;
    const SMALL_RECT& w = info.srWindow;
    const SMALL_RECT fitting{0, 0, static_cast<SHORT>(std::min<int>(w.Right - w.Left + 1, size.x) - 1),
                             static_cast<SHORT>(std::min<int>(w.Bottom - w.Top + 1, size.y) - 1)};
    SetConsoleWindowInfo(handle, TRUE, &fitting);
    return SetConsoleScreenBufferSize(handle, wanted) != 0;
}

bool WinConsole::set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window)
{
    const HANDLE handle = handle_of(console);
    SMALL_RECT rect{window.left, window.top, window.right, window.bottom};
    if (SetConsoleWindowInfo(handle, absolute ? TRUE : FALSE, &rect))
        return true;
    const COORD largest = GetLargestConsoleWindowSize(handle);
    if (!absolute || largest.X < 1 || largest.Y < 1)
        return false;
    rect.Right = static_cast<SHORT>(std::min<int>(rect.Right, rect.Left + largest.X - 1));
    rect.Bottom = static_cast<SHORT>(std::min<int>(rect.Bottom, rect.Top + largest.Y - 1));
    return SetConsoleWindowInfo(handle, TRUE, &rect) != 0;
}

bool WinConsole::write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                              Coord buffer_origin, SmallRect& region)
{
    if (buffer_size.x <= 0 || buffer_size.y <= 0)
        return false;
    records_.resize(static_cast<std::size_t>(buffer_size.x) * static_cast<std::size_t>(buffer_size.y));
    for (std::size_t i = 0; i < records_.size(); ++i) {
        records_[i].Char.UnicodeChar = static_cast<WCHAR>(cp437_unicode[cells[i].ch & 0xFF]);
        records_[i].Attributes = cells[i].attributes;
    }
    SMALL_RECT rect{region.left, region.top, region.right, region.bottom};
    const BOOL written = WriteConsoleOutputW(handle_of(console), records_.data(), COORD{buffer_size.x, buffer_size.y},
                                             COORD{buffer_origin.x, buffer_origin.y}, &rect);
    region = SmallRect{rect.Left, rect.Top, rect.Right, rect.Bottom};
    return written != 0;
}

bool WinConsole::free_console()
{
    const bool had = buffer_.handle != INVALID_HANDLE_VALUE;
    give_back();
    return had;
}

void WinConsole::give_back()
{
    if (restore_token_ >= 0) {
        remove_restore_hook(restore_token_);
        restore_token_ = -1;
    }
    if (buffer_.handle == INVALID_HANDLE_VALUE)
        return;
    if (found_buffer_ != INVALID_HANDLE_VALUE) {
        SetConsoleActiveScreenBuffer(found_buffer_);
        CloseHandle(found_buffer_);
        found_buffer_ = INVALID_HANDLE_VALUE;
    }
    CloseHandle(buffer_.handle);
    buffer_.handle = INVALID_HANDLE_VALUE;
    if (allocated_) {
        FreeConsole();
        allocated_ = false;
        return;
    }
    SetConsoleTitleW(found_title_.c_str());
    // Keys typed at the picture are not the shell's.
    const HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (input != INVALID_HANDLE_VALUE) {
        FlushConsoleInputBuffer(input);
        CloseHandle(input);
    }
}

void WinConsole::restore_hook(void* self)
{
    static_cast<WinConsole*>(self)->give_back();
}

}  // namespace vexl::platform
