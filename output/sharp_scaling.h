#pragma once
// Where and how a low-resolution picture goes on a screen of any size:
// as large as fits with its shape kept, centred, black around it, and
// sharp. Nearest-neighbour scaling to a fractional factor (2.7 at
// 1920 x 1080 for 640 x 400) makes pixel columns and rows uneven, two or
// three screen pixels wide; linear filtering alone blurs every edge. So the
// picture is first scaled by nearest neighbour to the largest whole factor
// that fits, and only the remaining fraction is linearly filtered: every
// pixel comes out equally wide and only its edges are blended, one screen
// pixel at most. At an exact multiple nothing is filtered.

namespace vexl::platform {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct SharpScaling {
    PixelRect picture;  // where the picture goes on the screen
    int factor = 1;     // the whole-number nearest-neighbour step, at least 1
    // The picture is exactly `factor` times the source: one nearest-
    // neighbour step and no filtering.
    bool exact = true;

    // After the whole-number step, a linear one to the picture's size.
    bool filtered() const { return !exact; }
    // The whole-number step needs a picture of its own (factor > 1) before
    // the filtered one.
    bool prescaled() const { return !exact && factor > 1; }
    int prescaled_width(int source_width) const { return source_width * factor; }
    int prescaled_height(int source_height) const { return source_height * factor; }
};

// For a source of source_width x source_height on a screen of
// screen_width x screen_height (all > 0; an empty screen gets an empty
// picture).
SharpScaling sharp_scaling(int source_width, int source_height, int screen_width, int screen_height);

}  // namespace vexl::platform
