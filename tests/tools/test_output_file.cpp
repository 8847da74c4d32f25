#include "tools/vexl/output_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("vexl-output-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

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

TEST_F(OutputFileTest, CommitReplacesTheTargetAtOnce)
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

TEST_F(OutputFileTest, WithoutCommitNothingChangesAndNothingIsLeft)
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

TEST_F(OutputFileTest, WritingByNameThroughTheTemporary)
{
    const fs::path target = dir / "named.txt";
    OutputFile out(target);
    std::ofstream(out.temp_path()) << "by name";
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(read(target), "by name");
}

TEST_F(OutputFileTest, UnwritableDirectoryIsReportedNotThrown)
{
    OutputFile out(dir / "missing-dir" / "out.bin");
    EXPECT_FALSE(out.ok());
    EXPECT_FALSE(out.error().empty());
    EXPECT_FALSE(out.commit());
}

}  // namespace
}  // namespace vexl::tool
