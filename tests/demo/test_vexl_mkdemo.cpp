// vexl mkdemo, run as the built executable.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "player/pack_survey.h"
#include "tests/pack/pack_test_support.h"
#include "tests/tools/hostile_files.h"
#include "tests/support/test_dir.h"
#include "tools/demo/generator.h"

namespace vexl::demo {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string err;
};

std::string quote(const std::string& s) { return "'" + s + "'"; }

std::vector<std::uint8_t> bytes_of(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

class VexlMkdemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::fresh_test_dir("vexl-mkdemo");
    }
    void TearDown() override { fs::remove_all(dir); }

    ToolRun vexl(const std::string& args) const
    {
        const fs::path err = dir / ".stderr";
        const std::string command = quote(VEXL_TOOL) + " " + args + " </dev/null >/dev/null 2>" + quote(err.string());
        const int raw = std::system(command.c_str());
        ToolRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const auto text = bytes_of(err);
        run.err.assign(text.begin(), text.end());
        fs::remove(err);
        return run;
    }

    fs::path dir;
};

TEST_F(VexlMkdemo, WritesTheSameFramesAndSoundtrackOnEveryRun)
{
    const fs::path first = dir / "new";  // made on the way
    const fs::path second = dir / "again";
    for (const fs::path& out : {first, second}) {
        const ToolRun run = vexl("mkdemo " + quote(out.string()));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
    }
    const auto frames = bytes_of(first / "ld_vexl.d1");
    const auto sound = bytes_of(first / "ld_vexl.d2");
    EXPECT_TRUE(frames == bytes_of(second / "ld_vexl.d1")) << "the frame file differs between runs";
    EXPECT_TRUE(sound == bytes_of(second / "ld_vexl.d2")) << "the soundtrack differs between runs";
    EXPECT_EQ(std::distance(fs::directory_iterator(first), fs::directory_iterator()), 2) << "no temporaries left";

    const PackInfo info = inspect_pack(frames);
    EXPECT_FALSE(info.damaged());
    EXPECT_EQ(info.level, 2);
    EXPECT_EQ(info.whole_frames, static_cast<std::uint64_t>(demo_frames));
    EXPECT_EQ(info.partial_frame_bytes, 0u);

    // The soundtrack: a mono 16-bit WAV of exactly the demo's 706 seconds.
    ASSERT_GE(sound.size(), 44u);
    EXPECT_EQ(std::string(sound.begin(), sound.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(sound.begin() + 8, sound.begin() + 12), "WAVE");
    std::size_t at = 12;
    std::uint32_t data_bytes = 0;
    while (at + 8 <= sound.size()) {
        const std::string id(sound.begin() + static_cast<long>(at), sound.begin() + static_cast<long>(at) + 4);
        const std::uint32_t size = le32(sound, at + 4);
        if (id == "fmt ") {
            EXPECT_EQ(sound[at + 10], 1) << "one channel";
            EXPECT_EQ(le32(sound, at + 12), 22050u);
            EXPECT_EQ(sound[at + 22], 16) << "bits per sample";
        }
        if (id == "data")
            data_bytes = size;
        at += 8 + size + (size & 1);
    }
    EXPECT_EQ(data_bytes, 2u * 15567300u);

    // The file holds what the generator draws, wherever we look.
    vexl::test::OpenStream stream(frames);
    ASSERT_NE(stream.get(), nullptr);
    DemoGenerator generator;
    Canvas expected;
    std::vector<std::uint8_t> frame(frame_size);
    for (int f = 0; f < demo_frames; ++f) {
        ASSERT_EQ(pack_read(stream.get(), frame.data(), frame_size), frame_size);
        if (f % 1499 == 0 || f == demo_frames - 1) {
            generator.render(f, expected);
            ASSERT_TRUE(std::equal(frame.begin(), frame.end(), expected.bytes().begin())) << "frame " << f;
        }
    }
}

TEST_F(VexlMkdemo, BadUsageWritesNothing)
{
    EXPECT_EQ(vexl("mkdemo").status, 2);
    EXPECT_EQ(vexl("mkdemo " + quote((dir / "a").string()) + " " + quote((dir / "b").string())).status, 2);
    EXPECT_EQ(vexl("mkdemo ''").status, 2);
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_FALSE(fs::exists(dir / "b"));
}

TEST_F(VexlMkdemo, UnusableDirectoriesAreReported)
{
    std::ofstream(dir / "plain") << "not a directory";
    ToolRun run = vexl("mkdemo " + quote((dir / "plain").string()));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("plain"), std::string::npos) << run.err;
    EXPECT_EQ(bytes_of(dir / "plain").size(), 15u) << "left as it was";

    // A target that cannot be replaced fails the run before any work, and
    // neither file appears.
    fs::create_directories(dir / "out" / "ld_vexl.d2");
    run = vexl("mkdemo " + quote((dir / "out").string()));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ld_vexl.d2"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "ld_vexl.d1"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

TEST(VexlMkdemoHostile, OnlyTheLastFolderIsMadeAndNothingStaysAfterAFailure)
{
    testing::HostileFiles files(VEXL_TOOL);
    testing::ToolRun run = files.run("mkdemo no/such/demo");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no/such/demo: cannot make the folder: No such file or directory"), std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(files.path("no")));

    if (testing::running_as_root()) {
        fs::create_directory(files.path("disk"));
        testing::SmallDisk disk(files.path("disk"), 1024);
        ASSERT_TRUE(disk.mounted());
        run = files.run("mkdemo disk/demo");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(files.path("disk"))) << "not even the folder it made";
    }

    // An interrupted run leaves nothing, not even the folder it made.
    const int status = files.interrupt({"mkdemo", "demo"}, SIGHUP);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "status " << status;
    EXPECT_FALSE(fs::exists(files.path("demo")));
}

}  // namespace
}  // namespace vexl::demo
