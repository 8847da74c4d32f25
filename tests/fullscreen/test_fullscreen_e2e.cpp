// The real `vexlade` answered "y" (full screen) then "n" in a terminal
// (tmux): under Xvfb its picture must be exactly what `vexl render` draws of
// the same frame and a key press must end it; on a desktop that is no
// multiple of 640 x 400 the picture must be centred, 16:10 and its pixel
// columns and rows equally wide; without any display it must fall back to
// the terminal and say why after the run, and without a terminal either
// fail to load.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <sstream>
#include <vector>

#include "player/block_writer.h"
#include "tests/fullscreen/png_reading.h"
#include "tests/fullscreen/xvfb_server.h"
#include "tests/fullscreen/xwd_reading.h"
#include "tests/player/tmux_session.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;
using testing::differing_pixels;
using testing::shell_quote;
using testing::TmuxSession;
using testing::XvfbServer;

// Under AddressSanitizer the leak check is left to the unit tests: the
// system's GL driver and D-Bus library keep allocations for the life of the
// process (SDL frees D-Bus only in SDL_Quit, which the audio may still
// need), and the GL driver is unloaded before the check can name it. Under
// ThreadSanitizer the GL driver's own threads are not ours to check.
const std::string sanitizers_and_gl = std::string("ASAN_OPTIONS=detect_leaks=0 TSAN_OPTIONS=suppressions=") +
                                      GL_DRIVER_TSAN_SUPPRESSIONS;

class FullScreenEndToEnd : public ::testing::Test {
protected:
    FullScreenEndToEnd()
    {
        name_ = "vexl-fullscreen-e2e-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = fs::temp_directory_path() / name_;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        write_demo();
    }
    ~FullScreenEndToEnd() override
    {
        session_.reset();
        fs::remove_all(dir_);
    }

    // Every byte value in every place: one random frame, shown for the whole
    // run so that any screenshot must match it. Ten seconds of silence as
    // the soundtrack keep the player presenting.
    void write_demo()
    {
        std::vector<std::uint8_t> frame(8000);
        std::mt19937 random(2003);
        for (auto& byte : frame)
            byte = static_cast<std::uint8_t>(random());
        write_demo(frame);
    }
    void write_demo(const std::vector<std::uint8_t>& frame)
    {
        std::FILE* out = std::fopen((dir_ / "ld_vexl.d1").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        BlockWriter writer(file_sink(out));
        for (int k = 0; k < 300; ++k)
            ASSERT_TRUE(writer.write(frame));
        ASSERT_TRUE(writer.finish());
        std::fclose(out);
        std::ofstream(dir_ / "ld_vexl.d2", std::ios::binary) << std::string(441000, '\0');
    }

    // Runs the player with `environment` in front; its exit code lands in
    // exit.txt.
    void start(const std::string& environment)
    {
        const std::string command = "cd " + shell_quote(dir_.string()) + " && " + environment +
                                    " SDL_AUDIODRIVER=none " + shell_quote(VEXLADE_PATH) +
                                    " 2>stderr.txt; echo $? > exit.txt; sleep 600";
        session_ = std::make_unique<TmuxSession>(name_, dir_.string(), command);
    }

    void answer_yes_then_no()
    {
        ASSERT_TRUE(session_->wait_for_text("Use DirectDraw output (FullScreen)?")) << session_->capture();
        session_->send_keys("y Enter");
        ASSERT_TRUE(session_->wait_for_text("Simulate PC-Speaker?")) << session_->capture();
        session_->send_keys("n Enter");
    }

    std::string exit_code() const
    {
        std::ifstream in(dir_ / "exit.txt");
        std::string code;
        std::getline(in, code);
        return code;
    }
    std::string read_file(const char* name) const
    {
        std::ifstream in(dir_ / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool wait_for_exit() const
    {
        return TmuxSession::wait_for([&] { return !exit_code().empty(); });
    }

    std::string name_;
    fs::path dir_;
    std::unique_ptr<TmuxSession> session_;
};

TEST_F(FullScreenEndToEnd, PictureUnderXvfbIsExactlyTheRenderedFrameAndAKeyEndsTheRun)
{
    XvfbServer x(dir_);
    const std::string display = x.display();
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";

    ASSERT_EQ(std::system((shell_quote(VEXL_TOOL) + " render " + shell_quote((dir_ / "ld_vexl.d1").string()) + " " +
                           shell_quote((dir_ / "expected.png").string()) + " --frame 0")
                              .c_str()),
              0);
    const tool::RgbPicture expected = testing::read_png(dir_ / "expected.png");
    ASSERT_EQ(expected.width, 640);

    start("DISPLAY=" + display + " " + sanitizers_and_gl);
    answer_yes_then_no();

    long differing = -1;
    const bool matched = TmuxSession::wait_for([&] {
        testing::Screenshot shot;
        differing = x.screenshot(shot) ? differing_pixels(shot, expected) : -1;
        return differing == 0;
    });
    EXPECT_TRUE(matched) << differing << " pixels differ; the terminal shows:\n" << session_->capture();
    EXPECT_TRUE(exit_code().empty()) << "still playing";

    // The pointer rests over the window, which has the keyboard then.
    std::system(("DISPLAY=" + display + " xdotool mousemove 320 200 key space").c_str());
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(exit_code(), "0");
}

// A stripe picture to measure scaling by: the top 25 cell rows are left
// half blocks (4 pixel columns white, 4 blue), the bottom 25 upper half
// blocks (4 pixel rows white, 4 blue). Blue has no red, so a pixel's red
// is how much of it is white.
std::vector<std::uint8_t> stripes_frame()
{
    std::vector<std::uint8_t> frame(8000);
    for (std::size_t i = 0; i < frame.size(); i += 2) {
        frame[i] = i < frame.size() / 2 ? 0xDD : 0xDF;
        frame[i + 1] = 0x1F;
    }
    return frame;
}

struct Band {
    double white = 0;  // screen pixels' worth of white
    int blended = 0;   // pixels neither all white nor all blue
};

// The white bands met along `count` pixels from `first`, `step` apart;
// each band counted from the middle of the blue before it to the middle of
// the blue after it.
std::vector<Band> white_bands(const testing::Screenshot& shot, int first, int step, int count, double blue_width)
{
    std::vector<Band> bands;
    Band band;
    int blue_run = 0;
    bool in_band = false;
    for (int k = 0; k < count; ++k) {
        const double red = ((shot.rgb[static_cast<std::size_t>(first + k * step)] >> 16) & 0xFF) / 255.0;
        blue_run = red == 0 ? blue_run + 1 : 0;
        if (red > 0) {
            in_band = true;
            band.white += red;
            band.blended += red < 1;
        } else if (in_band && blue_run >= blue_width / 2) {
            bands.push_back(band);
            band = {};
            in_band = false;
        }
    }
    return bands;
}

TEST_F(FullScreenEndToEnd, OnA1920x1080DesktopThePictureIsCentred16To10AndSharpWithEvenPixels)
{
    write_demo(stripes_frame());
    XvfbServer x(dir_, "1920x1080");
    const std::string display = x.display();
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    ASSERT_TRUE(x.start_window_manager()) << "evilwm did not start: " << x.window_manager_log();
    start("DISPLAY=" + display + " " + sanitizers_and_gl);
    answer_yes_then_no();

    // 1080 rows by 1728 columns (2.7 screen pixels a picture pixel: 2 x
    // by nearest neighbour, then 1.35 x filtered), between bars of 96.
    testing::Screenshot shot;
    int left = -1, right = -1, top = -1, bottom = -1;
    const bool shown = TmuxSession::wait_for([&] {
        if (!x.screenshot(shot) || shot.width != 1920 || shot.height != 1080)
            return false;
        left = right = top = bottom = -1;
        for (int y = 0; y < shot.height; ++y)
            for (int x0 = 0; x0 < shot.width; ++x0)
                if (shot.rgb[static_cast<std::size_t>(y * shot.width + x0)] != 0) {
                    left = left < 0 ? x0 : std::min(left, x0);
                    right = std::max(right, x0);
                    top = top < 0 ? y : std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return left == 96 && right == 1823 && top == 0 && bottom == 1079;
    });
    ASSERT_TRUE(shown) << "picture at x " << left << ".." << right << ", y " << top << ".." << bottom
                       << "; the terminal shows:\n" << session_->capture();

    constexpr double scale = 1728.0 / 640.0;
    const double band = 4 * scale;  // 10.8 screen pixels a 4-pixel stripe
    // Along a row through the top half: columns; down a column through the
    // bottom half, away from where the halves meet: rows.
    const std::vector<Band> columns = white_bands(shot, 270 * 1920 + 96, 1, 1728, band);
    const std::vector<Band> rows = white_bands(shot, 560 * 1920 + 960, 1920, 1079 - 560, band);
    EXPECT_EQ(columns.size(), 80u) << "one white stripe per cell";
    EXPECT_GE(rows.size(), 23u) << "one white stripe per cell, away from the middle";
    for (const auto* bands : {&columns, &rows}) {
        for (std::size_t i = 0; i < bands->size(); ++i) {
            const Band& b = (*bands)[i];
            // Nearest neighbour alone would make them 10 or 11 pixels wide.
            EXPECT_NEAR(b.white, band, 0.25) << (bands == &columns ? "column" : "row") << " stripe " << i;
            // Filtered alone, each edge would blur over about three pixels.
            EXPECT_LE(b.blended, 4) << (bands == &columns ? "column" : "row") << " stripe " << i;
        }
    }
    std::system(("DISPLAY=" + display + " xdotool mousemove 960 540 key space").c_str());
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(exit_code(), "0");
}

TEST_F(FullScreenEndToEnd, WithoutAnyDisplayTheDemoPlaysInTheTerminalAndTheReasonIsToldAfter)
{
    start("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER");
    answer_yes_then_no();
    // Playing in the terminal rather than failed, ended, or blank.
    ASSERT_TRUE(TmuxSession::wait_for([&] { return session_->format("#{alternate_on}") == "1\n"; }))
        << session_->capture();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(exit_code().empty()) << session_->capture();
    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(exit_code(), "0");
    EXPECT_NE(read_file("stderr.txt").find(
                  "vexlade: full screen not available (no display reachable: neither DISPLAY nor "
                  "WAYLAND_DISPLAY is set); the terminal was used instead\n"),
              std::string::npos)
        << read_file("stderr.txt");
}

TEST_F(FullScreenEndToEnd, WithNeitherDisplayNorTerminalLoadingFails)
{
    // No terminal at all: a session of its own, no standard input; the
    // questions take their defaults (full screen).
    const int status = std::system(("cd " + shell_quote(dir_.string()) +
                                    " && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=none "
                                    "setsid -w " + shell_quote(VEXLADE_PATH) + " </dev/null >stdout.txt 2>stderr.txt")
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string said = read_file("stderr.txt");
    EXPECT_NE(said.find("Loading failed."), std::string::npos) << said;
    EXPECT_NE(said.find("vexlade: full screen not available (no display reachable: neither DISPLAY nor "
                        "WAYLAND_DISPLAY is set), and no terminal to show the demo in, nor a terminal window: "
                        "no desktop to open one on\n"),
              std::string::npos)
        << said;
}

}  // namespace
}  // namespace vexl
