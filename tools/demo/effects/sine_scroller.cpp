// Sine scroller: big letters in half-block pixels scroll across the screen,
// every pixel column riding its own point of a sine wave, over copper bars
// that swing up and down. The scroll speed is fitted so the whole text
// passes within the scene; kicks make the wave jump.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "tools/demo/big_font.h"
#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr int x_scale = 2;
constexpr int y_scale = 3;
constexpr int text_height = big_font_height * y_scale;

// Colour profiles of the copper bars, top to bottom.
constexpr std::array<std::array<std::uint8_t, 7>, 4> coppers{{
    {blue, light_blue, light_cyan, white, light_cyan, light_blue, blue},
    {red, light_red, yellow, white, yellow, light_red, red},
    {magenta, light_magenta, light_magenta, white, light_magenta, light_magenta, magenta},
    {green, light_green, light_green, white, light_green, light_green, green},
}};
// The letters: a gold gradient, row by row.
constexpr std::array<std::uint8_t, text_height> letter_rows{
    white,  white,  yellow, white,  yellow, yellow, yellow, yellow, yellow,    brown, yellow,
    yellow, yellow, yellow, light_red, yellow, light_red, light_red, red, light_red, red};

class SineScroller final : public Effect {
public:
    explicit SineScroller(std::string_view text) : text_(text)
    {
        // Rasterise the text once: one column of bits per pixel column.
        columns_.assign(static_cast<std::size_t>(big_text_width(text_) * x_scale), 0);
        for_each_big_pixel(text_, [&](int gx, int gy) {
            for (int sx = 0; sx < x_scale; ++sx)
                for (int sy = 0; sy < y_scale; ++sy)
                    columns_[static_cast<std::size_t>(gx * x_scale + sx)] |= 1u << (gy * y_scale + sy);
        });
    }

    void render(const FrameTime& t, Canvas& out) override
    {
        const int time = t.local;
        // Background: a dark sky with the copper bars over it.
        for (int y = 0; y < pixel_height; ++y)
            for (int x = 0; x < screen_width; ++x)
                pixels_.at(x, y) = (y + (x >> 3)) % 4 == 0 && y > 80 ? blue : black;
        for (int i = 0; i < static_cast<int>(coppers.size()); ++i) {
            const int centre = pixel_height / 2 + sin_scaled(time * 21 + i * 700, 38);
            const auto& bar = coppers[static_cast<std::size_t>(i)];
            for (int r = 0; r < static_cast<int>(bar.size()); ++r)
                pixels_.fill_rect(0, centre - 3 + r, screen_width, 1, bar[static_cast<std::size_t>(r)]);
        }
        // The text: fitted speed in 1/256 pixel per frame.
        const int travel = static_cast<int>(columns_.size()) + screen_width;
        const int speed = std::clamp(travel * 256 / std::max(1, t.length), 256, 3 * 256);
        const int scroll = time * speed / 256 - screen_width;
        const int amplitude = 24 + t.beat.kick / 24;
        for (int x = 0; x < screen_width; ++x) {
            const int column = scroll + x;
            if (column < 0 || column >= static_cast<int>(columns_.size()))
                continue;
            const std::uint32_t bits = columns_[static_cast<std::size_t>(column)];
            const int top = pixel_height / 2 - text_height / 2 + sin_scaled(x * 16 + time * 45, amplitude);
            for (int r = 0; r < text_height; ++r)
                if ((bits >> r & 1u) != 0) {
                    pixels_.set(x + 1, top + r + 1, black);  // drop shadow
                }
            for (int r = 0; r < text_height; ++r)
                if ((bits >> r & 1u) != 0)
                    pixels_.set(x, top + r, letter_rows[static_cast<std::size_t>(r)]);
        }
        pixels_.to_cells(out);
        // A marquee of small characters top and bottom.
        const std::string_view ticker = " \x04 80x50 \x04 sixteen colours \x04 two hundred and fifty-six glyphs \x04 no pixels were harmed";
        const int n = static_cast<int>(ticker.size());
        for (int x = 0; x < screen_width; ++x) {
            const auto ch = static_cast<std::uint8_t>(ticker[static_cast<std::size_t>((x + time / 2) % n)]);
            out.at(x, 0) = {ch, attr(cyan, black)};
            out.at(x, screen_height - 1) = {ch, attr(cyan, black)};
        }
    }

private:
    std::string text_;
    std::vector<std::uint32_t> columns_;
    PixelCanvas pixels_;
};

}  // namespace

EffectPtr make_sine_scroller(std::string_view text) { return std::make_unique<SineScroller>(text); }

}  // namespace vexl::demo
