#include "tools/demo/music.h"

#include <algorithm>
#include <array>

namespace vexl::demo {
namespace {

constexpr std::array<int, 8> hit_envelope{256, 190, 135, 90, 55, 28, 10, 0};
constexpr int never = 30000;

int hit_level(int since)
{
    return since < static_cast<int>(hit_envelope.size()) ? hit_envelope[static_cast<std::size_t>(since)] : 0;
}

// Frames since the last hit, for every frame of the demo.
std::vector<std::int16_t> frames_since(const std::vector<std::int64_t>& hits, int frames)
{
    std::vector<std::int16_t> since(static_cast<std::size_t>(frames), never);
    std::size_t next = 0;
    int last = -never;
    for (int f = 0; f < frames; ++f) {
        const std::int64_t frame_end = static_cast<std::int64_t>(f + 1) * samples_per_frame;
        while (next < hits.size() && hits[next] < frame_end) {
            last = static_cast<int>(hits[next] / samples_per_frame);
            ++next;
        }
        since[static_cast<std::size_t>(f)] = static_cast<std::int16_t>(std::min(f - last, never));
    }
    return since;
}

// Index of the last start before `end`, or 0.
int last_before(const std::vector<std::int64_t>& starts, std::int64_t end)
{
    const auto it = std::lower_bound(starts.begin(), starts.end(), end);
    return it == starts.begin() ? 0 : static_cast<int>(it - starts.begin()) - 1;
}

}  // namespace

MusicMap::MusicMap(const score::BeatGrid& grid)
    : frame_count_(static_cast<int>((grid.total_samples + samples_per_frame - 1) / samples_per_frame)),
      frames_per_beat_(static_cast<int>(grid.samples_per_beat / samples_per_frame)),
      frames_per_bar_(static_cast<int>(grid.samples_per_bar / samples_per_frame)),
      samples_per_bar_(grid.samples_per_bar),
      beats_(grid.beats),
      bars_(grid.bars),
      since_kick_(frames_since(grid.kicks, frame_count_)),
      since_snare_(frames_since(grid.snares, frame_count_)),
      section_of_(static_cast<std::size_t>(frame_count_), 0)
{
    for (const auto& s : grid.sections) {
        const int first = static_cast<int>((s.start_sample + samples_per_frame - 1) / samples_per_frame);
        const int end = static_cast<int>((s.end_sample + samples_per_frame - 1) / samples_per_frame);
        sections_.push_back({s.name, s.kind, s.intensity, first, std::min(end, frame_count_), s.first_bar,
                             s.bar_count});
    }
    for (std::size_t i = 0; i < sections_.size(); ++i)
        for (int f = sections_[i].first_frame; f < sections_[i].end_frame; ++f)
            section_of_[static_cast<std::size_t>(f)] = static_cast<std::int16_t>(i);
}

int MusicMap::bar_frame(int bar) const
{
    return static_cast<int>((bar * samples_per_bar_ + samples_per_frame - 1) / samples_per_frame);
}

bool MusicMap::on_beat(int frame) const
{
    const std::int64_t start = static_cast<std::int64_t>(frame) * samples_per_frame;
    const auto it = std::lower_bound(beats_.begin(), beats_.end(), start);
    return it != beats_.end() && *it < start + samples_per_frame;
}

Beat MusicMap::at(int frame) const
{
    const int f = std::clamp(frame, 0, frame_count_ - 1);
    const std::int64_t frame_end = static_cast<std::int64_t>(f + 1) * samples_per_frame;
    Beat b{};
    b.beat = last_before(beats_, frame_end);
    b.bar = last_before(bars_, frame_end);
    const int beat_frame = beats_.empty() ? 0 : static_cast<int>(beats_[static_cast<std::size_t>(b.beat)] / samples_per_frame);
    const int bar_frame_ = bars_.empty() ? 0 : static_cast<int>(bars_[static_cast<std::size_t>(b.bar)] / samples_per_frame);
    b.since_beat = f - beat_frame;
    b.since_bar = f - bar_frame_;
    b.beat_in_bar = frames_per_beat_ > 0 ? std::min(b.since_bar / frames_per_beat_, 3) : 0;
    const int left = std::max(frames_per_beat_ - b.since_beat, 0);
    const int linear = frames_per_beat_ > 0 ? left * 256 / frames_per_beat_ : 0;
    b.pulse = linear * linear / 256;
    b.kick = hit_level(since_kick_[static_cast<std::size_t>(f)]);
    b.snare = hit_level(since_snare_[static_cast<std::size_t>(f)]);
    b.section = section_of_[static_cast<std::size_t>(f)];
    return b;
}

const MusicMap& default_music()
{
    static const MusicMap map(score::default_beat_grid());
    return map;
}

}  // namespace vexl::demo
