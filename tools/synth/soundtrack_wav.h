#pragma once
// The default soundtrack as a file: renders it and writes it as a mono
// 16-bit 22050 Hz WAV through the platform's sound-file service.

#include <string>

namespace vexl::synth {

// False, with the reason in `error`, if the file could not be written.
// Write to a temporary name and rename it into place to get a whole file
// or none (see tools/vexl/output_file.h).
bool write_default_soundtrack_wav(const std::string& path, std::string& error);

}  // namespace vexl::synth
