#include "platform/windows/win32.h"

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/windows/wave_output.h"

namespace vexl::platform {
namespace {

// Four buffers of 20 ms: the device always has one to play while the
// feeder refills another, and the mix is at most 80 ms ahead of the ear.
constexpr int buffer_count = 4;
constexpr int buffers_per_second = 50;

std::string wave_error(MMRESULT result)
{
    char text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR)
        return "waveOut error " + std::to_string(result);
    return text;
}

class WaveOutput final : public AudioOutput {
public:
    explicit WaveOutput(AudioEngine& engine) : engine_(engine) {}
    ~WaveOutput() override
    {
        stop();
        if (done_ != nullptr)
            CloseHandle(done_);
    }
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    bool open(int rate, std::string& why)
    {
        done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = static_cast<DWORD>(rate);
        format.wBitsPerSample = 16;
        format.nBlockAlign = 2;
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        const MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0,
                                            CALLBACK_EVENT);
        if (result != MMSYSERR_NOERROR) {
            why = wave_error(result);
            device_ = nullptr;
            return false;
        }
        const int frames = std::max(1, rate / buffers_per_second);
        for (Buffer& b : buffers_) {
            b.samples.assign(static_cast<std::size_t>(frames), 0);
            b.header.lpData = reinterpret_cast<LPSTR>(b.samples.data());
            b.header.dwBufferLength = static_cast<DWORD>(frames * sizeof(std::int16_t));
            waveOutPrepareHeader(device_, &b.header, sizeof b.header);
            b.header.dwFlags |= WHDR_DONE;  // free for the feeder
        }
        engine_.set_output(rate, static_cast<std::int64_t>(buffer_count - 1) * frames,
                           [this] { return played_frames(); });
        feeder_ = std::thread([this] { feed(); });
        return true;
    }

    void stop() override
    {
        if (device_ == nullptr)
            return;
        stopping_ = true;
        SetEvent(done_);
        if (feeder_.joinable())
            feeder_.join();
        waveOutReset(device_);
        for (Buffer& b : buffers_)
            waveOutUnprepareHeader(device_, &b.header, sizeof b.header);
        waveOutClose(device_);
        device_ = nullptr;
    }

    const char* name() const override { return "waveOut"; }
    bool lost() const override { return lost_; }

private:
    struct Buffer {
        std::vector<std::int16_t> samples;
        WAVEHDR header{};
    };

    // The samples the device has played since it was opened.
    std::int64_t played_frames()
    {
        MMTIME time{};
        time.wType = TIME_SAMPLES;
        if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR)
            return 0;
        // Counters wrap at 32 bits (54 hours at 22050 Hz): unwrapped here.
        const DWORD now = time.wType == TIME_BYTES ? time.u.cb / 2 : time.u.sample;
        std::int64_t wraps = position_wraps_;
        if (now < last_position_)
            ++wraps;
        position_wraps_ = wraps;
        last_position_ = now;
        return (wraps << 32) + now;
    }

    void feed()
    {
        while (!stopping_) {
            for (Buffer& b : buffers_) {
                if ((b.header.dwFlags & WHDR_DONE) == 0)
                    continue;
                engine_.render(b.samples.data(), static_cast<int>(b.samples.size()));
                b.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
                if (waveOutWrite(device_, &b.header, sizeof b.header) != MMSYSERR_NOERROR) {
                    // Unplugged, its driver gone: the library takes over
                    // with the silent output.
                    lost_ = true;
                    return;
                }
            }
            WaitForSingleObject(done_, 100);
        }
    }

    AudioEngine& engine_;
    HWAVEOUT device_ = nullptr;
    HANDLE done_ = nullptr;  // set by the device as each buffer finishes
    std::array<Buffer, buffer_count> buffers_;
    std::thread feeder_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> lost_{false};
    DWORD last_position_ = 0;  // under the engine's lock
    std::int64_t position_wraps_ = 0;
};

}  // namespace

std::unique_ptr<AudioOutput> start_wave_output(AudioEngine& engine, int rate, std::string& why)
{
    // The rate asked for, else the rates every device takes.
    for (int r : {rate, 44100, 48000}) {
        auto output = std::make_unique<WaveOutput>(engine);
        if (output->open(r, why))
            return output;
        if (waveOutGetNumDevs() == 0) {
            why = "no sound device";
            break;
        }
    }
    return nullptr;
}

}  // namespace vexl::platform
