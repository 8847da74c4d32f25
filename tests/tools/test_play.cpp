// vexl play against a fake of the platform: which player it starts, in
// which folder, for an installed vexl and one in its build tree.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/fakes/fake_programs.h"
#include "tools/vexl/command.h"
#include "vexl_layout.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;

class VexlPlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("vexl-play-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // An empty file, with the folders on its way.
    static void touch(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        std::ofstream{file};
    }

    int play(std::vector<std::string_view> args)
    {
        const platform::ScopedService<platform::Programs> slot(programs);
        return find_command("play")->main(args);
    }

    fs::path root;
    fakes::FakePrograms programs;
};

TEST_F(VexlPlay, StartsThePlayerOnTheDefaultDemoOfItsInstallOrBuildTree)
{
    struct Layout {
        const char* name;
        fs::path tool, player, demo;
    };
    const fs::path bin = root / "usr" / "bin";
    const fs::path tools = root / "build" / "tools";
    for (const Layout& l : {Layout{"installed", bin / "vexl", bin / installed_player, bin / installed_demo},
                            Layout{"built", tools / "vexl", tools / built_player, tools / built_demo}}) {
        touch(l.tool);
        touch(l.player);
        touch(l.demo / "ld_vexl.d1");
        programs.path = l.tool;
        EXPECT_EQ(play({}), exit_bad_input) << "the fake returns: as a failed start";
        EXPECT_EQ(programs.program, l.player.lexically_normal()) << l.name;
        EXPECT_EQ(programs.folder, l.demo.lexically_normal()) << l.name;
    }

    touch(root / "mine" / "ld_vexl.d1");
    play({"--", (root / "mine").string()});
    EXPECT_EQ(programs.folder, root / "mine") << "-- ends the options";
    EXPECT_EQ(programs.program, (tools / built_player).lexically_normal()) << "from the build tree, as vexl is";
}

TEST_F(VexlPlay, RefusesWhatCannotPlay)
{
    const fs::path bin = root / "bin";
    touch(bin / "vexl");
    touch(root / "empty" / "keep");
    programs.path = bin / "vexl";
    struct Case {
        const char* what;
        std::vector<std::string_view> args;
        int code;
    };
    const std::string empty = (root / "empty").string();
    for (const Case& c : {Case{"two folders", {"a", "b"}, exit_usage}, Case{"an option", {"--fast"}, exit_usage},
                          Case{"no player", {empty}, exit_bad_input}}) {
        EXPECT_EQ(play(c.args), c.code) << c.what;
    }
    touch(bin / installed_player);
    // What is wrong with the folder named, as given.
    const std::string file = (root / "empty" / "keep").string();
    const std::string missing = (root / "missing").string();
    struct Told {
        std::vector<std::string_view> args;
        int code;
        std::string says;
    };
    for (const Told& c : {Told{{empty}, exit_bad_input, empty + ": holds no ld_vexl.d1 to play"},
                          Told{{file}, exit_bad_input, file + ": is not a folder"},
                          Told{{missing}, exit_bad_input, missing + ": No such file or directory"},
                          Told{{""}, exit_usage, "vexl play: the folder's name is empty"},
                          Told{{empty, "--bogus"}, exit_usage, "unknown option '--bogus'"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(play(c.args), c.code) << c.says;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
    }
    EXPECT_EQ(play({}), exit_bad_input) << "no default demo installed";
    EXPECT_EQ(programs.program, "") << "nothing was started";

    programs.path.clear();
    EXPECT_EQ(play({}), exit_bad_input) << "vexl can't find its own file";
}

}  // namespace
}  // namespace vexl::tool
