#pragma once
// The allocator behind the stream's record and buffers: std::malloc, behind
// a pointer so tests can make an allocation fail.

#include <cstddef>

namespace vexl {

using PackAllocate = void* (*)(std::size_t bytes);
extern PackAllocate pack_allocate;

}  // namespace vexl
