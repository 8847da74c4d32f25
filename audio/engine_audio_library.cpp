#include "audio/engine_audio_library.h"

#include <cstdio>
#include <string_view>

#include "platform/run_report.h"

namespace vexl::platform {
namespace {

constexpr int fallback_mixing_rate = 22050;

}  // namespace

EngineAudioLibrary::EngineAudioLibrary(RateConverterMaker converters) : engine_(std::move(converters)) {}

EngineAudioLibrary::~EngineAudioLibrary()
{
    close();
}

bool EngineAudioLibrary::init(int mixing_rate, int /*max_software_channels*/, unsigned /*flags*/)
{
    if (output_)
        return true;
    const int rate = mixing_rate > 0 ? mixing_rate : fallback_mixing_rate;
    mixing_rate_ = rate;
    std::string why;
    output_ = open_device(engine_, rate, why);
    if (!output_) {
        if (!silent_output_allowed())
            return false;
        if (!why.empty())
            report_after_run("no sound device opened (" + why + "); the demo played silently in real time");
        output_ = start_null_output(engine_, rate);
    }
    return true;
}

void EngineAudioLibrary::continue_silently()
{
    if (output_) {
        output_->stop();
        output_.reset();
    }
    device_closed();
    output_ = start_null_output(engine_, mixing_rate_);
}

AudioStreamHandle EngineAudioLibrary::silent_stream(const char* name, const std::string& why)
{
    report_after_run(std::string(name) + " could not be played (" + why +
                     "); the frames followed a silent real-time clock");
    // Nothing to hear: a device would only be held for nothing.
    if (output_ && std::string_view(output_->name()) != "null" && !engine_.has_streams())
        continue_silently();
    DecodedSound silence;
    silence.sample_rate = mixing_rate_ > 0 ? mixing_rate_ : fallback_mixing_rate;
    return engine_.add_stream(std::move(silence));
}

AudioStreamHandle EngineAudioLibrary::stream_open_file(const char* name, unsigned /*mode*/, int /*length*/)
{
    if (name == nullptr)
        return nullptr;
    DecodedSound sound;
    std::string error;
    // Read as the tools read it too: without a container, headerless
    // signed 16-bit little-endian mono.
    switch (decode(name, sound, error)) {
    case DecodeResult::ok:
        break;
    case DecodeResult::damaged:
        if (sound.samples.empty() || sound.sample_rate < 1)
            return silent_stream(name, error);
        report_after_run(std::string(name) + " is damaged (" + error + "); what was read before the damage played");
        break;
    case DecodeResult::unrecognised:
    case DecodeResult::missing:
        return silent_stream(name, error);
    }
    if (sound.samples.empty())
        return silent_stream(name, "it holds no sound");
    return engine_.add_stream(std::move(sound));
}

DspHandle EngineAudioLibrary::stream_create_dsp(AudioStreamHandle stream, DspCallback callback, int priority,
                                                void* param)
{
    return engine_.add_dsp(stream, callback, priority, param);
}

void EngineAudioLibrary::dsp_set_active(DspHandle dsp, bool active)
{
    engine_.set_active(dsp, active);
}

int EngineAudioLibrary::stream_play(int channel, AudioStreamHandle stream)
{
    if (!engine_.play(stream))
        return -1;
    return channel < 0 ? 0 : channel;
}

int EngineAudioLibrary::stream_get_time(AudioStreamHandle stream)
{
    // Asked every millisecond by the player: the first look after the
    // device went away hands over to the silent output.
    if (output_ && output_->lost()) {
        const int at_ms = engine_.time_ms(stream);
        continue_silently();
        char at[32];
        std::snprintf(at, sizeof at, "%d.%03d s", at_ms / 1000, at_ms % 1000);
        report_after_run(std::string("the sound device was lost at ") + at +
                         "; the demo went on silently in real time");
    }
    return engine_.time_ms(stream);
}

bool EngineAudioLibrary::stream_close(AudioStreamHandle stream)
{
    return engine_.remove_stream(stream);
}

void EngineAudioLibrary::close()
{
    if (output_) {
        output_->stop();
        output_.reset();
    }
    engine_.clear_output();
    engine_.remove_all_streams();
    device_closed();
}

const char* EngineAudioLibrary::output_name() const { return output_ ? output_->name() : ""; }

int EngineAudioLibrary::output_rate() { return engine_.output_rate().value_or(0); }

double EngineAudioLibrary::output_heard_frames() { return engine_.heard_frames(); }

std::int64_t EngineAudioLibrary::output_frames_handed() { return engine_.frames_handed(); }

double EngineAudioLibrary::output_raw_frames() { return engine_.raw_device_frames(); }

}  // namespace vexl::platform
