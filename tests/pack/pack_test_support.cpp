#include "tests/pack/pack_test_support.h"

#include <lzo/lzo1x.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "player/frame_reader.h"

namespace vexl::test {

Bytes sample_frames(std::size_t count, std::uint32_t seed)
{
    Bytes bytes(count);
    std::uint32_t noise = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t frame = i / 8000;
        const std::size_t cell = (i % 8000) / 2;
        if (i % 2 == 0) {
            // Runs of letters with an occasional odd character.
            noise = noise * 1103515245u + 12345u;
            bytes[i] = (noise >> 24) < 16 ? static_cast<std::uint8_t>(noise >> 16)
                                          : static_cast<std::uint8_t>('A' + (cell + frame) % 26);
        } else {
            bytes[i] = static_cast<std::uint8_t>((cell / 80 + frame * 7 + seed) & 0xFF);
        }
    }
    return bytes;
}

Bytes compress(std::span<const std::uint8_t> raw)
{
    static_cast<void>(lzo_init());
    Bytes out(raw.size() + raw.size() / 16 + 64 + 3);
    Bytes work(LZO1X_1_MEM_COMPRESS);
    lzo_uint size = 0;
    EXPECT_EQ(lzo1x_1_compress(raw.data(), raw.size(), out.data(), &size, work.data()), LZO_E_OK);
    out.resize(size);
    return out;
}

void append_length(Bytes& file, std::uint32_t length)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<std::uint8_t>(length >> shift));
}

std::array<std::uint8_t, frame_bytes> shown_frame(std::span<const std::uint8_t> raw, std::size_t n)
{
    std::array<std::uint8_t, frame_bytes> frame{};
    for (std::size_t k = 0; k <= n; ++k)
        for (std::size_t i = 0; i < frame_bytes && k * frame_bytes + i < raw.size(); ++i)
            frame[i] = raw[k * frame_bytes + i];
    return frame;
}

void append_block(Bytes& file, std::span<const std::uint8_t> data)
{
    append_length(file, static_cast<std::uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
}

TempFile::TempFile(const std::string& tag)
{
    static std::atomic<int> serial{0};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "vexl-pack-";
    name += test != nullptr ? test->name() : "x";
    name += "-" + tag + "-" + std::to_string(serial++) + "-" + std::to_string(std::rand());
    for (char& c : name)
        if (c == '/')
            c = '_';
    path_ = std::filesystem::temp_directory_path() / name;
}

TempFile::~TempFile()
{
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

void TempFile::write(std::span<const std::uint8_t> bytes) const
{
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes TempFile::read() const
{
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

OpenStream::OpenStream(const Bytes& image) : image_(image), file_("image")
{
    file_.write(image_);
    stream_ = pack_open(file_.path().c_str(), "r");
    EXPECT_NE(stream_, nullptr);
    FileImage.data = image_.data();
    FileImage.size = static_cast<std::uint32_t>(image_.size());
    FileImage.read_pos = 1;
}

OpenStream::~OpenStream()
{
    if (stream_ != nullptr) {
        pack_release(stream_);
        std::free(stream_);
    }
    FileImage = {};
}

Bytes OpenStream::read_all(std::uint32_t chunk)
{
    Bytes all;
    Bytes dest(chunk);
    for (;;) {
        const std::uint32_t got = pack_read(stream_, dest.data(), chunk);
        all.insert(all.end(), dest.begin(), dest.begin() + got);
        if (got < chunk)
            return all;
    }
}

Bytes OpenStream::read_frames(std::vector<PackDamage>* damage)
{
    PackBlockWalk walk;
    walk.walk(image_, true);
    FrameReader reader(stream_, walk);
    Bytes all;
    std::array<std::uint8_t, frame_bytes> frame{};
    for (std::uint32_t got = frame_bytes; got == frame_bytes;) {
        got = reader.read(frame.data(), frame_bytes);
        all.insert(all.end(), frame.begin(), frame.begin() + got);
    }
    if (damage != nullptr)
        *damage = reader.damage();
    return all;
}

}  // namespace vexl::test
