// Code rain: every column drops a bright head of random glyphs trailing a
// fading green tail. After a few bars the credits are typed into boxes over
// the rain, one box per four bars, the rain dimmed behind them.

#include <algorithm>
#include <vector>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int tail = 18;
constexpr int bars_per_credit = 4;
constexpr int rain_alone_bars = 4;

// "TITLE|line|line..." split at the bars.
std::vector<std::string_view> split(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find('|');
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

class CodeRain final : public Effect {
public:
    explicit CodeRain(std::span<const std::string_view> credits) : credits_(credits.begin(), credits.end()) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        const int bar = time / 48;
        const bool credits_on = bar >= rain_alone_bars && !credits_.empty();
        out.fill({glyph::space, attr(green, black)});
        for (int x = 0; x < screen_width; ++x) {
            const std::uint32_t h = hash32(static_cast<std::uint32_t>(x) * 7919u);
            const int speed = 2 + static_cast<int>(h % 5);  // quarter cells per frame
            const int cycle = screen_height + tail + static_cast<int>(h >> 8) % 30;
            const int head = static_cast<int>((h >> 16) % static_cast<std::uint32_t>(cycle)) + time * speed / 4;
            const int y_head = head % cycle;
            for (int i = 0; i < tail; ++i) {
                const int y = y_head - i;
                if (y < 0 || y >= screen_height)
                    continue;
                // Glyphs flicker now and then, each cell on its own clock.
                const std::uint32_t g = hash2(x, y, static_cast<std::uint32_t>((time + static_cast<int>(hash2(x, y) % 16)) / 16));
                const auto ch = static_cast<std::uint8_t>(33 + g % 222);
                int colour = i == 0 ? white : (i < 3 ? light_green : (i < tail * 2 / 3 ? green : dark_grey));
                if (credits_on && colour != white)
                    colour = i < 3 ? green : dark_grey;
                if (i == 0 && t.beat.kick > 128)
                    colour = light_green;
                out.at(x, y) = {ch, attr(colour, black)};
            }
        }
        if (credits_on)
            draw_credit(t, bar - rain_alone_bars, out);
    }

private:
    void draw_credit(const FrameTime& t, int credit_bar, Canvas& out) const
    {
        const int index = std::min(credit_bar / bars_per_credit, static_cast<int>(credits_.size()) - 1);
        const std::vector<std::string_view> lines = split(credits_[static_cast<std::size_t>(index)]);
        const int since = t.local - (rain_alone_bars + index * bars_per_credit) * 48;
        int width = 24;
        for (std::string_view l : lines)
            width = std::max(width, static_cast<int>(l.size()) + 8);
        const int height = static_cast<int>(lines.size()) + 4;
        const int x0 = (screen_width - width) / 2, y0 = (screen_height - height) / 2;
        // The box opens from the middle line over the first beat.
        const int open = std::min(height, 2 + since / 2);
        const int top = y0 + (height - open) / 2;
        out.fill_rect(x0, top, width, open, {glyph::space, attr(light_green, black)});
        out.box(x0, top, width, open, attr(light_green, black), BoxStyle::double_line);
        if (open < height)
            return;
        // Title on the top border, in reverse video; lines typed after it.
        const std::string_view title = lines.front();
        out.print(x0 + 2, y0, " ", attr(black, light_green));
        out.print(x0 + 3, y0, title, attr(black, light_green));
        out.print(x0 + 3 + static_cast<int>(title.size()), y0, " ", attr(black, light_green));
        int budget = (since - 8) / 2;
        for (std::size_t i = 1; i < lines.size() && budget > 0; ++i) {
            const int n = std::min(budget, static_cast<int>(lines[i].size()));
            out.print(x0 + 4, y0 + 1 + static_cast<int>(i), lines[i].substr(0, static_cast<std::size_t>(n)),
                      attr(i == 1 ? white : light_grey, black));
            budget -= n;
            if (n < static_cast<int>(lines[i].size()) && t.beat.since_beat < 6)
                out.put(x0 + 4 + n, y0 + 1 + static_cast<int>(i), {glyph::full_block, attr(light_green, black)});
        }
    }

    std::vector<std::string_view> credits_;
};

}  // namespace

EffectPtr make_code_rain(std::span<const std::string_view> credits) { return std::make_unique<CodeRain>(credits); }

}  // namespace vexl::demo
