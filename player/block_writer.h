#pragma once
// The write side of the packed frame format (see player/pack_stream.h): cuts
// a byte stream into blocks of the level's capacity and compresses each with
// LZO1X-1, or with LZO1X-999 for the smallest file (half the size of
// LZO1X-1's for the default demo, a hundred times slower to pack, read by
// the same decoder just as fast). Streaming: only one block is held at a time, so inputs of any
// length pack in constant memory.
//
//   BlockWriter writer(file_sink(out), 2);
//   writer.write(frame);      // as often as needed, any sizes
//   writer.finish();          // packs the last, partial block
//
// The level byte goes out with the first write or finish, so even an empty
// input gives a valid file (the level byte alone).

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <vector>

#include "player/pack_stream.h"

namespace vexl {

enum class PackEffort { fast, smallest };

class BlockWriter {
public:
    // Receives the packed bytes in order; false stops the writer.
    using Sink = std::function<bool(std::span<const std::uint8_t>)>;

    static constexpr int min_level = 1;
    static constexpr int max_level = 9;

    // Throws std::invalid_argument for a level outside 1-9.
    explicit BlockWriter(Sink sink, int level = pack_default_level, PackEffort effort = PackEffort::fast);

    // Adds bytes; packs and emits every block that fills up. False once the
    // sink has failed or after finish.
    bool write(std::span<const std::uint8_t> bytes);

    // Packs what is pending as the last block. Call it once at the end; the
    // destructor does not, so a writer dropped early emits no partial block.
    bool finish();

    bool ok() const { return !failed_; }
    int level() const { return level_; }
    std::int32_t capacity() const { return capacity_; }
    std::uint64_t bytes_in() const { return bytes_in_; }    // unpacked bytes taken
    std::uint64_t bytes_out() const { return bytes_out_; }  // file bytes emitted
    std::uint32_t blocks() const { return blocks_; }

private:
    bool start();
    bool emit_block(const std::uint8_t* data, std::size_t size);
    bool emit(std::span<const std::uint8_t> bytes);

    Sink sink_;
    int level_;
    PackEffort effort_;
    std::int32_t capacity_;
    std::vector<std::uint8_t> pending_;   // unpacked bytes of the block being filled
    std::size_t pending_size_ = 0;
    std::vector<std::uint8_t> packed_;    // length field + compressed block
    std::vector<std::uint8_t> work_mem_;  // the compressor's dictionary
    std::uint64_t bytes_in_ = 0;
    std::uint64_t bytes_out_ = 0;
    std::uint32_t blocks_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

// A sink appending to a stdio stream; false when fwrite fails.
BlockWriter::Sink file_sink(std::FILE* file);

// Packs `data` whole into the bytes of a packed frame file.
std::vector<std::uint8_t> pack_bytes(std::span<const std::uint8_t> data,
                                     int level = pack_default_level);

}  // namespace vexl
