#pragma once
// A program that knows where it pretends to live and records the program
// it was asked to become, and the answers it was asked to start again with
// in a terminal window, instead of doing either.

#include <string>
#include <vector>

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
    bool restart_in_terminal_window(std::span<const int> answers, std::string& problem) override
    {
        window_answers.assign(answers.begin(), answers.end());
        problem = window_problem;
        return problem.empty();
    }

    std::string path;             // what own_path answers
    std::string replace_problem;  // set: replace_process fails with it
    std::string program;          // the last replace_process call
    std::string folder;
    std::string window_problem;      // set: no terminal window opens, for this reason
    std::vector<int> window_answers;  // the last restart_in_terminal_window call
};

}  // namespace vexl::fakes
