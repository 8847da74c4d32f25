#pragma once
// One ordered record of calls shared by several fakes, so a test can check
// the order across services (the screen freed after the sound stopped).

#include <algorithm>
#include <string>
#include <vector>

namespace vexl::fakes {

struct CallJournal {
    std::vector<std::string> calls;

    void add(std::string call) { calls.push_back(std::move(call)); }
    bool has(const std::string& call) const
    {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    // Index of the first entry equal to `call`, or -1.
    int index(const std::string& call) const
    {
        const auto it = std::find(calls.begin(), calls.end(), call);
        return it == calls.end() ? -1 : static_cast<int>(it - calls.begin());
    }
};

}  // namespace vexl::fakes
