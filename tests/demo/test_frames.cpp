// The generated demo as a whole: every frame, the timeline against the
// music, determinism, and the packed file.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "player/pack_survey.h"
#include "tests/demo/frame_hash.h"
#include "tests/pack/pack_test_support.h"
#include "tools/demo/demo_writer.h"
#include "tools/demo/generator.h"

namespace vexl::demo {
namespace {

using test::hash_bytes;

// A frame is blank when every cell shows one and the same flat colour.
bool is_blank(const Canvas& c)
{
    int seen = -1;
    for (const Cell& cell : c.cells()) {
        int colour;
        const bool empty = cell.ch == 0 || cell.ch == ' ' || cell.ch == 0xFF;
        if (empty)
            colour = bg_of(cell.attr);
        else if (cell.ch == glyph::full_block || fg_of(cell.attr) == bg_of(cell.attr))
            colour = fg_of(cell.attr);
        else
            return false;  // a visible glyph
        if (seen >= 0 && colour != seen)
            return false;
        seen = colour;
    }
    return true;
}

// One sequential pass over the whole demo, shared by the tests below.
struct WholeDemo {
    std::vector<std::uint64_t> hashes;
    std::vector<int> blank_frames;
    std::vector<std::array<bool, 256>> glyphs_by_scene;
    std::array<bool, 16> colours_used{};
    std::array<bool, 16> backgrounds_used{};
};

const WholeDemo& whole_demo()
{
    static const WholeDemo demo = [] {
        WholeDemo d;
        DemoGenerator generator;
        d.glyphs_by_scene.resize(generator.scenes().size());
        Canvas c;
        for (int f = 0; f < generator.frame_count(); ++f) {
            generator.render(f, c);
            d.hashes.push_back(hash_bytes(c.bytes()));
            if (is_blank(c))
                d.blank_frames.push_back(f);
            auto& glyphs = d.glyphs_by_scene[static_cast<std::size_t>(generator.scene_at(f))];
            for (const Cell& cell : c.cells()) {
                glyphs[cell.ch] = true;
                d.colours_used[static_cast<std::size_t>(fg_of(cell.attr))] = true;
                d.backgrounds_used[static_cast<std::size_t>(bg_of(cell.attr))] = true;
            }
        }
        return d;
    }();
    return demo;
}

TEST(DemoTimeline, ScenesTileTheDemoOnBarLinesAndFollowTheSections)
{
    DemoGenerator generator;
    const auto& scenes = generator.scenes();
    const MusicMap& music = generator.music();
    ASSERT_FALSE(scenes.empty());
    EXPECT_EQ(scenes.front().start, 0);
    EXPECT_EQ(scenes.back().end, demo_frames);
    std::set<int> starts;
    std::set<std::string_view> effects;
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        const Scene& s = scenes[i];
        SCOPED_TRACE(std::string(s.name));
        EXPECT_LT(s.start, s.end);
        if (i > 0) {
            EXPECT_EQ(s.start, scenes[i - 1].end);
        }
        EXPECT_EQ(s.start % music.frames_per_bar(), 0) << "cuts land on bar lines";
        EXPECT_LE(s.in_frames, s.end - s.start);
        starts.insert(s.start);
        effects.insert(s.name);
    }
    for (const SectionSpan& section : music.sections())
        EXPECT_TRUE(starts.contains(section.first_frame)) << "a new scene starts with section " << section.name;
    EXPECT_GE(effects.size(), 8u);
}

TEST(DemoTimeline, AnotherSoundtrackGetsOneSceneASection)
{
    // The script is written for the default soundtrack; music whose
    // sections differ still gets a demo that covers it, scene for section.
    synth::BeatGrid grid = synth::default_beat_grid();
    const std::string_view names[] = {"one", "two", "three"};
    const int bars = static_cast<int>(grid.bars.size());
    const int cut[] = {0, 40, 200, bars};
    grid.sections.resize(3);
    for (std::size_t i = 0; i < 3; ++i) {
        synth::Section& s = grid.sections[i];
        s.name = names[i];
        s.kind = i == 0 ? SectionKind::intro : (i == 1 ? SectionKind::main : SectionKind::outro);
        s.first_bar = cut[i];
        s.bar_count = cut[i + 1] - cut[i];
        s.start_sample = cut[i] * grid.samples_per_bar;
        s.end_sample = i == 2 ? grid.total_samples : cut[i + 1] * grid.samples_per_bar;
    }
    const MusicMap music(grid);
    DemoGenerator generator(music);
    ASSERT_EQ(generator.scenes().size(), 3u);
    EXPECT_EQ(generator.scenes()[1].start, 40 * 48);
    EXPECT_EQ(generator.scenes()[2].end, demo_frames);
    Canvas c;
    for (int f : {0, 40 * 48 + 10, demo_frames - 1}) {
        generator.render(f, c);
        EXPECT_FALSE(is_blank(c)) << "frame " << f;
    }
}

TEST(DemoFrames, NoFrameIsBlank)
{
    const auto& blank = whole_demo().blank_frames;
    EXPECT_TRUE(blank.empty()) << blank.size() << " blank frames, the first " << blank.front();
}

TEST(DemoFrames, NoPictureHoldsForMoreThanTwoSeconds)
{
    const auto& h = whole_demo().hashes;
    ASSERT_EQ(h.size(), static_cast<std::size_t>(demo_frames));
    int longest = 1, run = 1, where = 0;
    for (std::size_t f = 1; f < h.size(); ++f) {
        run = h[f] == h[f - 1] ? run + 1 : 1;
        if (run > longest) {
            longest = run;
            where = static_cast<int>(f);
        }
    }
    EXPECT_LE(longest, 50) << "frame " << where << " repeats " << longest << " times";
}

TEST(DemoFrames, EveryBeatChangesThePicture)
{
    const auto& h = whole_demo().hashes;
    const MusicMap& music = default_music();
    int beats = 0;
    for (int f = 1; f < demo_frames; ++f)
        if (music.on_beat(f)) {
            ++beats;
            EXPECT_NE(h[static_cast<std::size_t>(f)], h[static_cast<std::size_t>(f - 1)]) << "beat at frame " << f;
        }
    EXPECT_EQ(beats, (demo_frames - 1) / 12);
}

TEST(DemoFrames, UsesTheWholePaletteAndTheTextModeCharacters)
{
    const WholeDemo& d = whole_demo();
    EXPECT_EQ(std::count(d.colours_used.begin(), d.colours_used.end(), true), 16);
    EXPECT_EQ(std::count(d.backgrounds_used.begin(), d.backgrounds_used.end(), true), 16)
        << "bright backgrounds included";
    for (std::uint8_t ch : {glyph::shade_light, glyph::shade_medium, glyph::shade_dark, glyph::full_block,
                            glyph::upper_half, glyph::h_double, glyph::tl_double, glyph::h_single}) {
        bool used = false;
        for (const auto& g : d.glyphs_by_scene)
            used = used || g[ch];
        EXPECT_TRUE(used) << "character " << static_cast<int>(ch);
    }
    for (std::size_t i = 0; i < d.glyphs_by_scene.size(); ++i)
        EXPECT_GE(std::count(d.glyphs_by_scene[i].begin(), d.glyphs_by_scene[i].end(), true), 2)
            << "scene " << i << " draws something";
}

TEST(DemoFrames, AnyFrameCanBeAskedForAloneAndComesOutTheSame)
{
    const auto& h = whole_demo().hashes;
    // Backwards, in big jumps, across scene boundaries and transitions: the
    // generator has to restart and replay scenes to get there.
    DemoGenerator generator;
    Canvas c;
    std::vector<int> frames;
    for (int f = demo_frames - 1; f >= 0; f -= 397)
        frames.push_back(f);
    for (const Scene& s : generator.scenes())
        frames.push_back(s.start + std::min(s.in_frames / 2, s.end - s.start - 1));
    for (int f : frames) {
        generator.render(f, c);
        ASSERT_EQ(hash_bytes(c.bytes()), h[static_cast<std::size_t>(f)]) << "frame " << f;
    }
}

TEST(DemoFrames, FramesOutsideTheDemoAreRefused)
{
    DemoGenerator generator;
    Canvas c;
    EXPECT_THROW(generator.render(-1, c), std::out_of_range);
    EXPECT_THROW(generator.render(demo_frames, c), std::out_of_range);
}

TEST(DemoPack, PacksToExactlyTheWholeFramesAndTheSameBytesEveryTime)
{
    vexl::test::Bytes file;
    PackedDemo packed;
    ASSERT_TRUE(pack_demo(
        [&](std::span<const std::uint8_t> bytes) {
            file.insert(file.end(), bytes.begin(), bytes.end());
            return true;
        },
        packed));
    EXPECT_EQ(packed.frames, static_cast<std::uint64_t>(demo_frames));
    EXPECT_EQ(packed.unpacked_bytes, static_cast<std::uint64_t>(demo_frames) * frame_size);
    EXPECT_EQ(packed.packed_bytes, file.size());

    const PackInfo info = inspect_pack(file);
    EXPECT_FALSE(info.damaged());
    EXPECT_EQ(info.level, 2);
    EXPECT_EQ(info.whole_frames, static_cast<std::uint64_t>(demo_frames));
    EXPECT_EQ(info.partial_frame_bytes, 0u);
    EXPECT_EQ(info.unread_bytes, 0u);
    EXPECT_EQ(info.blocks, packed.blocks);

    // Read back the way the player reads it, frame by frame.
    const auto& hashes = whole_demo().hashes;
    {
        vexl::test::OpenStream stream(file);
        ASSERT_NE(stream.get(), nullptr);
        std::vector<std::uint8_t> frame(frame_size);
        for (int f = 0; f < demo_frames; ++f) {
            ASSERT_EQ(pack_read(stream.get(), frame.data(), frame_size), frame_size) << "frame " << f;
            ASSERT_EQ(hash_bytes(frame), hashes[static_cast<std::size_t>(f)]) << "frame " << f;
        }
        EXPECT_EQ(pack_read(stream.get(), frame.data(), frame_size), 0u) << "nothing after the last frame";
    }

    // A second run gives the same file, byte for byte.
    std::uint64_t second = 0xcbf29ce484222325ULL;
    std::uint64_t second_size = 0;
    PackedDemo again;
    ASSERT_TRUE(pack_demo(
        [&](std::span<const std::uint8_t> bytes) {
            second = hash_bytes(bytes, second);
            second_size += bytes.size();
            return true;
        },
        again));
    EXPECT_EQ(second_size, file.size());
    EXPECT_EQ(second, hash_bytes(file));
}

TEST(DemoPack, AFailingSinkStopsTheWriter)
{
    int calls = 0;
    PackedDemo packed;
    EXPECT_FALSE(pack_demo(
        [&](std::span<const std::uint8_t>) { return ++calls < 3; }, packed));
    EXPECT_EQ(calls, 3) << "nothing more is offered once the sink said no";
    EXPECT_LT(packed.frames, static_cast<std::uint64_t>(demo_frames));
}

}  // namespace
}  // namespace vexl::demo
