#include "platform/linux/linux_audio_library.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/linux/audio_outputs.h"
#include "platform/linux/sdl_audio_drivers.h"
#include "platform/linux/sound_decoder.h"
#include "platform/run_report.h"

namespace vexl::platform {
namespace {

constexpr int fallback_mixing_rate = 22050;

}  // namespace

LinuxAudioLibrary::LinuxAudioLibrary() : LinuxAudioLibrary(Options{}) {}

LinuxAudioLibrary::LinuxAudioLibrary(Options options) : options_(std::move(options)) {}

LinuxAudioLibrary::LinuxAudioLibrary(DeviceMaker device) : device_(std::move(device)) {}

LinuxAudioLibrary::~LinuxAudioLibrary() { close(); }

bool LinuxAudioLibrary::init(int mixing_rate, int /*max_software_channels*/, unsigned /*flags*/)
{
    if (output_)
        return true;
    const int rate = mixing_rate > 0 ? mixing_rate : fallback_mixing_rate;
    mixing_rate_ = rate;

    if (device_) {
        output_ = device_(engine_, rate);
    } else if (options_.output != OutputChoice::null_only) {
        std::string why;
        if (!open_sdl_device(rate, why)) {
            if (options_.output == OutputChoice::sdl_only)
                return false;
            report_after_run("no sound device opened (" + why + "); the demo played silently in real time");
        }
    }
    if (!output_)
        output_ = start_null_output(engine_, rate);
    return true;
}

bool LinuxAudioLibrary::open_sdl_device(int rate, std::string& why)
{
    // The player handles SIGINT and SIGTERM itself; SDL must not.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
    const std::optional<std::string> drivers = sdl_audio_driver_hint(
        options_.sdl_driver, std::getenv(SDL_HINT_AUDIODRIVER),
        alsa_may_have_device(AlsaPlaces::of_this_system()), sdl_available_audio_drivers());
    // An empty list: no backend could play here, so SDL is not asked.
    if (drivers && drivers->empty()) {
        why = "no sound card, and no sound server SDL could reach";
        return false;
    }
    if (drivers)
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, drivers->c_str(), SDL_HINT_OVERRIDE);
    // Only the audio subsystem, counted by SDL: the display may use SDL
    // too, and each side shuts down only what it started.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        sdl_audio_initialised_ = true;
        output_ = start_sdl_output(engine_, rate, why);
    } else {
        why = SDL_GetError();
    }
    // The backend is chosen; a later SDL user starts from the user's own
    // setting again.
    if (drivers)
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!output_)
        close_sdl();
    return output_ != nullptr;
}

void LinuxAudioLibrary::close_sdl()
{
    if (sdl_audio_initialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdl_audio_initialised_ = false;
    }
}

void LinuxAudioLibrary::continue_silently()
{
    if (output_) {
        output_->stop();
        output_.reset();
    }
    close_sdl();
    output_ = start_null_output(engine_, mixing_rate_);
}

AudioStreamHandle LinuxAudioLibrary::silent_stream(const char* name, const std::string& why)
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

AudioStreamHandle LinuxAudioLibrary::stream_open_file(const char* name, unsigned /*mode*/,
                                                      int /*length*/)
{
    if (name == nullptr)
        return nullptr;
    DecodedSound sound;
    std::string error;
    // Read as the tools read it too: without a container, headerless
    // signed 16-bit little-endian mono.
    switch (decode_as_played(name, sound, error)) {
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

DspHandle LinuxAudioLibrary::stream_create_dsp(AudioStreamHandle stream, DspCallback callback,
                                               int priority, void* param)
{
    return engine_.add_dsp(stream, callback, priority, param);
}

void LinuxAudioLibrary::dsp_set_active(DspHandle dsp, bool active)
{
    engine_.set_active(dsp, active);
}

int LinuxAudioLibrary::stream_play(int channel, AudioStreamHandle stream)
{
    if (!engine_.play(stream))
        return -1;
    return channel < 0 ? 0 : channel;
}

int LinuxAudioLibrary::stream_get_time(AudioStreamHandle stream)
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

bool LinuxAudioLibrary::stream_close(AudioStreamHandle stream)
{
    return engine_.remove_stream(stream);
}

void LinuxAudioLibrary::close()
{
    if (output_) {
        output_->stop();
        output_.reset();
    }
    engine_.clear_output();
    engine_.remove_all_streams();
    close_sdl();
}

const char* LinuxAudioLibrary::output_name() const { return output_ ? output_->name() : ""; }

int LinuxAudioLibrary::output_rate() { return engine_.output_rate().value_or(0); }

double LinuxAudioLibrary::output_heard_frames() { return engine_.heard_frames(); }

std::int64_t LinuxAudioLibrary::output_frames_handed() { return engine_.frames_handed(); }

double LinuxAudioLibrary::output_raw_frames() { return engine_.raw_device_frames(); }

}  // namespace vexl::platform
