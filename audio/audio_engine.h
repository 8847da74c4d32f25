#pragma once
// The streams of the audio library and their mixing, independent of the
// output that pulls the mix (a sound device of the system, or the silent
// real-time output) and of the system itself: the audio library of both
// platforms.
//
// Threads: the public calls come from the program's threads; render() runs
// on the output's thread. One recursive lock guards the streams, so a DSP
// hook may call back into the library (e.g. ask for the time) without
// deadlocking, and nothing is freed while the output is using it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/audio_clock.h"
#include "audio/decoded_sound.h"
#include "audio/rate_converter.h"
#include "platform/audio_library.h"

namespace vexl::platform {

struct AudioDsp {
    DspCallback callback = nullptr;
    int priority = 0;
    void* param = nullptr;
    std::atomic<bool> active{false};
};

struct AudioStream {
    DecodedSound sound;  // fixed after open
    std::vector<std::unique_ptr<AudioDsp>> dsps;  // run order: priority, then creation

    // Output side, touched under the engine lock.
    bool playing = false;
    bool started = false;          // has delivered its first output frame
    std::int64_t start_frame = 0;  // output frame at which it started
    std::size_t cursor = 0;        // next source sample; past the end, silence plays
    std::unique_ptr<RateConverter> converter;  // source rate -> output rate; null if equal
    std::vector<std::int16_t> ready;       // processed, not yet output (equal rates)
    std::size_t ready_pos = 0;
    int last_ms = 0;               // the clock never goes back
    double earlier_seconds = 0.0;  // heard on outputs before the current one
};

class AudioEngine {
public:
    // Source samples per DSP block.
    static constexpr int block_samples = 512;

    // Streams whose rate is not the output's go through converters made by
    // `converters`.
    explicit AudioEngine(RateConverterMaker converters = make_linear_converter);
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // --- program side -----------------------------------------------------
    AudioStream* add_stream(DecodedSound sound);
    AudioDsp* add_dsp(AudioStream* stream, DspCallback callback, int priority, void* param);
    bool set_active(AudioDsp* dsp, bool active);
    bool play(AudioStream* stream);  // needs an output format
    int time_ms(AudioStream* stream);
    bool remove_stream(AudioStream* stream);
    void remove_all_streams();
    bool has_stream(AudioStream* stream);
    bool has_streams();

    // --- output side ------------------------------------------------------
    // How many frames a device says it has played since it started.
    using PlayedFrames = std::function<std::int64_t()>;

    // Called before the output starts pulling: its rate and how many
    // frames it buffers beyond the block it asks for. The heard position is
    // then estimated from the moments the output pulls (AudioClock), or,
    // given `played`, read from the device itself (never beyond the frames
    // handed to it). When another output played before (a lost device), the
    // streams go on from the position heard there: the play time neither
    // jumps nor goes back.
    void set_output(int rate, std::int64_t latency_frames, PlayedFrames played = {});
    void clear_output();
    std::optional<int> output_rate();

    // Fills `frames` mono samples for the output (the output's thread).
    // `when` is the moment the output takes them; outputs that keep their
    // own schedule pass the scheduled time, which is exact, rather than the
    // time their thread happened to wake up.
    void render(std::int16_t* out, int frames,
                std::optional<AudioClock::Clock::time_point> when = std::nullopt);

    // For the clock benchmark and tests: the output's heard position, the
    // frames it has taken so far, and its own unfiltered account of what
    // was heard (AudioClock::raw_frames).
    double heard_frames();
    std::int64_t frames_handed();
    double raw_device_frames();

private:
    bool known(AudioStream* stream) const;
    // Readies the stream's conversion to the output's `rate`; false if it
    // can't be converted.
    bool convert_to(AudioStream& stream, int rate);
    // The output's heard position now, in frames (lock held).
    double heard_now();
    void pull(AudioStream& stream, std::int16_t* out, int frames);
    void produce_block(AudioStream& stream, std::vector<std::int16_t>& block);

    RateConverterMaker converters_;
    std::recursive_mutex mutex_;
    std::vector<std::unique_ptr<AudioStream>> streams_;
    std::unique_ptr<AudioClock> clock_;
    PlayedFrames played_;
    std::int64_t output_frames_ = 0;
    std::vector<std::int32_t> mix_;
    std::vector<std::int16_t> part_;
    std::vector<std::int16_t> source_block_;  // a block as decoded, read-only for hooks
    std::vector<std::int16_t> dsp_block_;     // the same block, rewritten by hooks
    std::vector<std::int16_t> played_block_;  // what the last hook returned
};

}  // namespace vexl::platform
