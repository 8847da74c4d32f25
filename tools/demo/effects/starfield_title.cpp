// Starfield, optionally with the title: the big "80x50" logo builds up out
// of the shade characters one step per beat, the name is typed below it,
// and once the drums come in the logo bounces on the kicks and shakes with
// the snare roll that leads into the first drop.

#include <algorithm>

#include "tools/demo/big_font.h"
#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"
#include "tools/demo/starfield.h"

namespace vexl::demo {
namespace {

constexpr std::string_view logo_text = "80x50";
constexpr std::string_view name_line = "E I G H T Y   B Y   F I F T Y";
constexpr std::string_view credit_line = "a text-mode demo by the vexlade team";
constexpr std::uint8_t reveal_steps[] = {glyph::shade_light, glyph::shade_medium, glyph::shade_dark,
                                         glyph::full_block};
// Chrome: bright on top, deep blue at the bottom, two cells per font row.
constexpr std::uint8_t logo_rows[] = {white, white, light_cyan, light_cyan, light_cyan, cyan, cyan,
                                      light_blue, light_blue, light_blue, blue, blue, blue, blue};

class StarfieldTitle final : public Effect {
public:
    explicit StarfieldTitle(const StarfieldStyle& style) : style_(style), stars_(1234) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int speed = mix(style_.speed, style_.speed_end, t.progress()) + t.beat.kick / 16;
        stars_.step(speed);
        out.fill({glyph::space, attr(light_grey, black)});
        stars_.draw(out, style_.streaks || speed > 60 ? speed * 3 : 0);
        if (style_.title)
            draw_title(t, out);
    }

private:
    void draw_title(const FrameTime& t, Canvas& out) const
    {
        const int bar_frames = 48;
        const int bar = t.local / bar_frames;
        const int beats = style_.reveal ? t.local / 12 : 1000;
        const int width = big_text_width(logo_text) * 2;
        int x0 = (screen_width - width) / 2;
        int y0 = 9 - t.beat.kick / 90;  // bounce on the kicks
        const int bars_left = (t.length - t.local + bar_frames - 1) / bar_frames;
        if (bars_left <= 2 && t.beat.snare > 0)  // the roll shakes it
            x0 += static_cast<int>(hash32(static_cast<std::uint32_t>(t.frame)) % 3) - 1;
        const int glow = t.beat.snare > 128 && bars_left <= 2 ? 1 : 0;
        // Shadow first, then the letters over it.
        for_each_big_pixel(logo_text, [&](int gx, int gy) {
            const int level = std::clamp(beats * 2 - (gx + gy * 2 + static_cast<int>(hash2(gx, gy) % 6)) / 2, 0, 4);
            if (level < 4)
                return;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    out.put(x0 + 2 * gx + dx + 1, y0 + 2 * gy + dy + 1, {glyph::shade_medium, attr(dark_grey, black)});
        });
        for_each_big_pixel(logo_text, [&](int gx, int gy) {
            const int level = std::clamp(beats * 2 - (gx + gy * 2 + static_cast<int>(hash2(gx, gy) % 6)) / 2, 0, 4);
            if (level == 0)
                return;
            for (int dy = 0; dy < 2; ++dy) {
                const int row = 2 * gy + dy;
                for (int dx = 0; dx < 2; ++dx) {
                    const int x = 2 * gx + dx;
                    // A glint sweeps across the letters from every bar line.
                    const int band = x + row * 2 - (t.beat.since_bar * 7 - 12);
                    const int shine = band >= 0 && band < 4 ? 2 : 0;
                    const int colour = shift_colour(logo_rows[row], glow + shine);
                    out.put(x0 + x, y0 + row, {reveal_steps[level - 1], attr(colour, level == 4 ? colour : black)});
                }
            }
        });
        // The name is typed from the fourth bar, the credit after it.
        const int typed = style_.reveal ? std::max(0, (t.local - 4 * bar_frames) / 3) : 1000;
        const int name_len = std::min<int>(typed, static_cast<int>(name_line.size()));
        out.print((screen_width - static_cast<int>(name_line.size())) / 2, y0 + 17, name_line.substr(0, static_cast<std::size_t>(name_len)),
                  attr(yellow, black));
        if (bar >= 6 || !style_.reveal) {
            const int fade = style_.reveal ? std::min(3, (t.local - 6 * bar_frames) / 12) : 3;
            constexpr std::uint8_t fade_in[] = {dark_grey, dark_grey, light_grey, white};
            out.print((screen_width - static_cast<int>(credit_line.size())) / 2, y0 + 20, credit_line,
                      attr(fade_in[fade], black));
        }
    }

    StarfieldStyle style_;
    Starfield stars_;
};

}  // namespace

EffectPtr make_starfield(const StarfieldStyle& style) { return std::make_unique<StarfieldTitle>(style); }

}  // namespace vexl::demo
