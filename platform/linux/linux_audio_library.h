#pragma once
// The audio library on Linux: libsndfile decodes, SDL2 plays. Without a
// sound device (servers, CI) a silent output consumes the streams in real
// time, so the play position still runs. The same silent output takes
// over from a device lost during playback, from the position heard there.
// A file that can't be played opens as a silent stream, so its play
// position runs in real time all the same.
//
// What goes wrong on the way (why no device opened, which file could not
// be played, the device lost) is kept for after the run
// (platform::report_after_run), one line each.

#include <functional>
#include <memory>
#include <string>

#include "platform/audio_library.h"
#include "platform/linux/audio_engine.h"

namespace vexl::platform {

class AudioOutput;

class LinuxAudioLibrary final : public AudioLibrary {
public:
    enum class OutputChoice {
        automatic,  // an SDL2 device if one opens, else the silent output
        sdl_only,   // an SDL2 device or nothing (init fails)
        null_only,  // the silent output, SDL2 untouched
    };
    struct Options {
        OutputChoice output = OutputChoice::automatic;
        std::string sdl_driver;  // e.g. "dummy"; empty: SDL's own choice
    };
    // Makes the output init opens in place of SDL's device (tests: one
    // that can be lost on demand).
    using DeviceMaker = std::function<std::unique_ptr<AudioOutput>(AudioEngine& engine, int rate)>;

    LinuxAudioLibrary();
    explicit LinuxAudioLibrary(Options options);
    explicit LinuxAudioLibrary(DeviceMaker device);
    ~LinuxAudioLibrary() override;
    LinuxAudioLibrary(const LinuxAudioLibrary&) = delete;
    LinuxAudioLibrary& operator=(const LinuxAudioLibrary&) = delete;

    bool init(int mixing_rate, int max_software_channels, unsigned flags) override;
    AudioStreamHandle stream_open_file(const char* name, unsigned mode, int length) override;
    DspHandle stream_create_dsp(AudioStreamHandle stream, DspCallback callback, int priority,
                                void* param) override;
    void dsp_set_active(DspHandle dsp, bool active) override;
    int stream_play(int channel, AudioStreamHandle stream) override;
    int stream_get_time(AudioStreamHandle stream) override;
    bool stream_close(AudioStreamHandle stream) override;
    void close() override;

    // Which output init chose: "sdl", "null", or "" before init.
    const char* output_name() const;
    // The output's rate in frames per second, 0 before init.
    int output_rate();
    // The output's heard position, the frames it has taken so far, and its
    // unfiltered account of what was heard (for the clock benchmark).
    double output_heard_frames();
    std::int64_t output_frames_handed();
    double output_raw_frames();

private:
    bool open_sdl_device(int rate, std::string& why);
    void close_sdl();
    // The silent output in place of the device, the streams going on from
    // where they were.
    void continue_silently();
    // A silent stand-in for a file that can't be played.
    AudioStreamHandle silent_stream(const char* name, const std::string& why);

    Options options_;
    DeviceMaker device_;
    int mixing_rate_ = 0;
    AudioEngine engine_;
    std::unique_ptr<AudioOutput> output_;
    bool sdl_audio_initialised_ = false;
};

}  // namespace vexl::platform
