// vexl web, run as the built executable: a whole site or nothing, also
// when interrupted or killed, an existing folder replaced only when it is a
// site itself, and pieces that give back the demo's frames and samples.

#include <libdeflate.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "player/piece_layout.h"
#include "tests/pack/pack_test_support.h"
#include "tests/tools/hostile_files.h"
#include "tests/support/test_dir.h"
#include "tools/record/media_reader.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const std::set<std::string> site_files = {
    "index.html",    "vexlade-player.js", "clock.js",     "controls.js",     "fetching.js",
    "frames.js",     "sound.js",          "sound-worklet.js", "wasm-imports.js", "player.css", "vexlade.wasm",
    "speaker.wasm",  "demo",              "demo/demo.json",   "demo/poster.png", "demo/frames",
    "demo/frames/0000.deflate", "demo/sound", "demo/sound/0000.flac"};

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

// Every name under `dir`, relative to it.
std::set<std::string> tree_of(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.insert(entry.path().lexically_relative(dir).string());
    return names;
}

Bytes inflate(const Bytes& deflated, std::size_t size)
{
    Bytes out(size);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::size_t got = 0;
    const auto result = libdeflate_deflate_decompress(d, deflated.data(), deflated.size(), out.data(), size, &got);
    libdeflate_free_decompressor(d);
    EXPECT_EQ(result, LIBDEFLATE_SUCCESS);
    out.resize(got);
    return out;
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
                                    " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string errors() const
    {
        std::ifstream in(dir / "stderr");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Nothing but the demo, the captures and `expected` in the work folder:
    // no temporary or moved-aside folder stayed behind.
    void expect_only(std::set<std::string> expected) const
    {
        expected.insert({"demo", "stdout", "stderr"});
        EXPECT_EQ(names_in(dir), expected);
    }

    fs::path dir;
    Bytes frames;
    Bytes sound;
};

TEST_F(VexlWebTool, WritesTheWholeSite)
{
    ASSERT_EQ(web("demo site/ --poster 2"), 0) << errors();
    EXPECT_EQ(tree_of(dir / "site"), site_files);
    // The pieces give back the frames as the player shows them and the
    // samples as it plays them (raw here: signed 16-bit).
    const Bytes rows = inflate(read_file(dir / "site/demo/frames/0000.deflate"), 3 * frame_bytes);
    const Bytes raw = test::sample_frames(3 * frame_bytes);
    for (std::size_t k = 0; k < 3; ++k) {
        std::array<std::uint8_t, frame_bytes> frame{};
        frame_from_rows(rows, k, frame);
        EXPECT_TRUE(std::equal(frame.begin(), frame.end(), raw.begin() + static_cast<std::ptrdiff_t>(k * frame_bytes)));
    }
    record::DecodedSound decoded;
    std::string problem;
    ASSERT_TRUE(record::read_sound(dir / "site/demo/sound/0000.flac", decoded, problem)) << problem;
    const auto* samples = reinterpret_cast<const std::int16_t*>(sound.data());
    EXPECT_EQ(decoded.samples, std::vector<std::int16_t>(samples, samples + sound.size() / 2));
    const Bytes manifest = read_file(dir / "site/demo/demo.json");
    const std::string json(manifest.begin(), manifest.end());
    for (const char* field : {"\"count\": 3,", "\"codec\": \"flac\"", "\"samples\": 500,", "\"frame\": 2}"})
        EXPECT_NE(json.find(field), std::string::npos) << field << " in " << json;
    const Bytes printed = read_file(dir / "stdout");
    EXPECT_NE(std::string(printed.begin(), printed.end()).find("<vexlade-player src=\"site/demo/\">"),
              std::string::npos);
    expect_only({"site"});

    // The lossy site: Opus pieces, each with room on both sides.
    ASSERT_EQ(web("--opus demo small"), 0) << errors();
    EXPECT_TRUE(fs::exists(dir / "small/demo/sound/0000.opus"));
    const Bytes small = read_file(dir / "small/demo/demo.json");
    EXPECT_NE(std::string(small.begin(), small.end()).find("\"codec\": \"opus\", \"samples\": 500, "
                                                           "\"perPiece\": 88200, \"lead\": 147"),
              std::string::npos);
}

TEST_F(VexlWebTool, ReplacesAnEarlierSite)
{
    ASSERT_EQ(web("demo site"), 0) << errors();
    sound = Bytes(500, 9);
    write_file(dir / "demo/ld_vexl.d2", sound);
    ASSERT_EQ(web("demo site"), 0) << errors();
    const Bytes manifest = read_file(dir / "site/demo/demo.json");
    EXPECT_NE(std::string(manifest.begin(), manifest.end()).find("\"samples\": 250,"), std::string::npos);
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
    EXPECT_EQ(web("--poster 3 demo site"), 2);  // frames 0 to 2
    EXPECT_EQ(web("--bogus demo site"), 2);
    EXPECT_NE(errors().find("unknown option '--bogus'"), std::string::npos) << errors();
    expect_only({});
    EXPECT_EQ(web("-- demo site"), 0) << errors();
    expect_only({"site"});
}

// demo/ with three frames in one level-2 block and `sound` as its soundtrack.
void put_small_demo(testing::HostileFiles& files, const std::string& sound)
{
    fs::create_directory(files.path("demo"));
    Bytes frames{2};
    test::append_block(frames, test::compress(test::sample_frames(3 * frame_bytes)));
    files.put("demo/ld_vexl.d1", std::string(frames.begin(), frames.end()));
    files.put("demo/ld_vexl.d2", sound);
}

// The awkward inputs and targets of the other subcommands' tests. OUT is a
// folder here: anything else in its place is refused and left alone, as is
// a folder that holds other files.
TEST(VexlWebHostile, AwkwardInputsAndTargets)
{
    testing::HostileFiles files(VEXL_TOOL);
    put_small_demo(files, "sound");
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
    EXPECT_EQ(tree_of(files.path("sites/one")), site_files);

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
        const std::string before = files.read("disk/site/demo/demo.json");
        // Noise, which no encoder makes smaller.
        const Bytes noise = test::sample_frames(600 * 1024, 7);
        std::string sound(noise.size(), '\0');
        for (std::size_t i = 0; i < noise.size(); ++i)
            sound[i] = static_cast<char>(noise[i] * 97 + i * 31);
        files.put("demo/ld_vexl.d2", sound);
        const testing::ToolRun run = files.run("web demo disk/site");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
        EXPECT_EQ(names_in(files.path("disk")), std::set<std::string>{"site"});
        EXPECT_EQ(files.read("disk/site/demo/demo.json"), before);
    }
}

// A signal at any moment of a run leaves the old site whole or the new one,
// and nothing else: no temporary folder, no file.
TEST(VexlWebHostile, AnInterruptedRunLeavesNothing)
{
    testing::HostileFiles files(VEXL_TOOL);
    put_small_demo(files, "old sound");
    ASSERT_EQ(files.run("web demo site").status, 0);
    // A soundtrack that takes a while to copy.
    constexpr std::uintmax_t sound_bytes = 64u << 20;
    fs::resize_file(files.path("demo/ld_vexl.d2"), sound_bytes);
    const std::vector<std::string> names{"demo", "site"};
    const auto old_or_new = [&] {
        EXPECT_EQ(files.names(), names);
        std::set<std::string> top;
        std::copy_if(site_files.begin(), site_files.end(), std::inserter(top, top.end()),
                     [](const std::string& name) { return name.find('/') == std::string::npos; });
        EXPECT_EQ(names_in(files.path("site")), top);
        // 9 bytes are 4 samples; the new soundtrack runs to the end of the demo.
        const std::string manifest = files.read("site/demo/demo.json");
        const bool old = manifest.find("\"samples\": 4,") != std::string::npos;
        EXPECT_TRUE(old || manifest.find("\"samples\": 15567300,") != std::string::npos) << manifest;
        return !old;
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

// A run killed outright leaves its folder, which the next run clears;
// the folder of a run still going, or one holding other files, stays.
TEST(VexlWebHostile, AKilledRunIsClearedByTheNext)
{
    testing::HostileFiles files(VEXL_TOOL);
    put_small_demo(files, "sound");
    fs::resize_file(files.path("demo/ld_vexl.d2"), 64u << 20);
    const int status = files.interrupt({"web", "demo", "site"}, SIGKILL, true);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
    ASSERT_EQ(files.names().size(), 2u);  // the demo and the killed run's folder

    const std::string running = "site.tmp-" + std::to_string(::getpid()) + "-1";
    const std::string foreign = "site.tmp-999999999-2";
    fs::create_directory(files.path(running));
    fs::create_directory(files.path(foreign));
    files.put(foreign + "/notes.txt", "mine");
    ASSERT_EQ(files.run("web demo site").status, 0);
    EXPECT_EQ(files.names(), (std::vector<std::string>{"demo", "site", running, foreign}));
}

}  // namespace
}  // namespace vexl::tool
