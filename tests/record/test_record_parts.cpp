// vexl record's parts: the formats and sizes, the progress line, the sound
// under the frames, and pictures that keep their colours through 4:2:0.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/speaker_sim.h"
#include "output/glyph_raster.h"
#include "core/palette16.h"
#include "tools/record/encoder_stream.h"
#include "tools/record/muxer.h"
#include "tools/record/picture_converter.h"
#include "tools/record/played_sound.h"
#include "tools/record/progress.h"
#include "tools/record/record_format.h"

namespace vexl::record {
namespace {

TEST(RecordFormats, ChosenByExtensionOrNameAndLosslessOnlyForMkv)
{
    EXPECT_EQ(format_for_file("demo.MP4", false)->video_encoder, std::string("libx264"));
    EXPECT_EQ(format_for_file("a/b.webm", false)->audio_encoder, std::string("libopus"));
    EXPECT_EQ(format_for_file("x.mkv", true)->video_encoder, std::string("ffv1"));
    EXPECT_EQ(format_for_file("x.mkv", false)->video_encoder, std::string("libx264"));
    EXPECT_EQ(format_for_file("x.gif", true), nullptr);
    EXPECT_EQ(format_for_file("mp4", false), nullptr) << "a name, no extension";
    EXPECT_EQ(format_named("apng", false)->audio_encoder, nullptr);
    EXPECT_EQ(format_named("mp4", true), nullptr);
    EXPECT_TRUE(known_format_name("gif"));
    EXPECT_FALSE(known_format_name("avi"));
    EXPECT_EQ(disagreeing_extension("x.mp4", *format_named("webm", false)), ".mp4");
    EXPECT_EQ(disagreeing_extension("x.MKV", *format_named("mkv", true)), "") << "the same format, lossless or not";
    EXPECT_EQ(disagreeing_extension("x.out", *format_named("gif", false)), "") << "no format's extension";
}

TEST(RecordFormats, PictureSizesAreWholePixelsAndAspectIsFourToThree)
{
    struct Case {
        int scale;
        bool aspect;
        int width, height;
    };
    for (const Case c : {Case{1, false, 640, 400}, Case{2, false, 1280, 800}, Case{4, false, 2560, 1600},
                         Case{2, true, 1066, 800}, Case{3, true, 1600, 1200}, Case{4, true, 2134, 1600}}) {
        const PictureSize size = picture_size(c.scale, c.aspect);
        EXPECT_EQ(size.width, c.width) << c.scale << c.aspect;
        EXPECT_EQ(size.height, c.height) << c.scale << c.aspect;
    }
}

TEST(RecordProgress, TellsFramesSpeedAndTimeLeft)
{
    EXPECT_EQ(progress_text(0, 100, 0.0), "  0% 0/100 frames");
    // 50 frames (2 s of demo) in 1 s: twice real time, 1 s to go.
    EXPECT_EQ(progress_text(50, 100, 1.0), " 50% 50/100 frames, 2.0x real time, 0:01 left");
    EXPECT_EQ(progress_text(17650, 17650, 176.5), "100% 17650/17650 frames, 4.0x real time");
    EXPECT_EQ(progress_text(25, 17650, 10.0), "  0% 25/17650 frames, 0.1x real time, 1:57:30 left");
}

TEST(RecordProgress, TheBarLineFitsTheTerminal)
{
    struct Case {
        int columns;
        std::string line;
    };
    const std::string text = " 50% 50/100 frames, 2.0x real time, 0:01 left";
    const std::string bar = "[############------------] ";
    for (const Case& c : {Case{0, bar + text}, Case{80, bar + text}, Case{59, "[#####-----] " + text},
                          Case{48, text}, Case{40, " 50% 50/100 frames, 0:01 left"},
                          Case{20, " 50%, 0:01 left"}, Case{4, " 50"}}) {
        const std::string line = progress_bar_line(50, 100, 1.0, c.columns);
        EXPECT_EQ(line, c.line) << c.columns;
        EXPECT_LT(line.size(), static_cast<std::size_t>(c.columns > 0 ? c.columns : 80)) << "never wraps";
    }
}

TEST(RecordEncoders, AnOptionTheEncoderDoesNotTakeIsNamed)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    Muxer muxer("matroska", file.get(), true);
    EncoderStream encoder;
    std::string problem;
    ASSERT_TRUE(encoder.create("flac", "audio", problem)) << problem;
    AVCodecContext& c = encoder.context();
    c.sample_rate = 22050;
    c.sample_fmt = AV_SAMPLE_FMT_S16;
    c.time_base = AVRational{1, 22050};
    av_channel_layout_default(&c.ch_layout, 1);
    encoder.set_option("compression_level", "5");
    encoder.set_option("compresion_level", "5");
    EXPECT_FALSE(encoder.start(muxer, problem));
    EXPECT_EQ(problem, "the flac encoder does not take the option 'compresion_level'");
}

TEST(PlayedSound, FramesStartAtWholeSamplesAndSilenceFollowsTheEnd)
{
    EXPECT_EQ(frame_start_sample(17650, 22050), 15567300);
    EXPECT_EQ(frame_start_sample(3, 48000), 5760);
    const std::vector<std::int16_t> tune = {1000, -2000, 3000, 0, 5};
    std::vector<std::int16_t> padded = played_sound(tune, 50, 3, false);  // 2 samples a frame
    EXPECT_EQ(padded, (std::vector<std::int16_t>{1000, -2000, 3000, 0, 5, 0}));
    EXPECT_EQ(played_sound(tune, 50, 1, false), (std::vector<std::int16_t>{1000, -2000}));

    // Through the speaker from rest, in any block size, past the end too.
    std::vector<std::int16_t> long_tune(10000);
    for (std::size_t i = 0; i < long_tune.size(); ++i)
        long_tune[i] = static_cast<std::int16_t>((i * 7919) % 30000 - 15000);
    std::vector<std::int16_t> expected = long_tune;
    expected.resize(12000, 0);
    speaker_sim_reset();
    speaker_sim_dsp(nullptr, expected.data(), static_cast<int>(expected.size()), nullptr);
    speaker_sim_dsp(nullptr, padded.data(), static_cast<int>(padded.size()), nullptr);  // state left behind
    EXPECT_EQ(played_sound(long_tune, 25000, 12, true), expected);
}

// A screen of 16 colour stripes one pixel wide and high, in both directions.
std::vector<std::uint32_t> checkered_screen()
{
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(picture_width) * picture_height);
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x)
            screen[static_cast<std::size_t>(y) * picture_width + x] =
                Palette16[static_cast<std::size_t>((x + 3 * y) % 16)];
    return screen;
}

FramePtr converted(PictureKind kind, PictureSize size, const std::vector<std::uint32_t>& screen)
{
    PictureConverter converter;
    std::string problem;
    EXPECT_TRUE(converter.open(kind, size, problem)) << problem;
    FramePtr frame(av_frame_alloc());
    frame->format = PictureConverter::pixel_format(kind);
    frame->width = size.width;
    frame->height = size.height;
    EXPECT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    converter.convert(screen.data(), *frame);
    return frame;
}

TEST(PictureConverter, AtScaleTwoEveryPixelKeepsItsOwnColourThrough420)
{
    // Each colour's Y, U and V, from a screen of that colour alone.
    std::array<std::array<std::uint8_t, 3>, 16> yuv{};
    for (std::size_t c = 0; c < 16; ++c) {
        const FramePtr plain =
            converted(PictureKind::yuv420, {1280, 800},
                      std::vector<std::uint32_t>(picture_width * picture_height, Palette16[c]));
        yuv[c] = {plain->data[0][0], plain->data[1][0], plain->data[2][0]};
    }
    EXPECT_EQ(yuv[15][0], 235) << "white at the top of TV range";
    EXPECT_EQ(yuv[0][0], 16);

    const std::vector<std::uint32_t> screen = checkered_screen();
    const FramePtr frame = converted(PictureKind::yuv420, {1280, 800}, screen);
    int wrong = 0;
    for (int y = 0; y < picture_height; ++y)
        for (int x = 0; x < picture_width; ++x) {
            const auto c = static_cast<std::size_t>((x + 3 * y) % 16);
            for (int k = 0; k < 4; ++k)
                wrong += frame->data[0][(2 * y + k / 2) * frame->linesize[0] + 2 * x + k % 2] != yuv[c][0];
            wrong += frame->data[1][y * frame->linesize[1] + x] != yuv[c][1];
            wrong += frame->data[2][y * frame->linesize[2] + x] != yuv[c][2];
        }
    EXPECT_EQ(wrong, 0);
}

TEST(PictureConverter, PalettePicturesHoldTheColourNumbers)
{
    const FramePtr frame = converted(PictureKind::palette, {1280, 800}, checkered_screen());
    int wrong = 0;
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 1280; ++x)
            wrong += frame->data[0][y * frame->linesize[0] + x] != (x / 2 + 3 * (y / 2)) % 16;
    EXPECT_EQ(wrong, 0);
    const auto* palette = reinterpret_cast<const std::uint32_t*>(frame->data[1]);
    for (std::size_t c = 0; c < 16; ++c)
        EXPECT_EQ(palette[c], 0xFF000000u | Palette16[c]);
}

}  // namespace
}  // namespace vexl::record
