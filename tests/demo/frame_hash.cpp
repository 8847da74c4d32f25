#include "tests/demo/frame_hash.h"

namespace vexl::demo::test {

std::uint64_t hash_bytes(std::span<const std::uint8_t> bytes, std::uint64_t seed)
{
    // FNV-1a: plenty to tell frames apart.
    std::uint64_t h = seed;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ULL;
    }
    return h;
}

}  // namespace vexl::demo::test
