// vexl pack: raw 8000-byte frames into a packed frame file.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "platform/linux/tool_files.h"
#include "player/block_writer.h"
#include "player/launcher.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

int run_pack(std::span<const std::string_view> args);

const VexlCommand command(
    "pack", "pack [--level 1-9] FRAMES OUT.d1",
    "Packs raw frames (80x50 cells of a character and an attribute byte,\n"
    "8000 bytes each) into a packed frame file of LZO1X blocks. FRAMES is a\n"
    "regular file, or - for standard input (a pipe, a device). --level sets\n"
    "the block size to LEVEL x 32 KiB (default 2). OUT.d1 is replaced only\n"
    "when packing succeeds, and never grows beyond what the player loads.",
    run_pack);

constexpr OptionSpec options[] = {{"--level", true}};

int run_pack(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, options, parsed); !problem.empty())
        return usage_error(command, problem);
    long long level = pack_default_level;
    for (const ParsedArgs::Option& option : parsed.options)
        if (!parse_int(option.value, BlockWriter::min_level, BlockWriter::max_level, level))
            return usage_error(command, "--level takes 1 to 9, not '" + std::string(option.value) + "'");
    if (parsed.operands.size() != 2)
        return usage_error(command, "expected FRAMES and OUT.d1");
    const std::string frames_name(parsed.operands[0]);
    const std::string out_name(parsed.operands[1]);
    const bool from_stdin = frames_name == "-";
    if (!from_stdin && is_same_file(frames_name, out_name))
        return usage_error(command, "OUT.d1 is the input file");

    std::FILE* in = stdin;
    if (!from_stdin) {
        // A device or a FIFO by name could be endless; a stream of frames
        // comes through standard input, where the size limit below holds.
        std::string problem;
        in = platform::open_regular_file(frames_name, problem);
        if (in == nullptr)
            return fail(exit_bad_input, command.name, frames_name,
                        problem + (problem.ends_with("not a regular file") ? " (give - to read standard input)" : ""));
    }
    struct Closer {
        std::FILE* file;
        ~Closer()
        {
            if (file != stdin)
                std::fclose(file);
        }
    } closer{in};
    const std::string shown_input = from_stdin ? "(stdin)" : frames_name;

    OutputFile out(out_name);
    if (!out.ok())
        return fail(exit_bad_input, command.name, out_name, out.error());
    // The player loads no larger file, so an endless input stops here.
    std::uint64_t packed = 0;
    bool too_large = false;
    BlockWriter writer(
        [&](std::span<const std::uint8_t> bytes) {
            packed += bytes.size();
            too_large = packed > static_cast<std::uint64_t>(largest_frame_file);
            return !too_large && out.write(bytes);
        },
        static_cast<int>(level));
    const auto write_failed = [&] {
        return fail(exit_bad_input, command.name, out_name,
                    too_large ? "the packed file would be larger than the " +
                                    std::to_string(largest_frame_file) + " bytes the player loads; not written"
                              : out.error());
    };

    std::vector<std::uint8_t> chunk(1 << 20);
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (got == 0)
            break;
        if (!writer.write({chunk.data(), got}))
            return write_failed();
    }
    if (std::ferror(in) != 0)
        return fail(exit_bad_input, command.name, shown_input, std::strerror(errno));
    if (!writer.finish())
        return write_failed();
    if (!out.commit())
        return fail(exit_bad_input, command.name, out_name, out.error());

    const std::uint64_t frames = writer.bytes_in() / frame_bytes;
    const std::uint64_t rest = writer.bytes_in() % frame_bytes;
    if (rest != 0)
        std::fprintf(stderr,
                     "vexl pack: %s: warning: the last frame is partial (%llu of %zu bytes)\n",
                     shown_input.c_str(), static_cast<unsigned long long>(rest), frame_bytes);
    std::printf("%s: %llu frames%s, %llu bytes packed into %llu (level %d, %u blocks)\n",
                out_name.c_str(), static_cast<unsigned long long>(frames),
                rest != 0 ? " and a partial one" : "",
                static_cast<unsigned long long>(writer.bytes_in()),
                static_cast<unsigned long long>(writer.bytes_out()), writer.level(),
                writer.blocks());
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool
