#include "term/frame_painter.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <random>

#include "core/cp437.h"
#include "tests/support/vt_screen.h"

namespace vexl::term {
namespace {

using testing::VtColor;
using testing::VtScreen;

TEST(Cp437, HighHalfMatchesTheSystemCodePageTable)
{
    iconv_t cd = iconv_open("UTF-8", "CP437");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int code = 0x80; code < 0x100; ++code) {
        char in[1] = {static_cast<char>(code)};
        char out[8] = {};
        char* in_ptr = in;
        char* out_ptr = out;
        std::size_t in_left = 1, out_left = sizeof out;
        ASSERT_NE(iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left), static_cast<std::size_t>(-1));
        EXPECT_EQ(std::string(out, sizeof out - out_left), std::string(cp437_utf8[code].view()))
            << "code 0x" << std::hex << code;
    }
    iconv_close(cd);
}

TEST(Cp437, ControlCodesShowTheirPicturesAndNulIsBlank)
{
    EXPECT_EQ(cp437_unicode[0x00], U' ');
    EXPECT_EQ(cp437_unicode[0x01], U'\u263A');  // smiling face
    EXPECT_EQ(cp437_unicode[0x0A], U'\u25D9');  // inverse circle, not a line feed
    EXPECT_EQ(cp437_unicode[0x1B], U'\u2190');  // arrow, not an escape
    EXPECT_EQ(cp437_unicode[0x1E], U'\u25B2');
    EXPECT_EQ(cp437_unicode[0x1F], U'\u25BC');
    EXPECT_EQ(cp437_unicode[0x7F], U'\u2302');  // house
    EXPECT_EQ(cp437_unicode['A'], U'A');
    for (const Utf8Glyph& g : cp437_utf8)
        for (int i = 0; i < g.length; ++i)
            EXPECT_GE(static_cast<unsigned char>(g.bytes[i]), 0x20) << "no control byte reaches the terminal";
}

TEST(Colors, ModeFollowsColortermThenTerm)
{
    EXPECT_EQ(detect_color_mode("truecolor", "xterm"), ColorMode::truecolor);
    EXPECT_EQ(detect_color_mode("24bit", nullptr), ColorMode::truecolor);
    EXPECT_EQ(detect_color_mode(nullptr, "xterm-256color"), ColorMode::palette256);
    EXPECT_EQ(detect_color_mode("", "tmux-256color"), ColorMode::palette256);
    EXPECT_EQ(detect_color_mode(nullptr, "xterm"), ColorMode::ansi16);
    EXPECT_EQ(detect_color_mode(nullptr, nullptr), ColorMode::ansi16);
}

TEST(Colors, PaletteIsTheVgaOneAnd256ColoursAvoidTheThemedSixteen)
{
    EXPECT_EQ(vga_palette[6].r, 0xAA);
    EXPECT_EQ(vga_palette[6].g, 0x55);  // brown, not dark yellow
    EXPECT_EQ(vga_palette[6].b, 0x00);
    EXPECT_EQ(vga_palette[8].r, 0x55);
    for (std::uint8_t index : vga_xterm256)
        EXPECT_GE(index, 16);
    EXPECT_EQ(vga_xterm256[0], 16);   // black
    EXPECT_EQ(vga_xterm256[15], 231); // white
    EXPECT_EQ(vga_xterm256[6], 130);  // brown: cube 175,95,0
    EXPECT_EQ(vga_to_ansi(1), 4);     // attribute blue is ANSI blue
    EXPECT_EQ(vga_to_ansi(4), 1);
    EXPECT_EQ(vga_to_ansi(6), 3);
}

// Paints frames through the painter into a simulated terminal and checks
// the terminal ends up showing exactly the frame: the cells go out colour
// by colour, not in screen order, with erases and written-over gaps, and
// none of that may show.
class PainterRoundTrip : public ::testing::TestWithParam<ColorMode> {};

VtColor expected_color(ColorMode mode, int index)
{
    switch (mode) {
    case ColorMode::truecolor: {
        const Rgb c = vga_palette[index];
        return {VtColor::rgb, c.r << 16 | c.g << 8 | c.b};
    }
    case ColorMode::palette256:
        return {VtColor::index256, vga_xterm256[index]};
    case ColorMode::ansi16:
        return {VtColor::ansi, (index & 8) | vga_to_ansi(index & 7)};
    }
    return {};
}

using Frame = std::vector<std::uint16_t>;  // 80x50 cells, attr << 8 | ch

// Paints `frame` and checks every cell the terminal shows.
void paint_and_check(FramePainter& painter, VtScreen& vt, const Frame& frame, int round)
{
    std::string out;
    painter.begin(out);
    for (int i = 0; i < 4000; ++i)
        painter.put(i / 80, i % 80, static_cast<std::uint8_t>(frame[i]), static_cast<std::uint8_t>(frame[i] >> 8));
    if (!painter.end())
        return;
    EXPECT_EQ(out.rfind("\x1b[?2026h", 0), 0u) << "frame starts with the sync mark";
    EXPECT_TRUE(out.ends_with("\x1b[?2026l"));
    vt.feed(out);
    ASSERT_FALSE(vt.bad_sequence) << "only positions, erases, colours and text are sent";
    ASSERT_FALSE(vt.wrote_outside);
    for (int i = 0; i < 4000; ++i) {
        const auto ch = static_cast<std::uint8_t>(frame[i]);
        const auto attr = static_cast<std::uint8_t>(frame[i] >> 8);
        const testing::VtCell& shown = vt.at(i / 80, i % 80);
        ASSERT_EQ(shown.ch, cp437_unicode[ch]) << "round " << round << " cell " << i;
        // Blanks show no foreground, full blocks no background.
        if (ch != 0x00 && ch != 0x20 && ch != 0xFF) {
            ASSERT_EQ(shown.fg, expected_color(painter.mode(), attr & 15)) << "round " << round << " cell " << i;
        }
        if (ch != 0xDB) {
            ASSERT_EQ(shown.bg, expected_color(painter.mode(), attr >> 4)) << "round " << round << " cell " << i;
        }
    }
}

TEST_P(PainterRoundTrip, RandomCellsShowExactly)
{
    FramePainter painter(GetParam());
    painter.set_screen_size(50, 80);
    VtScreen vt(50, 80);
    std::mt19937 random(7);
    Frame frame(4000);
    for (auto& cell : frame)
        cell = static_cast<std::uint16_t>(random());
    for (int round = 0; round < 6; ++round) {
        if (round > 0) {  // change a few cells, as consecutive frames do
            for (int k = 0; k < 300; ++k)
                frame[random() % 4000] = static_cast<std::uint16_t>(random());
        }
        ASSERT_NO_FATAL_FAILURE(paint_and_check(painter, vt, frame, round));
    }
}

// Frames as demos draw them: bands of a few colour pairs in shades and
// blocks, blank areas, text, a scroller; each frame repaints some areas
// (blank ones too) and moves some rows. The terminal is wider and taller
// than the frame, so that erases must stop at the frame's edge.
TEST_P(PainterRoundTrip, DemoLikeFramesShowExactly)
{
    constexpr std::uint8_t glyphs[] = {0xB0, 0xB1, 0xB2, 0xDB, 0x20, 0x00, 0xFF, 'a', 'Z', 0xDC, 0x01};
    for (unsigned seed = 1; seed <= 3; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        std::uint8_t attrs[5];
        for (auto& a : attrs)
            a = static_cast<std::uint8_t>(random());
        auto fill = [&](Frame& f, int row, int col, int length) {
            const auto cell = static_cast<std::uint16_t>(attrs[pick(5)] << 8 | glyphs[pick(11)]);
            for (int c = col; c < std::min(col + length, 80); ++c)
                f[static_cast<std::size_t>(row * 80 + c)] = cell;
        };
        Frame frame(4000);
        for (int row = 0; row < 50; ++row)
            for (int col = 0; col < 80; col += 1 + pick(12))
                fill(frame, row, col, 1 + pick(12));
        FramePainter painter(GetParam());
        painter.set_screen_size(52, 90);
        VtScreen vt(52, 90);
        for (int round = 0; round < 12; ++round) {
            for (int k = 0; k < 6; ++k) {  // areas drawn anew
                const int top = pick(50), left = pick(80), height = 1 + pick(8);
                for (int row = top; row < std::min(top + height, 50); ++row)
                    fill(frame, row, left, 1 + pick(40));
            }
            for (int k = 0; k < 40; ++k)  // a sparkle here and there
                fill(frame, pick(50), pick(80), 1);
            const int scrolled = pick(50);  // a scroller moves one cell left
            std::rotate(frame.begin() + scrolled * 80, frame.begin() + scrolled * 80 + 1,
                        frame.begin() + scrolled * 80 + 80);
            ASSERT_NO_FATAL_FAILURE(paint_and_check(painter, vt, frame, round)) << "seed " << seed;
            for (int row = 0; row < 52; ++row)
                for (int col = row < 50 ? 80 : 0; col < 90; ++col)
                    ASSERT_EQ(vt.at(row, col), testing::VtCell{}) << "nothing beside the frame";
        }
        EXPECT_GT(vt.erases, 0) << "blank runs were erased, not written";
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, PainterRoundTrip,
                         ::testing::Values(ColorMode::truecolor, ColorMode::palette256,
                                           ColorMode::ansi16));

// A frame of `rows` x `cols` cells all 'a', grey on black, into `vt`.
void paint_letters(FramePainter& painter, VtScreen& vt, int rows, int cols)
{
    std::string out;
    painter.begin(out);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            painter.put(r, c, 'a', 0x07);
    ASSERT_TRUE(painter.end());
    vt.feed(out);
}

TEST(FramePainter, ACellGivenTwiceInAFrameTakesTheLaterValue)
{
    FramePainter painter(ColorMode::ansi16);
    painter.set_screen_size(1, 3);
    VtScreen vt(1, 3);
    ASSERT_NO_FATAL_FAILURE(paint_letters(painter, vt, 1, 3));
    std::string out;
    painter.begin(out);
    painter.put(0, 0, 'b', 0x07);
    painter.put(0, 0, 'a', 0x07);  // back to what is shown
    painter.put(0, 1, 'b', 0x07);
    painter.put(0, 1, 'c', 0x1E);
    painter.put(0, 2, 'b', 0x07);
    painter.put(0, 2, 'b', 0x07);
    ASSERT_TRUE(painter.end());
    vt.feed(out);
    EXPECT_EQ(vt.at(0, 0).ch, U'a');
    EXPECT_EQ(vt.at(0, 1).ch, U'c');
    EXPECT_EQ(vt.at(0, 1).bg, (VtColor{VtColor::ansi, 4}));
    EXPECT_EQ(vt.at(0, 2).ch, U'b');
    painter.begin(out);
    for (int c = 0; c < 3; ++c)
        painter.put(0, c, c == 1 ? 'c' : c == 0 ? 'a' : 'b', c == 1 ? 0x1E : 0x07);
    EXPECT_FALSE(painter.end()) << "the painter knows what it showed";
}

TEST(FramePainter, UnchangedFrameSendsNothingAndOneChangeLittle)
{
    FramePainter painter(ColorMode::truecolor);
    painter.set_screen_size(50, 80);
    std::string out;
    auto paint = [&](std::uint8_t changed_ch) {
        painter.begin(out);
        for (int i = 0; i < 4000; ++i)
            painter.put(i / 80, i % 80, i == 1234 ? changed_ch : 'x', 0x1E);
        return painter.end();
    };
    ASSERT_TRUE(paint('x'));
    const std::size_t full = out.size();
    EXPECT_FALSE(paint('x'));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(paint('y'));
    EXPECT_LT(out.size(), 80u) << out;
    EXPECT_GT(full, 4000u);
}

TEST(FramePainter, ColoursThatCannotBeSeenAreNeitherComparedNorSent)
{
    FramePainter painter(ColorMode::truecolor);
    painter.set_screen_size(1, 3);
    std::string out;
    painter.begin(out);
    painter.put(0, 0, ' ', 0x1E);
    painter.put(0, 1, 0xDB, 0x1E);
    painter.put(0, 2, 'a', 0x1E);
    ASSERT_TRUE(painter.end());
    painter.begin(out);
    painter.put(0, 0, 0x00, 0x1C);  // NUL draws as space; other foreground
    painter.put(0, 1, 0xDB, 0x4E);  // other background behind a full block
    painter.put(0, 2, 'a', 0x1E);
    EXPECT_FALSE(painter.end()) << "nothing looks different";
    painter.begin(out);
    painter.put(0, 0, ' ', 0x2E);
    ASSERT_TRUE(painter.end());
    EXPECT_EQ(out.find("38;2"), std::string::npos) << "a blank needs no foreground: " << out;
    EXPECT_NE(out.find("48;2;0;170;0"), std::string::npos);
}

// The scaled view's cells: block symbols in any of thousands of 24-bit
// colours or in the xterm palette, mixed with VGA ones.
TEST(FramePainter, AnySymbolInAnyColourShowsExactly)
{
    for (const bool rgb : {true, false}) {
        FramePainter painter(ColorMode::truecolor);
        painter.set_screen_size(24, 80);
        VtScreen vt(24, 80);
        std::mt19937 random(rgb ? 3 : 4);
        constexpr char32_t symbols[] = {U' ', U'\u2588', U'\u2580', U'\u2584', U'\u259E', U'\u258C', U'\u2582', U'x'};
        std::vector<Cell> cells(24 * 80);
        for (int round = 0; round < 4; ++round) {
            for (Cell& cell : cells) {
                if (round > 0 && random() % 3 != 0)
                    continue;
                auto color = [&] {
                    if (random() % 5 == 0)
                        return static_cast<Color>(random() % 16);
                    return rgb ? rgb_color(random() & 0x0F0F0F) : xterm_color(static_cast<int>(random() % 256));
                };
                cell = Cell{symbols[random() % 8], color(), color()};
            }
            std::string out;
            painter.begin(out);
            for (int i = 0; i < 24 * 80; ++i)
                painter.put(i / 80, i % 80, cells[static_cast<std::size_t>(i)]);
            ASSERT_TRUE(painter.end());
            vt.feed(out);
            ASSERT_FALSE(vt.bad_sequence);
            auto expected = [](Color c) {
                if (is_vga_color(c))
                    return expected_color(ColorMode::truecolor, static_cast<int>(c));
                if (is_rgb_color(c))
                    return VtColor{VtColor::rgb, static_cast<int>(c & 0xFFFFFF)};
                return VtColor{VtColor::index256, static_cast<int>(c & 0xFF)};
            };
            for (int i = 0; i < 24 * 80; ++i) {
                const Cell& cell = cells[static_cast<std::size_t>(i)];
                const testing::VtCell& shown = vt.at(i / 80, i % 80);
                ASSERT_EQ(shown.ch, cell.ch) << "round " << round << " cell " << i;
                if (cell.ch != U' ') {
                    ASSERT_EQ(shown.fg, expected(cell.fg)) << "round " << round << " cell " << i;
                }
                if (cell.ch != U'\u2588') {
                    ASSERT_EQ(shown.bg, expected(cell.bg)) << "round " << round << " cell " << i;
                }
            }
        }
    }
}

TEST(FramePainter, CellsOutsideTheScreenAreDroppedAndSizeChangeRepaints)
{
    FramePainter painter(ColorMode::ansi16);
    painter.set_screen_size(10, 20);
    VtScreen vt(10, 20);
    ASSERT_NO_FATAL_FAILURE(paint_letters(painter, vt, 50, 80));
    EXPECT_FALSE(vt.wrote_outside);
    EXPECT_EQ(vt.at(9, 19).ch, U'a');

    std::string out;
    painter.begin(out);
    painter.put(0, 0, 'a', 0x07);
    EXPECT_FALSE(painter.end());
    painter.set_screen_size(12, 20);
    painter.begin(out);
    painter.put(0, 0, 'a', 0x07);
    EXPECT_TRUE(painter.end()) << "a new size forgets what was shown";
    EXPECT_NE(out.find("\x1b[2J"), std::string::npos);
}

}  // namespace
}  // namespace vexl::term
