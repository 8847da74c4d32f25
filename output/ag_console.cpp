#include "output/ag_console.h"

#include <cstdlib>

#include "core/process_records.h"

namespace vexl {

namespace {

constexpr int cell_count = frame_rows * frame_cols;  // 4000 records, 16000 bytes

}  // namespace

ConsoleAllocate console_allocate = std::malloc;

ag_console::ag_console()
{
    vuvorazi::ag_lock_guard hold(*this);
    platform::Terminal& terminal = platform::terminal();
    // Refused when the process has a console already; that one is used.
    terminal.alloc_console();
    console_out = terminal.get_std_handle(platform::StdHandle::output);
    terminal.set_title(console_title);
    terminal.set_cursor_info(console_out, platform::CursorInfo{1, false});
    resize(frame_rows, frame_cols);
}

ag_console::~ag_console()
{
    vuvorazi::ag_lock_guard hold(*this);
    platform::terminal().free_console();
}

bool ag_console::resize(std::int32_t new_rows, std::int32_t new_cols)
{
    vuvorazi::ag_lock_guard hold(*this);
    if (new_rows < 0 || new_cols < 0)
        return false;
    // The console takes columns first; the buffer is sized before the
    // window, which must fit inside it.
    platform::Terminal& terminal = platform::terminal();
    terminal.set_screen_buffer_size(
        console_out, platform::Coord{static_cast<std::int16_t>(new_cols), static_cast<std::int16_t>(new_rows)});
    terminal.set_window_info(console_out, true,
                             platform::SmallRect{0, 0, static_cast<std::int16_t>(new_cols - 1),
                                                 static_cast<std::int16_t>(new_rows - 1)});
    ag_screen::resize(new_rows, new_cols);
    return true;
}

bool ag_console::update_region(vuvorazi::ag_raw* child, std::int32_t row, std::int32_t col,
                               std::int32_t nrows, std::int32_t ncols)
{
    vuvorazi::ag_lock_guard hold(*this);
    ag_screen::update_region(child, row, col, nrows, ncols);
    return true;
}

bool ag_console::present()
{
    vuvorazi::ag_lock_guard hold(*this);
    // A fresh array each time, as the console call wants one contiguous
    // block of records.
    auto* records = static_cast<platform::CharInfo*>(console_allocate(cell_count * sizeof(platform::CharInfo)));
    if (records == nullptr)
        return false;
    for (int i = 0; i < frame_rows; ++i) {
        for (int j = 0; j < frame_cols; ++j) {
            const std::uint8_t* cell = &TextFrame[i * frame_row_bytes + 2 * j];
            platform::CharInfo& record = records[i * frame_cols + j];
            record.ch = cell[0];
            // Zero-extended: bit 7 is a bright background, never blinking.
            record.attributes = cell[1];
        }
    }
    platform::SmallRect region{0, 0, frame_cols - 1, frame_rows - 1};
    platform::terminal().write_output(console_out, records, platform::Coord{frame_cols, frame_rows},
                                      platform::Coord{0, 0}, region);
    std::free(records);
    return true;
}

}  // namespace vexl
