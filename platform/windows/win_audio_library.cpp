#include "platform/windows/win_audio_library.h"

#include "audio/wav_decoder.h"
#include "platform/windows/media_foundation_decoder.h"
#include "platform/windows/wave_output.h"

namespace vexl::platform {
namespace {

DecodeResult decode_containers(const char* path, DecodedSound& out, std::string& error)
{
    const DecodeResult wav = decode_wav_file(path, out, error);
    if (wav != DecodeResult::unrecognised)
        return wav;
    return decode_with_media_foundation(path, out, error);
}

}  // namespace

WinAudioLibrary::WinAudioLibrary() : EngineAudioLibrary(make_linear_converter) {}

WinAudioLibrary::~WinAudioLibrary()
{
    close();
}

std::unique_ptr<AudioOutput> WinAudioLibrary::open_device(AudioEngine& engine, int rate, std::string& why)
{
    return start_wave_output(engine, rate, why);
}

DecodeResult WinAudioLibrary::decode(const char* path, DecodedSound& out, std::string& error)
{
    return decode_as_played(path, out, error, decode_containers);
}

}  // namespace vexl::platform
