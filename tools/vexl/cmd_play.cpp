// vexl play: the player on the installed demo or a given folder, so nobody
// has to change directory first.

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/programs.h"
#include "tools/vexl/command.h"
#include "tools/vexl/player_place.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;

int run_play(std::span<const std::string_view> args);

const VexlCommand command(
    "play", "play [DIR]",
    "Runs the player, vexlade, in DIR, or in the folder of the default demo\n"
    "when DIR is not given: the installed one, or the build tree's when vexl\n"
    "runs from its build tree. The player reads ld_vexl.d1 and ld_vexl.d2\n"
    "from the folder it runs in and asks its two questions as always.\n"
    "\n"
    "The player takes over this process: the exit status is the player's\n"
    "(0 after playing, 1 when the frames could not be loaded). vexl itself\n"
    "fails with 1 when the player or DIR/ld_vexl.d1 is missing.",
    run_play);

// Why `folder` holds no demo to play; empty when it holds one.
std::string demo_problem(const fs::path& folder)
{
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (ec)
        return ec.message();
    if (!fs::is_directory(status))
        return "is not a folder";
    if (!fs::is_regular_file(folder / "ld_vexl.d1", ec))
        return "holds no ld_vexl.d1 to play";
    return {};
}

int run_play(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, {}, parsed); !problem.empty())
        return usage_error(command, problem);
    const std::span<const std::string_view> folders = parsed.operands;
    if (folders.size() > 1)
        return usage_error(command, "expected at most one folder");
    if (!folders.empty() && folders[0].empty())
        return usage_error(command, "the folder's name is empty");

    std::string problem;
    const std::string self = platform::programs().own_path(problem);
    if (self.empty())
        return fail(exit_bad_input, command.name, "", problem);
    PlayerPlace place;
    if (!find_player(fs::path(self).parent_path(), place, problem))
        return fail(exit_bad_input, command.name, "", problem);

    const fs::path folder = folders.empty() ? place.demo : fs::path(folders[0]);
    if (const std::string why = demo_problem(folder); !why.empty())
        return fail(exit_bad_input, command.name, folder.string(),
                    folders.empty() ? "the default demo is not there (build or install it first)" : why);
    platform::programs().replace_process(place.player.string(), folder.string(), problem);
    return fail(exit_bad_input, command.name, "", "cannot start the player: " + problem);
}

}  // namespace
}  // namespace vexl::tool
