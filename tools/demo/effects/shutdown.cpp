// Shutdown: the demo exits to the DOS prompt, prints its goodbye, the
// cursor blinks with the beat, and as the music fades the old monitor is
// switched off: the picture squashes into a line, the line into a dot.

#include <algorithm>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr std::uint8_t text_attr = attr(light_grey, black);
constexpr std::string_view goodbye[] = {
    "C:\\DEMOS\\80X50>eighty",
    "",
    "EIGHTY BY FIFTY  -  a text-mode demo by the vexlade team",
    "17650 frames of 80x50 cells, 16 colours, 706 seconds.",
    "Greetings to everybody who still dreams in code page 437.",
    "",
    "Thanks for watching!",
    "",
};
constexpr std::string_view prompt = "C:\\DEMOS\\80X50>";
constexpr int frames_per_line = 6;
constexpr int switch_off_frames = 75;

class Shutdown final : public Effect {
public:
    void render(const FrameTime& t, Canvas& out) override
    {
        screen_.fill({glyph::space, text_attr});
        const int lines = std::min<int>(t.local / frames_per_line + 1, static_cast<int>(std::size(goodbye)));
        for (int i = 0; i < lines; ++i)
            screen_.print(0, i, goodbye[i], i == 2 ? attr(white, black) : text_attr);
        if (lines == static_cast<int>(std::size(goodbye))) {
            screen_.print(0, lines, prompt, text_attr);
            if (t.beat.since_beat < 6)
                screen_.put(static_cast<int>(prompt.size()), lines, {'_', text_attr});
        }
        const int off_from = t.length - switch_off_frames;
        if (t.local < off_from) {
            out = screen_;
            return;
        }
        switch_off(std::min(t.local - off_from, switch_off_frames - 1), t.beat.since_beat < 6, out);
    }

private:
    // Squash over the first half, then a line shrinking to a dot.
    void switch_off(int f, bool on_beat_half, Canvas& out) const
    {
        out.fill({glyph::space, attr(white, black)});
        constexpr int squash = 20;
        if (f < squash) {
            const int height = std::max(1, screen_height * (squash - f) / squash);
            const int top = (screen_height - height) / 2;
            for (int y = 0; y < height; ++y) {
                const int src = y * screen_height / height;
                for (int x = 0; x < screen_width; ++x) {
                    Cell c = screen_.at(x, src);
                    c.attr = attr(brighter_colour[fg_of(c.attr)], bg_of(c.attr));  // the beam flares
                    out.at(x, top + y) = c;
                }
            }
            return;
        }
        constexpr int shrink = 25;
        const int cy = screen_height / 2;
        if (f < squash + shrink) {
            const int half = std::max(1, (screen_width / 2) * (squash + shrink - f) / shrink);
            for (int x = screen_width / 2 - half; x < screen_width / 2 + half; ++x)
                out.put(x, cy, {glyph::h_single, attr(white, black)});
            return;
        }
        // The dot, shrinking and flickering with the last beats.
        const int left = switch_off_frames - f;
        const std::uint8_t dot = left > 20 ? glyph::small_square : glyph::bullet_operator;
        out.put(screen_width / 2, cy, {dot, attr(on_beat_half ? white : dark_grey, black)});
    }

    Canvas screen_;
};

}  // namespace

EffectPtr make_shutdown() { return std::make_unique<Shutdown>(); }

}  // namespace vexl::demo
