#pragma once
// Text frames that look like a demo's: an animated colour gradient of shade
// characters, a double-lined box drifting over it with scrolling lines of
// text, a title bar and a rotating colour bar. Deterministic, so every run
// measures the same data.

#include <cstdint>
#include <span>

namespace vexl::bench {

// Writes frame number `index` (8000 bytes) into `frame`.
void make_text_frame(std::uint32_t index, std::span<std::uint8_t, 8000> frame);

}  // namespace vexl::bench
