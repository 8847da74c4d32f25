#pragma once
// The names in a web site that vexl web writes:
//
//   index.html, vexlade-player.js, ...   the page and the player's element
//                                        (web_page_files())
//   demo/demo.json                       what the pieces are (site_manifest.h)
//   demo/poster.png                      the picture shown before Play
//   demo/frames/0000.deflate, ...        the frames, a piece a file
//   demo/sound/0000.flac (or .opus), ... the soundtrack, a piece a file

#include <cstddef>
#include <string>
#include <string_view>

namespace vexl::site {

inline constexpr std::string_view demo_folder = "demo";
inline constexpr std::string_view manifest_name = "demo.json";
inline constexpr std::string_view poster_name = "poster.png";
inline constexpr std::string_view frames_folder = "frames";
inline constexpr std::string_view sound_folder = "sound";
inline constexpr std::string_view frame_piece_extension = ".deflate";

// The file name of piece `index`: "0007.flac"; the manifest gives the
// pattern with "{n}" for the four digits.
std::string piece_name(std::size_t index, std::string_view extension);
inline constexpr std::string_view piece_pattern = "{n}";

// Whether a site may hold `path` (relative to the site's folder, parts
// joined by '/'): a name vexl web writes, a temporary of one, or a name an
// earlier vexl web wrote, so that its sites can be replaced.
bool site_may_hold(std::string_view path, bool is_folder);

}  // namespace vexl::site
