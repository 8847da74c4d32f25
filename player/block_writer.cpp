#include "player/block_writer.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace vexl {

namespace {
constexpr std::size_t length_field_size = 4;

// miniLZO (the Windows build) has LZO1X-1 only; full liblzo2 has LZO1X-999.
#ifdef LZO1X_999_MEM_COMPRESS
constexpr std::size_t smallest_work_mem = LZO1X_999_MEM_COMPRESS;
constexpr auto compress_smallest = lzo1x_999_compress;
#else
constexpr std::size_t smallest_work_mem = 0;
constexpr auto compress_smallest = lzo1x_1_compress;  // never called: the constructor refuses
#endif
}  // namespace

BlockWriter::BlockWriter(Sink sink, int level, PackEffort effort)
    : sink_(std::move(sink)), level_(level), effort_(effort), capacity_(level * pack_level_unit)
{
    if (level < min_level || level > max_level)
        throw std::invalid_argument("pack level " + std::to_string(level) + " is not 1-9");
    lzo_init();
    pending_.resize(static_cast<std::size_t>(capacity_));
    // A block of the capacity never packs larger than the reader's input
    // buffer, which has room for LZO1X's worst case.
    packed_.resize(length_field_size + static_cast<std::size_t>(pack_buffer_size(capacity_)));
    if (effort == PackEffort::smallest && smallest_work_mem == 0)
        throw std::invalid_argument("packing with LZO1X-999 is not in this build (miniLZO has LZO1X-1 only)");
    work_mem_.resize(effort == PackEffort::smallest ? smallest_work_mem : LZO1X_1_MEM_COMPRESS);
}

bool BlockWriter::emit(std::span<const std::uint8_t> bytes)
{
    if (failed_ || !sink_(bytes)) {
        failed_ = true;
        return false;
    }
    bytes_out_ += bytes.size();
    return true;
}

bool BlockWriter::start()
{
    if (started_)
        return true;
    started_ = true;
    const std::uint8_t level_byte = static_cast<std::uint8_t>(level_);
    return emit({&level_byte, 1});
}

bool BlockWriter::emit_block(const std::uint8_t* data, std::size_t size)
{
    lzo_uint packed_size = 0;
    std::uint8_t* body = packed_.data() + length_field_size;
    const auto compress = effort_ == PackEffort::smallest ? compress_smallest : lzo1x_1_compress;
    if (compress(data, size, body, &packed_size, work_mem_.data()) != LZO_E_OK) {
        failed_ = true;  // neither compressor has a failure mode for valid arguments
        return false;
    }
    const auto length = static_cast<std::uint32_t>(packed_size);
    packed_[0] = static_cast<std::uint8_t>(length >> 24);
    packed_[1] = static_cast<std::uint8_t>(length >> 16);
    packed_[2] = static_cast<std::uint8_t>(length >> 8);
    packed_[3] = static_cast<std::uint8_t>(length);
    ++blocks_;
    return emit({packed_.data(), length_field_size + packed_size});
}

bool BlockWriter::write(std::span<const std::uint8_t> bytes)
{
    if (finished_ || !start())
        return false;
    const auto capacity = static_cast<std::size_t>(capacity_);
    while (!bytes.empty()) {
        if (pending_size_ == 0 && bytes.size() >= capacity) {
            // Whole blocks straight from the caller's bytes, without a copy.
            if (!emit_block(bytes.data(), capacity))
                return false;
            bytes_in_ += capacity;
            bytes = bytes.subspan(capacity);
            continue;
        }
        const std::size_t take = std::min(capacity - pending_size_, bytes.size());
        std::memcpy(pending_.data() + pending_size_, bytes.data(), take);
        pending_size_ += take;
        bytes_in_ += take;
        bytes = bytes.subspan(take);
        if (pending_size_ == capacity) {
            pending_size_ = 0;
            if (!emit_block(pending_.data(), capacity))
                return false;
        }
    }
    return true;
}

bool BlockWriter::finish()
{
    if (finished_)
        return false;
    finished_ = true;
    if (!start())
        return false;
    if (pending_size_ != 0) {
        const std::size_t size = pending_size_;
        pending_size_ = 0;
        return emit_block(pending_.data(), size);
    }
    return ok();
}

BlockWriter::Sink file_sink(std::FILE* file)
{
    return [file](std::span<const std::uint8_t> bytes) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    };
}

std::vector<std::uint8_t> pack_bytes(std::span<const std::uint8_t> data, int level)
{
    std::vector<std::uint8_t> packed;
    BlockWriter writer(
        [&packed](std::span<const std::uint8_t> bytes) {
            packed.insert(packed.end(), bytes.begin(), bytes.end());
            return true;
        },
        level);
    writer.write(data);
    writer.finish();
    return packed;
}

}  // namespace vexl
