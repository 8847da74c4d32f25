#include "tools/site/poster.h"

#include <algorithm>

#include "player/launcher.h"

namespace vexl::site {
namespace {

constexpr std::int64_t step = frames_per_second;  // a second apart
constexpr int still_share_percent = 90;           // of the cells the same a second later

}  // namespace

PosterChooser::PosterChooser(std::int64_t frames, std::optional<std::int64_t> asked)
    : asked_(asked), last_looked_(asked ? *asked : std::max<std::int64_t>(frames / 4, 0)), chosen_(asked.value_or(0))
{
}

PosterChooser::Score PosterChooser::score(std::span<const std::uint8_t, frame_bytes> frame)
{
    bool used[16] = {};
    Score s{0, 0};
    for (std::size_t at = 0; at < frame_bytes; at += 2) {
        const std::uint8_t character = frame[at];
        const std::uint8_t attribute = frame[at + 1];
        const bool blank = character == 0 || character == ' ' || character == 0xFF;
        const int background = attribute >> 4;
        if (blank && background == 0)
            continue;
        ++s.cells;
        used[background] = true;
        if (!blank)
            used[attribute & 15] = true;
    }
    s.colours = static_cast<int>(std::count(std::begin(used), std::end(used), true));
    return s;
}

void PosterChooser::look(std::int64_t index, std::span<const std::uint8_t, frame_bytes> frame)
{
    if (index == chosen_ && (asked_ || index == 0))
        std::copy(frame.begin(), frame.end(), chosen_picture_.begin());
    if (asked_ || index % step != 0 || index > last_looked_ + step)
        return;
    if (candidate_ >= 0) {
        int same = 0;
        for (std::size_t at = 0; at < frame_bytes; at += 2)
            same += frame[at] == candidate_picture_[at] && frame[at + 1] == candidate_picture_[at + 1] ? 1 : 0;
        if (same * 100 >= static_cast<int>(frame_bytes / 2) * still_share_percent) {
            const Score s = score(candidate_picture_);
            if (s > best_) {
                best_ = s;
                chosen_ = candidate_;
                chosen_picture_ = candidate_picture_;
            }
        }
    }
    candidate_ = index;
    std::copy(frame.begin(), frame.end(), candidate_picture_.begin());
}

}  // namespace vexl::site
