// vexl record, run as the built executable on a small demo; the recordings
// are read back through libavformat as a player would read them.

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

#include "audio/speaker_sim.h"
#include "core/frame_geometry.h"
#include "player/pack_survey.h"
#include "tests/pack/pack_test_support.h"
#include "tests/support/test_dir.h"
#include "tools/record/media_reader.h"
#include "tools/vexl/frame_picture.h"

extern char** environ;

namespace vexl::record {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr int rate = 22050;
constexpr std::size_t frame_samples = 882;

// Packs `raw` at level 2, in blocks of 64 KiB as the player reads them.
Bytes pack(const Bytes& raw)
{
    Bytes file{2};
    for (std::size_t at = 0; at < raw.size(); at += 65536)
        test::append_block(
            file, test::compress(std::span(raw).subspan(at, std::min<std::size_t>(65536, raw.size() - at))));
    return file;
}

void write_file(const fs::path& path, const void* data, std::size_t size)
{
    std::ofstream(path, std::ios::binary)
        .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The time lag (ms) at which `got` best matches `want`, within +-10 ms:
// `got` at its own rate and start, `want` at 22050 Hz from 0.
double best_lag_ms(const std::vector<std::int16_t>& want, const DecodedSound& got)
{
    double best = -1, best_lag = 1e9;
    for (double lag = -10.0; lag <= 10.0; lag += 1000.0 / got.rate) {
        double dot = 0, ww = 0, gg = 0;
        for (std::size_t i = 0; i < got.samples.size(); i += 3) {
            const double t = got.start_seconds + static_cast<double>(i) / got.rate - lag / 1000.0;
            const double at = t * rate;
            const auto j = static_cast<std::size_t>(std::floor(at));
            if (at < 0 || j + 1 >= want.size())
                continue;
            const double w = want[j] + (at - static_cast<double>(j)) * (want[j + 1] - want[j]);
            dot += w * got.samples[i];
            ww += w * w;
            gg += static_cast<double>(got.samples[i]) * got.samples[i];
        }
        const double correlation = ww > 0 && gg > 0 ? dot / std::sqrt(ww * gg) : 0;
        if (correlation > best) {
            best = correlation;
            best_lag = lag;
        }
    }
    return best > 0.8 ? best_lag : 1e9;
}

class VexlRecord : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::fresh_test_dir("vexl-record");
        fs::create_directories(dir / "demo");
        // 50 whole frames and a 51st cut short: 2.04 s.
        raw = test::sample_frames(50 * frame_bytes + 3000);
        const Bytes packed = pack(raw);
        write_file(dir / "demo/ld_vexl.d1", packed.data(), packed.size());
        // 1.5 s of headerless sound, as the player reads an unknown file:
        // two tones that shift every 0.1 s, so any lag shows.
        for (int i = 0; i < rate * 3 / 2; ++i)
            sound.push_back(static_cast<std::int16_t>(
                std::lround(9000 * std::sin(i * 0.031 * (1 + i / 2205 % 5)) + 5000 * std::sin(i * 0.17))));
        write_file(dir / "demo/ld_vexl.d2", sound.data(), sound.size() * 2);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Exit status of `vexl record demo ARGS`, run in `dir`.
    int record(const std::string& args)
    {
        const std::string command = "cd '" + dir.string() + "' && '" VEXL_TOOL "' record " + args +
                                    " >/dev/null 2>'" + (dir / "stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Exit status of `vexl record demo FIFO ARGS`, with what a reader of
    // the FIFO got.
    int record_into_fifo(const std::string& args, Bytes& got)
    {
        const fs::path fifo = dir / "fifo";
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::thread reader([&] {
            std::ifstream in(fifo, std::ios::binary);
            got.assign(std::istreambuf_iterator<char>(in), {});
        });
        const int status = record("demo fifo " + args);
        // A run that never opened the FIFO leaves the reader waiting for a writer.
        close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        reader.join();
        fs::remove(fifo);
        return status;
    }
    std::string err() const
    {
        std::ifstream in(dir / "stderr");
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::array<std::uint8_t, frame_bytes> shown_frame(std::size_t n) const { return test::shown_frame(raw, n); }

    // The soundtrack under frames [0, end), through the simulation if asked.
    std::vector<std::int16_t> heard(std::size_t end, bool speaker) const
    {
        std::vector<std::int16_t> samples = sound;
        samples.resize(end * frame_samples, 0);
        if (speaker) {
            speaker_sim_reset();
            speaker_sim_dsp(nullptr, samples.data(), static_cast<int>(samples.size()), nullptr);
        }
        return samples;
    }

    // Pictures of `file` that differ from `vexl render` of frames first, first + 1, ...
    int pictures_unlike_render(const std::string& file, std::size_t first, int scale, int& count)
    {
        count = 0;
        int unlike = 0;
        std::string problem;
        EXPECT_TRUE(read_pictures((dir / file).string(),
                                  [&](const RgbFrame& frame) {
                                      const tool::RgbPicture want = tool::render_frame_picture(
                                          shown_frame(first + static_cast<std::size_t>(count)), scale, false);
                                      unlike += frame.width != want.width || frame.height != want.height ||
                                                *frame.rgb != want.rgb;
                                      ++count;
                                  },
                                  problem))
            << problem;
        return unlike;
    }

    std::size_t files() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
    Bytes raw;
    std::vector<std::int16_t> sound;
};

TEST_F(VexlRecord, EveryFormatHoldsItsStreamsInTime)
{
    struct Case {
        const char* args;
        const char* video;
        int width, height;
        const char* audio;  // "" for none
        int audio_rate;
        double audio_start;  // of the first packet: before 0 by the delay a decoder drops
    };
    for (const Case& c :
         {Case{"out.mp4", "h264", 1280, 800, "aac", 22050, 0.0},
          Case{"out.webm", "vp9", 1280, 800, "opus", 48000, -312 / 48000.0},
          Case{"out.mkv --aspect --scale 2", "h264", 1066, 800, "aac", 22050, -1024 / 22050.0},
          Case{"out.mkv --lossless", "ffv1", 640, 400, "flac", 22050, 0.0},
          Case{"out.gif", "gif", 640, 400, "", 0, 0.0},
          Case{"out.apng --format apng", "apng", 640, 400, "", 0, 0.0}}) {
        SCOPED_TRACE(c.args);
        ASSERT_EQ(record(std::string("demo ") + c.args), 0) << err();
        const std::string out = (dir / std::string(c.args).substr(0, std::string(c.args).find(' '))).string();
        MediaInfo info;
        std::string problem;
        ASSERT_TRUE(probe_media(out, info, problem)) << problem;
        ASSERT_EQ(info.streams.size(), *c.audio ? 2u : 1u);
        const MediaStream& video = info.streams[0].video ? info.streams[0] : info.streams[1];
        EXPECT_EQ(video.codec, c.video);
        EXPECT_EQ(video.width, c.width);
        EXPECT_EQ(video.height, c.height);
        EXPECT_NEAR(video.start_seconds, 0.0, 0.001);
        int pictures = 0;
        double last = -1;
        EXPECT_TRUE(read_pictures(
            out,
            [&](const RgbFrame& frame) {
                ++pictures;
                last = frame.seconds;
            },
            problem));
        EXPECT_EQ(pictures, 51);
        EXPECT_NEAR(last, 50 / 25.0, 0.001) << "frame k at k/25 s";
        if (info.duration_seconds > 0) {
            // FFmpeg 7's Matroska counts AAC's delay (46 ms) in, 5.1's does not.
            EXPECT_NEAR(info.duration_seconds, 51 / 25.0, 0.05);
        }
        if (info.index_offset >= 0) {
            EXPECT_LT(info.index_offset, info.data_offset) << "the index comes first";
        }
        if (!*c.audio)
            continue;
        const MediaStream& audio = info.streams[0].video ? info.streams[1] : info.streams[0];
        EXPECT_EQ(audio.codec, c.audio);
        EXPECT_EQ(audio.sample_rate, c.audio_rate);
        EXPECT_EQ(audio.channels, 1);
        EXPECT_NEAR(audio.start_seconds, c.audio_start, 0.001) << "the muxer's and our shifts taken together";
        DecodedSound decoded;
        ASSERT_TRUE(read_sound(out, decoded, problem)) << problem;
        // Decoders may hand out the padding of the last packet too.
        const double end = decoded.start_seconds + static_cast<double>(decoded.samples.size()) / decoded.rate;
        EXPECT_GE(end, 51 / 25.0 - 0.001) << "sound as long as the pictures";
        EXPECT_LE(end, 51 / 25.0 + 0.05);
        EXPECT_NEAR(best_lag_ms(heard(51, false), decoded), 0.0, 1.0) << "sound in time with the pictures";
    }
}

TEST_F(VexlRecord, ExactFormatsHoldTheRenderAndThePlayedSound)
{
    struct Case {
        const char* args;
        std::size_t first, end;
        bool speaker;
    };
    for (const Case& c :
         {Case{"out.mkv --lossless", 0, 51, false},
          Case{"out.mkv --lossless --speaker --from 1 --to 1.7", 25, 43, true},
          Case{"out.gif --to 1", 0, 25, false}, Case{"out.apng --from 1.99", 50, 51, false}}) {
        SCOPED_TRACE(c.args);
        ASSERT_EQ(record(std::string("demo ") + c.args + " --quiet"), 0) << err();
        EXPECT_EQ(err(), "") << "--quiet";
        const std::string out = std::string(c.args).substr(0, std::string(c.args).find(' '));
        int count = 0;
        EXPECT_EQ(pictures_unlike_render(out, c.first, 1, count), 0);
        EXPECT_EQ(count, static_cast<int>(c.end - c.first));
        if (out.ends_with(".mkv")) {
            DecodedSound decoded;
            std::string problem;
            ASSERT_TRUE(read_sound((dir / out).string(), decoded, problem)) << problem;
            const std::vector<std::int16_t> all = heard(c.end, c.speaker);
            EXPECT_EQ(decoded.start_seconds, 0.0);
            EXPECT_TRUE(decoded.samples ==
                        std::vector<std::int16_t>(
                            all.begin() + static_cast<std::ptrdiff_t>(c.first * frame_samples), all.end()))
                << "every sample as the player plays it, from frame " << c.first;
        }
    }
}

TEST_F(VexlRecord, FormatsThatStreamGoIntoAPipeAndMp4SaysWhyNot)
{
    for (const char* args : {"--format webm", "--format mkv --lossless", "--format gif", "--format apng"}) {
        SCOPED_TRACE(args);
        Bytes got;
        ASSERT_EQ(record_into_fifo(std::string(args) + " --quiet", got), 0) << err();
        write_file(dir / "piped", got.data(), got.size());
        int count = 0;
        const int unlike = pictures_unlike_render("piped", 0, 1, count);
        EXPECT_EQ(count, 51);
        if (std::string_view(args) != "--format webm") {
            EXPECT_EQ(unlike, 0);
        }
        fs::remove(dir / "piped");
    }
    Bytes got;
    EXPECT_EQ(record_into_fifo("--format mp4", got), 1);
    EXPECT_NE(err().find("can't take mp4: its index goes at the front"), std::string::npos) << err();
    EXPECT_TRUE(got.empty());
}

TEST_F(VexlRecord, ADamagedFrameFileIsRecordedAsFarAsItReads)
{
    Bytes packed = pack(raw);
    packed.resize(packed.size() * 2 / 3);
    write_file(dir / "demo/ld_vexl.d1", packed.data(), packed.size());
    const PackInfo info = inspect_pack(packed);
    ASSERT_TRUE(info.damaged());
    raw.resize(info.unpacked_bytes);  // what the stream still delivers

    EXPECT_EQ(record("demo out.mkv --lossless --quiet"), 1);
    EXPECT_NE(err().find("ld_vexl.d1: offset"), std::string::npos) << err();
    int count = 0;
    EXPECT_EQ(pictures_unlike_render("out.mkv", 0, 1, count), 0);
    EXPECT_EQ(count, static_cast<int>(info.whole_frames + (info.partial_frame_bytes != 0)));
}

TEST_F(VexlRecord, MissingInputsAndBadUsageWriteNothing)
{
    EXPECT_EQ(record("nowhere out.mp4"), 1);
    // Ranges and numbers that don't fit are usage mistakes, told as given.
    const std::pair<const char*, const char*> told[] = {
        {"demo out.mp4 --from 2.1", "nothing to record from 2.1 s: the frames end at 2.04 s"},
        {"demo out.mp4 --from 0.02 --to 0.03", "no frame starts from 0.02 s to 0.03 s"},
        {"demo out.webm --crf 64", "--crf for VP9 goes from 0 to 63, not 64"},
    };
    for (const auto& [args, says] : told) {
        EXPECT_EQ(record(args), 2) << args;
        EXPECT_NE(err().find(says), std::string::npos) << err();
    }
    fs::rename(dir / "demo/ld_vexl.d2", dir / "sound");
    EXPECT_EQ(record("demo out.mp4"), 1);
    EXPECT_NE(err().find("ld_vexl.d2"), std::string::npos) << err();
    EXPECT_EQ(record("demo out.gif"), 0) << "a GIF needs no sound";
    fs::remove(dir / "out.gif");
    EXPECT_EQ(record("--quiet -- demo -out.gif"), 0) << "-- ends the options";
    fs::remove(dir / "-out.gif");
    fs::rename(dir / "sound", dir / "demo/ld_vexl.d2");
    for (const char* args : {"",
                             "demo",
                             "demo a.mp4 b.mp4",
                             "demo out.avi",
                             "demo out.mp4 --format avi",
                             "demo out.mp4 --lossless",
                             "demo out.mp4 --scale 5",
                             "demo out.mp4 --scale 0",
                             "demo out.mp4 --aspect --scale 1",
                             "demo out.mp4 --from 2 --to 1",
                             "demo out.mp4 --from x",
                             "demo out.mp4 --to 1.2345",
                             "demo out.mp4 --crf 52",
                             "demo out.gif --crf 10",
                             "demo out.mkv --lossless --preset fast",
                             "demo out.mp4 --preset quick",
                             "demo out.gif --speaker",
                             "demo out.mp4 --to",
                             "demo out.mp4 --bogus",
                             "demo demo/ld_vexl.d1 --format mp4"})
        EXPECT_EQ(record(args), 2) << args;
    EXPECT_EQ(files(), 2u) << "the demo and stderr only";
}

TEST_F(VexlRecord, AnInterruptedRunLeavesNothingBehind)
{
    // Long enough to be stopped part-way: the same frame over and over.
    Bytes long_raw;
    for (int i = 0; i < 5000; ++i)
        long_raw.insert(long_raw.end(), raw.begin(), raw.begin() + frame_bytes);
    const Bytes packed = pack(long_raw);
    write_file(dir / "demo/ld_vexl.d1", packed.data(), packed.size());

    const std::string err_path = (dir / "stderr").string();
    const std::string out_path = (dir / "out.mp4").string();
    const char* argv[] = {VEXL_TOOL, "record", "demo", out_path.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VEXL_TOOL, &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Stop it once it has begun to encode.
    for (int i = 0; i < 1000 && err().find("5000 frames") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << err();
    EXPECT_NE(err().find("interrupted"), std::string::npos) << err();
    EXPECT_EQ(files(), 2u) << "the demo and stderr only";
}

}  // namespace
}  // namespace vexl::record
