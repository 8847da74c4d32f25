#pragma once
// A console that keeps what is written to it: every call in order, and the
// cells of each cell write. Any step can be told to fail.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/terminal.h"
#include "tests/fakes/call_journal.h"

namespace vexl::fakes {

class FakeTerminal : public platform::Terminal {
public:
    struct Write {
        std::vector<platform::CharInfo> cells;  // copy of the whole source buffer
        platform::Coord buffer_size;
        platform::Coord buffer_origin;
        platform::SmallRect region;
    };

    explicit FakeTerminal(CallJournal* journal = nullptr) : journal_(journal) {}

    bool alloc_console() override
    {
        log("AllocConsole");
        if (fail_alloc)
            return false;
        allocated = true;
        return true;
    }
    platform::ConsoleHandle get_std_handle(platform::StdHandle) override
    {
        log("GetStdHandle");
        return handle;
    }
    bool set_title(const char* text) override
    {
        log("SetConsoleTitle");
        title = text;
        return !fail_title;
    }
    bool set_cursor_info(platform::ConsoleHandle console, const platform::CursorInfo& info) override
    {
        log("SetConsoleCursorInfo");
        cursor_console = console;
        cursor = info;
        return true;
    }
    bool set_screen_buffer_size(platform::ConsoleHandle, platform::Coord size) override
    {
        log("SetConsoleScreenBufferSize " + std::to_string(size.x) + "x" + std::to_string(size.y));
        buffer_size = size;
        return true;
    }
    bool set_window_info(platform::ConsoleHandle, bool absolute,
                         const platform::SmallRect& rect) override
    {
        log("SetConsoleWindowInfo " + std::to_string(rect.left) + "," + std::to_string(rect.top) +
            "," + std::to_string(rect.right) + "," + std::to_string(rect.bottom));
        window_absolute = absolute;
        window = rect;
        return true;
    }
    bool write_output(platform::ConsoleHandle console, const platform::CharInfo* cells,
                      platform::Coord size, platform::Coord origin,
                      platform::SmallRect& region) override
    {
        log("WriteConsoleOutput");
        write_console = console;
        Write w;
        if (keep_cells)
            w.cells.assign(cells, cells + static_cast<std::ptrdiff_t>(size.x) * size.y);
        else  // the first row only, enough to tell frames apart
            w.cells.assign(cells, cells + std::max<int>(size.x, 0));
        w.buffer_size = size;
        w.buffer_origin = origin;
        w.region = region;
        writes.push_back(std::move(w));
        if (on_write)
            on_write();
        return !fail_write;
    }
    bool free_console() override
    {
        log("FreeConsole");
        allocated = false;
        return true;
    }

    // The last write's cell at (row, col) of its source buffer.
    platform::CharInfo cell(int row, int col) const
    {
        const Write& w = writes.back();
        return w.cells[static_cast<std::size_t>(row * w.buffer_size.x + col)];
    }

    std::vector<std::string> calls;
    std::vector<Write> writes;
    std::string title;
    platform::CursorInfo cursor{};
    platform::Coord buffer_size{};
    platform::SmallRect window{};
    bool window_absolute = false;
    bool allocated = false;
    platform::ConsoleHandle handle = reinterpret_cast<platform::ConsoleHandle>(&handle_storage_);
    platform::ConsoleHandle cursor_console = nullptr;
    platform::ConsoleHandle write_console = nullptr;

    std::function<void()> on_write;  // runs inside each cell write
    std::function<void(const std::string& call)> on_call;  // runs at each call
    bool keep_cells = true;  // false: writes keep only their first row

    bool fail_alloc = false;
    bool fail_title = false;
    bool fail_write = false;

private:
    void log(std::string call)
    {
        if (journal_ != nullptr)
            journal_->add(call);
        if (on_call)
            on_call(call);
        calls.push_back(std::move(call));
    }

    CallJournal* journal_;
    int handle_storage_ = 0;
};

}  // namespace vexl::fakes
