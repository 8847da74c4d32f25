#pragma once
// The frame a site shows before Play. Unless one is asked for, a still and
// colourful one from the demo's first quarter, where a title usually
// stands: of the frames a second apart, one that stays mostly the same for
// the next second, with the most colours, then the most cells drawn; the
// first frame when none stays still.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "core/frame_geometry.h"

namespace vexl::site {

class PosterChooser {
public:
    // For a demo of `frames` frames; `asked` picks the frame outright.
    PosterChooser(std::int64_t frames, std::optional<std::int64_t> asked);

    // Frame `index` as shown, handed over in order.
    void look(std::int64_t index, std::span<const std::uint8_t, frame_bytes> frame);

    std::int64_t frame() const { return chosen_; }
    std::span<const std::uint8_t, frame_bytes> picture() const { return chosen_picture_; }

private:
    struct Score {
        int colours = -1;
        int cells = 0;
        bool operator>(const Score& other) const
        {
            return colours != other.colours ? colours > other.colours : cells > other.cells;
        }
    };
    static Score score(std::span<const std::uint8_t, frame_bytes> frame);

    std::optional<std::int64_t> asked_;
    std::int64_t last_looked_ = 0;  // frames after it are not looked at
    std::int64_t chosen_ = 0;
    Score best_;
    std::int64_t candidate_ = -1;  // the frame a second back, waiting to be compared
    std::array<std::uint8_t, frame_bytes> candidate_picture_{};
    std::array<std::uint8_t, frame_bytes> chosen_picture_{};
};

}  // namespace vexl::site
