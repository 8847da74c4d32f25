#pragma once
// Building packed frame files by hand and reading them through the stream,
// for the pack tests.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "player/pack_blocks.h"
#include "player/pack_stream.h"

namespace vexl::test {

using Bytes = std::vector<std::uint8_t>;

// `count` bytes that look like text frames: compressible, yet different from
// frame to frame and block to block, so misplaced bytes show.
Bytes sample_frames(std::size_t count, std::uint32_t seed = 1);

// LZO1X-1 data of `raw` (no length field).
Bytes compress(std::span<const std::uint8_t> raw);

// Frame n of the unpacked `raw` as the player shows it: a frame cut short
// keeps the bytes of the frame before behind its end.
std::array<std::uint8_t, frame_bytes> shown_frame(std::span<const std::uint8_t> raw, std::size_t n);

// Appends a block: the big-endian length, then `data`.
void append_block(Bytes& file, std::span<const std::uint8_t> data);
void append_length(Bytes& file, std::uint32_t length);

// A file in the temporary directory, removed at the end of the scope.
class TempFile {
public:
    explicit TempFile(const std::string& tag);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& path() const { return path_; }
    void write(std::span<const std::uint8_t> bytes) const;
    Bytes read() const;

private:
    std::filesystem::path path_;
};

// A reading stream over `image` as the player sets it up: the image written
// to a file for pack_open's level byte, FileImage pointing at `image`, and
// read_pos moved past the level byte. Released, freed and FileImage cleared
// at the end of the scope.
class OpenStream {
public:
    explicit OpenStream(const Bytes& image);
    ~OpenStream();
    OpenStream(const OpenStream&) = delete;
    OpenStream& operator=(const OpenStream&) = delete;
    PackStream* operator->() const { return stream_; }
    PackStream* get() const { return stream_; }

    // Everything pack_read delivers, in reads of `chunk` bytes.
    Bytes read_all(std::uint32_t chunk = 8000);
    // The frames as the player's frame reader leaves them in its one buffer
    // (zero at first), joined, a last partial one cut to its length; the
    // damage it met into `damage`.
    Bytes read_frames(std::vector<PackDamage>* damage = nullptr);

private:
    Bytes image_;
    TempFile file_;
    PackStream* stream_ = nullptr;
};

}  // namespace vexl::test
