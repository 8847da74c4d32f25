// A helper of the wine tests, not part of the player: the PC-speaker
// simulation over a fixed signal (every sample value, in the player's
// blocks), written to standard output as 16-bit little-endian samples, for
// comparing with the Linux build's.

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/speaker_sim.h"
#include "tests/windows/speaker_signal.h"

int main()
{
    std::vector<std::int16_t> samples = vexl::testing::speaker_signal();
    vexl::testing::simulate_speaker(samples);
    _setmode(_fileno(stdout), _O_BINARY);
    return std::fwrite(samples.data(), sizeof samples[0], samples.size(), stdout) == samples.size() ? 0 : 1;
}
