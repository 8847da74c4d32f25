// vexl web: a static web site that plays a demo in the browser: the web
// player's page and its element's scripts and WebAssembly modules (carried
// inside vexl), and the demo in pieces that the page fetches near the play
// position (tools/site/site_layout.h).

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/stderr_terminal.h"
#include "platform/linux/tool_files.h"
#include "platform/sound_files.h"
#include "player/launcher.h"
#include "player/pack_survey.h"
#include "tools/site/frame_pieces.h"
#include "tools/site/poster.h"
#include "tools/site/site_folder.h"
#include "tools/site/site_layout.h"
#include "tools/site/site_manifest.h"
#include "tools/site/sound_pieces.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/frame_picture.h"
#include "tools/vexl/web_page.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;
using site::SiteFolder;

int run_web(std::span<const std::string_view> args);

const VexlCommand command(
    "web", "web [--opus] [--poster FRAME] DIR OUT",
    "Writes a web site into the folder OUT that plays the demo in DIR\n"
    "(ld_vexl.d1 and ld_vexl.d2) in any current browser: the page index.html,\n"
    "the player's element (vexlade-player.js and what it loads) and the demo\n"
    "in pieces of 4 seconds, which the page fetches near the play position:\n"
    "the frames deflated, pixel for pixel, and the soundtrack in FLAC, sample\n"
    "for sample. Any static web server can serve it, for example\n"
    "  python3 -m http.server -d OUT 8000\n"
    "and then http://localhost:8000/ in the browser. It prints the HTML that\n"
    "puts the player into a page of your own.\n"
    "\n"
    "  --opus          the soundtrack in Opus at 40 kbit/s: the site is half\n"
    "                  as large, the sound no longer exact\n"
    "  --poster FRAME  the frame shown before Play (by default a still and\n"
    "                  colourful one from the first quarter, such as a title)\n"
    "\n"
    "The frame file is checked first: a damaged one is reported and nothing\n"
    "is written. OUT is written whole or not at all, also when the run is\n"
    "interrupted: it is made beside OUT under a temporary name and exchanged\n"
    "for OUT at the end, so OUT stands at every moment. An existing OUT is\n"
    "replaced only when it holds nothing but files vexl web writes; a\n"
    "symbolic link to it is followed. Temporary folders of runs that were\n"
    "killed outright are removed by the next run.",
    run_web);

constexpr OptionSpec options[] = {{"--opus"}, {"--poster", true}};

constexpr std::string_view frames_name = "ld_vexl.d1";
constexpr std::string_view sound_name = "ld_vexl.d2";
constexpr std::int64_t frames_per_piece = 4 * frames_per_second;  // 4 s: a piece arrives in a tenth of a second
constexpr std::int64_t samples_per_piece = frames_per_piece * frame_interval;

// OUT as a folder name: "site/" is "site".
fs::path folder_path(std::string_view arg)
{
    fs::path path = fs::path(arg).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    return path;
}

std::string size_text(std::uint64_t bytes)
{
    char text[32];
    if (bytes < 1000000)
        std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::uint64_t total(const std::vector<std::size_t>& sizes)
{
    std::uint64_t sum = 0;
    for (std::size_t size : sizes)
        sum += size;
    return sum;
}

struct WebOptions {
    bool opus = false;
    std::optional<std::int64_t> poster;
    fs::path dir;
    fs::path out;
    std::string out_arg;
};

std::string parse(std::span<const std::string_view> args, WebOptions& o)
{
    ParsedArgs parsed;
    if (std::string problem = parse_args(args, options, parsed); !problem.empty())
        return problem;
    for (const ParsedArgs::Option& option : parsed.options) {
        if (option.name == "--opus") {
            o.opus = true;
        } else {
            long long frame = 0;
            std::string problem;
            if (!parse_number(option.value, 0, INT32_MAX, frame, problem))
                return "--poster: " + problem;
            o.poster = frame;
        }
    }
    const auto& operands = parsed.operands;
    if (operands.size() != 2 || operands[0].empty() || operands[1].empty())
        return "expected the demo's folder and an output folder";
    o.dir = fs::path(operands[0]);
    o.out = folder_path(operands[1]);
    o.out_arg = std::string(operands[1]);
    if (!o.out.has_filename() || o.out.filename() == "." || o.out.filename() == "..")
        return "the output must name a folder";
    return {};
}

// The demo as a site holds it: its frames in pieces and the poster chosen
// from them, the soundtrack at the clock's rate.
struct SiteDemo {
    std::vector<std::uint8_t> image;
    std::int64_t frames = 0;
    std::vector<site::Bytes> frame_pieces;
    std::vector<std::int16_t> samples;
};

int load_demo(const WebOptions& o, SiteDemo& demo)
{
    const fs::path frames = o.dir / frames_name;
    const fs::path sound = o.dir / sound_name;
    std::string problem;
    // Both inputs are looked at before anything is written; neither is
    // read from a device or a FIFO.
    if (const std::string why = platform::input_problem(sound.string()); !why.empty())
        return fail(exit_bad_input, command.name, sound.string(), why);
    if (!read_whole_file(frames, demo.image, problem))
        return fail(exit_bad_input, command.name, frames.string(), problem);
    const PackInfo info = inspect_pack(demo.image);
    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, frames.string(), describe(damage, info.capacity));
    if (info.damaged())
        return fail(exit_bad_input, command.name, frames.string(), "is damaged; no site written");
    if (info.whole_frames == 0)
        return fail(exit_bad_input, command.name, frames.string(), "holds no whole frame");
    // A last partial frame shows too, over the bytes of the one before; the
    // player shows none after its end.
    demo.frames = std::min<std::int64_t>(static_cast<std::int64_t>(info.whole_frames) +
                                             (info.partial_frame_bytes != 0 ? 1 : 0),
                                         end_limit / frame_interval);
    if (o.poster && *o.poster >= demo.frames)
        return fail(exit_usage, command.name, "",
                    "--poster " + std::to_string(*o.poster) + ": the demo has frames 0 to " +
                        std::to_string(demo.frames - 1));

    platform::MonoSound played;
    platform::PlayedSoundNotes notes;
    if (!platform::sound_files().read_as_played(sound.string(), played, notes, problem))
        return fail(exit_bad_input, command.name, sound.string(), problem);
    if (!notes.damage.empty())
        return fail(exit_bad_input, command.name, sound.string(), "is damaged (" + notes.damage + "); no site written");
    if (!site::to_clock_rate(played.samples, played.sample_rate, problem))
        return fail(exit_bad_input, command.name, sound.string(), problem);
    // What plays after the end is never heard.
    if (played.samples.size() > static_cast<std::size_t>(end_limit))
        played.samples.resize(static_cast<std::size_t>(end_limit));
    demo.samples = std::move(played.samples);
    return exit_ok;
}

// The page, the demo's pieces, the poster and the manifest, into `site`.
int write_site(const WebOptions& o, SiteDemo& demo, SiteFolder& site, site::SiteManifest& manifest)
{
    std::string problem;
    const auto failed = [&] { return fail(exit_bad_input, command.name, o.out_arg, problem); };
    for (const WebPageFile& file : web_page_files())
        if (!site.write(file.name, file.bytes, problem))
            return failed();

    const std::string demo_dir = std::string(site::demo_folder) + "/";
    // The frames at deflate's strongest level take a while: someone at a
    // terminal is told.
    if (platform::stderr_is_terminal())
        std::fprintf(stderr, "vexl web: %s: deflating %lld frames and encoding the soundtrack...\n",
                     o.out_arg.c_str(), static_cast<long long>(demo.frames));
    site::PosterChooser poster(demo.frames, o.poster);
    {
        ImageStream stream(o.dir / frames_name, demo.image);
        if (stream.get() == nullptr)
            return fail(exit_bad_input, command.name, (o.dir / frames_name).string(), "cannot be opened");
        demo.frame_pieces = site::deflate_frame_pieces(
            stream.get(), demo.frames, frames_per_piece,
            [&](std::int64_t index, std::span<const std::uint8_t, frame_bytes> frame) { poster.look(index, frame); });
    }
    if (demo.frame_pieces.empty()) {
        problem = "out of memory for the frames";
        return failed();
    }
    manifest.frames = demo.frames;
    manifest.frames_per_piece = frames_per_piece;
    for (std::size_t i = 0; i < demo.frame_pieces.size(); ++i) {
        const std::string name = demo_dir + std::string(site::frames_folder) + "/" +
                                 site::piece_name(i, site::frame_piece_extension);
        if (!site.write(name, demo.frame_pieces[i], problem))
            return failed();
        manifest.frame_piece_bytes.push_back(demo.frame_pieces[i].size());
        site::Bytes().swap(demo.frame_pieces[i]);
    }

    const site::SoundPieceFormat& format = o.opus ? site::opus_pieces : site::flac_pieces;
    manifest.sound_codec = format.name;
    manifest.sound_extension = format.extension;
    manifest.samples = std::ssize(demo.samples);
    manifest.samples_per_piece = samples_per_piece;
    manifest.lead = format.lead;
    for (std::int64_t from = 0, i = 0; from < manifest.samples; from += samples_per_piece, ++i) {
        const std::string name = demo_dir + std::string(site::sound_folder) + "/" +
                                 site::piece_name(static_cast<std::size_t>(i), format.extension);
        OutputFile* file = site.add(name, problem);
        if (file == nullptr)
            return failed();
        std::FILE* stream = file->stream();
        const std::int64_t count = std::min(samples_per_piece, manifest.samples - from);
        if (stream == nullptr || !site::encode_sound_piece(demo.samples, from, count, format, stream, problem)) {
            if (problem.empty())
                problem = file->error();
            return failed();
        }
        std::fseek(stream, 0, SEEK_END);
        manifest.sound_piece_bytes.push_back(static_cast<std::size_t>(std::ftell(stream)));
        if (!file->stage()) {
            problem = file->error();
            return failed();
        }
    }

    manifest.poster_frame = poster.frame();
    const RgbPicture picture = render_frame_picture(poster.picture(), 1, false);
    OutputFile* png = site.add(demo_dir + std::string(site::poster_name), problem);
    if (png == nullptr)
        return failed();
    if (png->stream() == nullptr || !write_png(png->stream(), picture, problem) || !png->stage()) {
        if (problem.empty())
            problem = png->error();
        return failed();
    }
    const std::string json = site::manifest_json(manifest);
    if (!site.write(demo_dir + std::string(site::manifest_name),
                    {reinterpret_cast<const std::uint8_t*>(json.data()), json.size()}, problem))
        return failed();
    return exit_ok;
}

int run_web(std::span<const std::string_view> args)
{
    WebOptions o;
    if (const std::string problem = parse(args, o); !problem.empty())
        return usage_error(command, problem);
    if (web_page_files().empty())
        return fail(exit_bad_input, command.name, "",
                    "this vexl was built without the web player, which needs emscripten "
                    "(./build.sh web installs it)");
    SiteDemo demo;
    if (const int code = load_demo(o, demo))
        return code;

    // A symbolic link is followed: the folder it leads to is replaced.
    std::string target;
    std::string problem;
    if (!platform::resolve_links(o.out.string(), target, problem))
        return fail(exit_bad_input, command.name, o.out_arg, problem);
    SiteFolder site(target);
    if (const std::string why = site.check_replaceable(); !why.empty())
        return fail(exit_bad_input, command.name, o.out_arg, why);
    site.clear_stale();
    if (!site.create(problem))
        return fail(exit_bad_input, command.name, o.out_arg, "cannot make the folder: " + problem);
    site::SiteManifest manifest;
    if (const int code = write_site(o, demo, site, manifest))
        return code;
    problem.clear();
    if (!site.commit(problem) || !problem.empty())
        return fail(exit_bad_input, command.name, o.out_arg, problem);

    const std::uint64_t frame_bytes_total = total(manifest.frame_piece_bytes);
    const std::uint64_t sound_bytes_total = total(manifest.sound_piece_bytes);
    const std::string name = o.out.filename().string();
    const std::size_t pieces = std::max(manifest.frame_piece_bytes.size(), manifest.sound_piece_bytes.size());
    std::printf("Wrote %s: %lld frames (%s) and the soundtrack in %s (%s), in %zu piece%s; poster: frame %lld.\n"
                "Serve it with any web server, or put the player into a page of your own in the\n"
                "folder that holds %s:\n\n"
                "<script type=\"module\" src=\"%s/vexlade-player.js\"></script>\n"
                "<vexlade-player src=\"%s/%.*s/\"></vexlade-player>\n",
                o.out_arg.c_str(), static_cast<long long>(manifest.frames), size_text(frame_bytes_total).c_str(),
                o.opus ? "Opus" : "FLAC", size_text(sound_bytes_total).c_str(), pieces, pieces == 1 ? "" : "s",
                static_cast<long long>(manifest.poster_frame), name.c_str(), name.c_str(), name.c_str(),
                static_cast<int>(site::demo_folder.size()), site::demo_folder.data());
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool
