// vexl web, run as the built executable: a whole site or nothing, and an
// existing folder replaced only when it is a site itself.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "core/frame_geometry.h"
#include "tests/pack/pack_test_support.h"

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
        dir = fs::temp_directory_path() /
              ("vexl-web-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
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
        {"missing sound", [&] { fs::remove(dir / "demo/ld_vexl.d2"); }, "not found"},
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

TEST_F(VexlWebTool, LeavesAFolderOfOtherFilesAlone)
{
    fs::create_directory(dir / "mine");
    write_file(dir / "mine/notes.txt", Bytes{'h', 'i'});
    write_file(dir / "mine/index.html", Bytes{'<'});
    EXPECT_EQ(web("demo mine"), 1);
    EXPECT_NE(errors().find("notes.txt"), std::string::npos) << errors();
    EXPECT_EQ(names_in(dir / "mine"), (std::set<std::string>{"notes.txt", "index.html"}));
    EXPECT_EQ(read_file(dir / "mine/index.html"), Bytes{'<'});

    write_file(dir / "plain", Bytes{'x'});
    EXPECT_EQ(web("demo plain"), 1);
    EXPECT_EQ(read_file(dir / "plain"), Bytes{'x'});
    expect_only({"mine", "plain"});
}

TEST_F(VexlWebTool, RejectsABadCommandLine)
{
    EXPECT_EQ(web(""), 2);
    EXPECT_EQ(web("demo"), 2);
    EXPECT_EQ(web("demo a b"), 2);
    EXPECT_EQ(web("demo ."), 2);
    EXPECT_EQ(web("demo /"), 2);
    expect_only({});
}

}  // namespace
}  // namespace vexl::tool
