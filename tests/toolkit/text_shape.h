#pragma once

#include <string>

namespace vexl::testing {

// True when text has the shape of pattern, in which '9' stands for any
// digit and every other character for itself: "99/99/99" for a date.
inline bool has_shape(const std::string& text, const std::string& pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

}  // namespace vexl::testing
