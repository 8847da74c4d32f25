#pragma once
// Hashes of whole frames, for comparing runs without keeping the frames.

#include <cstdint>
#include <span>

namespace vexl::demo::test {

std::uint64_t hash_bytes(std::span<const std::uint8_t> bytes, std::uint64_t seed = 0xcbf29ce484222325ULL);

}  // namespace vexl::demo::test
