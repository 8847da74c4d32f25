// The launcher with the full-screen screen chosen, against the fakes: what
// reaches the display when the user answers "Yes" to the first question.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/process_records.h"
#include "player/launcher.h"
#include "tests/player/launcher_fixture.h"

namespace vexl {
namespace {

using Calls = std::vector<std::string>;

class FullScreenLaunch : public testing::LauncherFixture {
protected:
    FullScreenLaunch() : LauncherFixture("vexl-fullscreen-launch")
    {
        dialogs.answers = {platform::IDYES, platform::IDNO};
    }

    // Frames whose every cell is a full block in colour k + 1 for frame k.
    void write_frames(int count)
    {
        std::vector<std::uint8_t> frames(static_cast<std::size_t>(count) * frame_bytes);
        for (std::size_t i = 0; i < frames.size(); i += 2) {
            frames[i] = 0xDB;
            frames[i + 1] = static_cast<std::uint8_t>(i / frame_bytes + 1);
        }
        write_frame_file(frames);
    }

    int count(const std::string& call) const
    {
        return static_cast<int>(std::count(display.calls.begin(), display.calls.end(), call));
    }
};

TEST_F(FullScreenLaunch, YesShowsTheFramesFullScreenAndTearsTheDisplayDown)
{
    write_frames(3);
    // 40 ms of sound per pass: from the second pass on a frame falls due
    // every pass; the quit posted in the third is seen in the fourth.
    sleeper.on_sleep = [&](int pass) {
        audio.set_time_ms(audio.time_ms() + 40);
        if (pass == 3)
            messages.post(platform::Message{nullptr, platform::WM_QUIT, 0, 0});
    };

    EXPECT_EQ(ask_settings(), 0);
    EXPECT_FALSE(PlayerSettings.use_console);
    EXPECT_TRUE(terminal.writes.empty()) << "the console is not used";
    ASSERT_GE(display.calls.size(), 11u);
    EXPECT_EQ(display.calls[0], "CreateWindow(0,0,640,400)");
    EXPECT_EQ(display.calls[10], "GetAttachedSurface(0x4)");
    // The first frame before the sound starts, again when it falls due,
    // then frame 1 (in green).
    EXPECT_EQ(count("Flip(primary,null,0x1)"), 3);
    EXPECT_EQ(display.pixel(0, 0), 0x00AA00u);
    EXPECT_EQ(display.pixel(639, 399), 0x00AA00u);
    const Calls teardown(display.calls.end() - 4, display.calls.end());
    EXPECT_EQ(teardown, (Calls{"Release(back buffer)=0", "Release(primary)=0", "Release(DirectDraw)=0",
                               "DestroyWindow"}));
    EXPECT_EQ(display.live_references(), 0);
    EXPECT_EQ(MainWindow, nullptr);
}

TEST_F(FullScreenLaunch, LoadingFailureIsOwnedByTheFullScreenWindow)
{
    // No frame file: the screen is up first, and owns the failure box.
    EXPECT_EQ(ask_settings(), 1);
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].text, "Loading failed.");
    EXPECT_EQ(dialogs.shown[2].owner, display.window());
    EXPECT_NE(display.window(), nullptr);
    EXPECT_EQ(display.calls.front(), "CreateWindow(0,0,640,400)");
}

TEST_F(FullScreenLaunch, FullScreenThatCannotBeSetUpFallsBackToTheConsoleAndSaysWhy)
{
    using Step = fakes::FakeDisplay::Step;
    const struct {
        Step step;
        const char* why;
    } cases[] = {
        {Step::step_direct_draw_create, "no display reachable: the detail"},
        {Step::step_set_cooperative_level, "the display allows no exclusive full-screen use: the detail"},
        {Step::step_set_display_mode, "the 640x400 display mode was refused: the detail"},
        {Step::step_create_surface, "the display refused the picture's surfaces: the detail"},
        {Step::step_get_attached_surface, "the display refused the picture's surfaces: the detail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        write_frames(2);
        display.calls.clear();
        terminal.writes.clear();
        dialogs.answers = {platform::IDYES, platform::IDNO};
        display.fail_step = c.step;
        display.detail = "the detail";
        audio.set_time_ms(0);
        const int passes_before = sleeper.count;
        sleeper.on_sleep = [&](int pass) {
            audio.set_time_ms(audio.time_ms() + 40);
            if (pass == passes_before + 5)
                messages.post(platform::Message{nullptr, platform::WM_QUIT, 0, 0});
        };
        EXPECT_EQ(ask_settings(), 0);
        EXPECT_EQ(count("Flip(primary,null,0x1)"), 0);
        EXPECT_GE(terminal.writes.size(), 2u) << "the frames are shown in the terminal";
        EXPECT_EQ(display.live_references(), 0) << "what the display gave is released first";
        EXPECT_TRUE(display.window_destroyed());
        EXPECT_FALSE(display.misuse());
        EXPECT_EQ(journal.calls.back(), "FreeConsole");
        EXPECT_EQ(report_text(), std::string("full screen not available (") + c.why +
                                     "); the terminal was used instead\n");
    }
}

TEST_F(FullScreenLaunch, NeitherFullScreenNorATerminalNorATerminalWindowIsALoadingFailure)
{
    write_frames(2);
    display.fail_step = fakes::FakeDisplay::step_direct_draw_create;
    terminal.handle = nullptr;  // no terminal to draw in
    programs.window_problem = "no desktop";
    EXPECT_EQ(ask_settings(), 1);
    EXPECT_EQ(dialogs.shown.back().text, "Loading failed.");
    EXPECT_EQ(dialogs.shown.back().owner, nullptr) << "no window to own it";
    EXPECT_TRUE(terminal.writes.empty());
    EXPECT_TRUE(audio.calls().empty()) << "nothing started";
    EXPECT_FALSE(terminal.allocated) << "the console was given back";
    EXPECT_EQ(programs.window_answers, (std::vector<int>{platform::IDYES, platform::IDNO}));
    EXPECT_EQ(report_text(), "full screen not available (no display reachable), and no terminal to show the demo "
                             "in, nor a terminal window: no desktop\n");

    // The console chosen, with no terminal: the same.
    dialogs.answers = {platform::IDNO, platform::IDNO};
    EXPECT_EQ(ask_settings(), 1);
    EXPECT_EQ(report_text(), "no terminal to show the demo in, nor a terminal window: no desktop\n");
}

TEST_F(FullScreenLaunch, NoTerminalGoesOnInATerminalWindowWithTheAnswersGiven)
{
    // From the desktop's menu: "No", "Yes", and no terminal.
    write_frames(2);
    terminal.handle = nullptr;
    dialogs.answers = {platform::IDNO, platform::IDYES};
    EXPECT_EQ(ask_settings(), 0);
    EXPECT_EQ(programs.window_answers, (std::vector<int>{platform::IDNO, platform::IDYES}));
    EXPECT_EQ(dialogs.shown.size(), 2u) << "no \"Loading failed.\"";
    EXPECT_TRUE(audio.calls().empty()) << "nothing started here";
    EXPECT_EQ(report_text(), "");
}

}  // namespace
}  // namespace vexl
