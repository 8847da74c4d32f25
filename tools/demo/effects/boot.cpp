// Boot: the demo opens on an old PC starting up. The BIOS counts its
// memory, DOS comes up, somebody types the commands that start the demo,
// and a loader fills its progress bar until the music's lead comes in.
// The cursor blinks with the beat.

#include <algorithm>
#include <cstdio>
#include <string>

#include "tools/demo/effects/effects.h"
#include "tools/demo/fixed_math.h"

namespace vexl::demo {
namespace {

constexpr std::uint8_t text_attr = attr(light_grey, black);
constexpr std::uint8_t bright_attr = attr(white, black);

// A command typed at the prompt: when typing starts, and the words.
struct Typed {
    int start;
    std::string_view prompt;
    std::string_view command;
};
constexpr Typed commands[] = {
    {130, "C:\\>", "cd demos\\80x50"},
    {184, "C:\\DEMOS\\80X50>", "dir /w"},
    {226, "C:\\DEMOS\\80X50>", "eighty"},
};
constexpr int frames_per_key = 3;
constexpr int dos_start = 120;
constexpr int loader_start = 256;

// Characters of `text` typed `since` frames after typing began, with a
// little human unevenness.
int typed_chars(int since, std::string_view text)
{
    int chars = 0;
    int at = 0;
    while (chars < static_cast<int>(text.size())) {
        at += frames_per_key + static_cast<int>(hash32(static_cast<std::uint32_t>(chars * 31 + static_cast<int>(text.size()))) % 3) - 1;
        if (at > since)
            break;
        ++chars;
    }
    return chars;
}

class Boot final : public Effect {
public:
    void render(const FrameTime& t, Canvas& out) override
    {
        out.fill({glyph::space, text_attr});
        const bool cursor_on = t.beat.since_beat < 6;
        if (t.local < dos_start)
            bios(t.local, cursor_on, out);
        else if (t.local < loader_start)
            dos(t.local, cursor_on, out);
        else
            loader(t, out);
    }

private:
    static void bios(int f, bool cursor_on, Canvas& out)
    {
        // A little badge in the corner, in block characters.
        out.print(66, 1, "\xDC\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDC", attr(light_blue, black));
        out.print(66, 2, "\xDB 80x50 \xDB", attr(white, blue));
        out.print(66, 3, "\xDF\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDF", attr(light_blue, black));
        out.print(1, 1, "Cellware BIOS v2.03  -  text mode ready", bright_attr);
        out.print(1, 2, "Copyright (C) 1984-93, Cellware Systems Ltd.", text_attr);
        out.print(1, 4, "CPU: 486DX2 at 66 MHz", text_attr);
        int row = 5;
        if (f >= 8) {
            const int kilobytes = std::min(16384, (f - 8) * 16384 / 44);
            char line[48];
            std::snprintf(line, sizeof line, "Memory Test : %6dK%s", kilobytes, kilobytes == 16384 ? " OK" : "");
            out.print(1, row, line, text_attr);
        }
        row = 7;
        if (f >= 60)
            out.print(1, row++, "Cellware Plug and Play Extension v1.0", text_attr);
        if (f >= 68)
            out.print(1, row++, "Detecting HDD Primary Master ... DEMODISK 80x50", text_attr);
        if (f >= 76)
            out.print(1, row++, "Detecting HDD Primary Slave  ... None", text_attr);
        if (f >= 84)
            out.print(1, row++, "Detecting Sound Card         ... PC speaker, 16 voices", text_attr);
        if (f >= 96) {
            ++row;
            out.print(1, row++, "Starting DOS...", text_attr);
        }
        out.print(1, 48, "Press DEL to enter SETUP", text_attr);
        if (cursor_on)
            out.put(1, row, {'_', text_attr});
    }

    static void dos(int f, bool cursor_on, Canvas& out)
    {
        int row = 1;
        for (const Typed& c : commands) {
            if (f < c.start - 6 && &c != commands)  // the first prompt waits for its command
                break;
            const int shown = typed_chars(f - c.start, c.command);
            const std::string_view typed = c.command.substr(0, static_cast<std::size_t>(shown));
            out.print(0, row, c.prompt, text_attr);
            out.print(static_cast<int>(c.prompt.size()), row, typed, text_attr);
            const bool done = shown == static_cast<int>(c.command.size());
            const bool entered = done && &c != &commands[std::size(commands) - 1] && f >= (&c + 1)->start - 10;
            if (!entered) {
                if (cursor_on)
                    out.put(static_cast<int>(c.prompt.size() + typed.size()), row, {'_', text_attr});
                break;
            }
            row += 2;
            if (c.command.starts_with("dir")) {
                out.print(1, row++, "Volume in drive C is DEMODISK", text_attr);
                out.print(1, row++, "Directory of C:\\DEMOS\\80X50", text_attr);
                ++row;
                out.print(0, row++, "[.]            [..]           EIGHTY.EXE     LD_VEXL.D1", text_attr);
                out.print(0, row++, "LD_VEXL.D2     README.TXT     FILE_ID.DIZ", text_attr);
                out.print(8, row++, "7 file(s)     98,304,512 bytes", text_attr);
                ++row;
            }
        }
    }

    static void loader(const FrameTime& t, Canvas& out)
    {
        const int f = t.local - loader_start;
        const int span = std::max(1, t.length - loader_start - 12);
        const int percent = std::min(100, f * 100 / span);
        // Blue screen of a proper loader, with a bright-background title bar.
        out.fill({glyph::shade_light, attr(blue, black)});
        out.fill_rect(15, 17, 50, 14, {glyph::space, attr(white, blue)});
        out.box(15, 17, 50, 14, attr(light_cyan, blue), BoxStyle::double_line);
        out.fill_rect(16, 18, 48, 1, {glyph::space, attr(black, light_cyan)});
        out.print_centered(18, " EIGHTY BY FIFTY  -  loader ", attr(black, light_cyan));
        out.print(19, 21, "Unpacking 17650 frames of 80x50 cells ...", attr(white, blue));
        out.print(19, 22, "Tuning 16 colours, 256 glyphs ...", attr(light_grey, blue));
        // The bar: 40 cells, each filling through the shades.
        const int fill = percent * 40 * 4 / 100;
        for (int i = 0; i < 40; ++i) {
            const int level = std::clamp(fill - i * 4, 0, 4);
            constexpr std::uint8_t steps[] = {glyph::shade_light, glyph::shade_light, glyph::shade_medium,
                                              glyph::shade_dark, glyph::full_block};
            out.put(20 + i, 25, {steps[level], attr(level > 0 ? yellow : dark_grey, blue)});
        }
        char line[16];
        std::snprintf(line, sizeof line, "%3d%%", percent);
        out.print(38, 27, line, attr(yellow, blue));
        constexpr char spinner[] = {'|', '/', '-', '\\'};
        out.put(62, 29, {static_cast<std::uint8_t>(spinner[(t.local / 3) % 4]), attr(light_cyan, blue)});
        if (percent == 100)
            out.print_centered(29, t.beat.since_beat < 6 ? "press any key ... or don't" : "", attr(white, blue));
    }
};

}  // namespace

EffectPtr make_boot() { return std::make_unique<Boot>(); }

}  // namespace vexl::demo
