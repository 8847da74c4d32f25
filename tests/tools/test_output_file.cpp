#include "tools/vexl/output_file.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;

// Each test runs with unnamed temporaries and with the named ones used
// where a file system has no unnamed files.
class OutputFileTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        platform::use_named_temporaries(GetParam());
        dir = fs::temp_directory_path() / ("vexl-output-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        fs::remove_all(dir);
        platform::use_named_temporaries(false);
    }

    static std::string read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
};

TEST_P(OutputFileTest, CommitReplacesTheTargetAtOnce)
{
    const fs::path target = dir / "out.bin";
    std::ofstream(target) << "old";
    {
        OutputFile out(target);
        ASSERT_TRUE(out.ok()) << out.error();
        const std::uint8_t bytes[] = {'n', 'e', 'w'};
        ASSERT_TRUE(out.write(bytes));
        EXPECT_EQ(read(target), "old") << "the target is untouched until commit";
        ASSERT_TRUE(out.commit()) << out.error();
    }
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(entries(), 1u) << "no temporary left behind";
}

TEST_P(OutputFileTest, WithoutCommitNothingChangesAndNothingIsLeft)
{
    const fs::path target = dir / "out.bin";
    std::ofstream(target) << "keep";
    {
        OutputFile out(target);
        const std::uint8_t bytes[] = {1, 2, 3};
        ASSERT_TRUE(out.write(bytes));
    }
    EXPECT_EQ(read(target), "keep");
    EXPECT_EQ(entries(), 1u);
}

TEST_P(OutputFileTest, WritingByNameThroughTheTemporary)
{
    const fs::path target = dir / "named.txt";
    OutputFile out(target);
    std::ofstream(out.temp_path()) << "by name";
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(read(target), "by name");
}

TEST_P(OutputFileTest, UnwritableDirectoryIsReportedNotThrown)
{
    OutputFile out(dir / "missing-dir" / "out.bin");
    EXPECT_FALSE(out.ok());
    EXPECT_FALSE(out.error().empty());
    EXPECT_FALSE(out.commit());
}

TEST_P(OutputFileTest, StagedOutputsWaitWithoutADescriptorAndCommitTogether)
{
    std::ofstream(dir / "b.txt") << "old";
    OutputFile a(dir / "a.txt");
    OutputFile b(dir / "b.txt");
    std::fputs("first", a.stream());
    std::ofstream(b.temp_path()) << "second";
    ASSERT_TRUE(a.stage() && b.stage()) << a.error() << b.error();
    EXPECT_EQ(a.descriptor(), -1);
    EXPECT_FALSE(fs::exists(dir / "a.txt"));
    EXPECT_EQ(read(dir / "b.txt"), "old");
    OutputFile* const both[] = {&a, &b};
    EXPECT_EQ(OutputFile::commit_all(both), nullptr);
    EXPECT_EQ(read(dir / "a.txt"), "first");
    EXPECT_EQ(read(dir / "b.txt"), "second");
    EXPECT_EQ(entries(), 2u);
}

TEST_P(OutputFileTest, ASignalLeavesNoNameBehind)
{
    std::ofstream(dir / "keep") << "keep";
    const pid_t child = ::fork();
    if (child == 0) {
        OutputFile open(dir / "open");
        OutputFile staged(dir / "staged");
        // A new folder goes too, after the files in it.
        platform::NewFolder folder;
        std::string problem;
        const bool made = folder.make_beside((dir / "site").string(), problem);
        OutputFile inside(fs::path(folder.path()) / "inside");
        const std::uint8_t bytes[] = {1, 2, 3};
        const bool ready = made && open.write(bytes) && staged.write(bytes) && staged.stage() &&
                           inside.write(bytes) && inside.stage();
        if (ready)
            std::raise(SIGTERM);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    EXPECT_EQ(entries(), 1u) << "only the file that was there";
}

INSTANTIATE_TEST_SUITE_P(Temporaries, OutputFileTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Named" : "Unnamed"; });

}  // namespace
}  // namespace vexl::tool
