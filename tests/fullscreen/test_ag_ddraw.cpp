#include "output/ag_ddraw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/process_records.h"
#include "tests/fakes/fake_display.h"
#include "tests/fakes/fake_messages.h"

namespace vexl {
namespace {

using fakes::FakeDisplay;
using Calls = std::vector<std::string>;

const Calls construction_calls = {
    "CreateWindow(0,0,640,400)",
    "ShowCursor(hide)",
    "SetWindowUserData",
    "ShowWindow",
    "UpdateWindow",
    "InvalidateRect",
    "DirectDrawCreate",
    "SetCooperativeLevel(0x11)",
    "SetDisplayMode(640,400,32)",
    "CreateSurface(flags 0x21,caps 0x218,back buffers 1)",
    "GetAttachedSurface(0x4)",
};
constexpr std::size_t window_steps = 6;  // the calls before the DirectDraw steps

const Calls present_calls = {
    "Lock(back buffer,desc 0x800,0x1)",
    "Unlock(back buffer)",
    "Flip(primary,null,0x1)",
};

constexpr std::uint32_t white = 0xFFFFFF;
constexpr std::uint32_t yellow = 0xFFFF55;
constexpr std::uint32_t blue = 0x0000AA;

class AgDdraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(TextFrame, 0, sizeof TextFrame);
        MainWindow = nullptr;
    }
    void TearDown() override { std::memset(TextFrame, 0, sizeof TextFrame); }

    static void put(int row, int col, std::uint8_t ch, std::uint8_t attr)
    {
        TextFrame[row * frame_row_bytes + 2 * col] = ch;
        TextFrame[row * frame_row_bytes + 2 * col + 1] = attr;
    }
    // The calls made since `mark`.
    Calls calls_since(std::size_t mark) const { return {fake.calls.begin() + static_cast<long>(mark), fake.calls.end()}; }

    FakeDisplay fake;
    platform::ScopedService<platform::Display> installed_display{fake};
    fakes::FakeMessageQueue queue;
    platform::ScopedService<platform::MessageQueue> installed_queue{queue};
};

TEST_F(AgDdraw, ConstructionTakesItsStepsInOrderAndDestructionUndoesThem)
{
    {
        ag_ddraw screen;
        EXPECT_EQ(fake.calls, construction_calls);
        EXPECT_EQ(fake.window_user_data(), &screen);
        EXPECT_EQ(MainWindow, fake.window());
        EXPECT_EQ(fake.cursor_count(), -1);
        EXPECT_EQ(screen.get_rows(), 50);
        EXPECT_EQ(screen.get_cols(), 80);
        EXPECT_EQ(screen.get_lock_count(), 0) << "the lock taken for construction is released";
        EXPECT_EQ(fake.live_references(), 3);
    }
    const Calls teardown(fake.calls.begin() + static_cast<long>(construction_calls.size()), fake.calls.end());
    EXPECT_EQ(teardown, (Calls{"Release(back buffer)=0", "Release(primary)=0", "Release(DirectDraw)=0",
                               "DestroyWindow"}));
    EXPECT_EQ(fake.live_references(), 0);
    EXPECT_TRUE(fake.window_destroyed());
    EXPECT_FALSE(fake.misuse());
    EXPECT_EQ(MainWindow, nullptr) << "no handle of a destroyed window stays behind";
}

class AgDdrawFailure : public AgDdraw, public ::testing::WithParamInterface<FakeDisplay::Step> {};

TEST_P(AgDdrawFailure, StopsSilentlyAtTheFailingStepAndKeepsOnlyWhatItGot)
{
    const FakeDisplay::Step step = GetParam();
    fake.fail_step = step;
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    {
        ag_ddraw screen;
        const Calls expected(construction_calls.begin(),
                             construction_calls.begin() + static_cast<long>(window_steps) + step);
        EXPECT_EQ(fake.calls, expected) << "later steps are skipped";
        EXPECT_EQ(screen.get_lock_count(), 0) << "lock released";
        EXPECT_EQ(screen.get_rows(), -1) << "the resize to 50 x 80 is skipped";
        EXPECT_EQ(MainWindow, fake.window()) << "the window is kept";

        // Nothing to present on: false, and not a single display call.
        const std::size_t mark = fake.calls.size();
        put(0, 0, 0xDB, 0x0F);
        EXPECT_FALSE(screen.present());
        EXPECT_TRUE(calls_since(mark).empty());
        EXPECT_EQ(screen.get_lock_count(), 0);

        // The screen still works as a widget.
        EXPECT_TRUE(screen.resize(50, 80));
        EXPECT_FALSE(screen.present());
    }
    EXPECT_TRUE(::testing::internal::GetCapturedStdout().empty());
    EXPECT_TRUE(::testing::internal::GetCapturedStderr().empty()) << "no message";
    platform::Message m;
    EXPECT_FALSE(queue.peek(m, platform::PM_NOREMOVE)) << "nothing posted";

    // Destruction releases exactly what was obtained (never a back buffer
    // here: getting it is the last step), then the window.
    Calls releases;
    if (step > FakeDisplay::step_create_surface)
        releases.push_back("Release(primary)=0");
    if (step > FakeDisplay::step_direct_draw_create)
        releases.push_back("Release(DirectDraw)=0");
    releases.push_back("DestroyWindow");
    EXPECT_EQ(Calls(fake.calls.end() - static_cast<long>(releases.size()), fake.calls.end()), releases);
    EXPECT_EQ(fake.live_references(), 0);
    EXPECT_FALSE(fake.misuse());
}

INSTANTIATE_TEST_SUITE_P(EachDirectDrawStep, AgDdrawFailure,
                         ::testing::Values(FakeDisplay::step_direct_draw_create,
                                           FakeDisplay::step_set_cooperative_level,
                                           FakeDisplay::step_set_display_mode,
                                           FakeDisplay::step_create_surface,
                                           FakeDisplay::step_get_attached_surface));

TEST_F(AgDdraw, PresentLocksDrawsTheTextFrameUnlocksAndFlips)
{
    ag_ddraw screen;
    put(0, 0, 0xDB, 0x4E);
    put(10, 20, 0x41, 0x1F);
    put(49, 79, 0xDB, 0x0F);
    const std::size_t mark = fake.calls.size();
    EXPECT_TRUE(screen.present());
    EXPECT_EQ(calls_since(mark), present_calls);
    EXPECT_EQ(screen.get_lock_count(), 0);

    EXPECT_EQ(fake.pixel(0, 0), yellow);
    EXPECT_EQ(fake.pixel(7, 7), yellow);
    const std::uint32_t a_top_row[8] = {blue, blue, white, white, blue, blue, blue, blue};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(fake.pixel(160 + x, 80), a_top_row[x]);
    EXPECT_EQ(fake.pixel(632, 392), white);
    EXPECT_EQ(fake.pixel(639, 399), white);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_NE(fake.pixel(x, y), FakeDisplay::unpainted) << "every pixel is painted";
}

TEST_F(AgDdraw, PresentWhoseLockFailsDrawsAndFlipsNothing)
{
    ag_ddraw screen;
    put(0, 0, 0xDB, 0x0F);
    fake.fail_lock = true;
    const std::size_t mark = fake.calls.size();
    EXPECT_FALSE(screen.present());
    EXPECT_EQ(calls_since(mark), Calls{present_calls[0]}) << "no unlock, no flip";
    EXPECT_EQ(fake.pixel(0, 0), FakeDisplay::unpainted);
    EXPECT_EQ(screen.get_lock_count(), 0);
    EXPECT_FALSE(screen.present()) << "a lost surface stays lost";

    fake.fail_lock = false;
    EXPECT_TRUE(screen.present());
    EXPECT_EQ(fake.pixel(0, 0), white);
}

TEST_F(AgDdraw, ResizeChangesTheGridAndTheDrawnRegionButNotTheDisplay)
{
    ag_ddraw screen;
    for (int i = 0; i < frame_rows; ++i)
        for (int j = 0; j < frame_cols; ++j)
            put(i, j, 0xDB, 0x0E);
    const std::size_t mark = fake.calls.size();
    EXPECT_FALSE(screen.resize(-1, 80));
    EXPECT_FALSE(screen.resize(50, -1));
    EXPECT_EQ(screen.get_rows(), 50);
    EXPECT_EQ(screen.get_cols(), 80);
    EXPECT_TRUE(screen.resize(40, 60));
    EXPECT_EQ(screen.get_rows(), 40);
    EXPECT_EQ(screen.get_cols(), 60);
    EXPECT_TRUE(calls_since(mark).empty()) << "display mode and surfaces untouched";

    EXPECT_TRUE(screen.present());
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(fake.pixel(x, y), x < 480 && y < 320 ? yellow : FakeDisplay::unpainted) << x << ", " << y;
    EXPECT_EQ(screen.get_lock_count(), 0);
}

TEST_F(AgDdraw, PresentStaysInsideTheFrameAndTheLockedSurface)
{
    // Rows padded beyond 640 pixels: the picture follows the pitch, the
    // padding stays as it was.
    fake.surface_pitch = 640 * 4 + 96;
    {
        ag_ddraw screen;
        for (int i = 0; i < frame_rows; ++i)
            for (int j = 0; j < frame_cols; ++j)
                put(i, j, 0xDB, 0x0F);
        // A grid larger than the frame is drawn as the frame's 50 x 80 cells.
        ASSERT_TRUE(screen.resize(60, 100));
        EXPECT_TRUE(screen.present());
        for (int y = 0; y <= 400; ++y)
            for (int x = 0; x < fake.surface_pitch / 4; ++x)
                ASSERT_EQ(fake.pixel(x, y), x < 640 && y < 400 ? white : FakeDisplay::unpainted)
                    << x << ", " << y;
    }

    // A surface smaller than the picture gets the whole cells that fit.
    FakeDisplay small;
    small.surface_width = 100;
    small.surface_height = 20;
    small.surface_pitch = 100 * 4;
    platform::ScopedService<platform::Display> installed_small{small};
    ag_ddraw screen;
    EXPECT_TRUE(screen.present());
    for (int y = 0; y <= 20; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(small.pixel(x, y), x < 96 && y < 16 ? white : FakeDisplay::unpainted) << x << ", " << y;
}

TEST_F(AgDdraw, UpdateRegionIsAlwaysTrue)
{
    ag_ddraw screen;
    vuvorazi::ag_raw stranger;
    EXPECT_TRUE(screen.update_region(&stranger, 0, 0, 1, 1)) << "even for a widget that is no child";
    EXPECT_EQ(screen.get_lock_count(), 0);
}

}  // namespace
}  // namespace vexl
