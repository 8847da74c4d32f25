// vexl pack, unpack and info, run as the built executable.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "player/block_writer.h"
#include "tests/pack/pack_test_support.h"
#include "tests/tools/hostile_files.h"
#include "tests/support/test_dir.h"

namespace vexl::test {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class VexlPackTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::fresh_test_dir("vexl-pack-tool");
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string quote(const std::string& s) { return "'" + s + "'"; }

    // Runs `vexl ARGS` (already quoted as needed) in `dir`.
    ToolRun vexl(const std::string& args, const std::string& stdin_file = "/dev/null") const
    {
        const fs::path out = dir / ".stdout";
        const fs::path err = dir / ".stderr";
        const std::string command = "cd " + quote(dir) + " && " + quote(VEXL_TOOL) + " " + args +
                                    " <" + quote(stdin_file) + " >" + quote(out) + " 2>" +
                                    quote(err);
        ToolRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = text(out);
        run.err = text(err);
        fs::remove(out);
        fs::remove(err);
        return run;
    }

    static std::string text(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static Bytes bytes(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void put(const std::string& name, const Bytes& content) const
    {
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(content.data()),
                  static_cast<std::streamsize>(content.size()));
    }
    static bool has(const std::string& haystack, const std::string& needle)
    {
        return haystack.find(needle) != std::string::npos;
    }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
};

TEST_F(VexlPackTool, PackUnpackRoundTripAtEveryLevelSpelling)
{
    const Bytes frames = sample_frames(9 * 8000);
    put("frames.raw", frames);

    ToolRun run = vexl("pack frames.raw default.d1");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.out, "9 frames")) << run.out;
    EXPECT_EQ(bytes(dir / "default.d1"), pack_bytes(frames, 2));

    ASSERT_EQ(vexl("pack --level 9 frames.raw nine.d1").status, 0);
    EXPECT_EQ(bytes(dir / "nine.d1"), pack_bytes(frames, 9));
    ASSERT_EQ(vexl("pack --level=1 - one.d1", (dir / "frames.raw").string()).status, 0);
    EXPECT_EQ(bytes(dir / "one.d1"), pack_bytes(frames, 1));

    for (const char* packed : {"default.d1", "nine.d1", "one.d1"}) {
        run = vexl(std::string("unpack ") + packed + " back.raw");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(bytes(dir / "back.raw"), frames) << packed;
    }
    EXPECT_EQ(bytes(dir / "frames.raw"), frames) << "inputs are never modified";
}

TEST_F(VexlPackTool, PartialLastFrameIsWarnedPackedAndUnpacked)
{
    const Bytes frames = sample_frames(2 * 8000 + 100);
    put("frames.raw", frames);
    ToolRun run = vexl("pack frames.raw p.d1");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.err, "frames.raw")) << run.err;
    EXPECT_TRUE(has(run.err, "partial")) << run.err;

    run = vexl("info p.d1");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.out, "2 whole")) << run.out;
    EXPECT_TRUE(has(run.out, "100 of 8000 bytes")) << run.out;

    ASSERT_EQ(vexl("unpack p.d1 back.raw").status, 0);
    EXPECT_EQ(bytes(dir / "back.raw"), frames);
}

TEST_F(VexlPackTool, InfoReportsTheShape)
{
    const Bytes packed = pack_bytes(sample_frames(20 * 8000), 1);
    put("any name.bin", packed);
    const ToolRun run = vexl("info 'any name.bin'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.out, "level       1: blocks of up to 32768 bytes, buffers of 36880"))
        << run.out;
    EXPECT_TRUE(has(run.out, "blocks      5\n")) << run.out;
    EXPECT_TRUE(has(run.out, "unpacked    160000 bytes")) << run.out;
    EXPECT_TRUE(has(run.out, "20 whole")) << run.out;
    EXPECT_TRUE(has(run.out, "damage      none")) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST_F(VexlPackTool, DamagedFilesAreReportedWithOffsetsAndExitOne)
{
    const Bytes sound = pack_bytes(sample_frames(3 * 8000), 2);
    Bytes cut = sound;
    append_block(cut, compress(sample_frames(8000, 5)));
    cut.resize(cut.size() - 10);
    put("cut.d1", cut);

    ToolRun run = vexl("info cut.d1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.out, "3 whole")) << run.out;
    EXPECT_TRUE(has(run.err, "vexl info: cut.d1: offset " + std::to_string(sound.size())))
        << run.err;
    EXPECT_TRUE(has(run.err, "cut short")) << run.err;

    // unpack still writes what the player would read, and says why it fails.
    run = vexl("unpack cut.d1 back.raw");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "vexl unpack: cut.d1: offset")) << run.err;
    EXPECT_EQ(bytes(dir / "back.raw"), sample_frames(3 * 8000));
    EXPECT_EQ(bytes(dir / "cut.d1"), cut);

    // A block in the middle unpacking short costs its own frames only:
    // unpack writes every frame after it in its place.
    const Bytes raw = sample_frames(3 * 65536);
    Bytes shorter{2};
    append_block(shorter, compress(std::span(raw).first(65536)));
    append_block(shorter, compress(std::span(raw).subspan(65536, 65536 - 253)));
    append_block(shorter, compress(std::span(raw).subspan(2 * 65536)));
    put("short.d1", shorter);
    run = vexl("info short.d1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, ": block 1 (")) << run.err;
    EXPECT_TRUE(has(run.err, "unpacks to 65283 bytes, not the 65536 of its level")) << run.err;
    ASSERT_EQ(vexl("unpack short.d1 short.raw").status, 1);
    const Bytes back = bytes(dir / "short.raw");
    ASSERT_EQ(back.size(), raw.size());
    EXPECT_TRUE(std::equal(back.begin() + 17 * 8000, back.end(), raw.begin() + 17 * 8000)) << "frames 17 on";

    put("empty.d1", {});
    run = vexl("info empty.d1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "empty.d1: offset 0: the file is empty")) << run.err;
}

TEST_F(VexlPackTool, UnreadableInputsFailWithoutOutput)
{
    ToolRun run = vexl("info missing.d1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "missing.d1: No such file")) << run.err;

    run = vexl("unpack missing.d1 out.raw");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "missing.d1")) << run.err;

    run = vexl("pack missing.raw out.d1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "vexl pack: missing.raw:")) << run.err;

    fs::create_directory(dir / "adir");
    run = vexl("info adir");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "adir: is a directory")) << run.err;

    put("f.raw", sample_frames(8000));
    run = vexl("pack f.raw no/such/dir/out.d1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "no/such/dir/out.d1")) << run.err;

    fs::remove_all(dir / "adir");
    EXPECT_EQ(entries(), 1u) << "nothing but f.raw was left behind";
}

TEST_F(VexlPackTool, ExistingOutputSurvivesAFailedRun)
{
    put("out.d1", {1, 2, 3});
    EXPECT_EQ(vexl("pack missing.raw out.d1").status, 1);
    EXPECT_EQ(bytes(dir / "out.d1"), (Bytes{1, 2, 3}));
}

TEST_F(VexlPackTool, BadUsageExitsTwo)
{
    put("f.raw", sample_frames(8000));
    put("f.d1", pack_bytes(sample_frames(8000)));
    for (const char* args :
         {"", "pack", "pack f.raw", "pack f.raw a b", "pack --level 0 f.raw o.d1",
          "pack --level 10 f.raw o.d1", "pack --level x f.raw o.d1", "pack f.raw o.d1 --level",
          "pack --fast f.raw o.d1", "unpack f.d1", "unpack -x f.d1 o", "info", "info a b",
          "frobnicate", "pack f.raw f.raw", "unpack f.d1 f.d1"}) {
        const ToolRun run = vexl(args);
        EXPECT_EQ(run.status, 2) << "vexl " << args;
        EXPECT_FALSE(run.err.empty()) << "vexl " << args;
    }
    EXPECT_EQ(bytes(dir / "f.raw"), sample_frames(8000)) << "an input named as output survives";
    EXPECT_EQ(bytes(dir / "f.d1"), pack_bytes(sample_frames(8000)));
    EXPECT_FALSE(fs::exists(dir / "o.d1"));
}

TEST_F(VexlPackTool, HelpDescribesEachCommand)
{
    for (const char* name : {"pack", "unpack", "info"}) {
        const ToolRun run = vexl(std::string(name) + " --help");
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(has(run.out, std::string("usage: vexl ") + name)) << run.out;
    }
    const ToolRun overview = vexl("--help");
    EXPECT_TRUE(has(overview.out, "pack [--level 1-9] FRAMES OUT.d1")) << overview.out;
}

TEST(VexlPackToolHostile, AwkwardFilesStreamsAndArguments)
{
    testing::HostileFiles files(VEXL_TOOL);
    const auto text = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
    files.put("frames.raw", text(sample_frames(30 * 8000)));
    files.put("small.d1", text(pack_bytes(sample_frames(30 * 8000), 2)));
    files.put("-odd.d1", text(pack_bytes(sample_frames(8000), 2)));
    files.expect_output_targets_handled("unpack small.d1 {OUT}");
    files.expect_output_targets_handled("pack frames.raw {OUT}");
    files.expect_input_kept_from_output("unpack small.d1 {OUT}", "small.d1");
    files.expect_input_kept_from_output("pack frames.raw {OUT}", "frames.raw");
    for (const char* args : {"info {IN}", "unpack {IN} {OUT}", "pack {IN} {OUT}"})
        files.expect_inputs_refused(args);

    files.put("keep.raw", "KEEP");
    files.put("empty.d1", "");
    struct Case {
        const char* args;
        const char* stdout_to;
        int status;
        const char* err_has;
    };
    const Case cases[] = {
        // A damaged file with nothing to salvage leaves the output alone.
        {"unpack empty.d1 keep.raw", "", 1, "keep.raw: nothing could be unpacked; left as it was"},
        {"unpack empty.d1 new.raw", "", 1, "new.raw: nothing could be unpacked; not written"},
        // Output that can't be written fails the run.
        {"info small.d1", "/dev/full", 1, "vexl: standard output: No space left on device"},
        {"--help", "/dev/full", 1, "vexl: standard output: No space left on device"},
        {"unpack --help", "/dev/full", 1, "vexl: standard output: No space left on device"},
        // Standard output by name: written in place, not replaced.
        {"unpack small.d1 /dev/stdout", "stdout.raw", 0, ""},
        // Options are named; -- ends them.
        {"info --bogus small.d1", "", 2, "vexl info: unknown option '--bogus'"},
        {"unpack small.d1 out.raw -q", "", 2, "vexl unpack: unknown option '-q'"},
        {"info -- -odd.d1", "", 0, ""},
        {"unpack -- -odd.d1 -odd.raw", "", 0, ""},
        {"pack --level=3 -- -odd.raw -odd2.d1", "", 0, ""},
    };
    for (const Case& c : cases) {
        const testing::ToolRun run = files.run(c.args, c.stdout_to);
        EXPECT_EQ(run.status, c.status) << c.args << ": " << run.err;
        EXPECT_NE(run.err.find(c.err_has), std::string::npos) << c.args << ": " << run.err;
    }
    EXPECT_EQ(files.read("keep.raw"), "KEEP");
    EXPECT_FALSE(std::filesystem::exists(files.path("new.raw")));
    EXPECT_TRUE(files.read("-odd.raw") == text(sample_frames(8000)));
    EXPECT_TRUE(files.read("stdout.raw") == text(sample_frames(30 * 8000)));
}

TEST(VexlPackToolHostile, AnInterruptedUnpackLeavesNoFile)
{
    testing::HostileFiles files(VEXL_TOOL);
    {
        // 400 MB of frames, packed small: the unpack is still writing when
        // the signal comes.
        std::ofstream out(files.path("big.d1"), std::ios::binary);
        BlockWriter writer([&out](std::span<const std::uint8_t> bytes) {
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            return true;
        });
        const Bytes frame = sample_frames(8000);
        for (int i = 0; i < 50000; ++i)
            writer.write(frame);
        writer.finish();
    }
    const int status = files.interrupt({"unpack", "big.d1", "out.raw"}, SIGINT);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    EXPECT_EQ(files.names(), std::vector<std::string>{"big.d1"});
}

}  // namespace
}  // namespace vexl::test
