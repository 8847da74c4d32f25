#include "audio/soundtrack.h"

#include "audio/speaker_sim.h"
#include "core/process_records.h"

namespace vexl {

platform::AudioStreamHandle soundtrack_stream = nullptr;

void soundtrack_start()
{
    platform::AudioLibrary& library = platform::audio_library();
    library.init(soundtrack_mixing_rate, soundtrack_software_channels, soundtrack_init_flags);
    soundtrack_stream =
        library.stream_open_file(soundtrack_file_name, soundtrack_mode, soundtrack_open_length);
    if (PlayerSettings.simulate_speaker) {
        // Switched on before play, so the very first block goes through it.
        const platform::DspHandle unit = library.stream_create_dsp(
            soundtrack_stream, speaker_sim_dsp, speaker_dsp_priority, nullptr);
        library.dsp_set_active(unit, true);
    }
    library.stream_play(soundtrack_channel, soundtrack_stream);
}

std::int32_t sample_clock()
{
    return samples_from_ms(platform::audio_library().stream_get_time(soundtrack_stream));
}

void soundtrack_stop()
{
    platform::AudioLibrary& library = platform::audio_library();
    library.stream_close(soundtrack_stream);
    library.close();
}

}  // namespace vexl
