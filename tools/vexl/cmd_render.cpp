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
#include "output/glyph_raster.h"
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
    "render",
    "render IN.d1 OUT.png [--frame N | --frames A:B --dir D] [--crop C,R,W,H] [--scale K] [--aspect | --size WxH]",
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
    "  --crop C,R,W,H  only W columns by H rows of cells, from column C and\n"
    "                row R (both from 0); the other options apply to that part\n"
    "  --size WxH    make the picture exactly W x H pixels (1-5120 each),\n"
    "                each pixel the mix of the screen pixels it covers;\n"
    "                instead of --scale and --aspect\n"
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
    bool crop = false;
    PixelRect cells{0, 0, frame_cols, frame_rows};  // the part drawn, in cells
    int width = 0;                                  // from --size; 0 without it
    int height = 0;
};

constexpr long long largest_size = 5120;

constexpr long long most_frames = 1LL << 31;

constexpr OptionSpec options[] = {
    {"--frame", true}, {"--frames", true}, {"--dir", true}, {"--scale", true},
    {"--aspect", false}, {"--crop", true}, {"--size", true}};

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

// "C,R,W,H": a non-empty rectangle of cells within the frame.
bool parse_cells(std::string_view text, PixelRect& cells)
{
    long long v[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? text.find(',') : text.size();
        if (comma == std::string_view::npos || !parse_int(text.substr(0, comma), 0, frame_cols, v[i]))
            return false;
        text.remove_prefix(std::min(text.size(), comma + 1));
    }
    if (v[2] < 1 || v[3] < 1 || v[0] + v[2] > frame_cols || v[1] + v[3] > frame_rows)
        return false;
    cells = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
    return true;
}

// "WxH" in pixels.
bool parse_size(std::string_view text, int& width, int& height)
{
    const std::size_t x = text.find('x');
    long long w = 0;
    long long h = 0;
    if (x == std::string_view::npos || !parse_int(text.substr(0, x), 1, largest_size, w) ||
        !parse_int(text.substr(x + 1), 1, largest_size, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
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
        } else if (name == "--crop") {
            if (!parse_cells(value, o.cells))
                return "--crop wants C,R,W,H cells within the 80 x 50 screen, not '" + std::string(value) + "'";
            o.crop = true;
        } else if (name == "--size") {
            if (!parse_size(value, o.width, o.height))
                return "--size wants WxH, each from 1 to 5120, not '" + std::string(value) + "'";
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
    if (o.width != 0 && (o.aspect || o.scale != 1))
        return "--size replaces --scale and --aspect";
    return {};
}

// The picture of one frame as the options ask for it.
RgbPicture draw(std::span<const std::uint8_t, frame_bytes> frame, const Options& o)
{
    if (!o.crop && o.width == 0)
        return render_frame_picture(frame, o.scale, o.aspect);
    const PixelRect part{o.cells.x * glyph_width, o.cells.y * glyph_height, o.cells.width * glyph_width,
                         o.cells.height * glyph_height};
    int width = o.width;
    int height = o.height;
    if (width == 0) {
        // As the whole screen: 400 rows become 480 with --aspect.
        width = part.width * o.scale;
        height = o.aspect ? static_cast<int>((part.height * 6LL * o.scale + 2) / 5) : part.height * o.scale;
    }
    return fit_picture(render_frame_picture(frame, 1, false), part, width, height);
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
        fail(exit_bad_input, command.name, o.in, describe(damage, info.capacity));
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
            stream.frames().read(frame, frame_bytes);
            if (n < o.first)
                continue;
            const std::string name = target(n);
            auto out = std::make_unique<OutputFile>(name);
            const RgbPicture picture = draw(std::span(frame), o);
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
