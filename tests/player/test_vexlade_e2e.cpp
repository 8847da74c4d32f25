// The real `vexlade` in a terminal (tmux), driven as a user would: answer
// the questions, watch the frames, press keys, Ctrl+C.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "player/block_writer.h"
#include "tests/support/vt_screen.h"
#include "tests/player/tmux_session.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;
using testing::TmuxSession;
using testing::VtColor;

constexpr int frame_count = 3000;  // two minutes: never runs out during a test

void put_text(std::vector<std::uint8_t>& frame, int row, int col, const std::string& text,
              std::uint8_t attr)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        frame[static_cast<std::size_t>(row * 160 + 2 * (col + static_cast<int>(i)))] =
            static_cast<std::uint8_t>(text[i]);
        frame[static_cast<std::size_t>(row * 160 + 2 * (col + static_cast<int>(i)) + 1)] = attr;
    }
}

std::vector<std::uint8_t> demo_frame(int k)
{
    std::vector<std::uint8_t> frame(8000);
    for (std::size_t i = 0; i < frame.size(); i += 2) {
        frame[i] = '.';
        frame[i + 1] = 0x07;
    }
    put_text(frame, 0, 0, "VEXLADE E2E", 0x1E);  // yellow on blue
    char number[16];
    std::snprintf(number, sizeof number, "%05d", k);
    put_text(frame, 1, 0, number, 0x0F);
    put_text(frame, 2, 0, "\x01", 0x4E);        // smiling face, yellow on red
    put_text(frame, 2, 1, "\xDB", 0x06);        // full block, brown
    put_text(frame, 2, 2, std::string(1, '\0'), static_cast<std::uint8_t>(0x8F));  // blank on dark grey
    put_text(frame, 49, 79, "\x1E", static_cast<std::uint8_t>(0xF1));  // triangle, blue on bright white
    put_text(frame, 3, 10, std::string(30, ' '), 0x50);  // a run of blanks on magenta (erased, not written)
    return frame;
}

class VexladeInTmux : public ::testing::Test {
protected:
    VexladeInTmux()
    {
        name_ = "vexl-e2e-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = fs::temp_directory_path() / name_;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~VexladeInTmux() override
    {
        session_.reset();
        fs::remove_all(dir_);
    }

    void write_demo()
    {
        std::FILE* out = std::fopen((dir_ / "ld_vexl.d1").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        BlockWriter writer(file_sink(out));
        for (int k = 0; k < frame_count; ++k)
            ASSERT_TRUE(writer.write(demo_frame(k)));
        ASSERT_TRUE(writer.finish());
        std::fclose(out);
        // Ten seconds of silence as raw samples; the clock runs on past it.
        std::ofstream(dir_ / "ld_vexl.d2", std::ios::binary) << std::string(441000, '\0');
    }

    // Runs the player, its standard input redirected by `redirect`;
    // afterwards its exit code and the terminal settings it left behind
    // are written next to the demo.
    // `as`: a command that runs the player (as another user, say).
    void start(int rows = 50, int cols = 80, const std::string& as = "", const std::string& redirect = "")
    {
        const std::string d = testing::shell_quote(dir_.string());
        // No sound device is opened: the silent output's clock paces the frames.
        const std::string command = "cd " + d + " && COLORTERM=truecolor SDL_AUDIODRIVER=none " + as +
                                    testing::shell_quote(VEXLADE_PATH) + " " + redirect +
                                    " 2> stderr.txt; echo $? > exit.txt; stty -a > stty.txt; sleep 600";
        session_ = std::make_unique<TmuxSession>(name_, dir_.string(), command, rows, cols);
    }

    // An interactive shell with job control, the player started from it.
    void start_in_shell()
    {
        session_ = std::make_unique<TmuxSession>(
            name_, dir_.string(), "env PS1='$ ' bash --norc --noprofile -i");
        session_->send_keys(testing::shell_quote("cd " + testing::shell_quote(dir_.string()) +
                                                 " && COLORTERM=truecolor SDL_AUDIODRIVER=none " +
                                                 testing::shell_quote(VEXLADE_PATH)) +
                            " Enter");
    }

    void answer_both(const std::string& first, const std::string& second)
    {
        ASSERT_TRUE(session_->wait_for_text("Use DirectDraw output (FullScreen)? [Y/n]")) << session_->capture();
        session_->send_keys(first + " Enter");
        ASSERT_TRUE(session_->wait_for_text("Simulate PC-Speaker? [Y/n]")) << session_->capture();
        session_->send_keys(second + " Enter");
    }

    std::string read_file(const std::string& file) const
    {
        std::ifstream in(dir_ / file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    bool wait_for_exit() const
    {
        return TmuxSession::wait_for([&] { return read_file("stty.txt").find("speed") != std::string::npos; });
    }

    // The frame number shown in row 1, or -1.
    int shown_frame() const
    {
        std::istringstream lines(session_->capture());
        std::string line;
        std::getline(lines, line);
        if (line.rfind("VEXLADE E2E", 0) != 0 || !std::getline(lines, line))
            return -1;
        if (line.size() < 5 || line.find_first_not_of("0123456789") < 5)
            return -1;
        return std::stoi(line.substr(0, 5));
    }

    void expect_terminal_restored() const
    {
        EXPECT_EQ(session_->format("#{alternate_on}"), "0\n") << "main screen";
        EXPECT_EQ(session_->format("#{cursor_flag}"), "1\n") << "cursor shown";
        // Settings are listed as "echo" or "-echo", separated by blanks.
        std::istringstream words(read_file("stty.txt"));
        std::set<std::string> settings;
        for (std::string word; words >> word;)
            settings.insert(word);
        EXPECT_TRUE(settings.count("echo")) << "echo back on";
        EXPECT_TRUE(settings.count("icrnl")) << "Enter ends a line again";
        EXPECT_TRUE(settings.count("ixon")) << "flow control back on";
    }

    std::string name_;
    fs::path dir_;
    std::unique_ptr<TmuxSession> session_;
};

VtColor rgb(int value) { return {VtColor::rgb, value}; }

TEST_F(VexladeInTmux, PlaysInTimeIgnoresTypedKeysAndEndsCleanlyOnCtrlC)
{
    write_demo();
    start();
    answer_both("n", "n");
    ASSERT_TRUE(session_->wait_for_text("VEXLADE E2E")) << session_->capture();
    EXPECT_EQ(session_->format("#{alternate_on}"), "1\n");
    EXPECT_EQ(session_->format("#{cursor_flag}"), "0\n") << "cursor hidden";

    // The frame's characters and exact colours.
    testing::VtScreen vt(50, 80);
    std::istringstream lines(session_->capture(true));
    std::string line;
    for (int row = 0; row < 50 && std::getline(lines, line); ++row)
        vt.feed("\x1b[" + std::to_string(row + 1) + "H" + line);
    EXPECT_EQ(vt.at(0, 0).ch, U'V');
    EXPECT_EQ(vt.at(0, 0).fg, rgb(0xFFFF55));
    EXPECT_EQ(vt.at(0, 0).bg, rgb(0x0000AA));
    EXPECT_EQ(vt.at(2, 0).ch, U'\u263A');
    EXPECT_EQ(vt.at(2, 0).bg, rgb(0xAA0000));
    EXPECT_EQ(vt.at(2, 1).ch, U'\u2588');
    EXPECT_EQ(vt.at(2, 1).fg, rgb(0xAA5500)) << "brown, not dark yellow";
    EXPECT_EQ(vt.at(2, 2).ch, U' ');
    EXPECT_EQ(vt.at(2, 2).bg, rgb(0x555555)) << "bright background, no blinking";
    EXPECT_EQ(vt.at(49, 79).ch, U'\u25B2');
    EXPECT_EQ(vt.at(49, 79).fg, rgb(0x0000AA));
    EXPECT_EQ(vt.at(49, 79).bg, rgb(0xFFFFFF));
    EXPECT_EQ(vt.at(3, 5).ch, U'.');
    EXPECT_EQ(vt.at(3, 5).fg, rgb(0xAAAAAA));
    for (int col = 10; col < 40; ++col) {
        EXPECT_EQ(vt.at(3, col).ch, U' ') << col;
        EXPECT_EQ(vt.at(3, col).bg, rgb(0xAA00AA)) << col;
    }
    EXPECT_EQ(vt.at(3, 40).ch, U'.') << "the erase stops where the run does";

    // Frames advance with the clock, and typed keys do not end the run.
    int first = -1;
    ASSERT_TRUE(TmuxSession::wait_for([&] { return (first = shown_frame()) >= 1; }));
    session_->send_keys("x q Enter Escape Space");
    int later = -1;
    ASSERT_TRUE(TmuxSession::wait_for([&] { return (later = shown_frame()) >= first + 25; }))
        << "still playing after the keys: " << first << " -> " << later;

    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "0\n");
    expect_terminal_restored();
    EXPECT_EQ(read_file("stderr.txt").find("skipped"), std::string::npos) << "a fast terminal shows every frame";
    EXPECT_EQ(session_->capture().find("VEXLADE E2E"), std::string::npos);
    EXPECT_NE(session_->capture().find("Simulate PC-Speaker?"), std::string::npos)
        << "the main screen is back as it was";
}

TEST_F(VexladeInTmux, CtrlZHandsTheTerminalToTheShellAndFgBringsThePictureBack)
{
    write_demo();
    start_in_shell();
    answer_both("n", "n");
    ASSERT_TRUE(session_->wait_for_text("VEXLADE E2E")) << session_->capture();

    session_->send_keys("C-z");
    ASSERT_TRUE(session_->wait_for_text("Stopped")) << session_->capture();
    EXPECT_EQ(session_->capture().find("VEXLADE E2E"), std::string::npos);
    session_->send_keys("'stty -a > stty.txt' Enter");
    ASSERT_TRUE(TmuxSession::wait_for([&] { return read_file("stty.txt").find("speed") != std::string::npos; }));
    expect_terminal_restored();

    session_->send_keys("clear Enter fg Enter");
    ASSERT_TRUE(session_->wait_for_text("VEXLADE E2E")) << session_->capture();
    EXPECT_EQ(session_->format("#{alternate_on}"), "1\n");
    EXPECT_EQ(session_->format("#{cursor_flag}"), "0\n");
    // The corner never changes between frames: only a full repaint shows it.
    ASSERT_TRUE(TmuxSession::wait_for([&] { return session_->capture().find("\u25B2") != std::string::npos; }))
        << session_->capture();
    int first = -1;
    ASSERT_TRUE(TmuxSession::wait_for([&] { return (first = shown_frame()) >= 0; }));
    ASSERT_TRUE(TmuxSession::wait_for([&] { return shown_frame() > first; })) << "playing on";

    session_->send_keys("C-c");
    // Keys typed while the player still owns the terminal are not the
    // shell's: wait until the shell is in the foreground again.
    ASSERT_TRUE(TmuxSession::wait_for([&] { return session_->format("#{pane_current_command}") == "bash\n"; },
                                      std::chrono::seconds(10)))
        << session_->capture();
    fs::remove(dir_ / "stty.txt");
    session_->send_keys("'echo $? > exit.txt; stty -a > stty.txt' Enter");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "0\n");
    expect_terminal_restored();
}

TEST_F(VexladeInTmux, WithoutSoundtrackFramesFollowARealTimeClockAndTheFileIsNamedAfter)
{
    write_demo();
    fs::remove(dir_ / "ld_vexl.d2");
    start();
    answer_both("n", "n");
    int first = -1;
    ASSERT_TRUE(TmuxSession::wait_for([&] { return (first = shown_frame()) >= 0; })) << session_->capture();
    ASSERT_TRUE(TmuxSession::wait_for([&] { return shown_frame() >= first + 25; })) << "the frames move on";
    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "0\n");
    EXPECT_NE(read_file("stderr.txt").find("vexlade: ld_vexl.d2 could not be played (No such file or directory); "
                                           "the frames followed a silent real-time clock\n"),
              std::string::npos)
        << read_file("stderr.txt");
}

TEST_F(VexladeInTmux, CtrlBackslashGivesTheTerminalBackAndEndsWithSigquit)
{
    write_demo();
    start();
    answer_both("n", "n");
    ASSERT_TRUE(session_->wait_for_text("VEXLADE E2E")) << session_->capture();
    // The pane's shell runs the player as its child.
    const std::string shell = session_->format("#{pane_pid}");
    const std::string player = testing::run_output("pgrep -P " + shell.substr(0, shell.find('\n')) + " -x vexlade");
    ASSERT_FALSE(player.empty());
    std::system(("kill -QUIT " + player.substr(0, player.find('\n'))).c_str());
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "131\n") << "the shell's account of a SIGQUIT";
    expect_terminal_restored();
}

// The pane's cells with their colours.
testing::VtScreen screen_of(const TmuxSession& session, int rows, int cols)
{
    testing::VtScreen vt(rows, cols);
    std::istringstream lines(session.capture(true));
    std::string line;
    for (int row = 0; row < rows && std::getline(lines, line); ++row)
        vt.feed("\x1b[0m\x1b[" + std::to_string(row + 1) + "H" + line);
    return vt;
}

// Whether one of the colours a cell shows (the foreground where there is
// ink, the background where there is room) is like `look` wants. Scaled
// down, the glyphs' colours come blended.
bool shows(const testing::VtCell& cell, bool (*look)(int r, int g, int b))
{
    auto like = [&](VtColor c) {
        return c.kind == VtColor::rgb && look(c.value >> 16 & 0xFF, c.value >> 8 & 0xFF, c.value & 0xFF);
    };
    return (cell.ch != U' ' && like(cell.fg)) || (cell.ch != U'\u2588' && like(cell.bg));
}

bool bluish_white(int r, int, int b) { return b >= 0xA0 && b >= r + 0x30; }
bool yellowish(int r, int g, int b) { return r >= 0x80 && g >= 0x80 && b + 0x10 <= std::min(r, g); }
bool magenta(int r, int g, int b) { return r >= 0x70 && b >= 0x70 && g <= 0x30; }

TEST_F(VexladeInTmux, InASmallTerminalTheWholePictureIsScaledAndAResizeSwitchesViews)
{
    write_demo();
    start(24, 80);
    answer_both("n", "n");
    // tmux gives cells of 16 x 32 pixels: the 640 x 400 picture takes 76 x 24 cells.
    ASSERT_TRUE(TmuxSession::wait_for([&] { return shows(screen_of(*session_, 24, 80).at(23, 77), bluish_white); }))
        << "the bottom-right corner (blue on bright white) is in view\n" << session_->capture();
    EXPECT_EQ(session_->format("#{alternate_on}"), "1\n");
    testing::VtScreen vt = screen_of(*session_, 24, 80);
    for (int row = 0; row < 24; ++row) {
        EXPECT_EQ(vt.at(row, 1), testing::VtCell{}) << "blank margin, row " << row;
        EXPECT_EQ(vt.at(row, 78), testing::VtCell{}) << "blank margin, row " << row;
        EXPECT_NE(vt.at(row, 2), testing::VtCell{}) << "the picture's left edge, row " << row;
        EXPECT_NE(vt.at(row, 77), testing::VtCell{}) << "the picture's right edge, row " << row;
    }
    EXPECT_TRUE(shows(vt.at(0, 2), yellowish) || shows(vt.at(0, 3), yellowish)) << "the title, top left";
    int run = 0;  // the run of magenta blanks in row 3, columns 10 to 39
    for (int col = 10; col < 40; ++col)
        run += shows(vt.at(1, col), magenta) ? 1 : 0;
    EXPECT_GT(run, 20);
    const std::string first = session_->capture(true);
    ASSERT_TRUE(TmuxSession::wait_for([&] { return session_->capture(true) != first; })) << "frames go on";

    session_->resize(50, 80);
    ASSERT_TRUE(session_->wait_for_text("VEXLADE E2E")) << "cell for cell at 80 x 50\n" << session_->capture();
    EXPECT_EQ(screen_of(*session_, 50, 80).at(49, 79).ch, U'\u25B2');
    session_->resize(24, 80);
    ASSERT_TRUE(TmuxSession::wait_for([&] { return session_->capture().find("VEXLADE E2E") == std::string::npos; }))
        << session_->capture();

    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "0\n");
    expect_terminal_restored();
}

// As after su: the terminal belongs to someone else, who let the player
// have its standard descriptors but not the device by its name.
TEST_F(VexladeInTmux, AnotherUserPlaysInTheTerminalItWasGiven)
{
    const std::string as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (::geteuid() != 0 || std::system((as + "test -x " + testing::shell_quote(VEXLADE_PATH)).c_str()) != 0)
        GTEST_SKIP() << "needs root, and a player that nobody may run";
    write_demo();
    start(50, 80, as);
    answer_both("n", "n");
    ASSERT_TRUE(TmuxSession::wait_for([&] { return shown_frame() >= 1; })) << session_->capture();
    session_->send_keys("C-c");
    ASSERT_TRUE(wait_for_exit());
    EXPECT_EQ(read_file("exit.txt"), "0\n") << read_file("stderr.txt");
}

TEST_F(VexladeInTmux, MissingFrameFileSaysLoadingFailedAndExitsWithOne)
{
    start();
    answer_both("n", "Enter");  // the second answered with the default
    ASSERT_TRUE(session_->wait_for_text("Loading failed.")) << session_->capture();
    EXPECT_NE(session_->capture().find("lumen-drift Vexlade 2003"), std::string::npos);
    session_->send_keys("Enter");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "1\n");
    expect_terminal_restored();
    EXPECT_NE(session_->capture().find("Loading failed."), std::string::npos)
        << "the notice stays readable after the exit";
}

TEST_F(VexladeInTmux, WithStandardInputClosedTheDefaultsAreTakenAndSaidAsWithDevNull)
{
    // The terminal the questions are written to must not become standard
    // input (read from then, it answers nothing).
    start(50, 80, "", "<&-");
    ASSERT_TRUE(wait_for_exit()) << session_->capture();
    EXPECT_EQ(read_file("exit.txt"), "1\n") << "no frame file";
    const std::string said = read_file("stderr.txt");
    for (const char* answer : {"Use DirectDraw output (FullScreen)? -> Yes", "Simulate PC-Speaker? -> Yes",
                               "Loading failed. -> OK"})
        EXPECT_NE(said.find(answer), std::string::npos) << said;
}

}  // namespace
}  // namespace vexl
