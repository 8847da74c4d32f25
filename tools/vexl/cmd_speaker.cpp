// vexl speaker: any sound file through the PC-speaker simulation, as the
// player would play it with "Simulate PC-Speaker?" answered yes.

#include <algorithm>
#include <string>

#include "audio/speaker_sim.h"
#include "platform/linux/tool_files.h"
#include "platform/sound_files.h"
#include "tools/vexl/command.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

int run_speaker(std::span<const std::string_view> args);

const VexlCommand command(
    "speaker", "speaker IN OUT.wav",
    "Plays IN through the PC-speaker simulation offline and writes the result\n"
    "as OUT.wav: mono, signed 16-bit, at IN's own sample rate. IN may be any\n"
    "sound file libsndfile reads (WAV, FLAC, Ogg Vorbis, Opus, MP3, ...);\n"
    "several channels are averaged to one. The simulation starts from rest,\n"
    "as it does when the player starts.\n"
    "\n"
    "OUT.wav is written whole or not at all.",
    run_speaker);

// The library hands the hook blocks of about this size; the result does
// not depend on it.
constexpr std::size_t block_samples = 4096;

int run_speaker(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, {}, parsed); !problem.empty())
        return usage_error(command, problem);
    if (parsed.operands.size() != 2)
        return usage_error(command, "expected an input file and an output file");
    const std::string in(parsed.operands[0]);
    const std::string out(parsed.operands[1]);
    if (platform::same_file(in, out))
        return usage_error(command, "OUT.wav is the input file");

    // Refused before the work, not after it.
    if (const std::string problem = platform::input_problem(in); !problem.empty())
        return fail(exit_bad_input, command.name, in, problem);
    OutputFile file(out);
    if (!file.ok())
        return fail(exit_bad_input, command.name, out, file.error());

    platform::MonoSound sound;
    std::string error;
    if (!platform::sound_files().read_mono16(in, sound, error))
        return fail(exit_bad_input, command.name, in, error);

    speaker_sim_reset();
    for (std::size_t at = 0; at < sound.samples.size(); at += block_samples) {
        const std::size_t n = std::min(block_samples, sound.samples.size() - at);
        speaker_sim_dsp(nullptr, sound.samples.data() + at, static_cast<int>(n), nullptr);
    }

    if (!platform::sound_files().write_wav_mono16(file.temp_path().string(), sound.samples,
                                                   sound.sample_rate, error))
        return fail(exit_bad_input, command.name, out, error);
    if (!file.commit())
        return fail(exit_bad_input, command.name, out, file.error());
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool
