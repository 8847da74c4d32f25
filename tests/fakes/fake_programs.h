#pragma once
// A program that knows where it pretends to live and records the program
// it was asked to become instead of becoming it.

#include <string>

#include "platform/programs.h"

namespace vexl::fakes {

class FakePrograms : public platform::Programs {
public:
    std::string own_path(std::string& problem) override
    {
        if (path.empty())
            problem = "cannot find its own file";
        return path;
    }
    void replace_process(const std::string& program_, const std::string& folder_, std::string& problem) override
    {
        program = program_;
        folder = folder_;
        problem = replace_problem;
    }

    std::string path;             // what own_path answers
    std::string replace_problem;  // set: replace_process fails with it
    std::string program;          // the last replace_process call
    std::string folder;
};

}  // namespace vexl::fakes
