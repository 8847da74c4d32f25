#pragma once
// A directory of its own for the running test, empty at the start. The
// process id keeps two test runs at once (two build trees) apart.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vexl::test {

inline std::filesystem::path fresh_test_dir(const std::string& prefix)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
        (prefix + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
         std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// fresh_test_dir() as the current directory for the test's lifetime, for
// code that writes where it is run; removed afterwards.
class ScopedTestDir {
public:
    explicit ScopedTestDir(const std::string& prefix)
        : dir_(fresh_test_dir(prefix)), previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir_);
    }
    ~ScopedTestDir()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }
    ScopedTestDir(const ScopedTestDir&) = delete;
    ScopedTestDir& operator=(const ScopedTestDir&) = delete;

    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

}  // namespace vexl::test
