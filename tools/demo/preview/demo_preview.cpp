// Developer tool: looks at single frames of the demo without packing the
// whole thing.
//
//   demo_preview ansi FRAME          the frame in 24-bit ANSI colour, UTF-8
//   demo_preview raw FIRST COUNT [STEP]   raw 8000-byte frames on stdout
//   demo_preview scenes              the timeline, one scene a line

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/cp437.h"
#include "core/palette16.h"
#include "tools/demo/generator.h"

namespace {

using vexl::demo::Canvas;
using vexl::demo::DemoGenerator;

void print_ansi(const Canvas& canvas)
{
    for (int y = 0; y < Canvas::height; ++y) {
        for (int x = 0; x < Canvas::width; ++x) {
            const auto& c = canvas.at(x, y);
            const std::uint32_t fg = vexl::Palette16[c.attr & 15], bg = vexl::Palette16[c.attr >> 4];
            std::printf("\x1b[38;2;%u;%u;%um\x1b[48;2;%u;%u;%um", fg >> 16, (fg >> 8) & 255, fg & 255, bg >> 16,
                        (bg >> 8) & 255, bg & 255);
            const std::string_view glyph = vexl::cp437_utf8[c.ch].view();
            std::fwrite(glyph.data(), 1, glyph.size(), stdout);
        }
        std::printf("\x1b[0m\n");
    }
}

int number(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 10)); }

}  // namespace

int main(int argc, char** argv)
{
    const std::string_view mode = argc > 1 ? argv[1] : "";
    DemoGenerator generator;
    Canvas canvas;
    if (mode == "ansi" && argc == 3) {
        generator.render(number(argv[2]), canvas);
        print_ansi(canvas);
        return 0;
    }
    if (mode == "raw" && (argc == 4 || argc == 5)) {
        const int first = number(argv[2]), count = number(argv[3]);
        const int step = argc == 5 ? number(argv[4]) : 1;
        for (int i = 0; i < count; ++i) {
            generator.render(first + i * step, canvas);
            std::fwrite(canvas.bytes().data(), 1, canvas.bytes().size(), stdout);
        }
        return 0;
    }
    if (mode == "scenes") {
        for (const auto& s : generator.scenes())
            std::printf("%6d %6d  %7.2fs  %.*s\n", s.start, s.end, s.start / 25.0, static_cast<int>(s.name.size()),
                        s.name.data());
        return 0;
    }
    std::fprintf(stderr, "usage: demo_preview ansi FRAME | raw FIRST COUNT [STEP] | scenes\n");
    return 2;
}
