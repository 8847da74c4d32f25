#pragma once
// Something that may take a key before a widget routes it to its children.

#include <cstdint>

namespace vuvorazi {

class ag_keyhandler {
public:
    virtual ~ag_keyhandler() = default;
    // True when the key was consumed.
    virtual bool key(std::uint32_t code) = 0;
};

}  // namespace vuvorazi
