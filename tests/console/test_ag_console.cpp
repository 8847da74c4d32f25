#include "output/ag_console.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/process_records.h"
#include "tests/fakes/fake_terminal.h"

namespace vexl {
namespace {

using fakes::FakeTerminal;

class ConsoleScreen : public ::testing::Test {
protected:
    ConsoleScreen() { std::memset(TextFrame, 0, sizeof TextFrame); }
    ~ConsoleScreen() override { std::memset(TextFrame, 0, sizeof TextFrame); }

    FakeTerminal terminal;
    platform::ScopedService<platform::Terminal> installed{terminal};
};

void expect_full_frame_write(const FakeTerminal::Write& w)
{
    EXPECT_EQ(w.buffer_size.x, 80);
    EXPECT_EQ(w.buffer_size.y, 50);
    EXPECT_EQ(w.buffer_origin.x, 0);
    EXPECT_EQ(w.buffer_origin.y, 0);
    EXPECT_EQ(w.region.left, 0);
    EXPECT_EQ(w.region.top, 0);
    EXPECT_EQ(w.region.right, 79);
    EXPECT_EQ(w.region.bottom, 49);
    EXPECT_EQ(w.cells.size(), 4000u);
}

TEST_F(ConsoleScreen, ConstructionSetsTheConsoleUpIn80By50WithHiddenCursor)
{
    ag_console screen;
    const std::vector<std::string> expected = {
        "AllocConsole", "GetStdHandle", "SetConsoleTitle", "SetConsoleCursorInfo",
        "SetConsoleScreenBufferSize 80x50", "SetConsoleWindowInfo 0,0,79,49"};
    EXPECT_EQ(terminal.calls, expected);
    EXPECT_EQ(terminal.title, "Vexlade 2003 - quick-hack (read: copy&paste) win32 player by quor");
    EXPECT_EQ(terminal.cursor_console, terminal.handle);
    EXPECT_FALSE(terminal.cursor.visible);
    EXPECT_EQ(terminal.cursor.size, 1u);
    EXPECT_TRUE(terminal.window_absolute);
    EXPECT_EQ(screen.console_out, terminal.handle);
    EXPECT_EQ(screen.get_rows(), 50);
    EXPECT_EQ(screen.get_cols(), 80);
    EXPECT_EQ(screen.get_lock_count(), 0) << "construction released the lock";
}

TEST_F(ConsoleScreen, RefusedAllocationGoesOnWithTheExistingConsole)
{
    terminal.fail_alloc = true;
    terminal.fail_title = true;
    ag_console screen;
    EXPECT_EQ(screen.console_out, terminal.handle);
    EXPECT_TRUE(screen.present());
    EXPECT_EQ(terminal.write_console, terminal.handle);
}

TEST_F(ConsoleScreen, PresentWritesTheFrameCellByCellWithAttributesZeroExtended)
{
    ag_console screen;
    TextFrame[0] = 'A';
    TextFrame[1] = 0x8F;                      // bright white on dark grey, not blinking
    TextFrame[49 * 160 + 2 * 79] = 0xDB;      // last cell
    TextFrame[49 * 160 + 2 * 79 + 1] = 0x1E;  // yellow on blue
    TextFrame[1 * 160 + 2 * 3] = 0x00;
    TextFrame[1 * 160 + 2 * 3 + 1] = 0xF0;
    int lock_during_write = -1;
    terminal.on_write = [&] { lock_during_write = screen.get_lock_count(); };
    ASSERT_TRUE(screen.present());
    ASSERT_EQ(terminal.writes.size(), 1u);
    expect_full_frame_write(terminal.writes[0]);
    EXPECT_EQ(terminal.cell(0, 0).ch, 'A');
    EXPECT_EQ(terminal.cell(0, 0).attributes, 0x008F);
    EXPECT_EQ(terminal.cell(49, 79).ch, 0xDB);
    EXPECT_EQ(terminal.cell(49, 79).attributes, 0x001E);
    EXPECT_EQ(terminal.cell(1, 3).attributes, 0x00F0);
    EXPECT_EQ(lock_during_write, 1) << "the write happens under the screen's lock";
    EXPECT_EQ(screen.get_lock_count(), 0);
}

TEST_F(ConsoleScreen, AllZeroFrameIsWrittenAsNulOnBlack)
{
    ag_console screen;
    ASSERT_TRUE(screen.present());
    for (const platform::CharInfo& c : terminal.writes.back().cells) {
        ASSERT_EQ(c.ch, 0);
        ASSERT_EQ(c.attributes, 0);
    }
}

TEST_F(ConsoleScreen, EveryCellComesFromItsFramePosition)
{
    ag_console screen;
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j) {
            TextFrame[i * 160 + 2 * j] = static_cast<std::uint8_t>(i * 80 + j);
            TextFrame[i * 160 + 2 * j + 1] = static_cast<std::uint8_t>(i + j * 3);
        }
    ASSERT_TRUE(screen.present());
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j) {
            ASSERT_EQ(terminal.cell(i, j).ch, static_cast<std::uint8_t>(i * 80 + j));
            ASSERT_EQ(terminal.cell(i, j).attributes, static_cast<std::uint8_t>(i + j * 3));
        }
}

TEST_F(ConsoleScreen, NegativeResizeChangesNothing)
{
    ag_console screen;
    terminal.calls.clear();
    EXPECT_FALSE(screen.resize(-1, 80));
    EXPECT_FALSE(screen.resize(50, -1));
    EXPECT_TRUE(terminal.calls.empty()) << "the console was not touched";
    EXPECT_EQ(screen.get_rows(), 50);
    EXPECT_EQ(screen.get_cols(), 80);
    EXPECT_EQ(screen.get_lock_count(), 0) << "the lock was released on refusal";
}

TEST_F(ConsoleScreen, ResizeSetsBufferBeforeWindowAndPresentStillWrites80By50)
{
    ag_console screen;
    terminal.calls.clear();
    EXPECT_TRUE(screen.resize(10, 20));
    const std::vector<std::string> expected = {"SetConsoleScreenBufferSize 20x10",
                                               "SetConsoleWindowInfo 0,0,19,9"};
    EXPECT_EQ(terminal.calls, expected);
    EXPECT_EQ(screen.get_rows(), 10);
    EXPECT_EQ(screen.get_cols(), 20);
    EXPECT_TRUE(screen.resize(0, 0)) << "zero is accepted";
    ASSERT_TRUE(screen.present());
    expect_full_frame_write(terminal.writes.back());
}

TEST_F(ConsoleScreen, RefusedWriteStillReportsSuccess)
{
    ag_console screen;
    terminal.fail_write = true;
    EXPECT_TRUE(screen.present());
}

void* no_memory(std::size_t) { return nullptr; }

TEST_F(ConsoleScreen, PresentWithoutMemoryForTheCellsReportsFailureAndWritesNothing)
{
    ag_console screen;
    console_allocate = no_memory;
    const bool presented = screen.present();
    console_allocate = std::malloc;
    EXPECT_FALSE(presented);
    EXPECT_TRUE(terminal.writes.empty());
    EXPECT_EQ(screen.get_lock_count(), 0);
}

TEST_F(ConsoleScreen, UpdateRegionFromAStrangerIsReportedAsDone)
{
    ag_console screen;
    vuvorazi::ag_raw stranger;
    EXPECT_TRUE(screen.update_region(&stranger, 0, 0, 1, 1));
}

TEST_F(ConsoleScreen, DestructionFreesTheConsoleLast)
{
    {
        ag_console screen;
        screen.present();
    }
    EXPECT_EQ(terminal.calls.back(), "FreeConsole");
    EXPECT_FALSE(terminal.allocated);
}

}  // namespace
}  // namespace vexl
