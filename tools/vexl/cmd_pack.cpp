// vexl pack: raw 8000-byte frames into a packed frame file.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "player/block_writer.h"
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
    "file, or - for standard input. --level sets the block size to LEVEL x\n"
    "32 KiB (default 2). OUT.d1 is replaced only when packing succeeds.",
    run_pack);

int run_pack(std::span<const std::string_view> args)
{
    long long level = pack_default_level;
    std::vector<std::string_view> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        if (arg == "--level") {
            if (i + 1 == args.size())
                return usage_error(command, "--level needs a value");
            value = args[++i];
        } else if (arg.starts_with("--level=")) {
            value = arg.substr(8);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error(command, "unknown option '" + std::string(arg) + "'");
        } else {
            files.push_back(arg);
            continue;
        }
        if (!parse_int(value, BlockWriter::min_level, BlockWriter::max_level, level))
            return usage_error(command, "--level takes 1 to 9, not '" + std::string(value) + "'");
    }
    if (files.size() != 2)
        return usage_error(command, "expected FRAMES and OUT.d1");
    const std::string frames_name(files[0]);
    const std::string out_name(files[1]);
    const bool from_stdin = frames_name == "-";
    if (!from_stdin && is_same_file(frames_name, out_name))
        return usage_error(command, "OUT.d1 is the input file");

    std::FILE* in = stdin;
    if (!from_stdin) {
        std::error_code ec;
        if (std::filesystem::is_directory(frames_name, ec))
            return fail(exit_bad_input, command.name, frames_name, "is a directory");
        in = std::fopen(frames_name.c_str(), "rb");
        if (in == nullptr)
            return fail(exit_bad_input, command.name, frames_name, std::strerror(errno));
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
    BlockWriter writer([&out](std::span<const std::uint8_t> bytes) { return out.write(bytes); },
                       static_cast<int>(level));

    std::vector<std::uint8_t> chunk(1 << 20);
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (got == 0)
            break;
        if (!writer.write({chunk.data(), got}))
            return fail(exit_bad_input, command.name, out_name, out.error());
    }
    if (std::ferror(in) != 0)
        return fail(exit_bad_input, command.name, shown_input, std::strerror(errno));
    if (!writer.finish() || !out.commit())
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
