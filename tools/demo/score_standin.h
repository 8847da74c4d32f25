#pragma once
// Temporary stand-in for the soundtrack's beat grid until the synthesizer
// lands: the same shape and section plan, simplified drums.

#include <cstdint>
#include <string_view>
#include <vector>

namespace vexl::demo::standin {

inline constexpr int score_sample_rate = 22050;
inline constexpr int samples_per_frame = 882;
inline constexpr std::int64_t samples_per_beat = 10584;
inline constexpr std::int64_t samples_per_bar = samples_per_beat * 4;
inline constexpr std::int64_t soundtrack_samples = 15567300;

enum class SectionKind : std::uint8_t { intro, build, main, breakdown, finale, outro };

struct Section {
    std::string_view name;
    SectionKind kind;
    int intensity;
    std::uint32_t layers;
    int first_bar;
    int bar_count;
    std::int64_t start_sample;
    std::int64_t end_sample;
};

struct BeatGrid {
    int sample_rate = score_sample_rate;
    std::int64_t samples_per_beat = standin::samples_per_beat;
    std::int64_t samples_per_bar = standin::samples_per_bar;
    std::int64_t total_samples = soundtrack_samples;
    std::vector<std::int64_t> beats;
    std::vector<std::int64_t> bars;
    std::vector<Section> sections;
    std::vector<std::int64_t> kicks;
    std::vector<std::int64_t> snares;
};

const BeatGrid& default_beat_grid();

}  // namespace vexl::demo::standin
