#pragma once
// The audio library on Windows: the system's sound through waveOut, the
// clock read from the device's play position; WAV decoded by the shared
// decoder, other containers through Media Foundation, anything else as
// headerless signed 16-bit mono (audio/engine_audio_library.h does the
// rest, as on Linux). A stream at another rate than the device's is
// converted by linear interpolation.

#include "audio/engine_audio_library.h"

namespace vexl::platform {

class WinAudioLibrary final : public EngineAudioLibrary {
public:
    WinAudioLibrary();
    ~WinAudioLibrary() override;

protected:
    std::unique_ptr<AudioOutput> open_device(AudioEngine& engine, int rate, std::string& why) override;
    DecodeResult decode(const char* path, DecodedSound& out, std::string& error) override;
};

}  // namespace vexl::platform
