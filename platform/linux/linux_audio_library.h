#pragma once
// The audio library on Linux: libsndfile decodes, SDL2 plays
// (audio/engine_audio_library.h does the rest, the same on every platform).

#include <functional>
#include <memory>
#include <string>

#include "audio/engine_audio_library.h"

namespace vexl::platform {

class LinuxAudioLibrary final : public EngineAudioLibrary {
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

protected:
    std::unique_ptr<AudioOutput> open_device(AudioEngine& engine, int rate, std::string& why) override;
    bool silent_output_allowed() const override;
    void device_closed() override;
    DecodeResult decode(const char* path, DecodedSound& out, std::string& error) override;

private:
    Options options_;
    DeviceMaker device_;
    bool sdl_audio_initialised_ = false;
};

}  // namespace vexl::platform
