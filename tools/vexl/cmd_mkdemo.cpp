// vexl mkdemo: the default demo, generated: the frames packed into
// ld_vexl.d1 and the soundtrack into ld_vexl.d2.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/sound_files.h"
#include "tools/demo/demo_writer.h"
#include "tools/synth/synth.h"
#include "tools/vexl/command.h"
#include "tools/vexl/output_file.h"

namespace vexl::tool {
namespace {

int run_mkdemo(std::span<const std::string_view> args);

const VexlCommand command(
    "mkdemo", "mkdemo DIR",
    "Writes the default demo into DIR (made if missing): ld_vexl.d1, its 17650\n"
    "frames of 80x50 cells (706 seconds at 25 frames per second) packed at\n"
    "level 2, and ld_vexl.d2, its soundtrack (as `vexl mksound` makes it).\n"
    "The same bytes on every run and machine. Both files are written whole or\n"
    "not at all.",
    run_mkdemo);

int run_mkdemo(std::span<const std::string_view> args)
{
    if (args.size() != 1 || args[0].empty())
        return usage_error(command, "expected one output directory");
    const std::filesystem::path dir(args[0]);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return fail(exit_bad_input, command.name, dir.string(), ec.message());
    if (!std::filesystem::is_directory(dir, ec))
        return fail(exit_bad_input, command.name, dir.string(), "not a directory");

    const std::filesystem::path frames_path = dir / "ld_vexl.d1";
    const std::filesystem::path sound_path = dir / "ld_vexl.d2";
    // Fail before the work, not after it, when a target cannot be replaced.
    for (const auto& target : {frames_path, sound_path})
        if (std::filesystem::is_directory(target, ec))
            return fail(exit_bad_input, command.name, target.string(), "is a directory");
    OutputFile frames(frames_path);
    if (!frames.ok())
        return fail(exit_bad_input, command.name, frames_path.string(), frames.error());
    OutputFile sound(sound_path);
    if (!sound.ok())
        return fail(exit_bad_input, command.name, sound_path.string(), sound.error());

    // The soundtrack and the frames share nothing, so the synthesizer runs
    // beside the frame generator; each is deterministic on its own.
    std::vector<std::int16_t> samples;
    std::thread synthesizer([&samples] { samples = synth::render_default_soundtrack(); });
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
                              packed);
    synthesizer.join();
    if (!packed_ok)
        return fail(exit_bad_input, command.name, frames_path.string(),
                    !frames.ok() ? frames.error() : std::strerror(write_error));

    std::string error;
    if (!platform::sound_files().write_wav_mono16(sound.temp_path().string(), samples, synth::score_sample_rate,
                                                  error))
        return fail(exit_bad_input, command.name, sound_path.string(), error);

    if (!frames.commit())
        return fail(exit_bad_input, command.name, frames_path.string(), frames.error());
    if (!sound.commit()) {
        // Do not leave new frames beside an old soundtrack.
        std::filesystem::remove(frames_path, ec);
        return fail(exit_bad_input, command.name, sound_path.string(), sound.error());
    }
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool
