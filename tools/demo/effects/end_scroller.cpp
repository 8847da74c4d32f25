// End scroller: the closing words roll up over a slow starfield, dimming
// towards the top and bottom edges. A line starting with '#' is a heading,
// '*' a highlight, and '@' big block letters. The speed is fitted so the
// last line is centred when the scene ends.

#include <algorithm>
#include <vector>

#include "tools/demo/big_font.h"
#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"
#include "tools/demo/starfield.h"

namespace vexl::demo {
namespace {

constexpr int big_rows = big_font_height + 1;

int rows_of(std::string_view line) { return !line.empty() && line[0] == '@' ? big_rows : 1; }

// Edge rows fade: colour for a row at screen row y.
int faded(int colour, int y)
{
    const int edge = std::min(y, screen_height - 1 - y);
    return edge < 2 ? shift_colour(colour, -2) : (edge < 5 ? shift_colour(colour, -1) : colour);
}

class EndScroller final : public Effect {
public:
    explicit EndScroller(std::span<const std::string_view> lines) : lines_(lines.begin(), lines.end()), stars_(777)
    {
        for (std::string_view l : lines_)
            total_rows_ += rows_of(l);
    }

    void render(const FrameTime& t, Canvas& out) override
    {
        stars_.step(10);
        out.fill({glyph::space, attr(light_grey, black)});
        stars_.draw(out);
        // Rows scrolled so far: the first line starts low on the screen,
        // the last one ends in the middle a bar before the scene does.
        constexpr int first_row = screen_height * 3 / 4;
        const int travel = total_rows_ + first_row - screen_height / 2;
        const int scrolled = std::min(travel, t.local * travel / std::max(1, t.length - 48));
        int y = first_row - scrolled;
        for (std::string_view line : lines_) {
            draw_line(line, y, out);
            y += rows_of(line);
            if (y >= screen_height)
                break;
        }
    }

private:
    static void draw_line(std::string_view line, int y, Canvas& out)
    {
        if (line.empty() || y + rows_of(line) <= 0)
            return;
        const char kind = line[0];
        if (kind == '@') {
            const std::string_view text = line.substr(1);
            const int x0 = (screen_width - big_text_width(text) * 2) / 2;
            for_each_big_pixel(text, [&](int gx, int gy) {
                const int row = y + gy;
                if (row < 0 || row >= screen_height)
                    return;
                const int colour = faded(gy < 3 ? white : (gy < 5 ? light_cyan : cyan), row);
                out.put(x0 + gx * 2, row, {glyph::full_block, attr(colour, black)});
                out.put(x0 + gx * 2 + 1, row, {glyph::full_block, attr(colour, black)});
            });
            return;
        }
        if (y < 0 || y >= screen_height)
            return;
        const bool heading = kind == '#', highlight = kind == '*';
        const std::string_view text = heading || highlight ? line.substr(1) : line;
        const int colour = faded(heading ? yellow : (highlight ? white : light_grey), y);
        const int x = (screen_width - static_cast<int>(text.size())) / 2;
        out.print_over(x, y, text, colour);
        if (heading) {  // underline the headings with a rule of box lines
            for (int i = 0; i < static_cast<int>(text.size()); ++i)
                if (y + 1 < screen_height)
                    out.put(x + i, y + 1, {glyph::h_single, attr(faded(brown, y + 1), black)});
        }
    }

    std::vector<std::string_view> lines_;
    Starfield stars_;
    int total_rows_ = 0;
};

}  // namespace

EffectPtr make_end_scroller(std::span<const std::string_view> lines)
{
    return std::make_unique<EndScroller>(lines);
}

}  // namespace vexl::demo
