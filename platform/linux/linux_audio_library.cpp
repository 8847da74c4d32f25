#include "platform/linux/linux_audio_library.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <optional>

#include "platform/linux/audio_outputs.h"
#include "platform/linux/sdl_audio_drivers.h"
#include "platform/linux/sound_decoder.h"

namespace vexl::platform {
namespace {

constexpr int fallback_mixing_rate = 22050;

}  // namespace

LinuxAudioLibrary::LinuxAudioLibrary() : LinuxAudioLibrary(Options{}) {}

LinuxAudioLibrary::LinuxAudioLibrary(Options options) : options_(std::move(options)) {}

LinuxAudioLibrary::~LinuxAudioLibrary() { close(); }

bool LinuxAudioLibrary::init(int mixing_rate, int /*max_software_channels*/, unsigned /*flags*/)
{
    if (output_)
        return true;
    const int rate = mixing_rate > 0 ? mixing_rate : fallback_mixing_rate;

    if (options_.output != OutputChoice::null_only) {
        // The player handles SIGINT and SIGTERM itself; SDL must not.
        SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
        const std::optional<std::string> drivers = sdl_audio_driver_hint(
            options_.sdl_driver, std::getenv(SDL_HINT_AUDIODRIVER),
            alsa_may_have_device(AlsaPlaces::of_this_system()), sdl_available_audio_drivers());
        // An empty list: no backend could play here, so SDL is not asked.
        if (!drivers || !drivers->empty()) {
            if (drivers)
                SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, drivers->c_str(), SDL_HINT_OVERRIDE);
            // Only the audio subsystem, counted by SDL: the display may use
            // SDL too, and each side shuts down only what it started.
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
                sdl_audio_initialised_ = true;
                std::string why;
                output_ = start_sdl_output(engine_, rate, why);
            }
            // The backend is chosen; a later SDL user starts from the
            // user's own setting again.
            if (drivers)
                SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        }
        if (!output_ && sdl_audio_initialised_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            sdl_audio_initialised_ = false;
        }
        if (!output_ && options_.output == OutputChoice::sdl_only)
            return false;
    }
    if (!output_)
        output_ = start_null_output(engine_, rate);
    return true;
}

AudioStreamHandle LinuxAudioLibrary::stream_open_file(const char* name, unsigned /*mode*/,
                                                      int /*length*/)
{
    DecodedSound sound;
    std::string error;
    // A damaged file plays as far as it decodes.
    if (decode_as_played(name, sound, error) == DecodeResult::missing)
        return nullptr;
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

int LinuxAudioLibrary::stream_get_time(AudioStreamHandle stream) { return engine_.time_ms(stream); }

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
    if (sdl_audio_initialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdl_audio_initialised_ = false;
    }
}

const char* LinuxAudioLibrary::output_name() const { return output_ ? output_->name() : ""; }

int LinuxAudioLibrary::output_rate() { return engine_.output_rate().value_or(0); }

double LinuxAudioLibrary::output_heard_frames() { return engine_.heard_frames(); }

std::int64_t LinuxAudioLibrary::output_frames_handed() { return engine_.frames_handed(); }

double LinuxAudioLibrary::output_raw_frames() { return engine_.raw_device_frames(); }

}  // namespace vexl::platform
