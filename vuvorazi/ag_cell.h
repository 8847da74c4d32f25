#pragma once
// One cell of a widget's grid. The toolkit never interprets the two words:
// cells are copied whole and compared field by field.

#include <cstdint>

namespace vuvorazi {

struct ag_cell {
    std::uint8_t ch = 0;
    std::uint32_t word_a = 0;
    std::uint32_t word_b = 0;

    friend bool operator==(const ag_cell&, const ag_cell&) = default;
};

}  // namespace vuvorazi
