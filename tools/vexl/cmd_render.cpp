// vexl render: frames of a packed frame file as PNG pictures, drawn by the
// full-screen screen's own rasteriser.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "player/pack_survey.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/frame_picture.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;

int run_render(std::span<const std::string_view> args);

const VexlCommand command(
    "render", "render IN.d1 OUT.png [--frame N | --frames A:B --dir D] [--scale K] [--aspect]",
    "Draws frames of a packed frame file exactly as the full-screen display\n"
    "shows them (640 x 400, 8x8 CP437 glyphs, 16 VGA colours) and writes\n"
    "them as PNG. Frames count from 0, the first frame of the file.\n"
    "\n"
    "  --frame N     the frame to draw into OUT.png (default 0)\n"
    "  --frames A:B  frames A to B-1, written to D as NAME-NNNNN.png, where\n"
    "                NAME is the name of OUT.png without its extension\n"
    "  --dir D       the folder for --frames (it must exist)\n"
    "  --scale K     repeat every pixel K times across and down (1-8)\n"
    "  --aspect      stretch to 4:3 (640 x 480 at scale 1), the shape the\n"
    "                picture had on a CRT\n"
    "\n"
    "A frame the file does not hold is an error and nothing is written; with\n"
    "--frames either every picture is written or none. A damaged file is\n"
    "drawn as far as the player would read it; the damage is reported and\n"
    "the exit status is 1.",
    run_render);

struct Options {
    std::string in;
    std::string out;
    long long first = 0;  // frames [first, end)
    long long end = 1;
    bool range = false;
    std::string dir;
    int scale = 1;
    bool aspect = false;
};

constexpr long long most_frames = 1LL << 31;

constexpr OptionSpec options[] = {
    {"--frame", true}, {"--frames", true}, {"--dir", true}, {"--scale", true}, {"--aspect", false}};

// "A:B" with A < B; empty, or what is wrong.
std::string parse_range(std::string_view text, long long& first, long long& end)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return "--frames wants A:B, not '" + std::string(text) + "'";
    std::string problem;
    if (!parse_number(text.substr(0, colon), 0, most_frames - 1, first, problem) ||
        !parse_number(text.substr(colon + 1), 1, most_frames, end, problem))
        return "--frames: " + problem;
    if (first >= end)
        return "--frames wants A < B, not '" + std::string(text) + "'";
    return {};
}

// Fills `o`; returns an empty string or the usage problem.
std::string parse(std::span<const std::string_view> args, Options& o)
{
    ParsedArgs parsed;
    if (std::string problem = parse_args(args, options, parsed); !problem.empty())
        return problem;
    bool single = false;
    for (const auto& [name, value] : parsed.options) {
        std::string problem;
        long long number = 0;
        if (name == "--aspect") {
            o.aspect = true;
        } else if (name == "--frame") {
            if (!parse_number(value, 0, most_frames - 1, number, problem))
                return "--frame: " + problem;
            o.first = number;
            o.end = number + 1;
            single = true;
        } else if (name == "--frames") {
            if (problem = parse_range(value, o.first, o.end); !problem.empty())
                return problem;
            o.range = true;
        } else if (name == "--dir") {
            o.dir = value;
        } else {
            if (!parse_number(value, 1, largest_render_scale, number, problem))
                return "--scale: " + problem;
            o.scale = static_cast<int>(number);
        }
    }
    if (parsed.operands.size() != 2)
        return "expected IN.d1 and OUT.png";
    o.in = parsed.operands[0];
    o.out = parsed.operands[1];
    if (single && o.range)
        return "--frame and --frames exclude each other";
    if (o.range != !o.dir.empty())
        return "--frames and --dir go together";
    return {};
}

std::string numbered_name(const Options& o, long long frame)
{
    char number[24];
    std::snprintf(number, sizeof number, "-%05lld", frame);
    fs::path name = fs::path(o.out).filename();
    const fs::path extension = name.has_extension() ? name.extension() : fs::path(".png");
    return (fs::path(o.dir) / name.stem()).string() + number + extension.string();
}

int run_render(std::span<const std::string_view> args)
{
    Options o;
    if (const std::string problem = parse(args, o); !problem.empty())
        return usage_error(command, problem);

    std::vector<std::uint8_t> image;
    std::string problem;
    if (!read_whole_file(o.in, image, problem))
        return fail(exit_bad_input, command.name, o.in, problem);
    const PackInfo info = inspect_pack(image);
    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, o.in, describe(damage, info));
    // The player shows a last partial frame too, over the bytes of the one before.
    const auto frames = static_cast<long long>(info.whole_frames) + (info.partial_frame_bytes != 0 ? 1 : 0);
    if (o.end > frames)
        return fail(exit_bad_input, command.name, o.in,
                    "has " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s") + ", no frame " +
                        std::to_string(frames > o.first ? frames : o.first));
    if (o.range) {
        std::error_code ec;
        if (!fs::is_directory(o.dir, ec))
            return fail(exit_bad_input, command.name, o.dir, "is not a folder");
    }
    const auto target = [&o](long long n) { return o.range ? numbered_name(o, n) : o.out; };
    // Every target is checked before the first picture is drawn.
    for (long long n = o.first; n < o.end; ++n)
        if (is_same_file(o.in, target(n)))
            return usage_error(command, "an output would overwrite the input file");
    for (long long n = o.first; n < o.end; ++n)
        if (const std::string why = OutputFile::problem_with(target(n)); !why.empty())
            return fail(exit_bad_input, command.name, target(n), why);

    // All pictures are written first and replace their targets only once
    // every one of them is: any failure replaces none.
    std::vector<std::unique_ptr<OutputFile>> outputs;
    {
        ImageStream stream(o.in, image);
        if (stream.get() == nullptr)
            return fail(exit_bad_input, command.name, o.in,
                        image.size() > UINT32_MAX ? "too large (over 4 GiB)" : "cannot be opened");
        // Frame by frame into one buffer, as the player's TextFrame.
        std::uint8_t frame[frame_bytes] = {};
        for (long long n = 0; n < o.end; ++n) {
            pack_read(stream.get(), frame, frame_bytes);
            if (n < o.first)
                continue;
            const std::string name = target(n);
            auto out = std::make_unique<OutputFile>(name);
            const RgbPicture picture = render_frame_picture(std::span(frame), o.scale, o.aspect);
            std::FILE* file = out->ok() ? out->stream() : nullptr;
            if (file == nullptr)
                return fail(exit_bad_input, command.name, name, out->error());
            errno = 0;
            if (!write_png(file, picture, problem))
                // libpng says only "Write Error" when the disk is full.
                return fail(exit_bad_input, command.name, name,
                            std::ferror(file) != 0 && errno != 0 ? std::strerror(errno) : problem);
            // Waiting without a descriptor, so any number of frames fits.
            if (!out->stage())
                return fail(exit_bad_input, command.name, name, out->error());
            outputs.push_back(std::move(out));
        }
    }
    std::vector<OutputFile*> all;
    for (const auto& out : outputs)
        all.push_back(out.get());
    if (const OutputFile* failed = OutputFile::commit_all(all))
        return fail(exit_bad_input, command.name,
                    target(o.first + (std::find(all.begin(), all.end(), failed) - all.begin())), failed->error());
    return info.damaged() ? exit_bad_input : exit_ok;
}

}  // namespace
}  // namespace vexl::tool
