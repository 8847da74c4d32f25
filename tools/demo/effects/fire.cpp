// Fire: a heat map where every cell takes the average of the cells below
// it minus a little cooling, fed by random embers along the bottom. Words
// are stamped into the heat, one per bar, so they burn and smoke upwards.
// Kicks stoke the embers.

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "tools/demo/big_font.h"
#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int rows = pixel_height + 2;  // two hidden rows of embers

std::vector<std::string_view> split_words(std::string_view text)
{
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const auto bar = text.find('|');
        words.push_back(text.substr(0, bar));
        if (bar == std::string_view::npos)
            break;
        text.remove_prefix(bar + 1);
    }
    return words;
}

class Fire final : public Effect {
public:
    explicit Fire(const FireStyle& style) : style_(style), words_(split_words(style.words)), random_(99) {}

    void render(const FrameTime& t, Canvas& out) override
    {
        // Embers: runs of hot and cold along the two hidden rows.
        const int stoke = t.beat.kick / 4;
        for (int x = 0; x < screen_width; ++x) {
            if (random_.below(3) == 0)
                ember_[static_cast<std::size_t>(x)] = random_.below(4) == 0 ? 40 : 200 + random_.below(56);
            const int v = std::min(255, ember_[static_cast<std::size_t>(x)] + stoke);
            heat(x, rows - 1) = static_cast<std::uint8_t>(v);
            heat(x, rows - 2) = static_cast<std::uint8_t>(v);
        }
        // Rise and cool; the top cools faster so flames end in tongues.
        for (int y = 0; y < rows - 2; ++y)
            for (int x = 0; x < screen_width; ++x) {
                const int sum = heat((x + screen_width - 1) % screen_width, y + 1) + heat(x, y + 1) +
                                heat((x + 1) % screen_width, y + 1) + heat(x, y + 2);
                const int cooling = 2 + static_cast<int>(random_.next() & 3) + (y < 50 ? 1 : 0);
                heat(x, y) = static_cast<std::uint8_t>(std::max(0, sum / 4 - cooling));
            }
        const Word word = current_word(t);
        stamp_heat(word);
        for (int y = 0; y < pixel_height; ++y)
            for (int x = 0; x < screen_width; ++x)
                shown_.at(x, y) = heat(x, y);
        shown_.to_cells(out, *style_.ramp, 64);
        draw_letters(word, t, out);
    }

private:
    // The word of the current bar in cells: font pixels of `scale` cells
    // square, the top-left at cell (x0, y0).
    struct Word {
        std::string_view text;
        int scale = 0, x0 = 0, y0 = 0;
        int in_bar = 0;
    };

    Word current_word(const FrameTime& t) const
    {
        Word w;
        const int index = t.local / 48;
        if (words_.empty() || index >= static_cast<int>(words_.size()))
            return w;
        w.text = words_[static_cast<std::size_t>(index)];
        w.in_bar = t.local % 48;
        const int width = big_text_width(w.text);
        w.scale = width * 3 <= screen_width ? 3 : 2;
        w.x0 = (screen_width - width * w.scale) / 2;
        w.y0 = 14;
        return w;
    }

    std::uint8_t& heat(int x, int y) { return heat_[static_cast<std::size_t>(y * screen_width + x)]; }

    // The letters smoulder: their outline feeds flames that lick upwards.
    void stamp_heat(const Word& w)
    {
        if (w.text.empty() || w.in_bar >= 40)
            return;
        for_each_big_pixel(w.text, [&](int gx, int gy) {
            for (int sx = 0; sx < w.scale; ++sx) {
                const int x = w.x0 + gx * w.scale + sx;
                const int y = (w.y0 + gy * w.scale) * 2;  // the top edge of the font pixel, in heat rows
                if (x >= 0 && x < screen_width && y >= 0 && y < pixel_height)
                    heat(x, y) = static_cast<std::uint8_t>(std::max<int>(heat(x, y), 150 + (random_.next() & 63)));
            }
        });
    }

    // The letters themselves, solid and glowing, burning away cell by cell
    // over the last beat of their bar.
    static void draw_letters(const Word& w, const FrameTime& t, Canvas& out)
    {
        if (w.text.empty())
            return;
        constexpr std::uint8_t rows_colour[] = {white, white, yellow, yellow, yellow, light_red, light_red};
        const int burnt = std::max(0, (w.in_bar - 30) * 16);  // 0..~288 of 256
        for_each_big_pixel(w.text, [&](int gx, int gy) {
            for (int sy = 0; sy < w.scale; ++sy)
                for (int sx = 0; sx < w.scale; ++sx) {
                    const int x = w.x0 + gx * w.scale + sx, y = w.y0 + gy * w.scale + sy;
                    if (static_cast<int>(hash2(x, y, static_cast<std::uint32_t>(t.frame / 48)) & 255) < burnt)
                        continue;
                    const int colour = shift_colour(rows_colour[gy], t.beat.kick > 128 ? 1 : 0);
                    out.put(x, y, {glyph::full_block, attr(colour, black)});
                }
        });
    }

    FireStyle style_;
    std::vector<std::string_view> words_;
    Random random_;
    std::array<std::uint8_t, screen_width * rows> heat_{};
    std::array<int, screen_width> ember_{};
    IntensityCanvas shown_;
};

}  // namespace

EffectPtr make_fire(const FireStyle& style) { return std::make_unique<Fire>(style); }

}  // namespace vexl::demo
