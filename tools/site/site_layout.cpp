#include "tools/site/site_layout.h"

#include <array>
#include <cstdio>

#include "tools/site/sound_pieces.h"
#include "tools/vexl/web_page.h"

namespace vexl::site {
namespace {

// What vexl web wrote before the demo went into pieces.
constexpr std::array<std::string_view, 5> earlier_names = {"ld_vexl.d1", "ld_vexl.d2", "vexlade.js", "vexlade.css",
                                                           "speaker-worklet.js"};

bool is_page_file(std::string_view name)
{
    for (const tool::WebPageFile& file : tool::web_page_files())
        if (file.name == name)
            return true;
    for (std::string_view earlier : earlier_names)
        if (earlier == name)
            return true;
    return false;
}

// "0007.flac" for the extensions given.
bool is_piece(std::string_view name, std::initializer_list<std::string_view> extensions)
{
    if (name.size() < 5 || name.substr(0, 4).find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    for (std::string_view extension : extensions)
        if (name.substr(4) == extension)
            return true;
    return false;
}

}  // namespace

std::string piece_name(std::size_t index, std::string_view extension)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%04zu", index);
    return digits + std::string(extension);
}

bool site_may_hold(std::string_view path, bool is_folder)
{
    // A file staged by a run that was killed: NAME.tmp-N.
    if (const std::size_t temporary = path.rfind(".tmp-"); !is_folder && temporary != std::string_view::npos)
        path = path.substr(0, temporary);
    const std::size_t slash = path.find('/');
    if (slash == std::string_view::npos)
        return is_folder ? path == demo_folder : is_page_file(path);
    if (path.substr(0, slash) != demo_folder)
        return false;
    const std::string_view in_demo = path.substr(slash + 1);
    const std::size_t inner = in_demo.find('/');
    if (inner == std::string_view::npos)
        return is_folder ? in_demo == frames_folder || in_demo == sound_folder
                         : in_demo == manifest_name || in_demo == poster_name;
    const std::string_view folder = in_demo.substr(0, inner);
    const std::string_view name = in_demo.substr(inner + 1);
    if (is_folder)
        return false;
    if (folder == frames_folder)
        return is_piece(name, {frame_piece_extension});
    return folder == sound_folder && is_piece(name, {flac_pieces.extension, opus_pieces.extension});
}

}  // namespace vexl::site
