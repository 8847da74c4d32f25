#include "tools/vexl/player_place.h"

#include <system_error>

#include "vexl_layout.h"

namespace vexl::tool {

namespace fs = std::filesystem;

bool find_player(const fs::path& tool_folder, PlayerPlace& place, std::string& problem)
{
    std::error_code ec;
    const fs::path installed = (tool_folder / installed_player).lexically_normal();
    if (fs::is_regular_file(installed, ec)) {
        place = {installed, (tool_folder / installed_demo).lexically_normal()};
        return true;
    }
    const fs::path built = (tool_folder / built_player).lexically_normal();
    if (fs::is_regular_file(built, ec)) {
        place = {built, (tool_folder / built_demo).lexically_normal()};
        return true;
    }
    problem = "cannot find the player: no vexlade at " + installed.string() + " nor at " + built.string();
    return false;
}

}  // namespace vexl::tool
