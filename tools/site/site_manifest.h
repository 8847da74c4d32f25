#pragma once
// demo/demo.json: what the page needs to know of a site's pieces, read
// before anything else. For example (lists shortened):
//
//   {"version": 1,
//    "frames": {"count": 17650, "perPiece": 100, "files": "frames/{n}.deflate",
//               "bytes": [61234, ...]},
//    "sound": {"codec": "flac", "samples": 15567300, "perPiece": 88200, "lead": 0,
//              "files": "sound/{n}.flac", "bytes": [165012, ...]},
//    "poster": {"file": "poster.png", "frame": 775}}
//
// {n} stands for the piece's number in four digits. Piece k holds frames
// [k * perPiece, (k + 1) * perPiece) and samples likewise; a sound piece
// holds `lead` samples more on each side, to be dropped. The counts are
// the player's: frames as it shows them, samples at its clock's rate.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexl::site {

struct SiteManifest {
    std::int64_t frames = 0;
    std::int64_t frames_per_piece = 0;
    std::vector<std::size_t> frame_piece_bytes;
    std::string_view sound_codec;  // "flac" or "opus"
    std::string_view sound_extension;
    std::int64_t samples = 0;
    std::int64_t samples_per_piece = 0;
    int lead = 0;
    std::vector<std::size_t> sound_piece_bytes;
    std::int64_t poster_frame = 0;
};

std::string manifest_json(const SiteManifest& manifest);

}  // namespace vexl::site
