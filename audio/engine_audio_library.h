#pragma once
// The audio library of both platforms over the audio engine: a platform
// supplies its sound device and its decoder, and the rest is shared. When
// there is no device (servers, CI, wine without sound) a silent output
// consumes the streams in real time, so the play position still runs; the
// same silent output takes over from a device lost during playback, from
// the position heard there. A file that can't be played opens as a silent
// stream, so its play position runs in real time all the same.
//
// What goes wrong on the way (why no device opened, which file could not
// be played, the device lost) is kept for after the run
// (platform::report_after_run), one line each.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/audio_engine.h"
#include "audio/audio_outputs.h"
#include "platform/audio_library.h"

namespace vexl::platform {

class EngineAudioLibrary : public AudioLibrary {
public:
    ~EngineAudioLibrary() override;
    EngineAudioLibrary(const EngineAudioLibrary&) = delete;
    EngineAudioLibrary& operator=(const EngineAudioLibrary&) = delete;

    bool init(int mixing_rate, int max_software_channels, unsigned flags) override;
    AudioStreamHandle stream_open_file(const char* name, unsigned mode, int length) override;
    DspHandle stream_create_dsp(AudioStreamHandle stream, DspCallback callback, int priority,
                                void* param) override;
    void dsp_set_active(DspHandle dsp, bool active) override;
    int stream_play(int channel, AudioStreamHandle stream) override;
    int stream_get_time(AudioStreamHandle stream) override;
    bool stream_close(AudioStreamHandle stream) override;
    // Derived classes call this from their own destructor: it lets go of
    // their device.
    void close() override;

    // Which output init chose (the device's name, or "null"), "" before.
    const char* output_name() const;
    // The output's rate in frames per second, 0 before init.
    int output_rate();
    // The output's heard position, the frames it has taken so far, and its
    // unfiltered account of what was heard (for the clock benchmark).
    double output_heard_frames();
    std::int64_t output_frames_handed();
    double output_raw_frames();

protected:
    explicit EngineAudioLibrary(RateConverterMaker converters);

    // The system's sound device at about `rate`, pulling from `engine`.
    // Null when there is none, with the reason in `why` (empty: none was
    // wanted, which is not reported).
    virtual std::unique_ptr<AudioOutput> open_device(AudioEngine& engine, int rate, std::string& why) = 0;
    // Whether the silent output may stand in for a missing device; init
    // fails otherwise.
    virtual bool silent_output_allowed() const { return true; }
    // The device's output is gone: what it needed of the system can go too.
    virtual void device_closed() {}
    // Decodes a file the way the platform opens a stream (decode_as_played).
    virtual DecodeResult decode(const char* path, DecodedSound& out, std::string& error) = 0;

private:
    // The silent output in place of the device, the streams going on from
    // where they were.
    void continue_silently();
    // A silent stand-in for a file that can't be played.
    AudioStreamHandle silent_stream(const char* name, const std::string& why);

    int mixing_rate_ = 0;
    AudioEngine engine_;
    std::unique_ptr<AudioOutput> output_;
};

}  // namespace vexl::platform
