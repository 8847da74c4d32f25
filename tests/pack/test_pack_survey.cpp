#include "player/pack_survey.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "player/block_writer.h"
#include "tests/pack/pack_test_support.h"

namespace vexl::test {
namespace {

// Checks the inspector against the player's frame reader on the same
// image: it must count exactly the bytes the reader delivers.
PackInfo inspect_and_compare(const Bytes& file)
{
    const PackInfo info = inspect_pack(file);
    OpenStream stream(file);
    EXPECT_EQ(info.unpacked_bytes, stream.read_frames().size());
    return info;
}

TEST(InspectPack, ReportsTheShapeOfASoundFile)
{
    const Bytes file = pack_bytes(sample_frames(3 * 65536 + 8000 * 2 + 123), 2);
    const PackInfo info = inspect_and_compare(file);
    EXPECT_EQ(info.level, 2);
    EXPECT_EQ(info.capacity, 65536);
    EXPECT_EQ(info.buffer_size, 73744);
    EXPECT_EQ(info.blocks, 4u);
    EXPECT_EQ(info.compressed_bytes, file.size() - 1 - 4 * 4);
    EXPECT_EQ(info.unpacked_bytes, 3u * 65536 + 16123);
    EXPECT_EQ(info.whole_frames, (3u * 65536 + 16123) / 8000);
    EXPECT_EQ(info.partial_frame_bytes, (3u * 65536 + 16123) % 8000);
    EXPECT_EQ(info.unread_bytes, 0u);
    EXPECT_FALSE(info.damaged());
}

TEST(InspectPack, EmptyFileAndLevelByteOnly)
{
    const PackInfo empty = inspect_and_compare({});
    EXPECT_EQ(empty.level, 255);
    ASSERT_EQ(empty.damage.size(), 1u);
    EXPECT_EQ(empty.damage[0].kind, PackDamageKind::no_level_byte);

    const PackInfo bare = inspect_and_compare({7});
    EXPECT_EQ(bare.level, 7);
    EXPECT_EQ(bare.blocks, 0u);
    EXPECT_FALSE(bare.damaged());
}

struct DamageCase {
    const char* name;
    PackDamageKind kind;
    Bytes tail;       // appended to a sound first block
    bool structural;  // found by walking the block lengths alone
};

TEST(InspectPack, FindsEveryDamageWithItsOffset)
{
    const Bytes first = pack_bytes(sample_frames(65536), 2);  // one full block
    const Bytes good = compress(sample_frames(4000, 2));
    Bytes too_long;
    append_length(too_long, 73745);
    too_long.resize(too_long.size() + 73745);
    Bytes cut;
    append_block(cut, good);
    cut.pop_back();
    Bytes partly(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
    Bytes partly_block;
    append_block(partly_block, partly);
    Bytes nothing;
    append_block(nothing, Bytes{});

    const DamageCase cases[] = {
        {"length cut", PackDamageKind::length_cut_short, {0, 0}, true},
        {"too long", PackDamageKind::block_too_long, too_long, true},
        {"cut block", PackDamageKind::block_cut_short, cut, true},
        {"partly", PackDamageKind::bad_data, partly_block, false},
        {"nothing", PackDamageKind::bad_data, nothing, false},
    };
    for (const DamageCase& c : cases) {
        Bytes file = first;
        file.insert(file.end(), c.tail.begin(), c.tail.end());
        const PackInfo info = inspect_and_compare(file);
        ASSERT_EQ(info.damage.size(), 1u) << c.name;
        const PackDamage& d = info.damage[0];
        EXPECT_EQ(d.kind, c.kind) << c.name;
        EXPECT_EQ(d.offset, first.size()) << c.name;
        EXPECT_EQ(d.block, 1u) << c.name;
        const std::string text = describe(d, info.capacity);
        EXPECT_NE(text.find("offset " + std::to_string(first.size())), std::string::npos) << text;
        EXPECT_NE(text.find("block 1"), std::string::npos) << text;

        const PackInfo walked = inspect_pack(file, PackSurvey::blocks_only);
        EXPECT_EQ(walked.unpacked_bytes, 0u) << "nothing decompressed";
        ASSERT_EQ(walked.damage.size(), c.structural ? 1u : 0u) << c.name;
        if (c.structural) {
            EXPECT_EQ(walked.damage[0].kind, c.kind) << c.name;
            EXPECT_EQ(walked.damage[0].offset, first.size()) << c.name;
        }
    }
}

TEST(InspectPack, DamagedDataBeforeSoundDataIsCountedOnce)
{
    // A partly decompressing block does not end the data: the next block
    // still counts, and so does the damage after it.
    const Bytes raw = sample_frames(30000, 4);
    Bytes broken = compress(raw);
    broken.resize(broken.size() / 2);
    Bytes file{2};
    append_block(file, broken);
    append_block(file, compress(sample_frames(3000)));
    file.push_back(0);
    const PackInfo info = inspect_and_compare(file);
    ASSERT_EQ(info.damage.size(), 2u);
    EXPECT_EQ(info.damage[0].kind, PackDamageKind::bad_data);
    EXPECT_GT(info.damage[0].produced, 0u);
    EXPECT_EQ(info.damage[1].kind, PackDamageKind::length_cut_short);
    EXPECT_EQ(info.damage[1].offset, file.size() - 1);
    EXPECT_EQ(info.blocks, 2u);
}

struct MiddleDamage {
    const char* name;
    Bytes block;  // in place of the second of four blocks
    PackDamageKind kind;
};

// The block's place stays its own: the frames it fills show as written,
// those it leaves bytes out of keep the frame before's bytes there, and
// every frame after it is where it belongs. Reader and survey agree.
TEST(FrameReader, ADamagedBlockCostsOnlyItsOwnFrames)
{
    constexpr std::uint32_t capacity = 32768;  // level 1
    const Bytes raw = sample_frames(4 * capacity);
    const std::span<const std::uint8_t> second(raw.data() + capacity, capacity);
    Bytes longer(second.begin(), second.end());
    longer.resize(capacity + 100, 'x');
    Bytes broken = compress(second);
    broken.resize(broken.size() / 2);
    const MiddleDamage cases[] = {
        // The hostile probe's find: whole LZO data, 253 bytes short.
        {"short", compress(second.first(capacity - 253)), PackDamageKind::wrong_size},
        {"long", compress(longer), PackDamageKind::wrong_size},
        {"broken", broken, PackDamageKind::bad_data},
        {"empty", {}, PackDamageKind::bad_data},
    };
    for (const MiddleDamage& c : cases) {
        Bytes file{1};
        append_block(file, compress(std::span(raw).first(capacity)));
        const std::uint64_t offset = file.size();
        append_block(file, c.block);
        append_block(file, compress(std::span(raw).subspan(2 * capacity, capacity)));
        append_block(file, compress(std::span(raw).subspan(3 * capacity)));

        const PackInfo info = inspect_pack(file);
        ASSERT_EQ(info.damage.size(), 1u) << c.name;
        const PackDamage& d = info.damage[0];
        EXPECT_EQ(d.kind, c.kind) << c.name;
        EXPECT_EQ(d.offset, offset) << c.name;
        EXPECT_EQ(d.missing, capacity - std::min(d.produced, capacity)) << c.name;
        EXPECT_NE(describe(d, info.capacity).find("offset " + std::to_string(offset) + ": block 1 "),
                  std::string::npos)
            << describe(d, info.capacity);
        std::vector<PackDamage> met;
        OpenStream stream(file);
        const Bytes shown = stream.read_frames(&met);
        ASSERT_EQ(met.size(), 1u) << c.name;
        EXPECT_EQ(met[0].kind, d.kind) << c.name;
        EXPECT_EQ(met[0].missing, d.missing) << c.name;
        ASSERT_EQ(shown.size(), raw.size()) << c.name;
        EXPECT_EQ(info.unpacked_bytes, raw.size()) << c.name;

        const FrameRange lost = damaged_frames(d, info.capacity);
        EXPECT_EQ(lost.first, capacity / frame_bytes) << c.name;
        EXPECT_EQ(lost.end, (2 * capacity - 1) / frame_bytes + 1) << c.name;
        EXPECT_EQ(info.damaged_frames, lost.end - lost.first) << c.name;
        const std::uint64_t gap = 2 * capacity - d.missing;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const bool in_gap = i >= gap && i < 2 * capacity;
            ASSERT_EQ(shown[i], in_gap ? shown[i - frame_bytes] : raw[i]) << c.name << ", byte " << i;
        }
    }
}

}  // namespace
}  // namespace vexl::test
