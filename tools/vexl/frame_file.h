#pragma once
// What the pack subcommands share: loading a whole input, guarding inputs
// against being overwritten, and a packed frame stream opened over a loaded
// image the way the player opens it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "player/frame_reader.h"
#include "player/pack_blocks.h"
#include "player/pack_stream.h"

namespace vexl::tool {

// Reads a whole frame file: a regular file of at most the size the player
// loads. Anything else (a device, a FIFO, a folder) is refused unread; on
// failure `problem` says why.
bool read_whole_file(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                     std::string& problem);

// True when `output` already exists and is the same file as `input`
// (device and inode: whatever the names and links on the way).
bool is_same_file(const std::filesystem::path& input, const std::filesystem::path& output);

// A reading stream over `image`, which must hold the content of `path`:
// opened with pack_open(path, "r") and served from FileImage, released and
// freed at the end of its scope (FileImage is cleared then too), and the
// frames read from it as the player reads them. Null when pack_open fails
// or the image is too large for FileImage.
class ImageStream {
public:
    ImageStream(const std::filesystem::path& path, std::vector<std::uint8_t>& image);
    ~ImageStream();
    ImageStream(const ImageStream&) = delete;
    ImageStream& operator=(const ImageStream&) = delete;

    PackStream* get() const { return stream_; }
    FrameReader& frames() { return *frames_; }

private:
    PackStream* stream_ = nullptr;
    PackBlockWalk walk_;
    std::optional<FrameReader> frames_;
};

}  // namespace vexl::tool
