#pragma once
// The instruments of the default soundtrack. Each is triggered by the
// sequencer and then asked for one Q15 sample at a time.

#include <array>
#include <cstdint>

#include "tools/synth/dsp.h"

namespace vexl::synth {

class Kick {
public:
    void trigger(std::int32_t velocity_q15);
    std::int32_t next();

private:
    Oscillator body_;
    Decay pitch_;
    Decay amp_;
    Noise click_noise_{0x1234567u};
    std::int32_t click_left_ = 0;
    std::int32_t velocity_ = 0;
};

class Snare {
public:
    void trigger(std::int32_t velocity_q15);
    std::int32_t next();

private:
    Oscillator tone_;
    Decay tone_amp_;
    Decay noise_amp_;
    Noise noise_{0xBADC0DEu};
    Svf filter_;
    std::int32_t velocity_ = 0;
};

class HiHat {
public:
    void trigger(bool open, std::int32_t velocity_q15);
    std::int32_t next();

private:
    Decay amp_;
    Noise noise_{0xC0FFEEu};
    std::int32_t previous_ = 0;
    std::int32_t smooth_ = 0;
    std::int32_t velocity_ = 0;
};

// Rising white noise for the end of builds: a band-pass swept upwards.
class Riser {
public:
    void start(std::int32_t samples);
    void stop() { left_ = 0; }
    std::int32_t next();

private:
    Noise noise_{0x5EEDu};
    Svf filter_;
    std::int32_t length_ = 1;
    std::int32_t left_ = 0;
    std::int32_t progress_ = 0;
    std::int32_t coefficient_ = 0;
    int control_ = 0;
};

class Bass {
public:
    void note_on(int note, std::int32_t velocity_q15);
    void note_off() { amp_.gate_off(); }
    void set_brightness(std::int32_t q15) { brightness_ = q15; }
    std::int32_t next();

private:
    Oscillator saw_;
    Oscillator sub_;
    Envelope amp_;
    Decay filter_env_;
    Svf filter_;
    std::int32_t coefficient_ = 0;
    std::int32_t brightness_ = q15_one / 2;
    std::int32_t velocity_ = 0;
    int control_ = 0;
};

// Slow-attack string-like chords; several voices so one chord can fade out
// while the next fades in.
class Pads {
public:
    Pads();
    void play_chord(const std::array<std::int8_t, 3>& notes);
    void release_all();
    void set_cutoff(std::int32_t hz) { coefficient_ = svf_coefficient(hz); }
    // Writes `count` samples (voice by voice, which is much faster than
    // sample by sample with this many oscillators).
    void render(std::int32_t* out, int count);

private:
    struct Voice {
        Oscillator a, b;
        Envelope amp;
    };
    std::array<Voice, 9> voices_;
    std::size_t next_voice_ = 0;
    Svf filter_;
    std::int32_t coefficient_ = 0;
};

class Lead {
public:
    Lead();
    void note_on(int note, std::int32_t velocity_q15);
    void note_off() { amp_.gate_off(); }
    void set_brightness(std::int32_t q15) { brightness_ = q15; }
    std::int32_t next();

private:
    Oscillator square_;
    Oscillator saw_;
    Oscillator vibrato_;
    Envelope amp_;
    Decay filter_env_;
    Svf filter_;
    std::int32_t coefficient_ = 0;
    std::int32_t brightness_ = q15_one;
    std::int32_t velocity_ = 0;
    std::int32_t age_ = 0;
    int control_ = 0;
};

class Arp {
public:
    void note_on(int note, std::int32_t velocity_q15);
    void set_brightness(std::int32_t q15) { brightness_ = q15; }
    std::int32_t next();

private:
    Oscillator osc_;
    Decay amp_;
    Svf filter_;
    std::int32_t coefficient_ = 0;
    std::int32_t brightness_ = q15_one;
    std::int32_t velocity_ = 0;
    int control_ = 0;
};

}  // namespace vexl::synth
