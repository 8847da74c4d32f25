// The demo's drawing toolkit and its view of the music.

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "tools/demo/big_font.h"
#include "tools/demo/canvas.h"
#include "tools/demo/fixed_math.h"
#include "tools/demo/music.h"
#include "tools/demo/palette.h"
#include "tools/demo/transition.h"

namespace vexl::demo {
namespace {

TEST(FixedMath, SineTableHitsTheCardinalPointsAndIsOdd)
{
    EXPECT_EQ(sin_q14(0), 0);
    EXPECT_EQ(sin_q14(quarter_turn), unit);
    EXPECT_EQ(sin_q14(2 * quarter_turn), 0);
    EXPECT_EQ(sin_q14(3 * quarter_turn), -unit);
    EXPECT_NEAR(sin_q14(quarter_turn / 2), 11585, 1);  // sin 45 degrees
    EXPECT_NEAR(sin_q14(quarter_turn / 4), 6270, 1);   // sin 22.5 degrees
    for (int a = 0; a < angle_steps; ++a) {
        ASSERT_EQ(sin_q14(-a), -sin_q14(a)) << a;
        ASSERT_EQ(cos_q14(a), sin_q14(a + quarter_turn)) << a;
    }
    EXPECT_EQ(sin_q14(5 * angle_steps + 7), sin_q14(7)) << "angles wrap";
}

TEST(FixedMath, IntegerSquareRootIsTheFloor)
{
    EXPECT_EQ(isqrt(0), 0u);
    EXPECT_EQ(isqrt(1), 1u);
    EXPECT_EQ(isqrt(15), 3u);
    EXPECT_EQ(isqrt(16), 4u);
    EXPECT_EQ(isqrt(17), 4u);
    EXPECT_EQ(isqrt(4294836225ULL), 65535u);
    EXPECT_EQ(isqrt(4294836224ULL), 65534u);
    EXPECT_EQ(isqrt(1ULL << 62), 1u << 31);
}

TEST(FixedMath, AngleOfAVectorInvertsSineAndCosine)
{
    EXPECT_EQ(atan2_angle(0, 5), 0);
    EXPECT_EQ(atan2_angle(5, 0), quarter_turn);
    EXPECT_EQ(atan2_angle(0, -5), 2 * quarter_turn);
    EXPECT_EQ(atan2_angle(-5, 0), 3 * quarter_turn);
    EXPECT_EQ(atan2_angle(7, 7), quarter_turn / 2);
    EXPECT_EQ(atan2_angle(0, 0), 0);
    for (int a = 0; a < angle_steps; a += 13) {
        const int found = atan2_angle(sin_scaled(a, 5000), cos_scaled(a, 5000));
        int error = std::abs(found - a);
        error = std::min(error, angle_steps - error);
        ASSERT_LE(error, 1) << "angle " << a << " came back as " << found;
    }
}

TEST(FixedMath, ValueNoiseIsBoundedAndSmooth)
{
    for (int y = 0; y < 2000; y += 7)
        for (int x = 0; x < 2000; x += 5) {
            const int v = value_noise(x, y, 3);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, 255);
            ASSERT_LE(std::abs(value_noise(x + 1, y, 3) - v), 8) << "one 1/256 step never jumps";
        }
}

TEST(ShadeRamp, RunsFromTheFirstColourToTheLastThroughTheShades)
{
    const ShadeRamp ramp{black, red, yellow};
    EXPECT_EQ(ramp.size(), 9);
    EXPECT_EQ(ramp.cell(0), (Cell{glyph::space, attr(black, black)}));
    EXPECT_EQ(ramp.cell(255), (Cell{glyph::space, attr(yellow, yellow)}));
    EXPECT_EQ(ramp.cell(-40), ramp.cell(0)) << "clamped";
    EXPECT_EQ(ramp.cell(999), ramp.cell(255));
    EXPECT_EQ(ramp.cell_at(1), (Cell{glyph::shade_light, attr(red, black)}));
    EXPECT_EQ(ramp.cell_at(2), (Cell{glyph::shade_medium, attr(red, black)}));
    EXPECT_EQ(ramp.cell_at(3), (Cell{glyph::shade_dark, attr(red, black)}));
    EXPECT_EQ(ramp.cell_at(4), (Cell{glyph::space, attr(red, red)}));
    EXPECT_EQ(ramp.cell_at(9), ramp.cell_at(0)) << "indices wrap for cycling";
    EXPECT_EQ(ramp.colour(0), black);
    EXPECT_EQ(ramp.colour(128), red);
    EXPECT_EQ(ramp.colour(255), yellow);
}

TEST(Canvas, FrameBytesAreRowMajorCharacterThenAttribute)
{
    Canvas c;
    c.put(3, 2, {'Q', 0x4E});
    const auto bytes = c.bytes();
    EXPECT_EQ(bytes.size(), 8000u);
    EXPECT_EQ(bytes[2 * 160 + 2 * 3], 'Q');
    EXPECT_EQ(bytes[2 * 160 + 2 * 3 + 1], 0x4E);
}

TEST(Canvas, DrawingClipsAtTheEdges)
{
    Canvas c;
    c.fill({' ', 0});
    c.print(77, 49, "HELLO", 0x07);
    c.print(-2, 0, "AB", 0x07);
    c.fill_rect(78, -3, 10, 5, {'#', 0x01});
    c.box(-1, -1, 200, 200, 0x02, BoxStyle::double_line);
    EXPECT_EQ(c.at(77, 49).ch, 'H');
    EXPECT_EQ(c.at(79, 49).ch, 'L');
    EXPECT_EQ(c.at(0, 0).ch, ' ') << "\"AB\" starts two cells off screen";
    EXPECT_EQ(c.at(79, 1).ch, '#');
    Canvas framed;
    framed.box(10, 5, 4, 3, 0x1F, BoxStyle::single);
    EXPECT_EQ(framed.at(10, 5).ch, glyph::tl_single);
    EXPECT_EQ(framed.at(13, 7).ch, glyph::br_single);
    EXPECT_EQ(framed.at(11, 5).ch, glyph::h_single);
    EXPECT_EQ(framed.at(10, 6).ch, glyph::v_single);
    EXPECT_EQ(framed.at(11, 6).ch, 0) << "the inside is left alone";
}

TEST(Canvas, PrintOverKeepsTheBackground)
{
    Canvas c;
    c.fill({glyph::upper_half, attr(red, blue)});
    c.print_over(0, 0, "x", yellow);
    EXPECT_EQ(c.at(0, 0), (Cell{'x', attr(yellow, blue)}));
}

TEST(PixelCanvas, TwoPixelsMakeOneHalfBlockCell)
{
    PixelCanvas p;
    p.fill(blue);
    p.set(5, 10, yellow);  // top half of cell (5, 5)
    p.set(6, 13, red);     // bottom half of cell (6, 6)
    p.set(-1, 0, white);   // off screen: ignored
    p.set(0, 100, white);
    Canvas c;
    p.to_cells(c);
    EXPECT_EQ(c.at(5, 5), (Cell{glyph::upper_half, attr(yellow, blue)}));
    EXPECT_EQ(c.at(6, 6), (Cell{glyph::upper_half, attr(blue, red)}));
    EXPECT_EQ(c.at(0, 0), (Cell{glyph::space, attr(blue, blue)})) << "equal halves are a plain background";
}

TEST(IntensityCanvas, SmoothCellsShadeAndEdgesSplit)
{
    const ShadeRamp ramp{black, blue, white};
    IntensityCanvas in;
    in.fill(128);
    in.at(0, 0) = 0;  // a hard edge in cell (0, 0)
    in.at(0, 1) = 255;
    in.at(1, 2) = 120;  // a soft one in cell (1, 1)
    in.at(1, 3) = 136;
    Canvas c;
    in.to_cells(c, ramp);
    EXPECT_EQ(c.at(0, 0), (Cell{glyph::upper_half, attr(black, white)}));
    EXPECT_EQ(c.at(1, 1), ramp.cell(128));
    EXPECT_EQ(c.at(5, 5), ramp.cell(128));
}

TEST(BigFont, IsProportionalAndCaseInsensitive)
{
    EXPECT_EQ(big_text_width("I"), 3);
    EXPECT_EQ(big_text_width("W"), 5);
    EXPECT_EQ(big_text_width("II"), 7) << "one column between letters";
    EXPECT_EQ(big_text_width(""), 0);
    EXPECT_EQ(big_text_width("a"), big_text_width("A"));
    int pixels_lower = 0, pixels_upper = 0;
    for_each_big_pixel("hello", [&](int, int) { ++pixels_lower; });
    for_each_big_pixel("HELLO", [&](int, int) { ++pixels_upper; });
    EXPECT_EQ(pixels_lower, pixels_upper);
    // Unknown characters draw as a space; nothing is plotted outside the text.
    int outside = 0;
    for_each_big_pixel("\x01~\xC8", [&](int x, int y) { outside += x < 0 || y < 0 || y >= big_font_height; });
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(big_text_width("\x01"), big_text_width(" "));
}

// Counts the cells of `out` that came from `to` where the two differ everywhere.
int cells_from(const Canvas& out, const Canvas& to)
{
    int n = 0;
    for (int y = 0; y < Canvas::height; ++y)
        for (int x = 0; x < Canvas::width; ++x)
            n += out.at(x, y) == to.at(x, y);
    return n;
}

TEST(Transition, EveryKindRunsFromTheOldFrameToTheNew)
{
    Canvas from, to, out;
    from.fill({'a', attr(white, blue)});
    to.fill({'b', attr(yellow, red)});
    for (Transition kind : {Transition::cut, Transition::dissolve, Transition::wipe_right, Transition::wipe_down,
                            Transition::iris, Transition::blinds, Transition::slide_up, Transition::fade}) {
        SCOPED_TRACE(static_cast<int>(kind));
        blend(kind, from, to, 0, out);
        EXPECT_EQ(cells_from(out, from), 4000);
        blend(kind, from, to, 256, out);
        EXPECT_EQ(cells_from(out, to), 4000);
        if (kind == Transition::cut || kind == Transition::fade)
            continue;  // cut has no middle; fade dims both scenes on the way
        int previous = -1;
        for (int amount = 16; amount < 256; amount += 16) {
            blend(kind, from, to, amount, out);
            const int now = cells_from(out, to);
            EXPECT_GE(now, previous) << "the new scene only ever grows, at " << amount;
            previous = now;
        }
        blend(kind, from, to, 128, out);
        const int half = cells_from(out, to);
        EXPECT_GT(half, 400);
        EXPECT_LT(half, 3600);
    }
}

TEST(Transition, FadeNeverGoesAllBlack)
{
    Canvas from, to, out;
    from.fill({glyph::space, attr(white, white)});
    to.fill({glyph::space, attr(yellow, yellow)});
    for (int amount = 0; amount <= 256; amount += 8) {
        blend(Transition::fade, from, to, amount, out);
        std::set<int> colours;
        for (const Cell& c : out.cells())
            colours.insert(bg_of(c.attr));
        EXPECT_EQ(colours.count(black), 0u) << "amount " << amount;
    }
}

TEST(Transition, BrightnessShiftsFollowTheColourFamilies)
{
    Canvas c;
    c.fill({'x', attr(white, blue)});
    shift_brightness(c, -1);
    EXPECT_EQ(c.at(0, 0).attr, attr(light_grey, black));
    shift_brightness(c, 2);
    EXPECT_EQ(c.at(0, 0).attr, attr(white, light_grey));
    Canvas all;
    for (int i = 0; i < 256; ++i)
        all.cells()[static_cast<std::size_t>(i)] = {'x', static_cast<std::uint8_t>(i)};
    shift_brightness(all, -3);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(all.cells()[static_cast<std::size_t>(i)].attr, 0) << "three steps darken any colour to black: " << i;
}

TEST(MusicMap, FramesSeeTheBeatGridOfTheSoundtrack)
{
    const MusicMap& m = default_music();
    EXPECT_EQ(m.frame_count(), demo_frames);
    EXPECT_EQ(m.frames_per_beat(), 12);
    EXPECT_EQ(m.frames_per_bar(), 48);
    for (int f = 0; f < 2000; ++f) {
        const Beat b = m.at(f);
        ASSERT_EQ(m.on_beat(f), f % 12 == 0) << f;
        ASSERT_EQ(b.since_beat, f % 12);
        ASSERT_EQ(b.beat, f / 12);
        ASSERT_EQ(b.bar, f / 48);
        ASSERT_EQ(b.beat_in_bar, (f / 12) % 4);
        ASSERT_EQ(b.pulse == 256, f % 12 == 0);
    }
    // Sections tile the demo, and kicks show up where the drums play.
    int next = 0;
    for (const SectionSpan& s : m.sections()) {
        EXPECT_EQ(s.first_frame, next) << s.name;
        next = s.end_frame;
    }
    EXPECT_EQ(next, demo_frames);
    int kicks_in_intro = 0, kicks_in_theme = 0;
    for (int f = 0; f < demo_frames; ++f) {
        const Beat b = m.at(f);
        const std::string_view section = m.sections()[static_cast<std::size_t>(b.section)].name;
        kicks_in_intro += section == "intro" && b.kick == 256;
        kicks_in_theme += section == "theme" && b.kick == 256;
    }
    EXPECT_EQ(kicks_in_intro, 0) << "the intro has no drums";
    EXPECT_GE(kicks_in_theme, 32 * 4 - 8) << "four to the floor, bar fills aside";
}

}  // namespace
}  // namespace vexl::demo
