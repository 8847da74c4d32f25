#include "platform/linux/sdl_audio_drivers.h"

#include <SDL2/SDL_audio.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <system_error>

namespace vexl::platform {
namespace {

namespace fs = std::filesystem;

// Backends left out when ALSA has no device: ALSA itself; sndio, whose
// Linux build plays through ALSA and prints the same complaints; JACK,
// whose client library complains loudly when no server runs and whose
// server would have no card either; and the two SDL only uses on request
// (a file writer and a silent sink).
constexpr std::array<std::string_view, 5> needs_alsa_or_request = {"alsa", "sndio", "jack", "disk",
                                                                   "dummy"};

bool lists_a_card(const fs::path& cards)
{
    // One line per card starting with its index; "--- no soundcards ---"
    // when there is none.
    std::ifstream in(cards);
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(' ');
        if (first != std::string::npos && std::isdigit(static_cast<unsigned char>(line[first])))
            return true;
    }
    return false;
}

bool has_pcm_node(const fs::path& dir)
{
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        if (it->path().filename().string().starts_with("pcmC"))
            return true;
    return false;
}

}  // namespace

AlsaPlaces AlsaPlaces::of_this_system()
{
    AlsaPlaces places;
    places.configs.emplace_back("/etc/asound.conf");
    if (const char* path = std::getenv("ALSA_CONFIG_PATH"); path != nullptr && *path != '\0')
        places.configs.emplace_back(path);
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        places.configs.push_back(fs::path(home) / ".asoundrc");
        places.configs.push_back(fs::path(home) / ".config/alsa/asoundrc");
    }
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
        places.configs.push_back(fs::path(xdg) / "alsa/asoundrc");
    return places;
}

bool alsa_may_have_device(const AlsaPlaces& places)
{
    if (lists_a_card(places.cards) || has_pcm_node(places.device_dir))
        return true;
    std::error_code error;
    return std::any_of(places.configs.begin(), places.configs.end(),
                       [&](const fs::path& p) { return fs::exists(p, error); });
}

std::string sdl_drivers_without_alsa(const std::vector<std::string>& available)
{
    std::string list;
    for (const std::string& name : available) {
        if (std::find(needs_alsa_or_request.begin(), needs_alsa_or_request.end(), name) !=
            needs_alsa_or_request.end())
            continue;
        if (!list.empty())
            list += ',';
        list += name;
    }
    return list;
}

std::optional<std::string> sdl_audio_driver_hint(const std::string& requested, const char* user_choice,
                                                 bool alsa_device,
                                                 const std::vector<std::string>& available)
{
    if (!requested.empty())
        return requested;
    if ((user_choice != nullptr && *user_choice != '\0') || alsa_device)
        return std::nullopt;
    return sdl_drivers_without_alsa(available);
}

std::vector<std::string> sdl_available_audio_drivers()
{
    std::vector<std::string> names;
    const int count = SDL_GetNumAudioDrivers();
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDriver(i); name != nullptr)
            names.emplace_back(name);
    return names;
}

}  // namespace vexl::platform
