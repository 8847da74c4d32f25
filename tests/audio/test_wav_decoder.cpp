// The WAV decoder that needs no libsndfile (the Windows player's) must
// give the samples the Linux decoder gives for the same file.

#include "audio/wav_decoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/sound_decoder.h"
#include "tests/audio/sound_test_files.h"

namespace vexl::platform {
namespace {

using vexl::testing::ScratchDir;
using vexl::testing::sine;
using vexl::testing::write_sound;

TEST(WavDecoder, EveryEncodingGivesWhatLibsndfileGives)
{
    ScratchDir dir;
    // Loud stereo, left and right apart, so rounding and the mix-down show.
    std::vector<std::int16_t> stereo;
    const auto left = sine(3000, 44100, 440.0, 32000.0);
    const auto right = sine(3000, 44100, 97.0, -25000.0);
    for (std::size_t i = 0; i < left.size(); ++i) {
        stereo.push_back(left[i]);
        stereo.push_back(right[i]);
    }
    for (const int encoding : {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32,
                               SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE}) {
        for (const int container : {SF_FORMAT_WAV, SF_FORMAT_WAVEX}) {
            SCOPED_TRACE(std::to_string(encoding) + " in " + std::to_string(container));
            const std::string path = dir.file("sound.wav");
            ASSERT_TRUE(write_sound(path, container | encoding, 2, 44100, stereo));
            DecodedSound ours, theirs;
            std::string error;
            ASSERT_EQ(decode_wav_file(path.c_str(), ours, error), DecodeResult::ok) << error;
            ASSERT_EQ(decode_sound_file(path.c_str(), theirs, error), DecodeResult::ok) << error;
            EXPECT_EQ(ours.sample_rate, 44100);
            EXPECT_EQ(ours.samples, theirs.samples);
        }
    }
}

TEST(WavDecoder, OtherFilesAreLeftToOthersAndDamageKeepsWhatWasRead)
{
    ScratchDir dir;
    const auto tone = sine(1000, 22050, 440.0, 8000.0);
    const std::string wav = dir.file("tone.wav");
    ASSERT_TRUE(write_sound(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 22050, tone));
    ASSERT_TRUE(write_sound(dir.file("tone.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, tone));
    ASSERT_TRUE(write_sound(dir.file("adpcm.wav"), SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1, 22050, tone));
    std::filesystem::copy_file(wav, dir.file("cut.wav"));
    std::filesystem::resize_file(dir.file("cut.wav"), std::filesystem::file_size(wav) - 1000);

    DecodedSound sound;
    std::string error;
    EXPECT_EQ(decode_wav_file(dir.file("tone.flac").c_str(), sound, error), DecodeResult::unrecognised);
    EXPECT_EQ(decode_wav_file(dir.file("adpcm.wav").c_str(), sound, error), DecodeResult::unrecognised);
    EXPECT_EQ(decode_wav_file(dir.file("none.wav").c_str(), sound, error), DecodeResult::missing);
    EXPECT_EQ(decode_wav_file(dir.file("").c_str(), sound, error), DecodeResult::missing);
    ASSERT_EQ(decode_wav_file(dir.file("cut.wav").c_str(), sound, error), DecodeResult::damaged);
    EXPECT_EQ(sound.samples, std::vector<std::int16_t>(tone.begin(), tone.end() - 500)) << error;
    // Headerless data plays as the player's raw soundtrack.
    std::ofstream(dir.file("raw.d2"), std::ios::binary) << std::string("\x01\x02\x03\x04\x05", 5);
    ASSERT_EQ(decode_as_played(dir.file("raw.d2").c_str(), sound, error, decode_wav_file), DecodeResult::ok);
    EXPECT_TRUE(sound.raw);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{0x0201, 0x0403}));
}

}  // namespace
}  // namespace vexl::platform
