// vexl render: frames of a packed frame file as PNG pictures, drawn by the
// full-screen screen's own rasteriser.

#include <cstdio>
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

// "A:B" with A < B.
bool parse_range(std::string_view text, long long& first, long long& end)
{
    const std::size_t colon = text.find(':');
    return colon != std::string_view::npos && parse_int(text.substr(0, colon), 0, most_frames, first) &&
           parse_int(text.substr(colon + 1), 0, most_frames, end) && first < end;
}

// Fills `o`; returns an empty string or the usage problem.
std::string parse(std::span<const std::string_view> args, Options& o)
{
    std::vector<std::string_view> names;
    bool single = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool has_value = i + 1 < args.size();
        long long value = 0;
        if (arg == "--aspect") {
            o.aspect = true;
        } else if (arg == "--frame" || arg == "--frames" || arg == "--dir" || arg == "--scale") {
            if (!has_value)
                return std::string(arg) + " needs a value";
            const std::string_view v = args[++i];
            if (arg == "--frame") {
                if (!parse_int(v, 0, most_frames - 1, value))
                    return "--frame wants a frame number, not '" + std::string(v) + "'";
                o.first = value;
                o.end = value + 1;
                single = true;
            } else if (arg == "--frames") {
                if (!parse_range(v, o.first, o.end))
                    return "--frames wants A:B with A < B, not '" + std::string(v) + "'";
                o.range = true;
            } else if (arg == "--dir") {
                o.dir = v;
            } else {
                if (!parse_int(v, 1, largest_render_scale, value))
                    return "--scale wants a whole number from 1 to 8, not '" + std::string(v) + "'";
                o.scale = static_cast<int>(value);
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option '" + std::string(arg) + "'";
        } else {
            names.push_back(arg);
        }
    }
    if (names.size() != 2)
        return "expected IN.d1 and OUT.png";
    o.in = names[0];
    o.out = names[1];
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

    // All pictures go to temporaries first and replace their targets only
    // once every one of them is written.
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
            const std::string name = o.range ? numbered_name(o, n) : o.out;
            if (is_same_file(o.in, name))
                return usage_error(command, "an output would overwrite the input file");
            auto out = std::make_unique<OutputFile>(name);
            const RgbPicture picture = render_frame_picture(std::span(frame), o.scale, o.aspect);
            std::FILE* file = out->ok() ? out->stream() : nullptr;
            if (file == nullptr)
                return fail(exit_bad_input, command.name, name, out->error());
            if (!write_png(file, picture, problem))
                return fail(exit_bad_input, command.name, name, problem);
            outputs.push_back(std::move(out));
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i)
        if (!outputs[i]->commit())
            return fail(exit_bad_input, command.name,
                        o.range ? numbered_name(o, o.first + static_cast<long long>(i)) : o.out,
                        outputs[i]->error());
    return info.damaged() ? exit_bad_input : exit_ok;
}

}  // namespace
}  // namespace vexl::tool
