// vexl mksound: the default demo's soundtrack, made by the built-in
// synthesizer.

#include <string>

#include "tools/synth/soundtrack_wav.h"
#include "tools/vexl/command.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

int run_mksound(std::span<const std::string_view> args);

const VexlCommand command(
    "mksound", "mksound OUT.wav",
    "Writes the default demo's soundtrack: 706 seconds of music in A minor at\n"
    "125 beats per minute (one beat is exactly 12 frames at 25 frames per\n"
    "second), mono, signed 16-bit, 22050 Hz WAV. The same bytes every time.\n"
    "Named ld_vexl.d2 it is what the player plays.\n"
    "\n"
    "OUT.wav is written whole or not at all.",
    run_mksound);

int run_mksound(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, {}, parsed); !problem.empty())
        return usage_error(command, problem);
    if (parsed.operands.size() != 1)
        return usage_error(command, "expected one output file");
    const std::string out(parsed.operands[0]);
    OutputFile file(out);
    if (!file.ok())
        return fail(exit_bad_input, command.name, out, file.error());
    std::string error;
    if (!synth::write_default_soundtrack_wav(file.temp_path().string(), error))
        return fail(exit_bad_input, command.name, out, error);
    if (!file.commit())
        return fail(exit_bad_input, command.name, out, file.error());
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool
