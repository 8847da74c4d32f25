#include "platform/linux/linux_audio_library.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "audio/audio_outputs.h"
#include "platform/run_report.h"
#include "tests/audio/sound_test_files.h"

namespace vexl::platform {
namespace {

using namespace std::chrono_literals;
using vexl::testing::ScratchDir;
using vexl::testing::write_sound;
using SteadyClock = std::chrono::steady_clock;

using Options = LinuxAudioLibrary::Options;
using OutputChoice = LinuxAudioLibrary::OutputChoice;

// What a hook saw on the audio thread.
struct Tap {
    std::mutex mutex;
    std::vector<std::int16_t> samples;
    std::thread::id thread;

    std::size_t size()
    {
        std::lock_guard lock(mutex);
        return samples.size();
    }
};

void* tap_hook(void*, void* block, int length, void* param)
{
    auto& tap = *static_cast<Tap*>(param);
    std::lock_guard lock(tap.mutex);
    const auto* b = static_cast<const std::int16_t*>(block);
    tap.samples.insert(tap.samples.end(), b, b + length);
    tap.thread = std::this_thread::get_id();
    return block;
}

std::vector<std::int16_t> numbered(int count)
{
    std::vector<std::int16_t> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 32000 + 1);
    return v;
}

class LinuxAudio : public ::testing::Test {
protected:
    std::string wav(const std::string& name, const std::vector<std::int16_t>& samples, int rate = 22050)
    {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(write_sound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, rate, samples));
        return path;
    }

    ScratchDir dir_;
};

TEST_F(LinuxAudio, HookSeesEveryDecodedSampleOnceOnTheAudioThreadThenSilence)
{
    const auto data = numbered(4410);  // 0.2 s
    const std::string path = wav("tune.wav", data);
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    ASSERT_TRUE(audio.init(22050, 1, FSOUND_INIT_GLOBALFOCUS));
    EXPECT_STREQ(audio.output_name(), "null");
    AudioStreamHandle stream = audio.stream_open_file(path.c_str(), soundtrack_open_mode, 0);
    ASSERT_NE(stream, nullptr);
    Tap tap;
    DspHandle dsp = audio.stream_create_dsp(stream, tap_hook, 0, &tap);
    ASSERT_NE(dsp, nullptr);
    audio.dsp_set_active(dsp, true);
    EXPECT_EQ(audio.stream_play(0, stream), 0);

    const auto deadline = SteadyClock::now() + 10s;
    while (tap.size() < data.size() + 4000 && SteadyClock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const int later = audio.stream_get_time(stream);
    audio.stream_close(stream);
    audio.close();  // the output has stopped: the tap is ours alone now

    ASSERT_GE(tap.samples.size(), data.size() + 4000);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), tap.samples.begin()));
    EXPECT_TRUE(std::all_of(tap.samples.begin() + static_cast<std::ptrdiff_t>(data.size()),
                            tap.samples.end(), [](std::int16_t v) { return v == 0; }));
    EXPECT_NE(tap.thread, std::this_thread::get_id());
    EXPECT_GT(later, 250);  // the clock ran on past the 200 ms of data
}

TEST_F(LinuxAudio, NullOutputClockIsMonotonicAndKeepsWallTime)
{
    const std::string path = wav("short.wav", numbered(2205));  // 0.1 s, then silence
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    ASSERT_TRUE(audio.init(22050, 1, 2));
    AudioStreamHandle stream = audio.stream_open_file(path.c_str(), 0x130, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(audio.stream_get_time(stream), 0);  // not playing yet
    ASSERT_EQ(audio.stream_play(0, stream), 0);
    const auto start = SteadyClock::now();
    int previous = 0;
    int last = 0;
    while (SteadyClock::now() - start < 1500ms) {
        last = audio.stream_get_time(stream);
        ASSERT_GE(last, previous);
        previous = last;
        std::this_thread::sleep_for(2ms);
    }
    const double wall_ms =
        std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
    // Generous: the machine is shared and busy.
    EXPECT_NEAR(last, wall_ms, 150.0);
    EXPECT_GT(last, 1000);  // well past the end of the data
    std::this_thread::sleep_for(100ms);
    EXPECT_GT(audio.stream_get_time(stream), last);
    audio.close();
}

TEST_F(LinuxAudio, StreamsAtOtherRatesAreHeardAtTheirOwnSpeed)
{
    // 44100 Hz data through a 22050 Hz output: half a second of data lasts
    // half a second, so the hook sees it all in about that time.
    const auto data = numbered(22050);
    const std::string path = wav("fast.wav", data, 44100);
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    ASSERT_TRUE(audio.init(22050, 1, 2));
    AudioStreamHandle stream = audio.stream_open_file(path.c_str(), 0x130, 0);
    Tap tap;
    audio.dsp_set_active(audio.stream_create_dsp(stream, tap_hook, 0, &tap), true);
    audio.stream_play(0, stream);
    std::this_thread::sleep_for(300ms);
    const int ms = audio.stream_get_time(stream);
    const std::size_t seen = tap.size();
    audio.close();
    // The hook runs ahead of the clock by at most a few blocks.
    EXPECT_NEAR(static_cast<double>(seen), ms * 44.1, 44.1 * 100 + 4 * 512);
}

TEST_F(LinuxAudio, UnrecognisedFilePlaysAsRawLittleEndianMono)
{
    const std::string path = dir_.file("ld_vexl.d2");
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 3000; ++i) {
            out.put(static_cast<char>(i & 0xff));
            out.put(static_cast<char>((i >> 8) & 0x7f));
        }
    }
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    ASSERT_TRUE(audio.init(22050, 1, 2));
    AudioStreamHandle stream = audio.stream_open_file(path.c_str(), 0x130, 0);
    ASSERT_NE(stream, nullptr);
    Tap tap;
    audio.dsp_set_active(audio.stream_create_dsp(stream, tap_hook, 0, &tap), true);
    audio.stream_play(0, stream);
    const auto deadline = SteadyClock::now() + 10s;
    while (tap.size() < 3000 && SteadyClock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    audio.close();
    ASSERT_GE(tap.samples.size(), 3000u);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(tap.samples[static_cast<std::size_t>(i)], i & 0x7fff) << i;
}

TEST_F(LinuxAudio, FileThatCannotBePlayedOpensASilentStreamThatRunsInRealTime)
{
    RunReport report;
    ScopedService<RunReport> report_slot(report);
    std::ofstream(dir_.file("empty.d2")).close();
    std::filesystem::create_directory(dir_.file("folder.d2"));
    wav("nothing.wav", {});
    const struct {
        std::string name;
        const char* why;
    } cases[] = {
        {dir_.file("ld_vexl.d2"), "No such file or directory"},
        {dir_.file("empty.d2"), "it holds no sound"},
        {dir_.file("folder.d2"), "not a regular file"},
        {dir_.file("nothing.wav"), "it holds no sound"},
    };
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    ASSERT_TRUE(audio.init(22050, 1, 2));
    std::vector<AudioStreamHandle> streams;
    for (const auto& c : cases) {
        streams.push_back(audio.stream_open_file(c.name.c_str(), soundtrack_open_mode, 0));
        ASSERT_NE(streams.back(), nullptr) << c.name;
        EXPECT_EQ(audio.stream_play(0, streams.back()), 0);
    }
    std::this_thread::sleep_for(300ms);
    const std::vector<std::string> said = report.take();
    ASSERT_EQ(said.size(), std::size(cases));
    for (std::size_t i = 0; i < said.size(); ++i) {
        EXPECT_GT(audio.stream_get_time(streams[i]), 150) << cases[i].name << ": the clock runs";
        EXPECT_EQ(said[i], cases[i].name + " could not be played (" + cases[i].why +
                               "); the frames followed a silent real-time clock");
    }
    audio.close();
}

TEST_F(LinuxAudio, NoNameGivesNoStreamAndEveryCallCopes)
{
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    ASSERT_TRUE(audio.init(22050, 1, 2));
    AudioStreamHandle stream = audio.stream_open_file(nullptr, 0, 0);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(audio.stream_create_dsp(stream, tap_hook, 0, nullptr), nullptr);
    audio.dsp_set_active(nullptr, true);
    EXPECT_EQ(audio.stream_play(0, stream), -1);
    EXPECT_EQ(audio.stream_get_time(stream), 0);
    EXPECT_FALSE(audio.stream_close(stream));
    audio.close();
    audio.close();  // twice is harmless
}

// A device that plays (silently, in real time) until the test pulls it out.
class LosableDevice final : public AudioOutput {
public:
    LosableDevice(AudioEngine& engine, int rate, const std::atomic<bool>& lost)
        : inner_(start_null_output(engine, rate)), lost_(lost)
    {
    }
    void stop() override { inner_->stop(); }
    const char* name() const override { return "device"; }
    bool lost() const override { return lost_.load(); }

private:
    std::unique_ptr<AudioOutput> inner_;
    const std::atomic<bool>& lost_;
};

TEST_F(LinuxAudio, LostDeviceHandsOverToTheSilentClockFromTheSamePosition)
{
    RunReport report;
    ScopedService<RunReport> report_slot(report);
    std::atomic<bool> lost{false};
    LinuxAudioLibrary audio([&](AudioEngine& engine, int rate) -> std::unique_ptr<AudioOutput> {
        return std::make_unique<LosableDevice>(engine, rate, lost);
    });
    ASSERT_TRUE(audio.init(22050, 1, 2));
    EXPECT_STREQ(audio.output_name(), "device");
    const std::string path = wav("tune.wav", numbered(22050));
    AudioStreamHandle stream = audio.stream_open_file(path.c_str(), soundtrack_open_mode, 0);
    ASSERT_EQ(audio.stream_play(0, stream), 0);
    std::this_thread::sleep_for(300ms);
    const int before = audio.stream_get_time(stream);
    EXPECT_GT(before, 150);

    lost = true;
    int previous = before;
    int largest_step = 0;
    const auto start = SteadyClock::now();
    while (SteadyClock::now() - start < 400ms) {
        const int now = audio.stream_get_time(stream);
        ASSERT_GE(now, previous) << "never backwards";
        largest_step = std::max(largest_step, now - previous);
        previous = now;
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_STREQ(audio.output_name(), "null");
    EXPECT_LT(largest_step, 100) << "no jump";
    EXPECT_GT(previous, before + 200) << "and on in real time";
    const std::vector<std::string> said = report.take();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("the sound device was lost at ", 0), 0u) << said[0];
    audio.close();
}

TEST_F(LinuxAudio, PlayBeforeInitFailsAndCloseReleasesOpenStreams)
{
    const std::string path = wav("x.wav", numbered(100));
    LinuxAudioLibrary audio(Options{OutputChoice::null_only, {}});
    AudioStreamHandle stream = audio.stream_open_file(path.c_str(), 0x130, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(audio.stream_play(0, stream), -1);
    EXPECT_EQ(audio.output_rate(), 0);
    ASSERT_TRUE(audio.init(22050, 1, 2));
    EXPECT_TRUE(audio.init(22050, 1, 2));  // already running: no second output
    EXPECT_EQ(audio.output_rate(), 22050);
    EXPECT_EQ(audio.stream_play(FSOUND_FREE, stream), 0);
    audio.close();  // the stream goes with the library
    EXPECT_FALSE(audio.stream_close(stream));
}

TEST_F(LinuxAudio, SdlDummyDriverPlaysAndLeavesTheRestOfSdlAlone)
{
    // Another part of the program uses SDL already.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);

    const std::string path = wav("tune.wav", numbered(22050));
    {
        LinuxAudioLibrary audio(Options{OutputChoice::sdl_only, "dummy"});
        ASSERT_TRUE(audio.init(22050, 1, 2)) << SDL_GetError();
        EXPECT_STREQ(audio.output_name(), "sdl");
        EXPECT_GT(audio.output_rate(), 0);
        AudioStreamHandle stream = audio.stream_open_file(path.c_str(), 0x130, 0);
        Tap tap;
        audio.dsp_set_active(audio.stream_create_dsp(stream, tap_hook, 0, &tap), true);
        ASSERT_EQ(audio.stream_play(0, stream), 0);
        const auto start = SteadyClock::now();
        std::this_thread::sleep_for(400ms);
        const int ms = audio.stream_get_time(stream);
        const double wall_ms =
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
        EXPECT_GT(ms, 0);
        EXPECT_NEAR(ms, wall_ms, 150.0);
        struct sigaction during {};
        sigaction(SIGINT, nullptr, &during);
        EXPECT_EQ(during.sa_handler, before.sa_handler) << "SDL installed a SIGINT handler";
        audio.close();
        EXPECT_GT(tap.size(), 0u);
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_NE(SDL_WasInit(SDL_INIT_EVENTS), 0u);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(LinuxAudio, AutomaticChoiceAlwaysEndsWithARunningOutput)
{
    LinuxAudioLibrary audio;
    ASSERT_TRUE(audio.init(22050, 1, 2));
    const std::string name = audio.output_name();
    EXPECT_TRUE(name == "sdl" || name == "null") << name;
    EXPECT_GT(audio.output_rate(), 0);
    audio.close();
}

}  // namespace
}  // namespace vexl::platform
