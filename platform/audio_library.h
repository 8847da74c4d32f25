#pragma once
// The audio library the soundtrack plays through: a small stream player
// with per-block DSP hooks, shaped after the classic FSOUND calls so the
// soundtrack code reads like the calls it makes. The Linux implementation
// decodes with libsndfile and plays through SDL2 (or a silent real-time
// output when there is no sound device); tests use a fake that records the
// calls.

#include <cstdint>

#include "platform/service.h"

namespace vexl::platform {

// FSOUND_Init flags.
inline constexpr unsigned FSOUND_INIT_GLOBALFOCUS = 0x02;  // keep playing without input focus

// FSOUND_Stream_OpenFile mode bits. The stand-in always delivers signed
// 16-bit mono data, whatever the mode says; FSOUND_LOADRAW is named for
// completeness, the file's container is what decides how it is read.
inline constexpr unsigned FSOUND_8BITS = 0x08;
inline constexpr unsigned FSOUND_16BITS = 0x10;
inline constexpr unsigned FSOUND_MONO = 0x20;
inline constexpr unsigned FSOUND_STEREO = 0x40;
inline constexpr unsigned FSOUND_UNSIGNED = 0x80;
inline constexpr unsigned FSOUND_SIGNED = 0x100;
inline constexpr unsigned FSOUND_LOADRAW = 0x4000;

// The soundtrack's mode: FSOUND_16BITS | FSOUND_MONO | FSOUND_SIGNED.
inline constexpr unsigned soundtrack_open_mode = FSOUND_16BITS | FSOUND_MONO | FSOUND_SIGNED;
static_assert(soundtrack_open_mode == 0x130);

// Channel argument of stream_play that lets the library choose.
inline constexpr int FSOUND_FREE = -1;

struct AudioStream;  // an open stream, owned by the library
struct AudioDsp;     // a DSP unit on a stream, owned by its stream
using AudioStreamHandle = AudioStream*;
using DspHandle = AudioDsp*;

// A DSP hook, called on the library's audio thread once per block of the
// stream's data before the block is heard. `source` is the block as decoded
// (read-only for the hook), `block` the buffer the previous hook returned
// (for the first hook a copy of `source`); both hold `length` signed 16-bit
// mono samples. The returned buffer (normally `block`, rewritten in place)
// is what the next hook gets and, after the last hook, what plays. `param`
// is the value given at creation.
using DspCallback = void* (*)(void* source, void* block, int length, void* param);

class AudioLibrary {
public:
    virtual ~AudioLibrary() = default;

    // FSOUND_Init: prepares the output. `mixing_rate` is the rate the caller
    // would like; the real output uses the device's own rate. Returns false
    // only if nothing can play, not even the silent output.
    virtual bool init(int mixing_rate, int max_software_channels, unsigned flags) = 0;

    // FSOUND_Stream_OpenFile: opens and decodes the named file; `mode` and
    // `length` are recorded but do not change how it is read. Null when the
    // file cannot be opened.
    virtual AudioStreamHandle stream_open_file(const char* name, unsigned mode, int length) = 0;

    // FSOUND_Stream_CreateDSP: adds an inactive hook to the stream; hooks
    // run in creation order. Null for a null stream or callback.
    virtual DspHandle stream_create_dsp(AudioStreamHandle stream, DspCallback callback,
                                        int priority, void* param) = 0;

    // FSOUND_DSP_SetActive: switches a hook on or off (null is ignored).
    virtual void dsp_set_active(DspHandle dsp, bool active) = 0;

    // FSOUND_Stream_Play: starts the stream at once. Returns the channel
    // used, or -1 (null stream, library not initialised).
    virtual int stream_play(int channel, AudioStreamHandle stream) = 0;

    // FSOUND_Stream_GetTime: the heard play position in milliseconds, 0 at
    // the start of playback, never decreasing, still growing once the data
    // is used up (silence plays on). 0 for a null or unplayed stream.
    virtual int stream_get_time(AudioStreamHandle stream) = 0;

    // FSOUND_Stream_Close: stops the stream and releases it and its hooks.
    virtual bool stream_close(AudioStreamHandle stream) = 0;

    // FSOUND_Close: stops the output and releases every stream still open.
    virtual void close() = 0;
};

inline AudioLibrary& audio_library() { return service<AudioLibrary>(); }

}  // namespace vexl::platform
