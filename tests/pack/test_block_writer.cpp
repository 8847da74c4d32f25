#include "player/block_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "player/pack_survey.h"
#include "tests/pack/pack_test_support.h"

namespace vexl::test {
namespace {

TEST(BlockWriter, CutsAtTheCapacityAndRoundTrips)
{
    const Bytes raw = sample_frames(5 * 32768 + 77);
    const Bytes file = pack_bytes(raw, 1);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file[0], 1);
    const PackInfo info = inspect_pack(file);
    EXPECT_FALSE(info.damaged());
    EXPECT_EQ(info.blocks, 6u);
    EXPECT_EQ(info.unpacked_bytes, raw.size());
    OpenStream stream(file);
    EXPECT_EQ(stream.read_all(), raw);
}

TEST(BlockWriter, StreamingInAnyPiecesGivesTheSameFile)
{
    const Bytes raw = sample_frames(3 * 65536 + 5000);
    const Bytes whole = pack_bytes(raw);
    std::mt19937 random(7);
    Bytes streamed;
    BlockWriter writer(
        [&streamed](std::span<const std::uint8_t> bytes) {
            streamed.insert(streamed.end(), bytes.begin(), bytes.end());
            return true;
        },
        2);
    for (std::size_t at = 0; at < raw.size();) {
        const std::size_t piece = std::min<std::size_t>(random() % 90000, raw.size() - at);
        ASSERT_TRUE(writer.write(std::span(raw).subspan(at, piece)));
        at += piece;
    }
    ASSERT_TRUE(writer.finish());
    EXPECT_EQ(streamed, whole);
    EXPECT_EQ(writer.bytes_in(), raw.size());
    EXPECT_EQ(writer.bytes_out(), whole.size());
    EXPECT_EQ(writer.blocks(), 4u);
}

TEST(BlockWriter, IncompressibleDataFitsTheReadersBuffer)
{
    Bytes noise(32768 * 2);
    std::mt19937 random(3);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    const Bytes file = pack_bytes(noise, 1);
    const PackInfo info = inspect_pack(file);
    EXPECT_FALSE(info.damaged());
    EXPECT_GT(info.compressed_bytes, noise.size()) << "LZO grows noise a little";
    OpenStream stream(file);
    EXPECT_EQ(stream.read_all(), noise);
}

TEST(BlockWriter, EmptyInputIsTheLevelByteAlone)
{
    EXPECT_EQ(pack_bytes({}, 9), Bytes{9});
    EXPECT_EQ(pack_bytes({}), Bytes{2});
}

TEST(BlockWriter, LevelsOutsideOneToNineAreRefused)
{
    auto sink = [](std::span<const std::uint8_t>) { return true; };
    EXPECT_THROW(BlockWriter(sink, 0), std::invalid_argument);
    EXPECT_THROW(BlockWriter(sink, 10), std::invalid_argument);
    EXPECT_NO_THROW(BlockWriter(sink, 9));
}

TEST(BlockWriter, AFailingSinkStopsEverything)
{
    int calls = 0;
    BlockWriter writer(
        [&calls](std::span<const std::uint8_t>) { return ++calls < 3; }, 1);
    const Bytes raw = sample_frames(4 * 32768);
    EXPECT_FALSE(writer.write(raw));
    EXPECT_FALSE(writer.ok());
    EXPECT_EQ(calls, 3) << "level byte, one block, then the failing one";
    EXPECT_FALSE(writer.write(raw));
    EXPECT_FALSE(writer.finish());
    EXPECT_EQ(calls, 3);
}

TEST(BlockWriter, FinishOnlyOnce)
{
    Bytes out;
    BlockWriter writer(
        [&out](std::span<const std::uint8_t> b) {
            out.insert(out.end(), b.begin(), b.end());
            return true;
        });
    const Bytes raw = sample_frames(100);
    ASSERT_TRUE(writer.write(raw));
    ASSERT_TRUE(writer.finish());
    EXPECT_FALSE(writer.finish());
    EXPECT_FALSE(writer.write(raw));
    EXPECT_EQ(out, pack_bytes(raw));
}

TEST(BlockWriter, FileSinkWritesToTheStream)
{
    TempFile file("sink");
    std::FILE* out = std::fopen(file.path().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const Bytes raw = sample_frames(70000);
    BlockWriter writer(file_sink(out), 2);
    ASSERT_TRUE(writer.write(raw));
    ASSERT_TRUE(writer.finish());
    std::fclose(out);
    EXPECT_EQ(file.read(), pack_bytes(raw));
}

}  // namespace
}  // namespace vexl::test
