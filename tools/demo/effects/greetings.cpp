// Greetings: a corridor of box-drawn frames rushes towards the viewer while
// the groups we greet appear one per bar on a panel in the middle, their
// letters spinning through the character set before they settle.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int frames_depth = 4096;
constexpr int frame_count = 10;
constexpr std::uint8_t ring_backgrounds[] = {blue, black, magenta, black};

class Greetings final : public Effect {
public:
    explicit Greetings(std::span<const std::string_view> names) : names_(names.begin(), names.end()) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        travel_ += 40 + t.beat.kick / 4;
        out.fill({glyph::space, attr(white, black)});
        // Frames from near to far, each filled, so the far ones nest inside.
        const int sway_x = sin_scaled(time * 8, 6), sway_y = cos_scaled(time * 6, 4);
        constexpr int spacing = frames_depth / frame_count;
        for (int k = (travel_ + 200) / spacing + 1;; ++k) {
            const int z = k * spacing - travel_;  // frame k keeps its identity as it nears
            if (z > frames_depth)
                break;
            const int hw = 40 * 900 / z, hh = 25 * 900 / z;
            const int cx = 40 + sway_x * 600 / z, cy = 25 + sway_y * 600 / z;
            const int bg = ring_backgrounds[static_cast<std::size_t>(k % 4)];
            const int near = z < 900 ? white : (z < 1800 ? light_cyan : (z < 2800 ? cyan : dark_grey));
            out.fill_rect(cx - hw, cy - hh, 2 * hw, 2 * hh, {glyph::space, attr(near, bg)});
            out.box(cx - hw, cy - hh, 2 * hw, 2 * hh, attr(near, bg), z < 1400 ? BoxStyle::double_line : BoxStyle::single);
        }
        draw_panel(t, out);
    }

private:
    void draw_panel(const FrameTime& t, Canvas& out) const
    {
        if (names_.empty())
            return;
        const int index = std::min(t.local / 48, static_cast<int>(names_.size()) - 1);
        const std::string_view name = names_[static_cast<std::size_t>(index)];
        const int in_bar = t.local % 48;
        const int w = std::max(static_cast<int>(name.size()) * 2 + 8, 30);
        const int x0 = (screen_width - w) / 2;
        // A bright-background panel with a shadow.
        out.fill_rect(x0 + 2, 22, w, 7, {glyph::shade_medium, attr(black, dark_grey)});
        out.fill_rect(x0, 21, w, 7, {glyph::space, attr(black, light_grey)});
        out.box(x0, 21, w, 7, attr(white, light_grey), BoxStyle::double_line);
        out.print_centered(22, "greetings to", attr(blue, light_grey));
        // Letters spaced out, settling left to right; unsettled ones spin.
        std::string shown;
        for (std::size_t i = 0; i < name.size(); ++i) {
            char c = name[i];
            if (in_bar < static_cast<int>(i) * 2 && c != ' ')
                c = static_cast<char>('A' + hash32(static_cast<std::uint32_t>(t.frame * 37 + static_cast<int>(i))) % 26);
            shown += c;
            if (i + 1 < name.size())
                shown += ' ';
        }
        out.print_centered(24, shown, attr(in_bar < 6 ? white : black, light_grey));
        const std::uint8_t heart_colour = t.beat.pulse > 128 ? light_red : red;
        out.put(x0 + 2, 24, {glyph::heart, attr(heart_colour, light_grey)});
        out.put(x0 + w - 3, 24, {glyph::heart, attr(heart_colour, light_grey)});
        char counter[24];
        std::snprintf(counter, sizeof counter, "%02d/%02d", index + 1, static_cast<int>(names_.size()));
        out.print(x0 + w - 7, 26, counter, attr(dark_grey, light_grey));
    }

    std::vector<std::string_view> names_;
    int travel_ = 0;
};

}  // namespace

EffectPtr make_greetings(std::span<const std::string_view> names) { return std::make_unique<Greetings>(names); }

}  // namespace vexl::demo
