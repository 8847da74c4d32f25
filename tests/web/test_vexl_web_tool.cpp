// vexl web, run as the built executable: a whole site or nothing, also
// when interrupted, and an existing folder replaced only when it is a site
// itself.

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "core/frame_geometry.h"
#include "tests/pack/pack_test_support.h"
#include "tests/tools/hostile_files.h"
#include "tests/support/test_dir.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const std::set<std::string> site_files = {"index.html",  "vexlade.css", "vexlade.js", "speaker-worklet.js",
                                          "vexlade.wasm", "speaker.wasm", "ld_vexl.d1", "ld_vexl.d2"};

Bytes read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> names_in(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class VexlWebTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::fresh_test_dir("vexl-web");
        fs::create_directories(dir / "demo");
        frames = Bytes{2};
        test::append_block(frames, test::compress(test::sample_frames(3 * frame_bytes)));
        write_file(dir / "demo/ld_vexl.d1", frames);
        sound = Bytes(1000, 7);
        write_file(dir / "demo/ld_vexl.d2", sound);
    }
    void TearDown() override { fs::remove_all(dir); }

    int web(const std::string& args) const
    {
        const std::string command = "cd '" + dir.string() + "' && '" VEXL_TOOL "' web " + args +
                                    " >/dev/null 2>'" + (dir / "stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string errors() const
    {
        std::ifstream in(dir / "stderr");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Nothing but the demo, the stderr capture and `expected` in the work folder:
    // no temporary or moved-aside folder stayed behind.
    void expect_only(std::set<std::string> expected) const
    {
        expected.insert({"demo", "stderr"});
        EXPECT_EQ(names_in(dir), expected);
    }

    fs::path dir;
    Bytes frames;
    Bytes sound;
};

TEST_F(VexlWebTool, WritesTheWholeSite)
{
    ASSERT_EQ(web("demo site/"), 0) << errors();
    EXPECT_EQ(names_in(dir / "site"), site_files);
    EXPECT_EQ(read_file(dir / "site/ld_vexl.d1"), frames);
    EXPECT_EQ(read_file(dir / "site/ld_vexl.d2"), sound);
    const Bytes wasm = read_file(dir / "site/vexlade.wasm");
    ASSERT_GE(wasm.size(), 4u);
    EXPECT_EQ(Bytes(wasm.begin(), wasm.begin() + 4), (Bytes{0, 'a', 's', 'm'}));
    const Bytes page = read_file(dir / "site/index.html");
    EXPECT_NE(std::string(page.begin(), page.end()).find("vexlade.js"), std::string::npos);
    expect_only({"site"});
}

TEST_F(VexlWebTool, ReplacesAnEarlierSite)
{
    ASSERT_EQ(web("demo site"), 0) << errors();
    sound = Bytes(500, 9);
    write_file(dir / "demo/ld_vexl.d2", sound);
    ASSERT_EQ(web("demo site"), 0) << errors();
    EXPECT_EQ(read_file(dir / "site/ld_vexl.d2"), sound);
    // An empty folder is a site with nothing in it yet.
    fs::create_directory(dir / "empty");
    EXPECT_EQ(web("demo empty"), 0) << errors();
    expect_only({"site", "empty"});
}

TEST_F(VexlWebTool, WritesNothingForBadInput)
{
    struct Case {
        const char* what;
        std::function<void()> damage;
        const char* said;
    };
    const Case cases[] = {
        {"missing frames", [&] { fs::remove(dir / "demo/ld_vexl.d1"); }, "ld_vexl.d1"},
        {"missing sound", [&] { fs::remove(dir / "demo/ld_vexl.d2"); }, "ld_vexl.d2: No such file"},
        {"frames cut short", [&] {
             write_file(dir / "demo/ld_vexl.d1", Bytes(frames.begin(), frames.end() - 10));
         }, "cut short"},
        {"no frame at all", [&] { write_file(dir / "demo/ld_vexl.d1", Bytes{2}); }, "no whole frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.damage();
        EXPECT_EQ(web("demo site"), 1);
        EXPECT_NE(errors().find(c.said), std::string::npos) << errors();
        expect_only({});
    }
}

TEST_F(VexlWebTool, RejectsABadCommandLine)
{
    EXPECT_EQ(web(""), 2);
    EXPECT_EQ(web("demo"), 2);
    EXPECT_EQ(web("demo a b"), 2);
    EXPECT_EQ(web("demo ."), 2);
    EXPECT_EQ(web("demo /"), 2);
    EXPECT_EQ(web("--bogus demo site"), 2);
    EXPECT_NE(errors().find("unknown option '--bogus'"), std::string::npos) << errors();
    expect_only({});
    EXPECT_EQ(web("-- demo site"), 0) << errors();
    expect_only({"site"});
}

// The awkward inputs and targets of the other subcommands' tests. OUT is a
// folder here: anything else in its place is refused and left alone, as is
// a folder that holds other files.
TEST(VexlWebHostile, AwkwardInputsAndTargets)
{
    testing::HostileFiles files(VEXL_TOOL);
    fs::create_directory(files.path("demo"));
    Bytes frames{2};
    test::append_block(frames, test::compress(test::sample_frames(3 * frame_bytes)));
    files.put("demo/ld_vexl.d1", std::string(frames.begin(), frames.end()));
    files.put("demo/ld_vexl.d2", "sound");
    for (const char* input : {"demo/ld_vexl.d1", "demo/ld_vexl.d2"})
        files.expect_inputs_refused("web demo {OUT}", input);

    const std::vector<std::string> inputs = files.names();
    struct Target {
        const char* what;
        std::function<void(const fs::path&)> make;
        const char* said;
    };
    const Target targets[] = {
        {"a file", [&](const fs::path& p) { files.put(p.filename(), "x"); }, "exists and is not a folder"},
        {"a FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0666); }, "exists and is not a folder"},
        {"a link to a file", [&](const fs::path& p) { files.put("file", "x"); fs::create_symlink("file", p); },
         "exists and is not a folder"},
        {"a folder of other files", [&](const fs::path& p) {
             fs::create_directory(p);
             files.put("out/notes.txt", "mine");
             files.put("out/index.html", "<");
         }, "holds notes.txt, which vexl web does not write"},
    };
    for (const Target& target : targets) {
        SCOPED_TRACE(target.what);
        target.make(files.path("out"));
        const std::vector<std::string> before = files.names();
        const testing::ToolRun run = files.run("web demo out");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("out: " + std::string(target.said)), std::string::npos) << run.err;
        EXPECT_EQ(files.names(), before);
        for (const std::string& name : files.names())
            if (std::find(inputs.begin(), inputs.end(), name) == inputs.end())
                fs::remove_all(files.path(name));
    }
    EXPECT_EQ(names_in(files.path("demo")), (std::set<std::string>{"ld_vexl.d1", "ld_vexl.d2"}));

    // Links are followed: the folder they lead to is replaced or made.
    fs::create_directory(files.path("sites"));
    fs::create_symlink("sites/one", files.path("link"));
    ASSERT_EQ(files.run("web demo link").status, 0);
    ASSERT_EQ(files.run("web demo link/").status, 0);
    EXPECT_TRUE(fs::is_symlink(files.path("link")));
    EXPECT_EQ(names_in(files.path("sites")), std::set<std::string>{"one"});
    EXPECT_EQ(names_in(files.path("sites/one")), site_files);

    if (!testing::running_as_root()) {
        fs::permissions(files.path("sites"), fs::perms::owner_read | fs::perms::owner_exec);
        const testing::ToolRun run = files.run("web demo sites/two");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("sites/two: cannot make the folder: Permission denied"), std::string::npos) << run.err;
        fs::permissions(files.path("sites"), fs::perms::owner_all);
        EXPECT_EQ(names_in(files.path("sites")), std::set<std::string>{"one"});
    } else {
        // A full disk: the old site stays as it was, nothing is added.
        fs::create_directory(files.path("disk"));
        testing::SmallDisk disk(files.path("disk"), 512);
        ASSERT_TRUE(disk.mounted());
        ASSERT_EQ(files.run("web demo disk/site").status, 0);
        files.put("demo/ld_vexl.d2", std::string(600 * 1024, 's'));
        const testing::ToolRun run = files.run("web demo disk/site");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
        EXPECT_EQ(names_in(files.path("disk")), std::set<std::string>{"site"});
        EXPECT_EQ(files.read("disk/site/ld_vexl.d2"), "sound");
    }
}

// A signal at any moment of a run leaves the old site whole or the new one,
// and nothing else: no temporary folder, no file.
TEST(VexlWebHostile, AnInterruptedRunLeavesNothing)
{
    testing::HostileFiles files(VEXL_TOOL);
    fs::create_directory(files.path("demo"));
    Bytes frames{2};
    test::append_block(frames, test::compress(test::sample_frames(3 * frame_bytes)));
    files.put("demo/ld_vexl.d1", std::string(frames.begin(), frames.end()));
    files.put("demo/ld_vexl.d2", "old sound");
    ASSERT_EQ(files.run("web demo site").status, 0);
    // A soundtrack that takes a while to copy.
    constexpr std::uintmax_t sound_bytes = 64u << 20;
    fs::resize_file(files.path("demo/ld_vexl.d2"), sound_bytes);
    const std::vector<std::string> names{"demo", "site"};
    const auto old_or_new = [&] {
        EXPECT_EQ(files.names(), names);
        EXPECT_EQ(names_in(files.path("site")), site_files);
        const std::uintmax_t size = fs::file_size(files.path("site/ld_vexl.d2"));
        EXPECT_TRUE(size == 9 || size == sound_bytes) << size;
        return size == sound_bytes;
    };

    // While the files are written, and while the folder is new and empty.
    for (const auto& [signal, wait_for_name] : {std::pair{SIGINT, false}, std::pair{SIGTERM, true}}) {
        const int status = files.interrupt({"web", "demo", "site"}, signal, wait_for_name);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_FALSE(old_or_new()) << "the old site stays";
    }
    fs::remove_all(files.path("site"));
    const int status = files.interrupt({"web", "demo", "site"}, SIGHUP);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "status " << status;
    EXPECT_EQ(files.names(), std::vector<std::string>{"demo"});
    ASSERT_EQ(files.run("web demo site").status, 0);

    // Any moment, up to the end: the signals come at moments spread over
    // the length of a whole run.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(files.run("web demo site").status, 0);
    const auto length = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    int replaced = 0;
    for (int step = 0; step <= 12; ++step) {
        const int signal = std::array{SIGINT, SIGTERM, SIGHUP}[step % 3];
        const int ended = files.signal_after({"web", "demo", "site"}, signal, length * step / 10);
        EXPECT_TRUE(WIFSIGNALED(ended) || (WIFEXITED(ended) && WEXITSTATUS(ended) == 0)) << ended;
        replaced += old_or_new() ? 1 : 0;
    }
    EXPECT_GT(replaced, 0) << "some runs ended before their signal";
}

}  // namespace
}  // namespace vexl::tool
