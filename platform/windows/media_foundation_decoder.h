#pragma once
// Sound files in the containers and encodings the system's Media
// Foundation reads (MP3, AAC, WMA, FLAC, ... as installed), decoded to
// 16-bit PCM and averaged to mono. Media Foundation is looked up when
// needed: Windows editions without it (the N editions) still run the
// player, they just play only WAV and headerless soundtracks.

#include <string>

#include "audio/decoded_sound.h"

namespace vexl::platform {

// ok, damaged (what was read kept), or unrecognised when Media Foundation
// is missing or can't read the file.
DecodeResult decode_with_media_foundation(const char* path, DecodedSound& out, std::string& error);

}  // namespace vexl::platform
