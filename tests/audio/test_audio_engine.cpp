#include "audio/audio_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

namespace vexl::platform {
namespace {

DecodedSound ramp(int count, int rate)
{
    DecodedSound s;
    s.sample_rate = rate;
    s.samples.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        s.samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 30000 + 1);
    return s;
}

// Hooks with their own record of what they saw; param points at the record.
struct Seen {
    std::vector<std::int16_t> blocks;
    std::vector<std::int16_t> sources;
    std::vector<int> lengths;
};

void* record_hook(void* source, void* block, int length, void* param)
{
    auto& seen = *static_cast<Seen*>(param);
    const auto* b = static_cast<const std::int16_t*>(block);
    const auto* s = static_cast<const std::int16_t*>(source);
    seen.blocks.insert(seen.blocks.end(), b, b + length);
    seen.sources.insert(seen.sources.end(), s, s + length);
    seen.lengths.push_back(length);
    return block;
}

void* negate_hook(void*, void* block, int length, void*)
{
    auto* b = static_cast<std::int16_t*>(block);
    for (int i = 0; i < length; ++i)
        b[i] = static_cast<std::int16_t>(-b[i]);
    return block;
}

std::int16_t replacement[AudioEngine::block_samples];

void* replace_hook(void*, void*, int, void*)
{
    std::fill(std::begin(replacement), std::end(replacement), std::int16_t{77});
    return replacement;
}

std::vector<std::int16_t> render(AudioEngine& engine, int frames)
{
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames));
    engine.render(out.data(), frames);
    return out;
}

TEST(AudioEngine, PlaysTheStreamThenSilenceAtTheSameRate)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    const DecodedSound sound = ramp(1500, 22050);
    AudioStream* stream = engine.add_stream(sound);
    ASSERT_TRUE(engine.play(stream));
    std::vector<std::int16_t> heard;
    for (int frames : {100, 1000, 7, 893, 500}) {
        const auto part = render(engine, frames);
        heard.insert(heard.end(), part.begin(), part.end());
    }
    ASSERT_EQ(heard.size(), 2500u);
    EXPECT_TRUE(std::equal(sound.samples.begin(), sound.samples.end(), heard.begin()));
    EXPECT_TRUE(std::all_of(heard.begin() + 1500, heard.end(), [](std::int16_t v) { return v == 0; }));
}

TEST(AudioEngine, HooksSeeEverySampleOnceInOrderAndTheirResultPlays)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    const DecodedSound sound = ramp(3000, 22050);
    AudioStream* stream = engine.add_stream(sound);
    Seen first, second, idle;
    AudioDsp* a = engine.add_dsp(stream, record_hook, 0, &first);
    AudioDsp* n = engine.add_dsp(stream, negate_hook, 0, nullptr);
    AudioDsp* b = engine.add_dsp(stream, record_hook, 0, &second);
    AudioDsp* c = engine.add_dsp(stream, record_hook, 0, &idle);
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(engine.set_active(a, true));
    engine.set_active(n, true);
    engine.set_active(b, true);
    (void)c;  // never switched on
    ASSERT_TRUE(engine.play(stream));

    std::vector<std::int16_t> heard;
    for (int i = 0; i < 9; ++i) {
        const auto part = render(engine, 441);
        heard.insert(heard.end(), part.begin(), part.end());
    }
    // Whole blocks, in creation order: the first hook gets the decoded data,
    // the second the negated data; the negated data is what plays.
    ASSERT_GE(first.blocks.size(), heard.size());
    EXPECT_TRUE(std::equal(sound.samples.begin(), sound.samples.end(), first.blocks.begin()));
    EXPECT_EQ(first.sources, first.blocks);
    for (int len : first.lengths)
        EXPECT_EQ(len, AudioEngine::block_samples);
    for (std::size_t i = 0; i < sound.samples.size(); ++i) {
        ASSERT_EQ(second.blocks[i], -sound.samples[i]);
        ASSERT_EQ(second.sources[i], sound.samples[i]);
        ASSERT_EQ(heard[i], -sound.samples[i]);
    }
    EXPECT_TRUE(idle.blocks.empty());
    // Past the data the hooks keep getting (silent) blocks.
    EXPECT_TRUE(std::all_of(first.blocks.begin() + 3000, first.blocks.end(),
                            [](std::int16_t v) { return v == 0; }));
}

TEST(AudioEngine, TheBufferAHookReturnsIsWhatPlays)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    AudioStream* stream = engine.add_stream(ramp(2000, 22050));
    engine.set_active(engine.add_dsp(stream, replace_hook, 0, nullptr), true);
    engine.play(stream);
    const auto out = render(engine, 1000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == 77; }));
}

TEST(AudioEngine, LowerPriorityRunsFirst)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    AudioStream* stream = engine.add_stream(ramp(600, 22050));
    Seen late;
    engine.set_active(engine.add_dsp(stream, record_hook, 5, &late), true);
    engine.set_active(engine.add_dsp(stream, negate_hook, 1, nullptr), true);
    engine.play(stream);
    render(engine, 512);
    ASSERT_FALSE(late.blocks.empty());
    EXPECT_EQ(late.blocks[0], -1);  // negated before it was recorded
}

TEST(AudioEngine, ConvertsTheStreamRateToTheOutputRate)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    DecodedSound tone;
    tone.sample_rate = 44100;
    tone.samples.assign(44100, 8000);  // one second of a constant level
    AudioStream* stream = engine.add_stream(tone);
    Seen seen;
    engine.set_active(engine.add_dsp(stream, record_hook, 0, &seen), true);
    ASSERT_TRUE(engine.play(stream));
    const auto out = render(engine, 11025);  // half a second at the output rate
    // About a second's worth of blocks went through the hook for half a
    // second of output: the source runs at its own rate.
    EXPECT_NEAR(static_cast<double>(seen.blocks.size()), 22050.0, 3.0 * AudioEngine::block_samples);
    // Past the resampler's first few samples, the level comes through.
    EXPECT_NEAR(out[5000], 8000, 100);
}

TEST(AudioEngine, UnknownHandlesAreRefusedNotFollowed)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    AudioStream* stream = engine.add_stream(ramp(10, 22050));
    auto* bogus = reinterpret_cast<AudioStream*>(&engine);
    EXPECT_FALSE(engine.play(nullptr));
    EXPECT_FALSE(engine.play(bogus));
    EXPECT_EQ(engine.add_dsp(bogus, record_hook, 0, nullptr), nullptr);
    EXPECT_EQ(engine.add_dsp(stream, nullptr, 0, nullptr), nullptr);
    EXPECT_FALSE(engine.set_active(nullptr, true));
    EXPECT_EQ(engine.time_ms(bogus), 0);
    EXPECT_TRUE(engine.remove_stream(stream));
    EXPECT_FALSE(engine.remove_stream(stream));
    EXPECT_EQ(engine.time_ms(stream), 0);
}

TEST(AudioEngine, ADevicesOwnPlayPositionIsTheClockButNeverBeyondWhatItWasGivenNorBack)
{
    AudioEngine engine;
    std::int64_t played = 0;
    engine.set_output(22050, 0, [&] { return played; });
    AudioStream* stream = engine.add_stream(ramp(100000, 22050));
    ASSERT_TRUE(engine.play(stream));
    render(engine, 22050);  // one second handed to the device
    const std::pair<std::int64_t, int> steps[] = {{0, 0}, {11025, 500}, {44100, 1000}, {2205, 1000}};
    for (const auto& [frames, ms] : steps) {
        played = frames;
        EXPECT_EQ(engine.time_ms(stream), ms) << frames << " frames played";
    }
}

TEST(AudioEngine, PlayNeedsAnOutput)
{
    AudioEngine engine;
    AudioStream* stream = engine.add_stream(ramp(10, 22050));
    EXPECT_FALSE(engine.play(stream));
    EXPECT_EQ(engine.time_ms(stream), 0);
}

TEST(AudioEngine, TwoStreamsAreMixedWithSaturation)
{
    AudioEngine engine;
    engine.set_output(22050, 0);
    DecodedSound loud;
    loud.sample_rate = 22050;
    loud.samples.assign(100, 30000);
    engine.play(engine.add_stream(loud));
    engine.play(engine.add_stream(loud));
    const auto out = render(engine, 100);
    EXPECT_EQ(out[0], 32767);
}

}  // namespace
}  // namespace vexl::platform
