#pragma once
// The soundtrack of a web site: the samples the player's clock counts (mono
// at 22050 Hz) in pieces, each a file a browser decodes by itself: FLAC,
// every sample kept, or Opus at 40 kbit/s, a fifth of the size.
//
// A lossy piece carries a little of its neighbours on both sides (`lead`
// samples), which the page drops after decoding: the edges of a piece
// decoded and resampled on its own are not the signal there, its middle is.
// Pieces joined are then gapless; FLAC needs no lead, its pieces join
// sample for sample.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexl::site {

enum class SoundCodec { flac, opus };

struct SoundPieceFormat {
    SoundCodec codec;
    std::string_view name;       // as the manifest says it: "flac"
    std::string_view extension;  // of the piece files: ".flac"
    int lead;                    // samples before and after each piece
};

inline constexpr SoundPieceFormat flac_pieces{SoundCodec::flac, "flac", ".flac", 0};
// 147 samples at 22050 Hz are 320 at Opus's 48000 Hz: whole on both sides.
inline constexpr SoundPieceFormat opus_pieces{SoundCodec::opus, "opus", ".opus", 147};

// `samples` at `rate` as samples at the player's clock rate (resampled
// when the rates differ); false, with `problem` set, when that fails.
bool to_clock_rate(std::vector<std::int16_t>& samples, int rate, std::string& problem);

// Encodes samples [from, from + count) of `samples` (silence outside them)
// with format.lead samples more on each side into `out`, one file; false,
// with `problem` set, when the encoder or a write fails.
bool encode_sound_piece(std::span<const std::int16_t> samples, std::int64_t from, std::int64_t count,
                        const SoundPieceFormat& format, std::FILE* out, std::string& problem);

}  // namespace vexl::site
