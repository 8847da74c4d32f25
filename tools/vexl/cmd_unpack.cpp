// vexl unpack: a packed frame file back into raw frames, exactly as the
// player's stream delivers them.

#include <string>
#include <vector>

#include "core/frame_geometry.h"
#include "player/pack_survey.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

int run_unpack(std::span<const std::string_view> args);

const VexlCommand command(
    "unpack", "unpack IN.d1 OUT",
    "Writes the frames of a packed frame file to OUT, byte for byte what the\n"
    "player reads, a last partial frame included. A damaged file is unpacked\n"
    "as far as the player would read it: OUT then holds what could be read,\n"
    "the damage is reported and the exit status is 1. When not a byte can be\n"
    "read, or OUT can't be written whole, OUT is left as it was.",
    run_unpack);

int run_unpack(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, {}, parsed); !problem.empty())
        return usage_error(command, problem);
    if (parsed.operands.size() != 2)
        return usage_error(command, "expected IN.d1 and OUT");
    const std::string in_name(parsed.operands[0]);
    const std::string out_name(parsed.operands[1]);
    if (is_same_file(in_name, out_name))
        return usage_error(command, "OUT is the input file");

    std::vector<std::uint8_t> image;
    std::string problem;
    if (!read_whole_file(in_name, image, problem))
        return fail(exit_bad_input, command.name, in_name, problem);
    const PackInfo info = inspect_pack(image);

    OutputFile out(out_name);
    if (!out.ok())
        return fail(exit_bad_input, command.name, out_name, out.error());
    std::uint64_t unpacked = 0;
    {
        ImageStream stream(in_name, image);
        if (stream.get() == nullptr)
            return fail(exit_bad_input, command.name, in_name,
                        image.size() > UINT32_MAX ? "too large (over 4 GiB)" : "cannot be opened");
        // Zero at first, as the player's TextFrame: a damaged first block
        // leaves bytes out of the first frames.
        std::uint8_t frame[frame_bytes] = {};
        std::uint32_t got = 0;
        do {
            got = stream.frames().read(frame, frame_bytes);
            if (!out.write({frame, got}))
                return fail(exit_bad_input, command.name, out_name, out.error());
            unpacked += got;
        } while (got == frame_bytes);
    }
    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, in_name, describe(damage, info.capacity));
    // A salvage of nothing would only destroy what OUT held.
    if (unpacked == 0 && info.damaged())
        return fail(exit_bad_input, command.name, out_name,
                    std::string("nothing could be unpacked; ") +
                        (out.replaces_a_file() ? "left as it was" : "not written"));
    if (!out.commit())
        return fail(exit_bad_input, command.name, out_name, out.error());
    return info.damaged() ? exit_bad_input : exit_ok;
}

}  // namespace
}  // namespace vexl::tool
