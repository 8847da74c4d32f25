#pragma once
// The audio path: signed 16-bit mono samples at the soundtrack's rate in,
// compressed packets out to the muxer. The samples keep their rate unless
// the encoder cannot take it (Opus); sample n of the recording is stamped
// n in a time base of one sample, so it plays at n / rate seconds.

#include <cstdint>
#include <span>
#include <string>

#include "tools/record/av_support.h"
#include "tools/record/encoder_stream.h"
#include "tools/record/muxer.h"
#include "tools/record/record_format.h"

namespace vexl::record {

// The rate `encoder` takes for a source at `source_rate`: that rate when
// it can, otherwise 48000 Hz, or else the first rate it lists.
int encoder_sample_rate(const AVCodec& encoder, int source_rate);

// What a caller may choose over the format's own defaults.
struct AudioSettings {
    std::int64_t bit_rate = 0;    // bits a second of a lossy encoder; 0: the format's
    int compression_level = -1;   // effort of a lossless one (FLAC: 0-12); -1: the encoder's
    int cutoff = 0;               // highest frequency a lossy one keeps, in Hz; 0: the encoder's
};

class AudioEncoder {
public:
    // Opens the encoder and adds its stream to `muxer`.
    bool open(const RecordFormat& format, int source_rate, Muxer& muxer, std::string& problem,
              const AudioSettings& settings = {});

    // Encodes the next stretch of the soundtrack.
    bool encode(std::span<const std::int16_t> samples, std::string& problem);

    // Encodes what is still held back and drains the encoder.
    bool finish(std::string& problem);

    int sample_rate() const;

private:
    bool convert(const std::uint8_t* const* source, int count, std::string& problem);
    bool encode_queued(bool all, std::string& problem);

    EncoderStream encoder_;
    ResamplerPtr resampler_;
    AudioFifoPtr queue_;  // converted samples waiting for a whole encoder frame
    FramePtr frame_;
    FramePtr converted_;
    int frame_samples_ = 0;    // what the encoder takes per frame
    bool any_length_ = false;  // ... or any count at all
    bool short_last_ = false;  // a shorter last frame is fine
    std::int64_t next_pts_ = 0;
};

}  // namespace vexl::record
