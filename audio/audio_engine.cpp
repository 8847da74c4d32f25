#include "audio/audio_engine.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace vexl::platform {

AudioEngine::AudioEngine(RateConverterMaker converters) : converters_(std::move(converters)) {}
AudioEngine::~AudioEngine() = default;

bool AudioEngine::known(AudioStream* stream) const
{
    return stream != nullptr &&
           std::any_of(streams_.begin(), streams_.end(),
                       [&](const std::unique_ptr<AudioStream>& s) { return s.get() == stream; });
}

bool AudioEngine::has_stream(AudioStream* stream)
{
    std::lock_guard lock(mutex_);
    return known(stream);
}

bool AudioEngine::has_streams()
{
    std::lock_guard lock(mutex_);
    return !streams_.empty();
}

AudioStream* AudioEngine::add_stream(DecodedSound sound)
{
    auto stream = std::make_unique<AudioStream>();
    stream->sound = std::move(sound);
    std::lock_guard lock(mutex_);
    streams_.push_back(std::move(stream));
    return streams_.back().get();
}

AudioDsp* AudioEngine::add_dsp(AudioStream* stream, DspCallback callback, int priority,
                               void* param)
{
    std::lock_guard lock(mutex_);
    if (!known(stream) || callback == nullptr)
        return nullptr;
    auto dsp = std::make_unique<AudioDsp>();
    dsp->callback = callback;
    dsp->priority = priority;
    dsp->param = param;
    AudioDsp* handle = dsp.get();
    auto& list = stream->dsps;
    // Lower priorities run first; equal ones in creation order.
    const auto at = std::upper_bound(list.begin(), list.end(), priority,
                                     [](int p, const std::unique_ptr<AudioDsp>& d) {
                                         return p < d->priority;
                                     });
    list.insert(at, std::move(dsp));
    return handle;
}

bool AudioEngine::set_active(AudioDsp* dsp, bool active)
{
    std::lock_guard lock(mutex_);
    for (const auto& s : streams_)
        for (const auto& d : s->dsps)
            if (d.get() == dsp) {
                d->active = active;
                return true;
            }
    return false;
}

bool AudioEngine::convert_to(AudioStream& stream, int rate)
{
    stream.converter.reset();
    stream.ready.clear();
    stream.ready_pos = 0;
    if (stream.sound.sample_rate == rate)
        return true;
    if (converters_)
        stream.converter = converters_(stream.sound.sample_rate, rate);
    return stream.converter != nullptr;
}

double AudioEngine::heard_now()
{
    if (!clock_)
        return 0.0;
    if (!played_)
        return clock_->heard_frames(AudioClock::Clock::now());
    // A device can't have played what it was never given.
    return static_cast<double>(std::clamp<std::int64_t>(played_(), 0, clock_->frames_handed()));
}

bool AudioEngine::play(AudioStream* stream)
{
    std::lock_guard lock(mutex_);
    if (!known(stream) || !clock_)
        return false;
    if (stream->playing)
        return true;
    if (!convert_to(*stream, clock_->rate()))
        return false;
    stream->playing = true;
    return true;
}

int AudioEngine::time_ms(AudioStream* stream)
{
    std::lock_guard lock(mutex_);
    if (!known(stream) || !clock_)
        return 0;
    double seconds = stream->earlier_seconds;
    if (stream->started) {
        const double heard = heard_now() - static_cast<double>(stream->start_frame);
        seconds += std::max(0.0, heard) / clock_->rate();
    }
    const double ms = std::floor(seconds * 1000.0);
    const int value = ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
    stream->last_ms = std::max(stream->last_ms, value);
    return stream->last_ms;
}

bool AudioEngine::remove_stream(AudioStream* stream)
{
    std::unique_ptr<AudioStream> doomed;
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(streams_.begin(), streams_.end(),
                                 [&](const std::unique_ptr<AudioStream>& s) {
                                     return s.get() == stream;
                                 });
    if (it == streams_.end())
        return false;
    doomed = std::move(*it);
    streams_.erase(it);
    return true;
}

void AudioEngine::remove_all_streams()
{
    std::lock_guard lock(mutex_);
    streams_.clear();
}

void AudioEngine::set_output(int rate, std::int64_t latency_frames, PlayedFrames played)
{
    std::lock_guard lock(mutex_);
    if (clock_) {
        // What was heard on the output before counts on; each stream starts
        // anew on this one, its data going on where it was.
        const double heard = heard_now();
        for (auto& s : streams_) {
            if (s->started)
                s->earlier_seconds += std::max(0.0, heard - static_cast<double>(s->start_frame)) /
                                      clock_->rate();
            s->started = false;
            if (s->playing && !convert_to(*s, rate))
                s->playing = false;
        }
    }
    clock_ = std::make_unique<AudioClock>(rate, latency_frames);
    played_ = std::move(played);
    output_frames_ = 0;
}

void AudioEngine::clear_output()
{
    std::lock_guard lock(mutex_);
    clock_.reset();
    played_ = {};
    for (auto& s : streams_) {
        s->playing = false;
        s->started = false;
    }
}

std::optional<int> AudioEngine::output_rate()
{
    std::lock_guard lock(mutex_);
    if (!clock_)
        return std::nullopt;
    return clock_->rate();
}

double AudioEngine::heard_frames()
{
    std::lock_guard lock(mutex_);
    return heard_now();
}

std::int64_t AudioEngine::frames_handed()
{
    std::lock_guard lock(mutex_);
    return clock_ ? clock_->frames_handed() : 0;
}

double AudioEngine::raw_device_frames()
{
    std::lock_guard lock(mutex_);
    return clock_ ? clock_->raw_frames(AudioClock::Clock::now()) : 0.0;
}

void AudioEngine::produce_block(AudioStream& stream, std::vector<std::int16_t>& block)
{
    const auto& data = stream.sound.samples;
    source_block_.assign(block_samples, 0);
    if (stream.cursor < data.size()) {
        const std::size_t n = std::min<std::size_t>(block_samples, data.size() - stream.cursor);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(stream.cursor), n,
                    source_block_.begin());
    }
    stream.cursor += block_samples;  // past the end this only counts silence

    dsp_block_ = source_block_;
    void* current = dsp_block_.data();
    for (const auto& dsp : stream.dsps) {
        if (!dsp->active)
            continue;
        void* result = dsp->callback(source_block_.data(), current, block_samples, dsp->param);
        if (result != nullptr)  // a hook that returns nothing leaves the block as it was
            current = result;
    }
    const auto* played = static_cast<const std::int16_t*>(current);
    block.assign(played, played + block_samples);
}

void AudioEngine::pull(AudioStream& stream, std::int16_t* out, int frames)
{
    std::vector<std::int16_t>& block = played_block_;
    if (stream.converter == nullptr) {
        // Same rate as the output: processed blocks wait in `ready` until
        // the output takes them.
        auto& ready = stream.ready;
        while (ready.size() - stream.ready_pos < static_cast<std::size_t>(frames)) {
            if (stream.ready_pos > 0) {
                ready.erase(ready.begin(), ready.begin() + static_cast<std::ptrdiff_t>(stream.ready_pos));
                stream.ready_pos = 0;
            }
            produce_block(stream, block);
            ready.insert(ready.end(), block.begin(), block.end());
        }
        std::copy_n(ready.begin() + static_cast<std::ptrdiff_t>(stream.ready_pos), frames, out);
        stream.ready_pos += static_cast<std::size_t>(frames);
        return;
    }
    RateConverter& converter = *stream.converter;
    // The guard only matters if the converter misbehaves: then silence.
    for (int guard = 0; converter.available() < frames && guard < 1024; ++guard) {
        produce_block(stream, block);
        converter.put(block.data(), static_cast<int>(block.size()));
    }
    const int got = std::clamp(converter.get(out, frames), 0, frames);
    std::fill(out + got, out + frames, std::int16_t{0});
}

void AudioEngine::render(std::int16_t* out, int frames,
                         std::optional<AudioClock::Clock::time_point> when)
{
    std::lock_guard lock(mutex_);
    if (frames <= 0)
        return;
    if (clock_)
        clock_->on_block(frames, when.value_or(AudioClock::Clock::now()));
    mix_.assign(static_cast<std::size_t>(frames), 0);
    part_.resize(static_cast<std::size_t>(frames));
    for (auto& s : streams_) {
        if (!s->playing)
            continue;
        if (!s->started) {
            s->started = true;
            s->start_frame = output_frames_;
        }
        pull(*s, part_.data(), frames);
        for (int i = 0; i < frames; ++i)
            mix_[static_cast<std::size_t>(i)] += part_[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < frames; ++i)
        out[i] = static_cast<std::int16_t>(
            std::clamp<std::int32_t>(mix_[static_cast<std::size_t>(i)], INT16_MIN, INT16_MAX));
    output_frames_ += frames;
}

}  // namespace vexl::platform
