// `vexl record` on the default demo, run as the built executable:
//  - every format side by side on the same 60 s of the demo: speed as a
//    multiple of real time (by the wall clock, and by CPU time, which the
//    other users of a shared machine disturb less), peak memory, size,
//    picture quality against `vexl render` and the sound's timing;
//  - the default .mp4 of the whole 706 s demo: speed, PSNR, memory over the
//    run (it must stay flat), stream starts and duration;
//  - the lossless .mkv of the whole demo: every frame and every sample
//    compared with the render and the soundtrack.
// The demo is made with `vexl mkdemo` unless VEXL_BENCH_DEMO names a folder
// that holds it. VEXL_BENCH_OPTIONS adds options to every recording (to
// weigh --preset and --crf: --benchmark_filter=BM_RecordExcerpt/0).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/frame_geometry.h"
#include "platform/linux/linux_sound_files.h"
#include "tools/record/media_reader.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/frame_picture.h"

extern char** environ;

namespace vexl::record {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int sound_rate = 22050;
constexpr std::int64_t whole_demo_frames = 17650;

struct Run {
    bool ok = false;
    double wall_s = 0;
    double cpu_s = 0;
    double peak_rss_mb = 0;
    std::vector<double> rss_mb;  // sampled every 0.25 s
};

double rss_mb_of(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

// Adds the options of VEXL_BENCH_OPTIONS, split at spaces.
void add_bench_options(std::vector<std::string>& args)
{
    const char* text = std::getenv("VEXL_BENCH_OPTIONS");
    std::string word;
    for (const char* c = text != nullptr ? text : "";; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!word.empty())
                args.push_back(word);
            word.clear();
            if (*c == '\0')
                break;
        } else {
            word += *c;
        }
    }
}

Run run_vexl(const std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(VEXL_TOOL)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, VEXL_TOOL, &actions, nullptr, argv.data(), environ) != 0)
        return run;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        run.rss_mb.push_back(rss_mb_of(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    run.wall_s = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peak_rss_mb = static_cast<double>(usage.ru_maxrss) / 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// The demo, made once for the run and removed at its end.
class Demo {
public:
    Demo()
    {
        if (const char* given = std::getenv("VEXL_BENCH_DEMO")) {
            dir_ = given;
            return;
        }
        dir_ = fs::temp_directory_path() / ("vexl-bench-record-" + std::to_string(getpid()));
        made_ = true;
        run_vexl({"mkdemo", dir_.string()});
    }
    ~Demo()
    {
        if (made_)
            fs::remove_all(dir_);
    }
    const fs::path& dir() const { return dir_; }

private:
    fs::path dir_;
    bool made_ = false;
};

const fs::path& demo_dir()
{
    static const Demo demo;
    return demo.dir();
}

fs::path out_dir()
{
    const fs::path dir = fs::temp_directory_path() / ("vexl-bench-record-out-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

// Frames of the demo in order, as `vexl render` draws them.
class Renders {
public:
    explicit Renders(std::int64_t first)
    {
        std::string problem;
        tool::read_whole_file(demo_dir() / "ld_vexl.d1", image_, problem);
        stream_ = std::make_unique<tool::ImageStream>(demo_dir() / "ld_vexl.d1", image_);
        for (std::int64_t k = 0; k < first; ++k)
            pack_read(stream_->get(), frame_.data(), frame_bytes);
    }
    tool::RgbPicture next(int scale)
    {
        pack_read(stream_->get(), frame_.data(), frame_bytes);
        return tool::render_frame_picture(frame_, scale, false);
    }

private:
    std::vector<std::uint8_t> image_;
    std::unique_ptr<tool::ImageStream> stream_;
    std::array<std::uint8_t, frame_bytes> frame_{};
};

struct PictureCheck {
    std::int64_t frames = 0;
    std::int64_t identical = 0;
    double psnr = 0;      // from the mean squared error over every frame, 0 when all are identical
    double min_psnr = 0;  // of the worst frame that differs
};

PictureCheck check_pictures(const fs::path& file, std::int64_t first, int scale)
{
    Renders renders(first);
    PictureCheck check;
    double total_error = 0, total_values = 0, worst = 1e9;
    std::string problem;
    read_pictures(
        file.string(),
        [&](const RgbFrame& got) {
            const tool::RgbPicture want = renders.next(scale);
            ++check.frames;
            total_values += static_cast<double>(want.rgb.size());
            if (got.width != want.width || got.height != want.height) {
                total_error += 255.0 * 255.0 * static_cast<double>(want.rgb.size());
                worst = 0;
                return;
            }
            double error = 0;
            for (std::size_t i = 0; i < want.rgb.size(); ++i) {
                const double d = static_cast<double>((*got.rgb)[i]) - want.rgb[i];
                error += d * d;
            }
            total_error += error;
            if (error == 0) {
                ++check.identical;
                return;
            }
            worst = std::min(worst,
                             10 * std::log10(255.0 * 255.0 / (error / static_cast<double>(want.rgb.size()))));
        },
        problem);
    if (total_error > 0) {
        check.psnr = 10 * std::log10(255.0 * 255.0 / (total_error / total_values));
        check.min_psnr = worst;
    }
    return check;
}

struct SoundCheck {
    bool identical = false;
    double start_ms = 0;  // of the first decoded sample
    double lag_ms = 0;    // where the decoded sound best matches the soundtrack
    double snr_db = 0;    // at that lag
    double length_s = 0;
};

std::vector<std::int16_t> soundtrack()
{
    platform::LinuxSoundFiles files;
    platform::MonoSound sound;
    platform::PlayedSoundNotes notes;
    std::string error;
    files.read_as_played((demo_dir() / "ld_vexl.d2").string(), sound, notes, error);
    return sound.samples;
}

// `want`: the soundtrack under the recorded frames, at 22050 Hz.
SoundCheck check_sound(const fs::path& file, const std::vector<std::int16_t>& want)
{
    SoundCheck check;
    DecodedSound got;
    std::string problem;
    if (!read_sound(file.string(), got, problem))
        return check;
    check.start_ms = got.start_seconds * 1000;
    check.length_s = got.start_seconds + static_cast<double>(got.samples.size()) / got.rate;
    check.identical = got.rate == sound_rate && got.start_seconds == 0 &&
                      std::equal(want.begin(), want.end(), got.samples.begin(),
                                 got.samples.begin() +
                                     static_cast<std::ptrdiff_t>(std::min(want.size(), got.samples.size())));
    // Linear interpolation is enough to find the lag to a sample.
    auto want_at = [&](double seconds) {
        const double at = seconds * sound_rate;
        const auto j = static_cast<std::size_t>(std::floor(at));
        if (at < 0 || j + 1 >= want.size())
            return std::numeric_limits<double>::quiet_NaN();
        return want[j] + (at - static_cast<double>(j)) * (want[j + 1] - want[j]);
    };
    const std::size_t span =
        std::min<std::size_t>(got.samples.size(), static_cast<std::size_t>(got.rate) * 60);
    double best = -2;
    // Whole steps, so that a lag of none reads exactly 0.
    const int rate = std::max(got.rate, sound_rate);
    for (int step = -rate / 50; step <= rate / 50; ++step) {
        const double lag = step * 1000.0 / rate;
        double dot = 0, ww = 0, gg = 0, noise = 0;
        for (std::size_t i = 0; i < span; i += 2) {
            const double w = want_at(got.start_seconds + static_cast<double>(i) / got.rate - lag / 1000);
            if (std::isnan(w))
                continue;
            const double g = got.samples[i];
            dot += w * g;
            ww += w * w;
            gg += g * g;
            noise += (g - w) * (g - w);
        }
        const double correlation = ww > 0 && gg > 0 ? dot / std::sqrt(ww * gg) : -1;
        if (correlation > best) {
            best = correlation;
            check.lag_ms = lag;
            check.snr_db = noise > 0 ? 10 * std::log10(ww / noise) : 999;
        }
    }
    return check;
}

void report_run(benchmark::State& state, const Run& run, double demo_seconds, const fs::path& file)
{
    if (!run.ok)
        state.SkipWithError("vexl record failed");
    state.counters["realtime_x_wall"] = demo_seconds / run.wall_s;
    state.counters["realtime_x_cpu"] = demo_seconds / run.cpu_s;
    state.counters["wall_s"] = run.wall_s;
    state.counters["cpu_s"] = run.cpu_s;
    state.counters["peak_rss_MB"] = run.peak_rss_mb;
    std::error_code ec;
    state.counters["size_MB"] = static_cast<double>(fs::file_size(file, ec)) / 1e6;
}

void report_streams(benchmark::State& state, const fs::path& file)
{
    MediaInfo info;
    std::string problem;
    if (!probe_media(file.string(), info, problem))
        return;
    state.counters["duration_s"] = info.duration_seconds;
    for (const MediaStream& s : info.streams)
        state.counters[s.video ? "video_start_ms" : "audio_start_ms"] = s.start_seconds * 1000;
}

void report_sound(benchmark::State& state, const fs::path& file, const std::vector<std::int16_t>& want)
{
    const SoundCheck sound = check_sound(file, want);
    state.counters["audio_lag_ms"] = sound.lag_ms;
    state.counters["audio_snr_dB"] = sound.snr_db;
    state.counters["audio_identical"] = sound.identical ? 1 : 0;
    state.counters["audio_end_s"] = sound.length_s;
}

struct Format {
    const char* file;
    std::vector<std::string> options;
    int scale;  // of the pictures, for the comparison
    bool sound;
};

const Format formats[] = {
    {"default.mp4", {}, 2, true}, {"vp9.webm", {}, 2, true},
    {"h264.mkv", {}, 2, true},    {"lossless.mkv", {"--lossless"}, 1, true},
    {"exact.gif", {}, 1, false},  {"exact.apng", {}, 1, false},
};

constexpr std::int64_t excerpt_first = 2500;   // 100 s in: plasma, tunnel, rotozoomer
constexpr std::int64_t excerpt_frames = 1500;  // 60 s

void BM_RecordExcerpt(benchmark::State& state)
{
    const Format& format = formats[state.range(0)];
    state.SetLabel(format.file);
    const fs::path out = out_dir() / format.file;
    std::vector<std::string> args = {"record",     demo_dir().string(),
                                     out.string(), "--quiet",
                                     "--from",     std::to_string(excerpt_first / 25),
                                     "--to",       std::to_string((excerpt_first + excerpt_frames) / 25)};
    args.insert(args.end(), format.options.begin(), format.options.end());
    add_bench_options(args);
    Run run;
    for (auto _ : state)
        run = run_vexl(args);
    report_run(state, run, excerpt_frames / 25.0, out);
    report_streams(state, out);
    const PictureCheck pictures = check_pictures(out, excerpt_first, format.scale);
    state.counters["frames"] = static_cast<double>(pictures.frames);
    state.counters["frames_identical"] = static_cast<double>(pictures.identical);
    state.counters["psnr_dB"] = pictures.psnr;
    state.counters["psnr_min_dB"] = pictures.min_psnr;
    if (format.sound) {
        const std::vector<std::int16_t> all = soundtrack();
        const auto from = all.begin() + excerpt_first * 882;
        report_sound(state, out, std::vector<std::int16_t>(from, from + excerpt_frames * 882));
    }
    fs::remove_all(out.parent_path());
}

// The whole default demo as .mp4 (state.range(0) == 0) or lossless .mkv.
void BM_RecordWholeDemo(benchmark::State& state)
{
    const Format& format = formats[state.range(0)];
    state.SetLabel(format.file);
    const fs::path out = out_dir() / format.file;
    std::vector<std::string> args = {"record", demo_dir().string(), out.string(), "--quiet"};
    args.insert(args.end(), format.options.begin(), format.options.end());
    add_bench_options(args);
    Run run;
    for (auto _ : state)
        run = run_vexl(args);
    report_run(state, run, whole_demo_frames / 25.0, out);
    // Memory at a tenth, half and nine tenths of the run: flat means no
    // growth with the length recorded.
    if (!run.rss_mb.empty()) {
        const std::size_t n = run.rss_mb.size();
        state.counters["rss_MB_at_10pct"] = run.rss_mb[n / 10];
        state.counters["rss_MB_at_50pct"] = run.rss_mb[n / 2];
        state.counters["rss_MB_at_90pct"] = run.rss_mb[n * 9 / 10];
    }
    report_streams(state, out);
    const PictureCheck pictures = check_pictures(out, 0, format.scale);
    state.counters["frames"] = static_cast<double>(pictures.frames);
    state.counters["frames_identical"] = static_cast<double>(pictures.identical);
    state.counters["psnr_dB"] = pictures.psnr;
    state.counters["psnr_min_dB"] = pictures.min_psnr;
    std::vector<std::int16_t> want = soundtrack();
    want.resize(whole_demo_frames * 882, 0);
    report_sound(state, out, want);
    fs::remove_all(out.parent_path());
}

BENCHMARK(BM_RecordExcerpt)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_RecordWholeDemo)->Arg(0)->Arg(3)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vexl::record

BENCHMARK_MAIN();
