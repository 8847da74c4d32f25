// vexl info: the shape of a packed frame file and any damage in it.

#include <cstdio>
#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "player/pack_survey.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"

namespace vexl::tool {
namespace {

int run_info(std::span<const std::string_view> args);

const VexlCommand command(
    "info", "info IN.d1",
    "Reports a packed frame file: level and block size, blocks, compressed\n"
    "and unpacked bytes, whole frames and a last partial frame. Damage (a\n"
    "block too long for the buffer, a block cut short, data that does not\n"
    "decompress, a block other than the last that unpacks to other than its\n"
    "level's block size, a file ending inside a length field) is listed on\n"
    "stderr with its offset, and the exit status is then 1. A damaged block\n"
    "costs only its own frames: every block keeps its place.",
    run_info);

void print_report(const std::string& name, const PackInfo& info)
{
    using ull = unsigned long long;
    std::printf("file        %s (%llu bytes)\n", name.c_str(), static_cast<ull>(info.file_size));
    std::printf("level       %d%s: blocks of up to %d bytes, buffers of %d bytes\n", info.level,
                info.file_size == 0 ? " (no level byte)" : "", info.capacity, info.buffer_size);
    std::printf("blocks      %u\n", info.blocks);
    std::printf("compressed  %llu bytes\n", static_cast<ull>(info.compressed_bytes));
    std::printf("unpacked    %llu bytes\n", static_cast<ull>(info.unpacked_bytes));
    if (info.file_size != 0)
        std::printf("ratio       %.2f : 1\n",
                    static_cast<double>(info.unpacked_bytes) / static_cast<double>(info.file_size));
    std::printf("frames      %llu whole\n", static_cast<ull>(info.whole_frames));
    if (info.damaged_frames != 0)
        std::printf("damaged     %llu of them lie in damaged blocks\n", static_cast<ull>(info.damaged_frames));
    if (info.partial_frame_bytes != 0)
        std::printf("partial     the last frame has %u of %zu bytes\n", info.partial_frame_bytes,
                    frame_bytes);
    else
        std::printf("partial     none\n");
    if (info.unread_bytes != 0)
        std::printf("unread      %llu bytes after the end of the data\n",
                    static_cast<ull>(info.unread_bytes));
    if (info.damaged())
        std::printf("damage      %zu (listed on stderr)\n", info.damage.size());
    else
        std::printf("damage      none\n");
}

int run_info(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, {}, parsed); !problem.empty())
        return usage_error(command, problem);
    if (parsed.operands.size() != 1)
        return usage_error(command, "expected IN.d1");
    const std::string in_name(parsed.operands[0]);

    std::vector<std::uint8_t> image;
    std::string problem;
    if (!read_whole_file(in_name, image, problem))
        return fail(exit_bad_input, command.name, in_name, problem);
    const PackInfo info = inspect_pack(image);
    print_report(in_name, info);
    flush_stdout();
    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, in_name, describe(damage, info.capacity));
    return info.damaged() ? exit_bad_input : exit_ok;
}

}  // namespace
}  // namespace vexl::tool
