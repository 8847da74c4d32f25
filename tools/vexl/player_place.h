#pragma once
// Where `vexl play` finds the player and the default demo: an installed
// vexl has vexlade in the games folder and the demo in the data folder; a vexl in its
// build tree finds both in the build tree. Either way the places follow
// from vexl's own folder, so a copy installed under any prefix, or staged
// with DESTDIR, finds its own player and demo.

#include <filesystem>
#include <string>

namespace vexl::tool {

struct PlayerPlace {
    std::filesystem::path player;
    std::filesystem::path demo;  // the default demo's folder
};

// False, with the reason in `problem`, when no player is found.
bool find_player(const std::filesystem::path& tool_folder, PlayerPlace& place, std::string& problem);

}  // namespace vexl::tool
