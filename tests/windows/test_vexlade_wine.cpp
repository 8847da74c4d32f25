// vexlade.exe under wine, driven as a user would: in a console (tmux, the
// picture read back cell for cell by console_host.exe, which runs the
// player in its console as cmd.exe would), and full screen under Xvfb with
// the questions answered by keys. Wine has no sound device here, so the
// frames follow the silent real-time clock throughout.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <vector>

#include "core/cp437.h"
#include "platform/linux/linux_sound_files.h"
#include "player/block_writer.h"
#include "tests/fullscreen/xvfb_server.h"
#include "tests/windows/speaker_signal.h"
#include "tools/vexl/frame_picture.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;
using testing::shell_quote;
using testing::TmuxSession;
using testing::XvfbServer;

constexpr int frame_count = 100;  // four seconds, then the last one stays

// Frame k: its number in the top-left corner, every other cell random
// (every byte value in character and attribute).
std::vector<std::uint8_t> numbered_frame(int k)
{
    std::vector<std::uint8_t> frame(8000);
    std::mt19937 random(static_cast<unsigned>(k));
    for (auto& byte : frame)
        byte = static_cast<std::uint8_t>(random());
    const std::string number = std::to_string(10000 + k).substr(1);
    for (std::size_t i = 0; i < number.size(); ++i) {
        frame[2 * i] = static_cast<std::uint8_t>(number[i]);
        frame[2 * i + 1] = 0x0F;
    }
    return frame;
}

// A console picture as console_host.exe writes it: milliseconds since the
// player started, then 4000 cells of UTF-16 code and attribute.
struct ConsolePicture {
    long ms = 0;
    std::vector<std::pair<char32_t, int>> cells;

    int frame_number() const
    {
        int k = 0;
        for (int i = 0; i < 4; ++i) {
            if (cells[static_cast<std::size_t>(i)].first < U'0' || cells[static_cast<std::size_t>(i)].first > U'9')
                return -1;
            k = k * 10 + static_cast<int>(cells[static_cast<std::size_t>(i)].first - U'0');
        }
        return k;
    }
    // Cells that are not the frame's character (as CP437) and attribute.
    int differences(const std::vector<std::uint8_t>& frame) const
    {
        int differing = 0;
        for (std::size_t i = 0; i < cells.size(); ++i)
            differing += cells[i].first != cp437_unicode[frame[2 * i]] || cells[i].second != frame[2 * i + 1];
        return differing;
    }
};

ConsolePicture read_picture(const fs::path& file)
{
    std::ifstream in(file);
    ConsolePicture p;
    in >> p.ms;
    std::string row;
    while (in >> row)
        for (std::size_t j = 0; j + 6 <= row.size(); j += 6)
            p.cells.emplace_back(static_cast<char32_t>(std::stoul(row.substr(j, 4), nullptr, 16)),
                                 std::stoi(row.substr(j + 4, 2), nullptr, 16));
    return p;
}

class VexladeUnderWine : public ::testing::Test {
protected:
    VexladeUnderWine()
    {
        // Short enough for tmux's socket path.
        name_ = "vexl-wine-" + std::to_string(::getpid()) + "-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()).substr(0, 20);
        dir_ = fs::temp_directory_path() / name_;
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "screens");
        fs::copy_file(VEXLADE_EXE, dir_ / "vexlade.exe");
        fs::copy_file(CONSOLE_HOST_EXE, dir_ / "console_host.exe");
    }
    ~VexladeUnderWine() override
    {
        session_.reset();
        stop_wine();
        fs::remove_all(dir_);
    }

    // Ends every wine process of the prefix. Wine's desktop belongs to the
    // X display it was started on: a player on another display needs a
    // fresh one.
    static void stop_wine()
    {
        const std::string server = "WINEPREFIX=" + shell_quote(VEXL_WINE_PREFIX) + " " + shell_quote(VEXL_WINESERVER);
        std::system((server + " -k 2>/dev/null; " + server + " -w").c_str());
    }

    void write_demo(const std::vector<std::vector<std::uint8_t>>& frames, int seconds_of_silence)
    {
        std::FILE* out = std::fopen((dir_ / "ld_vexl.d1").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        BlockWriter writer(file_sink(out));
        for (const auto& frame : frames)
            ASSERT_TRUE(writer.write(frame));
        ASSERT_TRUE(writer.finish());
        std::fclose(out);
        std::string error;
        const std::vector<std::int16_t> silence(static_cast<std::size_t>(22050 * seconds_of_silence), 0);
        ASSERT_TRUE(platform::LinuxSoundFiles().write_wav_mono16((dir_ / "ld_vexl.d2").string(), silence, 22050, error));
    }

    // Wine with the shared prefix, without sound drivers.
    std::string wine(const std::string& display = "") const
    {
        return "cd " + shell_quote(dir_.string()) + " && env -u DISPLAY " + (display.empty() ? "" : "DISPLAY=" + display) +
               " WINEPREFIX=" + shell_quote(VEXL_WINE_PREFIX) +
               " WINEDEBUG=-all WINEDLLOVERRIDES='winealsa.drv,winepulse.drv,wineoss.drv=d' " + shell_quote(VEXL_WINE64) + " ";
    }

    // The player in console_host.exe's console, in tmux.
    void start_in_console()
    {
        const std::string screens = "Z:" + (dir_ / "screens").string();
        session_ = std::make_unique<TmuxSession>(
            name_, dir_.string(), wine() + "console_host.exe " + shell_quote(screens) + " vexlade.exe 2>stderr.txt; sleep 600");
    }
    // The player alone, in the background; its exit code lands in exit.txt.
    void start_alone(const std::string& display)
    {
        std::system(("(" + wine(display) + "vexlade.exe </dev/null >/dev/null 2>stderr.txt; echo $? >exit.txt) &").c_str());
    }

    std::string read(const fs::path& file) const
    {
        std::ifstream in(dir_ / file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool wait_for_file(const fs::path& file) const
    {
        return TmuxSession::wait_for([&] { return fs::exists(dir_ / file); }, std::chrono::seconds(60));
    }
    std::vector<ConsolePicture> pictures() const
    {
        std::vector<ConsolePicture> out;
        for (const auto& entry : fs::directory_iterator(dir_ / "screens"))
            if (entry.path().extension() == ".txt" && entry.path().stem().string().starts_with("screen-"))
                out.push_back(read_picture(entry.path()));
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.ms < b.ms; });
        return out;
    }

    std::string name_;
    fs::path dir_;
    std::unique_ptr<TmuxSession> session_;
};

TEST_F(VexladeUnderWine, ConsoleShowsEachFrameCellForCellInRealTimeAndCtrlCEndsTheRunLeavingTheConsoleAsFound)
{
    std::vector<std::vector<std::uint8_t>> frames;
    for (int k = 0; k < frame_count; ++k)
        frames.push_back(numbered_frame(k));
    write_demo(frames, 10);
    start_in_console();
    // No desktop to ask on: both questions take Yes, full screen is refused
    // and the console shows the demo.
    ASSERT_TRUE(TmuxSession::wait_for(
        [&] {
            const auto shown = pictures();
            return !shown.empty() && shown.back().frame_number() == frame_count - 1;
        },
        std::chrono::seconds(60)))
        << read("stderr.txt");
    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_file("screens/after.txt")) << session_->capture();
    EXPECT_EQ(read("screens/after.txt"), "exit 0\ntitle kept\nsize kept\ntext kept\ncursor shown\n");

    std::map<int, long> first_shown;  // frame number -> ms
    for (const ConsolePicture& p : pictures()) {
        const int k = p.frame_number();
        if (k < 0)
            continue;  // the console's own picture, before and after
        ASSERT_LT(k, frame_count);
        EXPECT_EQ(p.differences(frames[static_cast<std::size_t>(k)]), 0) << "frame " << k << " at " << p.ms << " ms";
        first_shown.emplace(k, p.ms);
    }
    EXPECT_GE(first_shown.size(), 20u) << "frames shown";
    // Frame k comes at (k + 1) / 25 s of the silent clock.
    const auto [k1, t1] = *std::next(first_shown.begin());
    const auto [k2, t2] = *first_shown.rbegin();
    EXPECT_NEAR(static_cast<double>(k2 - k1) * 1000.0 / static_cast<double>(t2 - t1), 25.0, 2.0);

    const std::string err = read("stderr.txt");
    for (const char* told : {"Use DirectDraw output (FullScreen)? -> Yes (no desktop to ask on)",
                             "Simulate PC-Speaker? -> Yes (no desktop to ask on)",
                             "full screen not available", "no sound device opened"})
        EXPECT_NE(err.find(told), std::string::npos) << told << " in:\n" << err;
}

TEST_F(VexladeUnderWine, MissingFrameFileSaysLoadingFailedAndExitsOne)
{
    start_in_console();
    ASSERT_TRUE(wait_for_file("screens/after.txt")) << session_->capture();
    EXPECT_EQ(read("screens/after.txt").substr(0, 7), "exit 1\n");
    const std::string err = read("stderr.txt");
    EXPECT_NE(err.find("lumen-drift Vexlade 2003: Loading failed. -> OK"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot open ld_vexl.d1"), std::string::npos) << err;
}

TEST_F(VexladeUnderWine, SpeakerSimulationGivesTheLinuxBuildsSamples)
{
    std::vector<std::int16_t> expected = testing::speaker_signal();
    testing::simulate_speaker(expected);
    const std::string got = testing::run_output(wine() + shell_quote(SPEAKER_SAMPLES_EXE) + " 2>/dev/null");
    ASSERT_EQ(got.size(), expected.size() * 2);
    EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size()), 0);
}

// Answers the question box that is up with `key`, once the box is there
// and has the keyboard (without a window manager it has no focus of its
// own).
bool answer(const std::string& display, const std::string& key, std::string& last_box)
{
    const std::string on = "DISPLAY=" + display + " ";
    std::string box;
    const bool focused = TmuxSession::wait_for([&] {
        box = testing::run_output(on + "xdotool search --onlyvisible --name 'lumen-drift Vexlade 2003' 2>/dev/null | tail -1");
        while (!box.empty() && box.back() == '\n')
            box.pop_back();
        return !box.empty() && box != last_box &&
               std::system((on + "xdotool windowfocus --sync " + box + " 2>/dev/null").c_str()) == 0;
    });
    last_box = box;
    return focused && std::system((on + "xdotool key " + key).c_str()) == 0;
}

TEST_F(VexladeUnderWine, FullScreenAfterTheQuestionsShowsEveryCellAndAKeyEndsTheRun)
{
    std::vector<std::uint8_t> frame = numbered_frame(7);
    write_demo(std::vector<std::vector<std::uint8_t>>(300, frame), 12);
    // 640x400 itself, and a desktop that has no such mode: the picture
    // scaled twice into it.
    for (const auto& [size, scale] : {std::pair{"640x400", 1}, std::pair{"1280x800", 2}}) {
        SCOPED_TRACE(size);
        fs::remove(dir_ / "exit.txt");
        fs::create_directory(dir_ / size);
        XvfbServer x(dir_ / size, size);
        ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
        // As on a desktop: without a window manager wine's boxes take two
        // seconds to go.
        ASSERT_TRUE(x.start_window_manager()) << "evilwm did not start: " << x.window_manager_log();
        start_alone(x.display());
        std::string box;
        ASSERT_TRUE(answer(x.display(), "Return", box)) << "first question";  // the default: Yes
        ASSERT_TRUE(answer(x.display(), "n", box)) << "second question";

        const tool::RgbPicture expected = tool::render_frame_picture(
            std::span<const std::uint8_t, frame_bytes>(frame.data(), frame_bytes), scale, false);
        long differing = -1;
        EXPECT_TRUE(TmuxSession::wait_for([&] {
            testing::Screenshot shot;
            differing = x.screenshot(shot) ? testing::differing_pixels(shot, expected) : -1;
            return differing == 0;
        })) << differing << " pixels differ; " << read("stderr.txt");
        std::system(("DISPLAY=" + x.display() + " xdotool key space").c_str());
        ASSERT_TRUE(wait_for_file("exit.txt")) << read("stderr.txt");
        EXPECT_EQ(read("exit.txt"), "0\n");
        stop_wine();
    }
}

}  // namespace
}  // namespace vexl
