// vexl record: the demo as one video file with its soundtrack, each frame
// drawn as the full-screen player shows it and at the moment it shows it.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/stderr_terminal.h"
#include "platform/linux/termination_signals.h"
#include "platform/linux/tool_files.h"
#include "audio/soundtrack.h"
#include "platform/sound_files.h"
#include "player/launcher.h"
#include "player/pack_survey.h"
#include "tools/record/played_sound.h"
#include "tools/record/recorder.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;
using record::RecordFormat;

int run_record(std::span<const std::string_view> args);

const VexlCommand command(
    "record",
    "record DIR OUT [--format F] [--lossless] [--from S] [--to S] [--speaker] [--scale N] [--aspect] "
    "[--crf N] [--preset P] [--quiet]",
    "Records the demo in DIR (ld_vexl.d1 and ld_vexl.d2) as one video file with\n"
    "its soundtrack: every frame as the full-screen player shows it, frame k at\n"
    "k/25 s, the sound as the player plays it, sample n at n/22050 s. The\n"
    "recording ends with the frames, or at 706 s as the player does.\n"
    "\n"
    "The format follows OUT's extension (or --format):\n"
    "  .mp4   H.264 + AAC, index in front: plays in browsers (the default)\n"
    "  .webm  VP9 + Opus (the sound resampled to 48000 Hz, as Opus needs)\n"
    "  .mkv   H.264 + AAC; with --lossless FFV1 + FLAC, every frame exactly\n"
    "         as `vexl render` draws it and every sample as played, for archives\n"
    "  .gif, .apng  the exact 16 colours, no sound: for short ranges\n"
    "\n"
    "  --from S, --to S  record from S seconds, up to S seconds (e.g. 12.5)\n"
    "  --speaker    the sound through the PC-speaker simulation\n"
    "  --scale N    repeat each pixel N times across and down (1-4); by default\n"
    "               2 for H.264 and VP9 (1280 x 800, so 4:2:0 colour can't bleed\n"
    "               into neighbouring text), 1 otherwise\n"
    "  --aspect     4:3 as on a CRT, still sharp: N times down and as wide as\n"
    "               makes 4:3; N is 3 unless --scale says (1600 x 1200)\n"
    "  --crf N      quality, lower is better: H.264 0-51 (16), VP9 0-63 (32)\n"
    "  --preset P   speed: ultrafast superfast veryfast faster fast medium slow\n"
    "               slower veryslow (superfast); VP9 takes them as speeds 8 to 0\n"
    "               (6 unless given)\n"
    "  --quiet      no progress on stderr\n"
    "\n"
    "OUT is written whole or not at all; Ctrl+C leaves nothing behind. A pipe or\n"
    "FIFO takes webm, mkv, gif and apng as they are made, not mp4. A damaged\n"
    "frame file or soundtrack is recorded as far as the player would play it,\n"
    "the damage is reported and the exit status is 1.",
    run_record);

struct Options {
    std::string dir;
    std::string out;
    std::string format_name;
    bool lossless = false;
    long long from_ms = 0;
    std::optional<long long> to_ms;
    std::string from_text = "0";  // as given, for messages
    std::string to_text;
    bool speaker = false;
    std::optional<int> scale;
    bool aspect = false;
    record::VideoTuning tuning;
    std::optional<int> crf;  // as given; checked against the encoder's range
    bool quiet = false;
    const RecordFormat* format = nullptr;
};

constexpr long long longest_ms = 100LL * 24 * 3600 * 1000;
constexpr long long ms_per_frame = 1000 / frames_per_second;

// Whole milliseconds to the first frame that starts at or after them.
std::int64_t frame_at(long long ms) { return (ms + ms_per_frame - 1) / ms_per_frame; }

// Seconds with up to three decimals, as whole milliseconds.
bool parse_seconds(std::string_view text, long long& ms)
{
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    std::string fraction(dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1));
    if (whole.empty() || fraction.size() > 3 || (dot != std::string_view::npos && fraction.empty()))
        return false;
    fraction.resize(3, '0');
    long long seconds = 0;
    long long thousandths = 0;
    if (!parse_int(whole, 0, longest_ms / 1000, seconds) || !parse_int(fraction, 0, 999, thousandths))
        return false;
    ms = seconds * 1000 + thousandths;
    return true;
}

// The format from --format or OUT's name; empty, or the usage problem.
std::string choose_format(Options& o)
{
    if (!o.format_name.empty()) {
        o.format = record::format_named(o.format_name, o.lossless);
        if (o.format != nullptr)
            return {};
        if (record::known_format_name(o.format_name))
            return "--lossless is for mkv only";
        std::string names;
        for (const RecordFormat& f : record::record_formats)
            if (names.find(f.name) == std::string::npos)
                names += (names.empty() ? "" : ", ") + std::string(f.name);
        return "--format wants one of " + names + ", not '" + o.format_name + "'";
    }
    o.format = record::format_for_file(o.out, o.lossless);
    if (o.format != nullptr)
        return {};
    if (record::format_for_file(o.out, !o.lossless) != nullptr)
        return "--lossless is for .mkv only";
    return "cannot tell the format from '" + o.out +
           "': name it .mp4, .webm, .mkv, .gif or .apng, or give --format";
}

constexpr OptionSpec record_options[] = {
    {"--format", true}, {"--lossless"}, {"--from", true},  {"--to", true},     {"--speaker"},
    {"--scale", true},  {"--aspect"},   {"--crf", true},   {"--preset", true}, {"--quiet"},
};

// Takes one option's value into `o`; returns an empty string or the usage
// problem.
std::string take_option(std::string_view name, std::string_view v, Options& o)
{
    const std::string quoted = "'" + std::string(v) + "'";
    long long value = 0;
    if (name == "--lossless") {
        o.lossless = true;
    } else if (name == "--speaker") {
        o.speaker = true;
    } else if (name == "--aspect") {
        o.aspect = true;
    } else if (name == "--quiet") {
        o.quiet = true;
    } else if (name == "--format") {
        o.format_name = v;
    } else if (name == "--from" || name == "--to") {
        if (!parse_seconds(v, value))
            return std::string(name) + " wants seconds such as 12 or 12.5, not " + quoted;
        if (name == "--from") {
            o.from_ms = value;
            o.from_text = v;
        } else {
            o.to_ms = value;
            o.to_text = v;
        }
    } else if (name == "--scale") {
        if (!parse_int(v, 1, record::largest_record_scale, value))
            return "--scale wants a whole number from 1 to 4, not " + quoted;
        o.scale = static_cast<int>(value);
    } else if (name == "--crf") {
        // Any whole number here; its range depends on the encoder.
        if (!parse_int(v, INT_MIN, INT_MAX, value))
            return "--crf wants a whole number, not " + quoted;
        o.crf = static_cast<int>(value);
    } else {  // --preset
        if (std::find(std::begin(record::preset_names), std::end(record::preset_names), v) ==
            std::end(record::preset_names))
            return "--preset wants ultrafast, superfast, veryfast, faster, fast, medium, slow, slower or "
                   "veryslow, not " +
                   quoted;
        o.tuning.preset = v;
    }
    return {};
}

// Fills `o`; returns an empty string or the usage problem.
std::string parse(std::span<const std::string_view> args, Options& o)
{
    ParsedArgs parsed;
    if (std::string problem = parse_args(args, record_options, parsed); !problem.empty())
        return problem;
    for (const ParsedArgs::Option& option : parsed.options)
        if (std::string problem = take_option(option.name, option.value, o); !problem.empty())
            return problem;
    if (parsed.operands.size() != 2)
        return "expected the demo's folder DIR and the output file OUT";
    o.dir = parsed.operands[0];
    o.out = parsed.operands[1];
    if (std::string problem = choose_format(o); !problem.empty())
        return problem;
    if (o.to_ms && *o.to_ms <= o.from_ms)
        return "--to must come after --from";
    if (o.to_ms && frame_at(*o.to_ms) <= frame_at(o.from_ms))
        return "no frame starts from " + o.from_text + " s to " + o.to_text + " s (one starts every 0.04 s)";
    if (o.speaker && o.format->audio_encoder == nullptr)
        return "--speaker: " + std::string(o.format->description) + " holds no sound";
    if (o.aspect && o.scale == 1)
        return "--aspect needs --scale 2 or more: narrower than 640 pixels, glyphs would lose columns";
    if ((o.crf || !o.tuning.preset.empty()) && !o.format->tunable)
        return "--crf and --preset are for H.264 and VP9, not " + std::string(o.format->description);
    if (o.crf) {
        const std::string_view codec = o.format->description.substr(0, o.format->description.find(" +"));
        if (*o.crf < 0 || *o.crf > record::largest_crf(*o.format))
            return "--crf for " + std::string(codec) + " goes from 0 to " +
                   std::to_string(record::largest_crf(*o.format)) + ", not " + std::to_string(*o.crf);
        o.tuning.crf = *o.crf;
    }
    return {};
}

std::string seconds_text(std::int64_t frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(frames) / frames_per_second);
    return text;
}

// What the player loads: the frame file whole and the soundtrack decoded.
struct Demo {
    std::vector<std::uint8_t> image;
    PackInfo info;
    std::int64_t frames = 0;  // what the player shows, up to its end limit
    platform::MonoSound sound;
    platform::PlayedSoundNotes notes;
};

// Loads `demo` and reports every damage found; exit_ok or the failure.
int load_demo(const fs::path& frames_path, const fs::path& sound_path, bool with_sound, Demo& demo)
{
    std::string problem;
    if (!read_whole_file(frames_path, demo.image, problem))
        return fail(exit_bad_input, command.name, frames_path.string(), problem);
    demo.info = inspect_pack(demo.image);
    for (const PackDamage& damage : demo.info.damage)
        fail(exit_bad_input, command.name, frames_path.string(), describe(damage, demo.info.capacity));
    // A last partial frame shows too, over the bytes of the one before.
    const std::int64_t in_file = static_cast<std::int64_t>(demo.info.whole_frames) +
                                 (demo.info.partial_frame_bytes != 0 ? 1 : 0);
    demo.frames = std::min<std::int64_t>(in_file, end_limit / frame_interval);
    if (demo.frames == 0)
        return fail(exit_bad_input, command.name, frames_path.string(), "holds no frame to record");
    if (!with_sound)
        return exit_ok;
    if (!platform::sound_files().read_as_played(sound_path.string(), demo.sound, demo.notes, problem))
        return fail(exit_bad_input, command.name, sound_path.string(), problem);
    if (!demo.notes.damage.empty())
        fail(exit_bad_input, command.name, sound_path.string(),
             "damaged (" + demo.notes.damage + "); recorded as far as it plays");
    return exit_ok;
}

record::ProgressStyle progress_style(const Options& o)
{
    if (o.quiet)
        return record::ProgressStyle::quiet;
    return platform::stderr_is_terminal() ? record::ProgressStyle::bar : record::ProgressStyle::lines;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int run_record(std::span<const std::string_view> args)
{
    Options o;
    if (const std::string problem = parse(args, o); !problem.empty())
        return usage_error(command, problem);
    const fs::path frames_path = fs::path(o.dir) / frame_file_name;
    const fs::path sound_path = fs::path(o.dir) / soundtrack_file_name;
    if (is_same_file(frames_path, o.out) || is_same_file(sound_path, o.out))
        return usage_error(command, "the output would overwrite the demo");
    std::error_code ec;
    if (fs::is_directory(o.out, ec))
        return fail(exit_bad_input, command.name, o.out, "is a directory");
    if (!o.format_name.empty())
        if (const std::string_view ext = record::disagreeing_extension(o.out, *o.format); !ext.empty())
            std::fprintf(stderr, "vexl record: %s: written as %s, as --format says, though the name ends in %.*s\n",
                         o.out.c_str(), std::string(o.format->name).c_str(), static_cast<int>(ext.size()), ext.data());

    Demo demo;
    if (const int code = load_demo(frames_path, sound_path, o.format->audio_encoder != nullptr, demo))
        return code;
    const std::int64_t first = frame_at(o.from_ms);
    const std::int64_t end = o.to_ms ? std::min(demo.frames, frame_at(*o.to_ms)) : demo.frames;
    if (first >= end) {
        // Past the end of a whole demo the range is the mistake; a damaged
        // one may just have lost the frames asked for.
        const std::string why =
            "nothing to record from " + o.from_text + " s: the frames end at " + seconds_text(demo.frames);
        return demo.info.damaged() ? fail(exit_bad_input, command.name, frames_path.string(), why)
                                   : usage_error(command, why);
    }
    const std::vector<std::int16_t> played =
        record::played_sound(std::move(demo.sound.samples), demo.sound.sample_rate, end, o.speaker);

    record::RecordingPlan plan;
    plan.format = o.format;
    plan.size = record::picture_size(
        o.scale.value_or(o.aspect ? record::aspect_default_scale : o.format->default_scale), o.aspect);
    plan.tuning = o.tuning;
    plan.first_frame = first;
    plan.end_frame = end;
    plan.sound = played;
    plan.sound_rate = demo.sound.sample_rate;

    // From here Ctrl+C, SIGTERM and SIGHUP stop the run between frames, and
    // the temporary goes with the OutputFile.
    platform::TerminationSignals signals;
    OutputFile output(o.out);
    if (!output.ok())
        return fail(exit_bad_input, command.name, o.out, output.error());
    // A pipe or a FIFO takes the recording as it is made, when the format
    // is written front to back.
    const bool seekable = platform::seekable(output.descriptor());
    if (!seekable && !o.format->streams)
        return fail(exit_bad_input, command.name, o.out,
                    "is a pipe, which can't take " + std::string(o.format->name) +
                        ": its index goes at the front once the whole file is known, so the file is "
                        "written out of order. Record into a file, or as .mkv or .webm, which stream");
    // libavformat seeks back and reads the file again (+faststart), so it
    // gets a stream of its own, for reading and writing.
    std::unique_ptr<std::FILE, FileCloser> file(seekable ? std::fopen(output.temp_path().c_str(), "r+b")
                                                         : platform::open_stream(output.descriptor()));
    if (!file)
        return fail(exit_bad_input, command.name, o.out, std::strerror(errno));
    ImageStream stream(frames_path, demo.image);
    if (stream.get() == nullptr)
        return fail(exit_bad_input, command.name, frames_path.string(), "cannot be opened");

    if (!o.quiet)
        std::fprintf(stderr, "vexl record: %s: %lld frames (%s) at %dx%d, %.*s\n", o.out.c_str(),
                     static_cast<long long>(end - first), seconds_text(end - first).c_str(), plan.size.width,
                     plan.size.height, static_cast<int>(o.format->description.size()),
                     o.format->description.data());
    record::Progress progress(stderr, progress_style(o), end - first, platform::stderr_columns);
    const record::RecordingResult result = record::record(
        stream.frames(), plan, file.get(), seekable, progress,
        [] { return platform::TerminationSignals::pending(); });
    progress.finish();
    if (result.stopped)
        return fail(exit_bad_input, command.name, o.out, "interrupted; nothing written");
    if (!result.ok)
        return fail(exit_bad_input, command.name, o.out, result.problem);
    if (std::fclose(file.release()) != 0)
        return fail(exit_bad_input, command.name, o.out, std::strerror(errno));
    if (!output.commit())
        return fail(exit_bad_input, command.name, o.out, output.error());
    if (!o.quiet)
        std::fprintf(stderr, "vexl record: wrote %s (%s)\n", o.out.c_str(), seconds_text(end - first).c_str());
    return demo.info.damaged() || !demo.notes.damage.empty() ? exit_bad_input : exit_ok;
}

}  // namespace
}  // namespace vexl::tool
