// The real `vexlade` on a slow terminal (tests/player/slow_terminal.py:
// pyte behind a pseudo-terminal read at a few kB a second, answering
// status requests): the picture keeps up with the clock by skipping
// frames, the lag stays bounded, the last picture is exact, and the
// skipped frames are told after the run.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "player/block_writer.h"
#include "tests/player/tmux_session.h"

namespace vexl {
namespace {

namespace fs = std::filesystem;

constexpr int frame_count = 350;  // 14 s: longer than the throttled part

// Every cell changes from any frame to any other (the console sends the
// difference to whichever frame went last): cell (i, j) of frame k shows
// look 3i + j + k of 1024 that differ in character, foreground or
// background. The frame's number heads the top row.
std::vector<std::uint8_t> moving_frame(int k)
{
    static const std::uint8_t glyphs[4] = {0xB0, 0xB1, 0xB2, 0xFE};
    std::vector<std::uint8_t> frame(8000);
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j) {
            const int look = (i * 3 + j + k) % 1024;
            frame[static_cast<std::size_t>(i * 160 + 2 * j)] = glyphs[look % 4];
            frame[static_cast<std::size_t>(i * 160 + 2 * j + 1)] =
                static_cast<std::uint8_t>((look / 4) % 16 | ((look / 64) << 4));
        }
    char number[16];
    std::snprintf(number, sizeof number, "%05d", k);
    for (int j = 0; j < 5; ++j) {
        frame[static_cast<std::size_t>(2 * j)] = static_cast<std::uint8_t>(number[j]);
        frame[static_cast<std::size_t>(2 * j + 1)] = 0x0F;
    }
    return frame;
}

class SlowTerminal : public ::testing::TestWithParam<int> {
protected:
    SlowTerminal()
    {
        dir_ = fs::temp_directory_path() / ("vexl-slow-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~SlowTerminal() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_P(SlowTerminal, LagStaysBoundedAndTheLastPictureIsExact)
{
    {
        std::FILE* out = std::fopen((dir_ / "ld_vexl.d1").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        BlockWriter writer(file_sink(out));
        for (int k = 0; k < frame_count; ++k)
            ASSERT_TRUE(writer.write(moving_frame(k)));
        ASSERT_TRUE(writer.finish());
        std::fclose(out);
        const std::vector<std::uint8_t> last = moving_frame(frame_count - 1);
        std::ofstream(dir_ / "last_frame.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(last.data()), static_cast<std::streamsize>(last.size()));
        std::ofstream(dir_ / "ld_vexl.d2", std::ios::binary) << std::string(441000, '\0');
    }
    const std::string output = testing::run_output(
        "/usr/bin/python3 " + testing::shell_quote(SLOW_TERMINAL_SCRIPT) + " " + testing::shell_quote(VEXLADE_PATH) +
        " " + testing::shell_quote(dir_.string()) + " " + std::to_string(GetParam() * 1000) + " 12 2>&1");
    std::map<std::string, std::string> found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t eq = line.find('='); eq != std::string::npos)
            found[line.substr(0, eq)] = line.substr(eq + 1);
    std::printf("%d kB/s:\n%s", GetParam(), output.c_str());  // the figures, for comparing runs
    ASSERT_EQ(found.count("failed"), 0u) << output;
    ASSERT_EQ(found["last_picture"], "exact") << output;
    EXPECT_EQ(found["exit"], "0") << output;
    // The goal, with room for a loaded machine: the emulator is Python.
    const double goal = std::stod(found["goal_p95"]) * 1.25 + 0.3;
    EXPECT_LE(std::stod(found["lag_p95"]), goal) << output;
    EXPECT_LE(std::stod(found["lag_p95_last_third"]), goal) << "no growth over the run\n" << output;
    EXPECT_NE(found["said"].find("could not keep up"), std::string::npos) << output;
}

// kB/s.
INSTANTIATE_TEST_SUITE_P(Rates, SlowTerminal, ::testing::Values(8, 30));

}  // namespace
}  // namespace vexl
