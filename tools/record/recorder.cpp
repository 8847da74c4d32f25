#include "tools/record/recorder.h"

#include <chrono>
#include <optional>
#include <vector>

#include "core/frame_geometry.h"
#include "output/glyph_raster.h"
#include "tools/record/audio_encoder.h"
#include "tools/record/muxer.h"
#include "tools/record/played_sound.h"

namespace vexl::record {
namespace {

using Clock = std::chrono::steady_clock;

RecordingResult failed(std::string problem)
{
    RecordingResult result;
    result.problem = std::move(problem);
    return result;
}

}  // namespace

RecordingResult record(FrameReader& frames, const RecordingPlan& plan, std::FILE* out, bool out_seekable,
                       Progress& progress, const std::function<bool()>& stop_requested)
{
    capture_library_messages();
    const RecordFormat& format = *plan.format;
    Muxer muxer(format.muxer, out, out_seekable);
    if (!muxer.ok())
        return failed(muxer.problem());
    std::string problem;
    VideoEncoder video;
    if (!video.open(format, plan.size, plan.tuning, muxer, problem))
        return failed(problem);
    std::optional<AudioEncoder> audio;
    if (format.audio_encoder != nullptr) {
        audio.emplace();
        if (!audio->open(format, plan.sound_rate, muxer, problem))
            return failed(problem);
    }
    if (!muxer.start(format.faststart))
        return failed(muxer.problem());

    // One frame buffer, as the player's TextFrame: a frame cut short keeps
    // the bytes of the one before behind its end.
    std::vector<std::uint8_t> frame(frame_bytes, 0);
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(picture_width) * picture_height);
    const PixelSurface surface{screen.data(), picture_width * 4, picture_width, picture_height};
    const Clock::time_point start = Clock::now();
    for (std::int64_t k = 0; k < plan.end_frame; ++k) {
        frames.read(frame.data(), static_cast<std::uint32_t>(frame_bytes));
        if (k < plan.first_frame)
            continue;
        draw_text_frame(std::span<const std::uint8_t, frame_bytes>(frame.data(), frame_bytes), frame_rows,
                        frame_cols, surface);
        if (!video.encode(screen.data(), problem))
            return failed(problem);
        if (audio) {
            const std::int64_t from = frame_start_sample(k, plan.sound_rate);
            const std::int64_t to = frame_start_sample(k + 1, plan.sound_rate);
            if (!audio->encode(
                    plan.sound.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)),
                    problem))
                return failed(problem);
        }
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        progress.update(k + 1 - plan.first_frame, elapsed.count());
        if (stop_requested && stop_requested()) {
            RecordingResult result;
            result.stopped = true;
            return result;
        }
    }
    if (!video.finish(problem) || (audio && !audio->finish(problem)))
        return failed(problem);
    if (!muxer.finish())
        return failed(muxer.problem());
    RecordingResult result;
    result.ok = true;
    result.audio_rate = audio ? audio->sample_rate() : 0;
    return result;
}

}  // namespace vexl::record
