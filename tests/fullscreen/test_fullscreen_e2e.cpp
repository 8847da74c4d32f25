// The real `vexlade` answered "y" (full screen) then "n" in a terminal
// (tmux): under Xvfb its picture must be exactly what `vexl render` draws of
// the same frame and a key press must end it; without any display it must
// still run, with no picture, until Ctrl+C.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "player/block_writer.h"
#include "tests/fullscreen/png_reading.h"
#include "tests/fullscreen/xwd_reading.h"
#include "tests/player/tmux_session.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;
using testing::shell_quote;
using testing::TmuxSession;

// An X server of its own on a free display number, 640 x 400 like the
// picture, so the full-screen window covers it exactly.
class XvfbServer {
public:
    explicit XvfbServer(const fs::path& dir) : dir_(dir)
    {
        const std::string d = shell_quote(dir.string());
        std::system(("Xvfb -displayfd 3 -screen 0 640x400x24 -nolisten tcp 3>" + d + "/xvfb.display 2>" + d +
                     "/xvfb.log & echo $! >" + d + "/xvfb.pid")
                        .c_str());
        TmuxSession::wait_for([&] { return !number().empty(); }, std::chrono::seconds(20));
    }
    ~XvfbServer()
    {
        const std::string pid = read("xvfb.pid");
        if (!pid.empty())
            std::system(("kill " + pid + " 2>/dev/null").c_str());
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", empty until the server is ready.
    std::string display() const
    {
        const std::string n = number();
        return n.empty() ? n : ":" + n;
    }

private:
    std::string number() const
    {
        std::string n = read("xvfb.display");
        while (!n.empty() && (n.back() == '\n' || n.back() == ' '))
            n.pop_back();
        return n;
    }
    std::string read(const char* file) const
    {
        std::ifstream in(dir_ / file);
        std::string text;
        std::getline(in, text);
        return text;
    }

    fs::path dir_;
};

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
    bool wait_for_exit() const
    {
        return TmuxSession::wait_for([&] { return !exit_code().empty(); });
    }

    std::string name_;
    fs::path dir_;
    std::unique_ptr<TmuxSession> session_;
};

// Pixels that differ between a screenshot and a picture (all of them when
// the sizes differ).
long differing_pixels(const testing::Screenshot& shot, const tool::RgbPicture& picture)
{
    if (shot.width != picture.width || shot.height != picture.height)
        return static_cast<long>(picture.rgb.size() / 3);
    long differing = 0;
    for (std::size_t i = 0; i < shot.rgb.size(); ++i) {
        const std::uint8_t* p = picture.rgb.data() + 3 * i;
        differing += shot.rgb[i] != (std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2]);
    }
    return differing;
}

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

    // Under AddressSanitizer the leak check is left to the unit tests: the
    // system's GL driver and D-Bus library keep allocations for the life of
    // the process (SDL frees D-Bus only in SDL_Quit, which the audio may
    // still need), and the GL driver is unloaded before the check can name it.
    start("DISPLAY=" + display + " ASAN_OPTIONS=detect_leaks=0");
    answer_yes_then_no();

    const std::string shot_path = (dir_ / "shot.xwd").string();
    long differing = -1;
    const bool matched = TmuxSession::wait_for([&] {
        std::system(("xwd -root -silent -display " + display + " >" + shell_quote(shot_path) + " 2>/dev/null").c_str());
        testing::Screenshot shot;
        differing = testing::read_xwd(shot_path.c_str(), shot) ? differing_pixels(shot, expected) : -1;
        return differing == 0;
    });
    EXPECT_TRUE(matched) << differing << " pixels differ; the terminal shows:\n" << session_->capture();
    EXPECT_TRUE(exit_code().empty()) << "still playing";

    // The pointer rests over the window, which has the keyboard then.
    std::system(("DISPLAY=" + display + " xdotool mousemove 320 200 key space").c_str());
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(exit_code(), "0");
}

TEST_F(FullScreenEndToEnd, WithoutAnyDisplayTheRunGoesOnWithoutPictureUntilCtrlC)
{
    start("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER");
    answer_yes_then_no();
    // Playing (with nothing to show) rather than failed or ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(exit_code().empty()) << session_->capture();
    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(exit_code(), "0");
}

}  // namespace
}  // namespace vexl
