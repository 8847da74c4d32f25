// vexl mkdemo: the default demo, generated: the frames packed into
// ld_vexl.d1 and the soundtrack into ld_vexl.d2.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/tool_files.h"
#include "platform/sound_files.h"
#include "tools/demo/demo_writer.h"
#include "tools/synth/synth.h"
#include "tools/vexl/command.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

int run_mkdemo(std::span<const std::string_view> args);

const VexlCommand command(
    "mkdemo", "mkdemo [--compact] DIR",
    "Writes the default demo into DIR (made if missing, as mkdir makes it:\n"
    "its parent must exist): ld_vexl.d1, its 17650 frames of 80x50 cells\n"
    "(706 seconds at 25 frames per second) packed at level 2, and\n"
    "ld_vexl.d2, its soundtrack (as `vexl mksound` makes it). The same bytes\n"
    "on every run and machine. Both files are written whole or neither is.\n"
    "\n"
    "--compact packs the frames with LZO1X-999 and writes the soundtrack as\n"
    "FLAC: the same demo, frame for frame and sample for sample, in two\n"
    "thirds of the space (what the packages install), but a minute or two\n"
    "to make instead of seconds.",
    run_mkdemo);

constexpr OptionSpec options[] = {{"--compact", false}};

int run_mkdemo(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, options, parsed); !problem.empty())
        return usage_error(command, problem);
    const bool compact = !parsed.options.empty();
    if (parsed.operands.size() != 1 || parsed.operands[0].empty())
        return usage_error(command, "expected one output directory");
    const std::filesystem::path dir(parsed.operands[0]);
    // Only DIR itself, as mkdir makes it: a mistyped parent is an error,
    // not a tree of new folders. A run that fails leaves no folder it made.
    platform::NewFolder folder;
    if (std::string problem; !folder.make(dir.string(), problem))
        return fail(exit_bad_input, command.name, dir.string(), "cannot make the folder: " + problem);

    const std::filesystem::path frames_path = dir / "ld_vexl.d1";
    const std::filesystem::path sound_path = dir / "ld_vexl.d2";
    // Fail before the work, not after it, when a target cannot be written.
    OutputFile frames(frames_path);
    if (!frames.ok())
        return fail(exit_bad_input, command.name, frames_path.string(), frames.error());
    OutputFile sound(sound_path);
    if (!sound.ok())
        return fail(exit_bad_input, command.name, sound_path.string(), sound.error());

    // The soundtrack and the frames share nothing, so the synthesizer runs
    // beside the frame generator; each is deterministic on its own. The
    // thread never takes a terminating signal: those stay with this one.
    std::vector<std::int16_t> samples;
    std::optional<std::thread> synthesizer;
    {
        const platform::HeldTerminationSignals held;
        synthesizer.emplace([&samples] { samples = synth::render_default_soundtrack(); });
    }
    demo::PackedDemo packed;
    std::FILE* out = frames.stream();
    int write_error = 0;
    const bool packed_ok =
        out != nullptr && demo::pack_demo(
                              [&](std::span<const std::uint8_t> bytes) {
                                  if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size())
                                      return true;
                                  write_error = errno;
                                  return false;
                              },
                              packed, demo::default_music(), compact ? PackEffort::smallest : PackEffort::fast);
    synthesizer->join();
    if (!packed_ok)
        return fail(exit_bad_input, command.name, frames_path.string(),
                    !frames.ok() ? frames.error() : std::strerror(write_error));

    std::string error;
    platform::SoundFiles& files = platform::sound_files();
    const std::string sound_temp = sound.temp_path().string();
    if (!(compact ? files.write_flac_mono16(sound_temp, samples, synth::score_sample_rate, error)
                  : files.write_wav_mono16(sound_temp, samples, synth::score_sample_rate, error)))
        return fail(exit_bad_input, command.name, sound_path.string(), error);

    // Both or neither: new frames never sit beside an old soundtrack.
    OutputFile* const both[] = {&frames, &sound};
    if (const OutputFile* failed = OutputFile::commit_all(both))
        return fail(exit_bad_input, command.name, (failed == &frames ? frames_path : sound_path).string(),
                    failed->error());
    folder.keep();
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool
