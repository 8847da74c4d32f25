// vexl render, run as the built executable.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/frame_geometry.h"
#include "tests/fullscreen/png_reading.h"
#include "tests/pack/pack_test_support.h"
#include "tests/tools/hostile_files.h"
#include "tests/support/test_dir.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class VexlRenderTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::fresh_test_dir("vexl-render");
        // Two whole frames and a third of 5000 bytes.
        raw = test::sample_frames(2 * frame_bytes + 5000);
        Bytes file{2};
        test::append_block(file, test::compress(raw));
        std::ofstream(dir / "in.d1", std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    void TearDown() override { fs::remove_all(dir); }

    // Exit status of `vexl render ARGS`, run in `dir`.
    int render(const std::string& args) const
    {
        const std::string command = "cd '" + dir.string() + "' && '" VEXL_TOOL "' render " + args +
                                    " >/dev/null 2>'" + (dir / "stderr").string() + "'";
        const int raw_status = std::system(command.c_str());
        return WIFEXITED(raw_status) ? WEXITSTATUS(raw_status) : -1;
    }

    std::array<std::uint8_t, frame_bytes> shown_frame(std::size_t n) const { return test::shown_frame(raw, n); }

    bool shows(const fs::path& png, std::size_t n, int scale = 1, bool aspect = false) const
    {
        const RgbPicture expected = render_frame_picture(shown_frame(n), scale, aspect);
        const RgbPicture got = testing::read_png(dir / png);
        return got.width == expected.width && got.height == expected.height && got.rgb == expected.rgb;
    }

    std::size_t files() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
    Bytes raw;
};

TEST_F(VexlRenderTool, DrawsTheChosenFrameAsThePlayerShowsIt)
{
    ASSERT_EQ(render("in.d1 first.png"), 0);
    EXPECT_TRUE(shows("first.png", 0));
    ASSERT_EQ(render("in.d1 second.png --frame 1 --scale 2"), 0);
    EXPECT_TRUE(shows("second.png", 1, 2));
    ASSERT_EQ(render("--aspect in.d1 last.png --frame 2"), 0);
    EXPECT_TRUE(shows("last.png", 2, 1, true)) << "the partial last frame over the one before";
}

TEST_F(VexlRenderTool, CropsAndResizes)
{
    const RgbPicture screen = render_frame_picture(shown_frame(1), 1, false);
    struct Case {
        const char* args;
        PixelRect part;
        int width, height;
    };
    for (const Case& c : {Case{"--crop 9,3,26,26 --size 64x64", {72, 24, 208, 208}, 64, 64},
                          Case{"--crop 0,0,80,1 --scale 2", {0, 0, 640, 8}, 1280, 16},
                          Case{"--crop 78,45,2,5 --aspect", {624, 360, 16, 40}, 16, 48},
                          Case{"--size 320x200", {0, 0, 640, 400}, 320, 200}}) {
        ASSERT_EQ(render(std::string("in.d1 part.png --frame 1 ") + c.args), 0) << c.args;
        const RgbPicture got = testing::read_png(dir / "part.png");
        EXPECT_TRUE(got.rgb == fit_picture(screen, c.part, c.width, c.height).rgb) << c.args;
        EXPECT_EQ(got.width, c.width) << c.args;
    }
}

TEST_F(VexlRenderTool, WritesARangeOfFramesWholeOrNotAtAll)
{
    fs::create_directory(dir / "shots");
    ASSERT_EQ(render("in.d1 shot.png --frames 1:3 --dir shots"), 0);
    EXPECT_TRUE(shows("shots/shot-00001.png", 1));
    EXPECT_TRUE(shows("shots/shot-00002.png", 2));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "shots"), fs::directory_iterator()), 2);

    fs::create_directory(dir / "more");
    EXPECT_EQ(render("in.d1 shot.png --frames 0:4 --dir more"), 1) << "there is no frame 3";
    EXPECT_TRUE(fs::is_empty(dir / "more"));
    EXPECT_EQ(render("in.d1 shot.png --frames 0:2 --dir missing"), 1);
}

TEST_F(VexlRenderTool, MissingFramesAndBadInputWriteNothing)
{
    std::ofstream(dir / "keep.png") << "old";
    EXPECT_EQ(render("in.d1 keep.png --frame 3"), 1);
    EXPECT_EQ(render("nothing.d1 keep.png"), 1);
    std::ifstream kept(dir / "keep.png");
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "old") << "an existing picture stays as it was";
    EXPECT_EQ(files(), 3u) << "in.d1, keep.png and stderr only";
}

TEST_F(VexlRenderTool, BadUsageIsRefused)
{
    for (const char* args : {"", "in.d1", "in.d1 a.png b.png", "in.d1 a.png --scale 9", "in.d1 a.png --scale 0",
                             "in.d1 a.png --frame -1", "in.d1 a.png --frames 2:2 --dir .",
                             "in.d1 a.png --frames 2 --dir .", "in.d1 a.png --frame 1 --frames 0:1 --dir .",
                             "in.d1 a.png --dir .", "in.d1 a.png --frames 0:1", "in.d1 a.png --frame",
                             "in.d1 a.png --bogus", "in.d1 in.d1", "in.d1 a.png --crop 1,2,3",
                             "in.d1 a.png --crop 0,0,81,1", "in.d1 a.png --crop 0,45,1,6", "in.d1 a.png --crop 0,0,0,1",
                             "in.d1 a.png --size 64", "in.d1 a.png --size 0x8", "in.d1 a.png --size 8x5121",
                             "in.d1 a.png --size 8x8 --scale 2", "in.d1 a.png --size 8x8 --aspect"})
        EXPECT_EQ(render(args), 2) << args;
    EXPECT_EQ(files(), 2u) << "in.d1 and stderr only";
}

TEST_F(VexlRenderTool, AwkwardFilesAndFramesWrittenAllOrNone)
{
    testing::HostileFiles files(VEXL_TOOL);
    std::ifstream in(dir / "in.d1", std::ios::binary);
    files.put("in.d1", {std::istreambuf_iterator<char>(in), {}});
    files.expect_output_targets_handled("render in.d1 {OUT}");
    files.expect_input_kept_from_output("render in.d1 {OUT} --frame 1", "in.d1");
    files.expect_inputs_refused("render {IN} {OUT}");

    // Every target is looked at before any picture is drawn: one in the
    // way fails the run and the others stay as they were.
    fs::create_directories(files.path("shots/s-00002.png"));
    files.put("shots/s-00000.png", "old");
    testing::ToolRun run = files.run("render in.d1 s.png --frames 0:3 --dir shots");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("shots/s-00002.png: is a directory"), std::string::npos) << run.err;
    EXPECT_EQ(files.read("shots/s-00000.png"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(files.path("shots")), fs::directory_iterator()), 2);
    if (testing::running_as_root()) {
        // The disk fills up after the first picture: none replaces anything.
        ASSERT_EQ(files.run("render in.d1 one.png --scale 2").status, 0);
        const auto picture_kib = static_cast<int>(fs::file_size(files.path("one.png")) / 1024);
        fs::create_directory(files.path("disk"));
        testing::SmallDisk disk(files.path("disk"), picture_kib * 3 / 2 + 8);
        ASSERT_TRUE(disk.mounted());
        files.put("disk/s-00000.png", "old");
        run = files.run("render in.d1 s.png --frames 0:3 --dir disk --scale 2");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(files.read("disk/s-00000.png"), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(files.path("disk")), fs::directory_iterator()), 1);
    }
    run = files.run("render in.d1 a.png --frames 0:4294967297 --dir .");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--frames: 4294967297 is too large (at most 2147483648)"), std::string::npos) << run.err;
}

TEST_F(VexlRenderTool, AnInterruptedRangeLeavesNoPicture)
{
    testing::HostileFiles files(VEXL_TOOL);
    const Bytes frames = test::sample_frames(500 * frame_bytes);
    Bytes file{2};
    for (std::size_t at = 0; at < frames.size(); at += 65536)
        test::append_block(file, test::compress(std::span(frames).subspan(at, std::min<std::size_t>(65536, frames.size() - at))));
    files.put("long.d1", std::string(file.begin(), file.end()));
    // Once the first pictures wait under temporary names for the rest.
    const int status = files.interrupt({"render", "long.d1", "s.png", "--frames", "0:500", "--dir", "."}, SIGTERM, true);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    EXPECT_EQ(files.names(), std::vector<std::string>{"long.d1"});
}

}  // namespace
}  // namespace vexl::tool
