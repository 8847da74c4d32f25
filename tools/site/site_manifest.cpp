#include "tools/site/site_manifest.h"

#include "tools/site/site_layout.h"

namespace vexl::site {
namespace {

std::string list(const std::vector<std::size_t>& values)
{
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i == 0 ? "" : ",") + std::to_string(values[i]);
    return text + "]";
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::string manifest_json(const SiteManifest& m)
{
    const std::string n(piece_pattern);
    const std::string frame_files = std::string(frames_folder) + "/" + n + std::string(frame_piece_extension);
    const std::string sound_files = std::string(sound_folder) + "/" + n + std::string(m.sound_extension);
    return "{\"version\": 1,\n"
           " \"frames\": {\"count\": " + std::to_string(m.frames) +
           ", \"perPiece\": " + std::to_string(m.frames_per_piece) + ", \"files\": " + quoted(frame_files) +
           ",\n            \"bytes\": " + list(m.frame_piece_bytes) + "},\n" +
           " \"sound\": {\"codec\": " + quoted(m.sound_codec) + ", \"samples\": " + std::to_string(m.samples) +
           ", \"perPiece\": " + std::to_string(m.samples_per_piece) + ", \"lead\": " + std::to_string(m.lead) +
           ", \"files\": " + quoted(sound_files) + ",\n           \"bytes\": " + list(m.sound_piece_bytes) + "},\n" +
           " \"poster\": {\"file\": " + quoted(poster_name) + ", \"frame\": " + std::to_string(m.poster_frame) +
           "}}\n";
}

}  // namespace vexl::site
