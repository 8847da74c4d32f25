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
    "as far as the player would read it; the damage is reported and the exit\n"
    "status is 1.",
    run_unpack);

int run_unpack(std::span<const std::string_view> args)
{
    if (args.size() != 2)
        return usage_error(command, "expected IN.d1 and OUT");
    const std::string in_name(args[0]);
    const std::string out_name(args[1]);
    if (!args[0].empty() && args[0][0] == '-')
        return usage_error(command, "unknown option '" + in_name + "'");
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
    {
        ImageStream stream(in_name, image);
        if (stream.get() == nullptr)
            return fail(exit_bad_input, command.name, in_name,
                        image.size() > UINT32_MAX ? "too large (over 4 GiB)" : "cannot be opened");
        std::uint8_t frame[frame_bytes];
        std::uint32_t got = 0;
        do {
            got = pack_read(stream.get(), frame, frame_bytes);
            if (!out.write({frame, got}))
                return fail(exit_bad_input, command.name, out_name, out.error());
        } while (got == frame_bytes);
    }
    if (!out.commit())
        return fail(exit_bad_input, command.name, out_name, out.error());

    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, in_name, describe(damage, info));
    return info.damaged() ? exit_bad_input : exit_ok;
}

}  // namespace
}  // namespace vexl::tool
