#include "tests/fakes/fake_audio_library.h"

#include <algorithm>
#include <cstdio>

namespace vexl::fakes {

struct FakeAudioLibrary::Stream {
    std::string name;
    bool playing = false;
    bool closed = false;
};

namespace {

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string pointer_text(const void* p) { return p == nullptr ? "0" : "param"; }

}  // namespace

FakeAudioLibrary::FakeAudioLibrary() = default;
FakeAudioLibrary::~FakeAudioLibrary() = default;

int FakeAudioLibrary::number_of(platform::AudioStreamHandle stream) const
{
    for (std::size_t i = 0; i < streams_.size(); ++i)
        if (reinterpret_cast<platform::AudioStreamHandle>(streams_[i].get()) == stream)
            return static_cast<int>(i) + 1;
    return 0;
}

std::string FakeAudioLibrary::name_of(platform::AudioStreamHandle stream) const
{
    if (stream == nullptr)
        return "null";
    const int n = number_of(stream);
    return n == 0 ? "unknown" : "stream" + std::to_string(n);
}

void FakeAudioLibrary::record(std::string line) { calls_.push_back(std::move(line)); }

bool FakeAudioLibrary::init(int mixing_rate, int max_software_channels, unsigned flags)
{
    std::lock_guard lock(mutex_);
    record("init(" + std::to_string(mixing_rate) + ", " + std::to_string(max_software_channels) +
           ", " + hex(flags) + ")");
    return !fail_init_;
}

platform::AudioStreamHandle FakeAudioLibrary::stream_open_file(const char* name, unsigned mode,
                                                               int length)
{
    std::lock_guard lock(mutex_);
    std::string line = "stream_open_file(\"" + std::string(name == nullptr ? "" : name) + "\", " +
                       hex(mode) + ", " + std::to_string(length) + ") -> ";
    if (fail_open_ || name == nullptr) {
        record(line + "null");
        return nullptr;
    }
    streams_.push_back(std::make_unique<Stream>());
    streams_.back()->name = name;
    record(line + "stream" + std::to_string(streams_.size()));
    return reinterpret_cast<platform::AudioStreamHandle>(streams_.back().get());
}

platform::DspHandle FakeAudioLibrary::stream_create_dsp(platform::AudioStreamHandle stream,
                                                        platform::DspCallback callback,
                                                        int priority, void* param)
{
    std::lock_guard lock(mutex_);
    std::string line = "stream_create_dsp(" + name_of(stream) + ", " +
                       (callback == nullptr ? "null" : "callback") + ", " +
                       std::to_string(priority) + ", " + pointer_text(param) + ") -> ";
    const int number = number_of(stream);
    if (number == 0 || callback == nullptr) {
        record(line + "null");
        return nullptr;
    }
    dsps_.push_back(std::make_unique<Dsp>(Dsp{callback, priority, param, false, number}));
    record(line + "dsp" + std::to_string(dsps_.size()));
    return reinterpret_cast<platform::DspHandle>(dsps_.back().get());
}

void FakeAudioLibrary::dsp_set_active(platform::DspHandle dsp, bool active)
{
    std::lock_guard lock(mutex_);
    std::string name = "null";
    for (std::size_t i = 0; i < dsps_.size(); ++i) {
        if (reinterpret_cast<platform::DspHandle>(dsps_[i].get()) == dsp) {
            dsps_[i]->active = active;
            name = "dsp" + std::to_string(i + 1);
        }
    }
    record("dsp_set_active(" + name + ", " + (active ? "1" : "0") + ")");
}

int FakeAudioLibrary::stream_play(int channel, platform::AudioStreamHandle stream)
{
    std::lock_guard lock(mutex_);
    record("stream_play(" + std::to_string(channel) + ", " + name_of(stream) + ")");
    const int number = number_of(stream);
    if (number == 0 || fail_init_)
        return -1;
    streams_[static_cast<std::size_t>(number - 1)]->playing = true;
    return channel < 0 ? 0 : channel;
}

int FakeAudioLibrary::stream_get_time(platform::AudioStreamHandle stream)
{
    std::lock_guard lock(mutex_);
    const int now = time_ms_;
    time_ms_ += time_step_ms_;
    record("stream_get_time(" + name_of(stream) + ") -> " + std::to_string(now));
    return now;
}

bool FakeAudioLibrary::stream_close(platform::AudioStreamHandle stream)
{
    std::lock_guard lock(mutex_);
    record("stream_close(" + name_of(stream) + ")");
    const int number = number_of(stream);
    if (number == 0)
        return false;
    Stream& s = *streams_[static_cast<std::size_t>(number - 1)];
    s.playing = false;
    s.closed = true;
    return true;
}

void FakeAudioLibrary::close()
{
    std::lock_guard lock(mutex_);
    record("close()");
    for (auto& s : streams_)
        s->playing = false;
}

std::vector<std::string> FakeAudioLibrary::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> FakeAudioLibrary::calls_without_time() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const std::string& c : calls_)
        if (c.rfind("stream_get_time(", 0) != 0)
            out.push_back(c);
    return out;
}

int FakeAudioLibrary::count(const std::string& call_name) const
{
    std::lock_guard lock(mutex_);
    const std::string prefix = call_name + "(";
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const std::string& c) {
        return c.rfind(prefix, 0) == 0;
    }));
}

void FakeAudioLibrary::clear_calls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void FakeAudioLibrary::set_time_ms(int ms)
{
    std::lock_guard lock(mutex_);
    time_ms_ = ms;
}

void FakeAudioLibrary::set_time_step_ms(int ms)
{
    std::lock_guard lock(mutex_);
    time_step_ms_ = ms;
}

int FakeAudioLibrary::time_ms() const
{
    std::lock_guard lock(mutex_);
    return time_ms_;
}

void FakeAudioLibrary::fail_init(bool fail)
{
    std::lock_guard lock(mutex_);
    fail_init_ = fail;
}

void FakeAudioLibrary::fail_open(bool fail)
{
    std::lock_guard lock(mutex_);
    fail_open_ = fail;
}

std::vector<FakeAudioLibrary::Dsp> FakeAudioLibrary::dsps() const
{
    std::lock_guard lock(mutex_);
    std::vector<Dsp> out;
    for (const auto& d : dsps_)
        out.push_back(*d);
    return out;
}

bool FakeAudioLibrary::playing() const
{
    std::lock_guard lock(mutex_);
    return std::any_of(streams_.begin(), streams_.end(),
                       [](const auto& s) { return s->playing; });
}

int FakeAudioLibrary::run_dsp(std::span<std::int16_t> block)
{
    std::vector<Dsp> active;
    {
        std::lock_guard lock(mutex_);
        int first_open = 0;
        for (std::size_t i = 0; i < streams_.size() && first_open == 0; ++i)
            if (!streams_[i]->closed)
                first_open = static_cast<int>(i) + 1;
        for (const auto& d : dsps_)
            if (d->active && d->stream == first_open)
                active.push_back(*d);
    }
    std::vector<std::int16_t> source(block.begin(), block.end());
    void* current = block.data();
    for (const Dsp& d : active)
        current = d.callback(source.data(), current, static_cast<int>(block.size()), d.param);
    if (current != block.data() && current != nullptr)
        std::copy_n(static_cast<const std::int16_t*>(current), block.size(), block.data());
    return static_cast<int>(active.size());
}

}  // namespace vexl::fakes
