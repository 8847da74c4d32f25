#pragma once
// An audio library that plays nothing: it records every call in order with
// its arguments, reports whatever play position the test sets, and runs the
// DSP hooks over blocks the test hands it. Thread-safe, so a test may play
// the audio thread's part (run_dsp, set_time_ms) from a thread of its own.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/audio_library.h"

namespace vexl::fakes {

class FakeAudioLibrary : public platform::AudioLibrary {
public:
    struct Dsp {
        platform::DspCallback callback = nullptr;
        int priority = 0;
        void* param = nullptr;
        bool active = false;
        int stream = 0;  // number of the stream it was created on (1-based)
    };

    FakeAudioLibrary();
    ~FakeAudioLibrary() override;

    // --- what the code under test sees -------------------------------------
    bool init(int mixing_rate, int max_software_channels, unsigned flags) override;
    platform::AudioStreamHandle stream_open_file(const char* name, unsigned mode,
                                                 int length) override;
    platform::DspHandle stream_create_dsp(platform::AudioStreamHandle stream,
                                          platform::DspCallback callback, int priority,
                                          void* param) override;
    void dsp_set_active(platform::DspHandle dsp, bool active) override;
    int stream_play(int channel, platform::AudioStreamHandle stream) override;
    int stream_get_time(platform::AudioStreamHandle stream) override;
    bool stream_close(platform::AudioStreamHandle stream) override;
    void close() override;

    // --- what the test sees and controls -----------------------------------
    // Every call so far, one line each, handles named by creation order:
    //   init(22050, 1, 0x2)
    //   stream_open_file("ld_vexl.d2", 0x130, 0) -> stream1      (or -> null)
    //   stream_create_dsp(stream1, callback, 0, 0) -> dsp1
    //   dsp_set_active(dsp1, 1)
    //   stream_play(0, stream1)
    //   stream_get_time(stream1) -> 1234
    //   stream_close(stream1)
    //   close()
    std::vector<std::string> calls() const;
    // The same without the stream_get_time lines (the playback loop asks
    // for the time thousands of times).
    std::vector<std::string> calls_without_time() const;
    int count(const std::string& call_name) const;  // e.g. count("stream_get_time")
    void clear_calls();

    // The position every later stream_get_time reports, in milliseconds.
    void set_time_ms(int ms);
    // After each stream_get_time the position moves on by `ms` (0 = stays).
    void set_time_step_ms(int ms);
    int time_ms() const;

    // Makes init fail, or stream_open_file return null.
    void fail_init(bool fail);
    void fail_open(bool fail);

    // The hooks created so far, in creation order.
    std::vector<Dsp> dsps() const;
    bool playing() const;  // a stream was played and not closed yet

    // Plays the audio thread's part for one block of the (first) open
    // stream: a copy of `block` is the source, the active hooks run in
    // creation order, and what the last one returns is copied back into
    // `block`. Returns the number of hooks that ran. The lock is not held
    // while the hooks run.
    int run_dsp(std::span<std::int16_t> block);

private:
    struct Stream;
    int number_of(platform::AudioStreamHandle stream) const;  // 0: unknown or null
    std::string name_of(platform::AudioStreamHandle stream) const;
    void record(std::string line);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::unique_ptr<Stream>> streams_;  // index + 1 is the stream's number
    std::vector<std::unique_ptr<Dsp>> dsps_;        // index + 1 is the unit's number
    int time_ms_ = 0;
    int time_step_ms_ = 0;
    bool fail_init_ = false;
    bool fail_open_ = false;
};

}  // namespace vexl::fakes
