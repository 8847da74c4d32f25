#include "tools/site/sound_pieces.h"

#include <algorithm>

#include "player/launcher.h"
#include "tools/record/audio_encoder.h"
#include "tools/record/muxer.h"
#include "tools/record/record_format.h"

namespace vexl::site {
namespace {

using record::PictureKind;
using record::RecordFormat;

// The record tool's description of a file, for sound alone.
constexpr RecordFormat flac_file{"flac", ".flac", "FLAC", "flac", nullptr, "flac", PictureKind::rgb, 1, true,
                                 false, false, true};
constexpr RecordFormat opus_file{"opus", ".opus", "Opus", "ogg", nullptr, "libopus", PictureKind::rgb, 1, false,
                                 false, false, true};

// FLAC's level 8, the strongest of its usual ones: FFmpeg's levels above
// it save under 1 % for seven times the time. Opus at 40 kbit/s keeps the
// lossy site within a quarter of the exact files (at 48 it is over); kept
// to Opus's 12 kHz band (the soundtrack has nothing above 11 kHz), it
// spends no bits above it: 0.5 dB more signal to noise, 2 % smaller.
constexpr record::AudioSettings flac_settings{0, 8, 0};
constexpr int opus_band_edge = 12000;  // one of the edges libopus's cutoff takes
static_assert(opus_band_edge >= clock_rate / 2);
constexpr record::AudioSettings opus_settings{40000, -1, opus_band_edge};

}  // namespace

bool to_clock_rate(std::vector<std::int16_t>& samples, int rate, std::string& problem)
{
    if (rate == clock_rate || samples.empty())
        return true;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* context = nullptr;
    int result = swr_alloc_set_opts2(&context, &mono, AV_SAMPLE_FMT_S16, clock_rate, &mono, AV_SAMPLE_FMT_S16,
                                     rate, 0, nullptr);
    const record::ResamplerPtr resampler(context);
    if (result >= 0)
        result = swr_init(context);
    std::vector<std::int16_t> out;
    if (result >= 0) {
        out.resize(static_cast<std::size_t>(swr_get_out_samples(context, static_cast<int>(samples.size()))));
        auto* to = reinterpret_cast<std::uint8_t*>(out.data());
        const auto* from = reinterpret_cast<const std::uint8_t*>(samples.data());
        result = swr_convert(context, &to, static_cast<int>(out.size()), &from, static_cast<int>(samples.size()));
        if (result >= 0) {
            const int got = result;
            // What the filter still holds.
            to = reinterpret_cast<std::uint8_t*>(out.data() + got);
            result = swr_convert(context, &to, static_cast<int>(out.size()) - got, nullptr, 0);
            if (result >= 0)
                out.resize(static_cast<std::size_t>(got + result));
        }
    }
    if (result < 0) {
        problem = record::av_problem("cannot resample the soundtrack to " + std::to_string(clock_rate) + " Hz",
                                     result);
        return false;
    }
    samples = std::move(out);
    return true;
}

bool encode_sound_piece(std::span<const std::int16_t> samples, std::int64_t from, std::int64_t count,
                        const SoundPieceFormat& format, std::FILE* out, std::string& problem)
{
    const bool opus = format.codec == SoundCodec::opus;
    record::capture_library_messages();
    // The piece with its lead, silence where the soundtrack has no samples.
    std::vector<std::int16_t> piece(static_cast<std::size_t>(count + 2 * format.lead), 0);
    const std::int64_t start = from - format.lead;
    const auto end = std::min(start + std::ssize(piece), std::ssize(samples));
    for (std::int64_t i = std::max<std::int64_t>(start, 0); i < end; ++i)
        piece[static_cast<std::size_t>(i - start)] = samples[static_cast<std::size_t>(i)];

    const RecordFormat& file = opus ? opus_file : flac_file;
    // Each piece goes into a file of its own, which can be sought.
    record::Muxer muxer(file.muxer, out, true);
    muxer.keep_minimal();
    record::AudioEncoder encoder;
    if (muxer.ok() && encoder.open(file, clock_rate, muxer, problem, opus ? opus_settings : flac_settings) &&
        muxer.start(false) && encoder.encode(piece, problem) && encoder.finish(problem) && muxer.finish())
        return true;
    if (problem.empty())
        problem = muxer.problem();
    return false;
}

}  // namespace vexl::site
