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
            if (random_.below(4) == 0)
                ember_[static_cast<std::size_t>(x)] = random_.below(3) == 0 ? 0 : 190 + random_.below(66);
            const int v = std::min(255, ember_[static_cast<std::size_t>(x)] + stoke);
            heat(x, rows - 1) = static_cast<std::uint8_t>(v);
            heat(x, rows - 2) = static_cast<std::uint8_t>(v);
        }
        // Rise and cool.
        for (int y = 0; y < rows - 2; ++y)
            for (int x = 0; x < screen_width; ++x) {
                const int sum = heat((x + screen_width - 1) % screen_width, y + 1) + heat(x, y + 1) +
                                heat((x + 1) % screen_width, y + 1) + heat(x, y + 2);
                const int cooling = 1 + (random_.next() & 3) / 2 + (y < 30 ? 1 : 0);
                heat(x, y) = static_cast<std::uint8_t>(std::max(0, sum / 4 - cooling));
            }
        stamp_word(t);
        for (int y = 0; y < pixel_height; ++y)
            for (int x = 0; x < screen_width; ++x)
                shown_.at(x, y) = heat(x, y);
        shown_.to_cells(out, *style_.ramp, 64);
    }

private:
    std::uint8_t& heat(int x, int y) { return heat_[static_cast<std::size_t>(y * screen_width + x)]; }

    void stamp_word(const FrameTime& t)
    {
        if (words_.empty())
            return;
        const int index = t.local / 48;
        if (index >= static_cast<int>(words_.size()))
            return;
        const std::string_view word = words_[static_cast<std::size_t>(index)];
        const int in_bar = t.local % 48;
        if (in_bar > 36)
            return;  // let the word burn away before the next bar
        const int width = big_text_width(word);
        const int scale = width * 3 <= screen_width ? 3 : 2;
        const int x0 = (screen_width - width * scale) / 2;
        const int y0 = 34;
        const int glow = in_bar < 24 ? 255 : 255 - (in_bar - 24) * 8;
        for_each_big_pixel(word, [&](int gx, int gy) {
            for (int sy = 0; sy < scale * 2; ++sy)  // pixels are half as tall: double the rows
                for (int sx = 0; sx < scale; ++sx) {
                    const int x = x0 + gx * scale + sx;
                    const int y = y0 + gy * scale * 2 + sy;
                    if (x >= 0 && x < screen_width && y >= 0 && y < pixel_height)
                        heat(x, y) = static_cast<std::uint8_t>(std::max<int>(heat(x, y), glow));
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
