// A helper of the wine tests, not part of the player: runs a program in
// this process's console, as cmd.exe would, and records what the console
// shows. While the program runs, every picture of the active screen
// buffer that differs from the one before is written to OUT\screen-NNNN.txt
// (the time since the program started, then 50 rows of 80 cells as
// "UUUUAA": the character's UTF-16 code and the attribute, in hex). When it
// has ended, OUT\after.txt tells its exit code and whether the console is
// as it was before: the title, the active buffer's size and the text this
// helper had put into it.
//
// usage: console_host.exe OUT PROGRAM

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int cols = 80;
constexpr int rows = 50;
constexpr int most_pictures = 400;
constexpr const wchar_t* host_title = L"vexlade test console";
constexpr const wchar_t* marker = L"left as found";

// Ctrl+C is the program's; this helper stays to tell how it ended.
BOOL WINAPI swallow(DWORD) { return TRUE; }

HANDLE active_buffer()
{
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

std::string picture(HANDLE buffer)
{
    std::vector<CHAR_INFO> cells(cols * rows);
    SMALL_RECT region{0, 0, cols - 1, rows - 1};
    if (!ReadConsoleOutputW(buffer, cells.data(), COORD{cols, rows}, COORD{0, 0}, &region))
        return {};
    std::string text;
    char cell[8];
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            const CHAR_INFO& c = cells[i * cols + j];
            std::snprintf(cell, sizeof cell, "%04x%02x", c.Char.UnicodeChar, c.Attributes & 0xFF);
            text += cell;
        }
        text += '\n';
    }
    return text;
}

void write_file(const std::string& path, const std::string& text)
{
    const std::string part = path + ".part";
    if (std::FILE* f = std::fopen(part.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: console_host.exe OUT PROGRAM\n");
        return 2;
    }
    const std::string out = argv[1];
    SetConsoleCtrlHandler(swallow, TRUE);
    SetConsoleTitleW(host_title);
    const HANDLE own = active_buffer();
    CONSOLE_SCREEN_BUFFER_INFO before{};
    GetConsoleScreenBufferInfo(own, &before);
    DWORD written = 0;
    WriteConsoleOutputCharacterW(own, marker, static_cast<DWORD>(wcslen(marker)), COORD{0, 0}, &written);
    const std::string own_picture = picture(own);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    std::string command = argv[2];
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        std::fprintf(stderr, "console_host: cannot start %s (%lu)\n", argv[2], GetLastError());
        return 2;
    }
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    std::string last = own_picture;
    int count = 0;
    while (WaitForSingleObject(child.hProcess, 10) == WAIT_TIMEOUT) {
        const HANDLE buffer = active_buffer();
        const std::string shown = picture(buffer);
        CloseHandle(buffer);
        if (shown.empty() || shown == last || count >= most_pictures)
            continue;
        last = shown;
        QueryPerformanceCounter(&now);
        const long long ms = (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
        char name[32];
        std::snprintf(name, sizeof name, "\\screen-%04d.txt", count++);
        write_file(out + name, std::to_string(ms) + "\n" + shown);
    }

    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    wchar_t title[256] = {};
    GetConsoleTitleW(title, 256);
    const HANDLE after_buffer = active_buffer();
    CONSOLE_SCREEN_BUFFER_INFO after{};
    GetConsoleScreenBufferInfo(after_buffer, &after);
    CONSOLE_CURSOR_INFO cursor{};
    GetConsoleCursorInfo(after_buffer, &cursor);
    const bool same_title = wcscmp(title, host_title) == 0;
    const bool same_size = after.dwSize.X == before.dwSize.X && after.dwSize.Y == before.dwSize.Y;
    const bool same_text = picture(after_buffer) == own_picture;
    write_file(out + "\\after.txt", "exit " + std::to_string(code) + "\ntitle " + (same_title ? "kept" : "changed") +
                                        "\nsize " + (same_size ? "kept" : "changed") + "\ntext " +
                                        (same_text ? "kept" : "changed") + "\ncursor " +
                                        (cursor.bVisible ? "shown" : "hidden") + "\n");
    return 0;
}
