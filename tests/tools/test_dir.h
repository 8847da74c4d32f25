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

}  // namespace vexl::test
