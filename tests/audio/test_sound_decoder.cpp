#include "platform/linux/sound_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "platform/linux/linux_sound_files.h"
#include "tests/audio/sound_test_files.h"

namespace vexl::platform {
namespace {

using vexl::testing::ScratchDir;
using vexl::testing::sine;
using vexl::testing::write_sound;

// Best normalised correlation of `got` against `want` over small shifts
// (lossy codecs may add or trim a little at the start).
double best_correlation(const std::vector<std::int16_t>& want, const std::vector<std::int16_t>& got)
{
    double best = -1.0;
    for (int shift = -1200; shift <= 1200; ++shift) {
        double dot = 0, ww = 0, gg = 0;
        for (std::size_t i = 2000; i + 2000 < want.size(); i += 3) {
            const auto j = static_cast<std::ptrdiff_t>(i) + shift;
            if (j < 0 || j >= static_cast<std::ptrdiff_t>(got.size()))
                continue;
            const double w = want[i], g = got[static_cast<std::size_t>(j)];
            dot += w * g;
            ww += w * w;
            gg += g * g;
        }
        if (ww > 0 && gg > 0)
            best = std::max(best, dot / std::sqrt(ww * gg));
    }
    return best;
}

TEST(SoundDecoder, LosslessContainersDecodeExactlyAtTheirOwnRate)
{
    ScratchDir dir;
    const auto tone = sine(11025, 22050, 440.0, 12000.0);
    struct Case {
        const char* name;
        int format;
    };
    for (Case c : {Case{"tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                   Case{"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                   Case{"tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(write_sound(dir.file(c.name), c.format, 1, 22050, tone));
        DecodedSound sound;
        std::string error;
        ASSERT_EQ(decode_sound_file(dir.file(c.name).c_str(), sound, error), DecodeResult::ok) << error;
        EXPECT_EQ(sound.sample_rate, 22050);
        EXPECT_FALSE(sound.raw);
        EXPECT_EQ(sound.samples, tone);
    }
}

TEST(SoundDecoder, StereoIsAveragedToMono)
{
    ScratchDir dir;
    const std::vector<std::int16_t> frames{1000, 3000, -4, -7, 32767, 32767, -32768, -32768, 5, -5};
    ASSERT_TRUE(write_sound(dir.file("st.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, frames));
    DecodedSound sound;
    std::string error;
    ASSERT_EQ(decode_sound_file(dir.file("st.wav").c_str(), sound, error), DecodeResult::ok);
    EXPECT_EQ(sound.sample_rate, 44100);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{2000, -6, 32767, -32768, 0}));
}

TEST(SoundDecoder, LossyContainersDecodeToTheSameTune)
{
    ScratchDir dir;
    const auto tone = sine(22050, 22050, 330.0, 10000.0);
    struct Case {
        const char* name;
        int format;
        int rate;
    };
    for (Case c : {Case{"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050},
                   Case{"tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050},
                   Case{"tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000}}) {
        SCOPED_TRACE(c.name);
        const auto source = c.rate == 22050 ? tone : sine(48000, c.rate, 330.0, 10000.0);
        ASSERT_TRUE(write_sound(dir.file(c.name), c.format, 1, c.rate, source))
            << "libsndfile cannot write " << c.name << ": " << sf_strerror(nullptr);
        DecodedSound sound;
        std::string error;
        ASSERT_EQ(decode_sound_file(dir.file(c.name).c_str(), sound, error), DecodeResult::ok) << error;
        EXPECT_EQ(sound.sample_rate, c.rate);
        EXPECT_NEAR(static_cast<double>(sound.samples.size()), static_cast<double>(source.size()),
                    0.05 * static_cast<double>(source.size()));
        EXPECT_GT(best_correlation(source, sound.samples), 0.95);
    }
}

TEST(SoundDecoder, UnknownDataIsUnrecognisedAndReadsAsRawLittleEndian)
{
    ScratchDir dir;
    const std::string path = dir.file("data.d2");
    {
        std::ofstream out(path, std::ios::binary);
        const unsigned char bytes[] = {0x01, 0x00, 0xff, 0x7f, 0x00, 0x80, 0xfe, 0xff, 0x42};
        out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    DecodedSound sound;
    std::string error;
    EXPECT_EQ(decode_sound_file(path.c_str(), sound, error), DecodeResult::unrecognised);
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(read_raw_sound_file(path.c_str(), sound, error));
    EXPECT_TRUE(sound.raw);
    EXPECT_EQ(sound.sample_rate, 22050);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{1, 32767, -32768, -2}));  // odd byte dropped
}

TEST(SoundDecoder, RawReadingSpansReadChunks)
{
    ScratchDir dir;
    const std::string path = dir.file("long.raw");
    std::vector<std::int16_t> values(70001);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int16_t>(i * 31);
    {
        std::ofstream out(path, std::ios::binary);
        out.put(0);  // shift by one byte so samples straddle the 64 KiB reads
        for (std::int16_t v : values) {
            out.put(static_cast<char>(v & 0xff));
            out.put(static_cast<char>((v >> 8) & 0xff));
        }
    }
    DecodedSound sound;
    std::string error;
    ASSERT_TRUE(read_raw_sound_file(path.c_str(), sound, error));
    ASSERT_EQ(sound.samples.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        // Every sample is the high byte of one value and the low byte of the next.
        const auto expect = static_cast<std::int16_t>(
            (i == 0 ? 0 : (static_cast<std::uint16_t>(values[i - 1]) >> 8)) |
            (static_cast<std::uint16_t>(values[i]) & 0xff) << 8);
        ASSERT_EQ(sound.samples[i], expect) << i;
    }
}

TEST(SoundDecoder, MissingFilesAndDirectories)
{
    ScratchDir dir;
    DecodedSound sound;
    std::string error;
    EXPECT_EQ(decode_sound_file(dir.file("nope.wav").c_str(), sound, error), DecodeResult::missing);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(decode_sound_file(dir.file("").c_str(), sound, error), DecodeResult::missing);
    EXPECT_EQ(decode_sound_file(nullptr, sound, error), DecodeResult::missing);
}

TEST(SoundDecoder, TruncatedFlacIsDamagedButKeepsWhatWasRead)
{
    ScratchDir dir;
    const auto tone = sine(44100, 22050, 440.0, 12000.0);
    const std::string path = dir.file("cut.flac");
    ASSERT_TRUE(write_sound(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, tone));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    DecodedSound sound;
    std::string error;
    const DecodeResult result = decode_sound_file(path.c_str(), sound, error);
    // libsndfile may report the cut or simply stop early; either way no
    // more than the real data comes out and what does is right.
    EXPECT_TRUE(result == DecodeResult::ok || result == DecodeResult::damaged);
    ASSERT_LT(sound.samples.size(), tone.size());
    EXPECT_TRUE(std::equal(sound.samples.begin(), sound.samples.begin() + 1000, tone.begin()));
}

TEST(LinuxSoundFiles, WavAndFlacRoundTripAndClearErrors)
{
    ScratchDir dir;
    LinuxSoundFiles files;
    const auto tone = sine(5000, 11025, 200.0, 30000.0);
    std::string error;
    ASSERT_TRUE(files.write_wav_mono16(dir.file("out.wav"), tone, 11025, error)) << error;
    ASSERT_TRUE(files.write_flac_mono16(dir.file("out.flac"), tone, 11025, error)) << error;
    MonoSound back;
    for (const char* name : {"out.wav", "out.flac"}) {
        ASSERT_TRUE(files.read_mono16(dir.file(name), back, error)) << error;
        EXPECT_EQ(back.sample_rate, 11025) << name;
        EXPECT_EQ(back.samples, tone) << name << ": every sample kept";
    }

    EXPECT_FALSE(files.read_mono16(dir.file("absent.wav"), back, error));
    EXPECT_FALSE(error.empty());
    {
        std::ofstream(dir.file("text.wav")) << "not a sound file at all, just text\n";
    }
    error.clear();
    EXPECT_FALSE(files.read_mono16(dir.file("text.wav"), back, error));
    EXPECT_NE(error.find("not a sound file"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(files.write_wav_mono16(dir.file("no/such/dir/x.wav"), tone, 11025, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(files.write_wav_mono16(dir.file("bad-rate.wav"), tone, 0, error));
}

TEST(LinuxSoundFiles, ReadsAsThePlayerPlays)
{
    ScratchDir dir;
    LinuxSoundFiles files;
    MonoSound sound;
    PlayedSoundNotes notes;
    std::string error;
    {
        std::ofstream out(dir.file("data.d2"), std::ios::binary);
        out.write("\x01\x00\xff\x7f\x42", 5);
    }
    ASSERT_TRUE(files.read_as_played(dir.file("data.d2"), sound, notes, error)) << error;
    EXPECT_TRUE(notes.raw);
    EXPECT_TRUE(notes.damage.empty());
    EXPECT_EQ(sound.sample_rate, 22050);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{1, 32767}));

    const auto tone = sine(44100, 22050, 440.0, 12000.0);
    const std::string cut = dir.file("cut.wav");
    ASSERT_TRUE(write_sound(cut, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 22050, tone));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    ASSERT_TRUE(files.read_as_played(cut, sound, notes, error)) << "a cut file plays as far as it goes";
    EXPECT_FALSE(notes.raw);
    ASSERT_LT(sound.samples.size(), tone.size());
    EXPECT_TRUE(std::equal(sound.samples.begin(), sound.samples.end(), tone.begin()));

    EXPECT_FALSE(files.read_as_played(dir.file("absent.d2"), sound, notes, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vexl::platform
