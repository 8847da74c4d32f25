#include "tools/synth/soundtrack_wav.h"

#include "platform/sound_files.h"
#include "tools/synth/synth.h"

namespace vexl::synth {

bool write_default_soundtrack_wav(const std::string& path, std::string& error)
{
    const std::vector<std::int16_t> samples = render_default_soundtrack();
    return platform::sound_files().write_wav_mono16(path, samples, score_sample_rate, error);
}

}  // namespace vexl::synth
