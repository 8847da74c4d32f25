#include "player/pack_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/block_writer.h"
#include "player/pack_alloc.h"
#include "tests/pack/pack_test_support.h"

namespace vexl::test {
namespace {

constexpr std::uint32_t frame = 8000;
constexpr std::uint8_t untouched = 0xEE;

// Packs `raw` into blocks of exactly `block` bytes (the writer always cuts at
// the capacity; these tests want other cuts too).
Bytes pack_in_blocks(const Bytes& raw, std::size_t block, std::uint8_t level = 2)
{
    Bytes file{level};
    for (std::size_t at = 0; at < raw.size(); at += block)
        append_block(file, compress(std::span(raw).subspan(at, std::min(block, raw.size() - at))));
    return file;
}

// ---- round trips -------------------------------------------------------

class RoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(RoundTrip, FramesStraddlingBlocksComeBackWhole)
{
    const int level = GetParam();
    const std::int32_t capacity = level * 32768;
    // Enough frames for four blocks plus a part: frames straddle every
    // block boundary because 8000 divides no capacity.
    const Bytes raw = sample_frames(((4 * capacity) / frame + 3) * frame);
    OpenStream stream(pack_bytes(raw, level));
    ASSERT_NE(stream.get(), nullptr);
    EXPECT_EQ(stream->capacity, capacity);
    EXPECT_EQ(stream->in_size, capacity + capacity / 8 + 16);
    EXPECT_EQ(stream->out_size, stream->in_size);
    EXPECT_EQ(stream->mode, 0);

    std::uint8_t dest[frame];
    for (std::size_t f = 0; f < raw.size() / frame; ++f) {
        ASSERT_EQ(pack_read(stream.get(), dest, frame), frame) << "frame " << f;
        ASSERT_EQ(std::memcmp(dest, raw.data() + f * frame, frame), 0) << "frame " << f;
        ASSERT_LE(stream->pos, stream->fill);
    }
    EXPECT_EQ(pack_read(stream.get(), dest, frame), 0u);
    EXPECT_EQ(stream->at_end, 1);
}

INSTANTIATE_TEST_SUITE_P(Levels, RoundTrip, ::testing::Values(1, 2, 9));

TEST(PackStream, BufferSizesFollowTheLevel)
{
    EXPECT_EQ(pack_buffer_size(1 * 32768), 36880);
    EXPECT_EQ(pack_buffer_size(2 * 32768), 73744);
    EXPECT_EQ(pack_buffer_size(9 * 32768), 331792);
}

TEST(PackStream, AnyReadSizesDeliverTheSameBytesAsSingleBytes)
{
    const Bytes raw = sample_frames(3 * 65536 + 1234);
    const Bytes file = pack_in_blocks(raw, 65536);

    Bytes by_getc;
    {
        OpenStream stream(file);
        for (;;) {
            const int byte = pack_getc(stream.get());
            if (stream->at_end == 1)
                break;
            by_getc.push_back(static_cast<std::uint8_t>(byte));
        }
        EXPECT_EQ(pack_getc(stream.get()), pack_no_data);
    }
    EXPECT_EQ(by_getc, raw);
    for (std::uint32_t chunk : {1u, 7u, 8000u, 65536u, 65537u, 1000000u}) {
        OpenStream stream(file);
        EXPECT_EQ(stream.read_all(chunk), raw) << "reads of " << chunk;
    }
}

TEST(PackStream, EndExactlyAtAFrameLeavesDestAlone)
{
    const Bytes raw = sample_frames(3 * frame);
    OpenStream stream(pack_bytes(raw));
    std::uint8_t dest[frame];
    for (int f = 0; f < 3; ++f)
        ASSERT_EQ(pack_read(stream.get(), dest, frame), frame);
    std::memset(dest, untouched, frame);
    for (int again = 0; again < 3; ++again) {
        EXPECT_EQ(pack_read(stream.get(), dest, frame), 0u);
        EXPECT_EQ(std::count(dest, dest + frame, untouched), frame) << "dest unchanged";
    }
}

TEST(PackStream, EndInsideAFrameStoresOnlyWhatThereIs)
{
    const Bytes raw = sample_frames(2 * frame + 4321);
    OpenStream stream(pack_bytes(raw));
    std::uint8_t dest[frame];
    ASSERT_EQ(pack_read(stream.get(), dest, frame), frame);
    ASSERT_EQ(pack_read(stream.get(), dest, frame), frame);
    std::memset(dest, untouched, frame);
    ASSERT_EQ(pack_read(stream.get(), dest, frame), 4321u);
    EXPECT_EQ(std::memcmp(dest, raw.data() + 2 * frame, 4321), 0);
    EXPECT_EQ(std::count(dest + 4321, dest + frame, untouched), frame - 4321)
        << "the rest of dest keeps its earlier content";
    EXPECT_EQ(pack_read(stream.get(), dest, frame), 0u);
}

// ---- files cut short ---------------------------------------------------

TEST(PackStream, CutInsideALengthFieldEndsAfterTheLastWholeBlock)
{
    const Bytes raw = sample_frames(100000);
    for (std::size_t cut = 1; cut <= 3; ++cut) {
        Bytes file = pack_in_blocks(raw, 50000);
        append_block(file, compress(sample_frames(5000, 9)));
        file.resize(file.size() - compress(sample_frames(5000, 9)).size() - 4 + cut);
        OpenStream stream(file);
        EXPECT_EQ(stream.read_all(), raw) << cut << " bytes of the length field";
        EXPECT_EQ(stream->at_end, 1);
    }
}

TEST(PackStream, ABlockCutShortDeliversNothing)
{
    const Bytes first = sample_frames(30000, 1);
    const Bytes second = compress(sample_frames(30000, 2));
    Bytes file = pack_in_blocks(first, first.size());
    append_block(file, second);
    file.pop_back();  // one byte short
    OpenStream stream(file);
    EXPECT_EQ(stream.read_all(), first);
    std::uint8_t dest[16];
    EXPECT_EQ(pack_read(stream.get(), dest, sizeof dest), 0u);
}

TEST(PackStream, AnyByteSourceSeesTheSameData)
{
    // The image source takes a block's bytes in one copy; a source of its
    // own goes byte by byte. Both must end up alike, damage included.
    const Bytes raw = sample_frames(70000);
    Bytes file = pack_in_blocks(raw, 30000);
    append_block(file, compress(sample_frames(9000, 8)));
    file.resize(file.size() - 3);
    struct Result {
        Bytes bytes;
        std::uint32_t read_pos;
        std::int32_t at_end;
    };
    auto read_with = [&file](bool own_source) {
        OpenStream stream(file);
        if (own_source)
            stream->get_byte = [](PackStream* s) { return mem_getc(s); };
        Result r{stream.read_all(), 0, 0};
        r.read_pos = FileImage.read_pos;
        r.at_end = stream->at_end;
        return r;
    };
    const Result image = read_with(false);
    const Result own = read_with(true);
    EXPECT_EQ(image.bytes, raw);
    EXPECT_EQ(own.bytes, raw);
    EXPECT_EQ(image.read_pos, file.size());
    EXPECT_EQ(own.read_pos, file.size());
    EXPECT_EQ(image.at_end, 1);
    EXPECT_EQ(own.at_end, 1);
}

TEST(PackStream, CountZeroTouchesNoByteSource)
{
    static int calls = 0;
    calls = 0;
    OpenStream stream(pack_bytes(sample_frames(frame)));
    stream->get_byte = [](PackStream* s) {
        ++calls;
        return mem_getc(s);
    };
    std::uint8_t dest[1] = {untouched};
    EXPECT_EQ(pack_read(stream.get(), dest, 0), 0u);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(dest[0], untouched);
    EXPECT_EQ(stream->at_end, 0);
    EXPECT_EQ(pack_read(stream.get(), dest, 1), 1u);
    EXPECT_GT(calls, 4) << "the first real read pulls a block through the source";
}

TEST(PackStream, OnlyTheLevelByteHasNoData)
{
    OpenStream stream(Bytes{2});
    std::uint8_t dest[frame];
    std::memset(dest, untouched, frame);
    EXPECT_EQ(pack_read(stream.get(), dest, frame), 0u);
    EXPECT_EQ(stream->at_end, 1);
    EXPECT_EQ(dest[0], untouched);
}

TEST(PackStream, LevelZeroHasSixteenByteBuffers)
{
    const Bytes raw = {'t', 'i', 'n', 'y', ' ', 'b', 'l', 'o', 'c', 'k'};
    Bytes file{0};
    append_block(file, compress(raw));
    ASSERT_LE(file.size() - 5, 16u);
    OpenStream stream(file);
    EXPECT_EQ(stream->capacity, 0);
    EXPECT_EQ(stream->in_size, 16);
    EXPECT_EQ(stream->out_size, 16);
    EXPECT_EQ(stream.read_all(), raw);
}

TEST(PackStream, EmptyFileReadsAsLevel255WithNoData)
{
    OpenStream stream(Bytes{});
    EXPECT_EQ(stream->capacity, 8355840);
    EXPECT_EQ(stream->in_size, 9400336);
    EXPECT_EQ(stream->out_size, 9400336);
    std::uint8_t dest[frame];
    EXPECT_EQ(pack_read(stream.get(), dest, frame), 0u);
    EXPECT_EQ(stream->at_end, 1);
}

TEST(PackStream, ByteSourceReadsTheFileImageThenRunsDry)
{
    OpenStream stream(Bytes{2, 0xAB});
    EXPECT_EQ(mem_getc(stream.get()), 0xAB);
    EXPECT_EQ(FileImage.read_pos, 2u);
    EXPECT_EQ(stream->at_end, 0);
    EXPECT_EQ(mem_getc(stream.get()), 0);
    EXPECT_EQ(stream->at_end, 1);
    EXPECT_EQ(FileImage.read_pos, 2u);
}

// ---- opening ---------------------------------------------------------

TEST(PackOpen, WriteModesWriteTheLevelByte)
{
    const struct {
        const char* mode;
        std::uint8_t level;
    } cases[] = {{"w7", 7}, {"w", 2}, {"wb", 2}, {"w0", 2}, {"w9", 9}, {"x1", 1}, {"", 2}};
    for (const auto& c : cases) {
        TempFile file("w");
        PackStream* stream = pack_open(file.path().c_str(), c.mode);
        ASSERT_NE(stream, nullptr) << c.mode;
        EXPECT_EQ(stream->mode, 1);
        EXPECT_EQ(stream->capacity, c.level * 32768) << c.mode;
        EXPECT_EQ(stream->get_byte, &mem_getc);
        EXPECT_EQ(stream->put_byte, &file_putc);
        EXPECT_EQ(stream->put_byte(stream, 0x141), 0x41) << "the low 8 bits go out";
        pack_release(stream);
        EXPECT_EQ(stream->file, nullptr) << "release closes the file";
        std::free(stream);
        EXPECT_EQ(file.read(), (Bytes{c.level, 0x41})) << c.mode;
    }
}

TEST(PackOpen, W7SizesTheBuffersForItsLevel)
{
    TempFile file("w7");
    PackStream* stream = pack_open(file.path().c_str(), "w7");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->capacity, 229376);
    EXPECT_EQ(stream->in_size, 229376 + 229376 / 8 + 16);
    EXPECT_EQ(stream->pos, 0u);
    EXPECT_EQ(stream->fill, 0u);
    EXPECT_EQ(stream->at_end, 0);
    pack_release(stream);
    std::free(stream);
}

TEST(PackOpen, ReadModeIgnoresALevelDigitInTheMode)
{
    TempFile file("r9");
    file.write(Bytes{3});
    PackStream* stream = pack_open(file.path().c_str(), "r9");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->capacity, 3 * 32768);
    EXPECT_EQ(file.read(), Bytes{3}) << "reading leaves the file alone";
    pack_release(stream);
    std::free(stream);
}

TEST(PackOpen, AFileThatCannotBeOpenedGivesNone)
{
    TempFile missing("missing");
    EXPECT_EQ(pack_open(missing.path().c_str(), "r"), nullptr);
    const auto nowhere = missing.path() / "sub" / "x.d1";
    EXPECT_EQ(pack_open(nowhere.c_str(), "w"), nullptr);
}

// ---- mends -------------------------------------------------------------

TEST(PackMends, ABlockLongerThanTheBufferEndsTheData)
{
    const Bytes first = sample_frames(20000);
    Bytes file = pack_in_blocks(first, first.size());
    const std::uint32_t too_long = 73744 + 1;
    append_length(file, too_long);
    file.resize(file.size() + too_long, 0x11);  // the bytes are there, just too many
    append_block(file, compress(sample_frames(100, 5)));
    OpenStream stream(file);
    EXPECT_EQ(stream.read_all(), first);
    EXPECT_EQ(stream->at_end, 1);
    EXPECT_EQ(stream->pos, 0u);
    EXPECT_EQ(stream->fill, 0u);
}

TEST(PackMends, ABlockFillingTheBufferExactlyIsStillRead)
{
    const Bytes raw = sample_frames(65536);
    Bytes data = compress(raw);
    data.resize(73744, 0);  // trailing bytes behind the end marker
    Bytes file{2};
    append_block(file, data);
    OpenStream stream(file);
    EXPECT_EQ(stream.read_all(), raw);
}

TEST(PackMends, ABlockYieldingNothingEndsTheDataWithoutStaleBytes)
{
    const Bytes first = sample_frames(12345);
    const Bytes after = compress(sample_frames(500, 3));
    const Bytes garbage(40, 0xFF);  // a match before any output: nothing decompresses
    for (const Bytes& empty : {Bytes{}, garbage}) {
        Bytes file = pack_in_blocks(first, first.size());
        append_block(file, empty);
        append_block(file, after);
        OpenStream stream(file);
        std::uint8_t dest[frame];
        ASSERT_EQ(pack_read(stream.get(), dest, frame), frame);
        std::memset(dest, untouched, frame);
        EXPECT_EQ(pack_read(stream.get(), dest, frame), first.size() - frame);
        EXPECT_EQ(stream->at_end, 1);
        for (int again = 0; again < 3; ++again) {
            EXPECT_EQ(pack_read(stream.get(), dest, frame), 0u);
            EXPECT_LE(stream->pos, stream->fill) << "pos never walks past fill";
        }
        EXPECT_EQ(pack_getc(stream.get()), pack_no_data);
    }
}

TEST(PackMends, ABlockThatDecompressesPartlyHandsOutWhatItMade)
{
    const Bytes raw = sample_frames(30000, 4);
    Bytes broken = compress(raw);
    broken.resize(broken.size() / 2);  // input runs out mid-block
    const Bytes next = sample_frames(3000, 6);
    Bytes file{2};
    append_block(file, broken);
    append_block(file, compress(next));
    OpenStream stream(file);
    const Bytes got = stream.read_all();
    ASSERT_GT(got.size(), next.size());
    const std::size_t partial = got.size() - next.size();
    EXPECT_LT(partial, raw.size());
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(partial), raw.begin()))
        << "a prefix of the broken block";
    EXPECT_TRUE(std::equal(next.begin(), next.end(), got.end() - static_cast<std::ptrdiff_t>(next.size())))
        << "then the next block";
}

int allocations_left = 0;
void* failing_allocate(std::size_t bytes)
{
    return allocations_left-- > 0 ? std::malloc(bytes) : nullptr;
}

TEST(PackMends, AllocationFailureInOpenGivesNone)
{
    TempFile file("alloc");
    file.write(Bytes{2});
    // The record, then the three buffers: fail each in turn, in both modes.
    for (const char* mode : {"r", "w"}) {
        for (int succeed = 0; succeed < 4; ++succeed) {
            allocations_left = succeed;
            pack_allocate = failing_allocate;
            PackStream* stream = pack_open(file.path().c_str(), mode);
            pack_allocate = std::malloc;
            EXPECT_EQ(stream, nullptr) << mode << ", allocation " << succeed + 1 << " failing";
        }
    }
    allocations_left = 4;
    pack_allocate = failing_allocate;
    PackStream* stream = pack_open(file.path().c_str(), "r");
    pack_allocate = std::malloc;
    ASSERT_NE(stream, nullptr);
    pack_release(stream);
    std::free(stream);
}

TEST(PackMends, ReleaseFreesTheBuffersAndClosesTheFile)
{
    OpenStream holder(Bytes{2});
    PackStream* stream = holder.get();
    pack_release(stream);
    EXPECT_EQ(stream->in_buf, nullptr);
    EXPECT_EQ(stream->out_buf, nullptr);
    EXPECT_EQ(stream->work_mem, nullptr);
    EXPECT_EQ(stream->file, nullptr);
    pack_release(stream);  // the holder releases once more: harmless
}

}  // namespace
}  // namespace vexl::test
