// One-pixel lines, pattern lines and the data-area outline, checked pixel by pixel.
#include "fixture.h"

#include "display/lines.h"

#include <set>
#include <utility>

namespace {
using display_test::Session;
using Pixels = std::set<std::pair<int, int>>;

// Pixels of `c` that are not `background`.
Pixels painted(const gfx::Canvas& c, gfx::Colour background = gfx::white) {
    Pixels p;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.get_pixel(x, y) != background) p.insert({x, y});
    return p;
}

TEST(PixelLine, SetsOnePixelPerStepOfTheMajorAxis) {
    Session s;
    Progdisplay.line_mode = 2;
    Progdisplay.pixel_line_colour = gfx::rgb(255, 0, 0);
    const struct {
        int x1, y1, x2, y2;
        Pixels expected;
    } cases[] = {
        {0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},
        {5, 2, 0, 0, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},
        {0, 0, 1, 4, {{0, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 4}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}}, // 45 degrees: one per column
        {4, 4, 4, 4, {{4, 4}}},                         // zero length: one pixel
        {6, 1, 2, 1, {{2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}},
    };
    for (const auto& c : cases) {
        gfx::Canvas canvas(10, 10);
        draw_line(c.x1, c.y1, c.x2, c.y2, canvas);
        EXPECT_EQ(painted(canvas), c.expected) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        for (const auto& p : c.expected)
            EXPECT_EQ(canvas.get_pixel(p.first, p.second), gfx::rgb(255, 0, 0));
    }
}

TEST(PenLine, CoversBothEndsAndLeavesAZeroLengthLineAlone) {
    Session s;
    Progdisplay.line_mode = 1;
    const gfx::Colour pen = gfx::rgb(0, 0, 255);
    const struct {
        int x1, y1, x2, y2;
    } lines[] = {{1, 1, 8, 1}, {8, 6, 1, 6}, {2, 0, 2, 9}, {0, 0, 9, 4}, {9, 9, 3, 2}};
    for (const auto& l : lines) {
        gfx::Canvas canvas(10, 10);
        canvas.select_pen(gfx::Pen{pen, false});
        draw_line(l.x1, l.y1, l.x2, l.y2, canvas);
        EXPECT_EQ(canvas.get_pixel(l.x1, l.y1), pen) << l.x1 << "," << l.y1;
        EXPECT_EQ(canvas.get_pixel(l.x2, l.y2), pen) << l.x2 << "," << l.y2;
    }
    gfx::Canvas canvas(10, 10);
    canvas.set_pixel(4, 4, gfx::rgb(9, 9, 9));
    canvas.select_pen(gfx::Pen{pen, false});
    draw_line(4, 4, 4, 4, canvas);
    EXPECT_EQ(canvas.get_pixel(4, 4), gfx::rgb(9, 9, 9));
    EXPECT_EQ(painted(canvas).size(), 1u);
    // A start outside the canvas has no colour to copy to the end.
    draw_line(-5, 7, 6, 7, canvas);
    EXPECT_EQ(canvas.get_pixel(6, 7), pen);
}

TEST(PatternLine, ClearBitsDrawBlackAndSetBitsTheBackground) {
    Session s;
    Progdisplay.background_colour = gfx::rgb(0, 255, 0);
    const std::uint16_t solid[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    gfx::Canvas canvas(10, 10);
    EXPECT_EQ(draw_pattern_line(0, 0, 5, 2, solid, canvas), 6);
    EXPECT_EQ(painted(canvas).size(), 6u);
    EXPECT_EQ(canvas.get_pixel(5, 2), gfx::black);

    const std::uint16_t half[8] = {0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F};
    gfx::Canvas dashed(12, 2);
    EXPECT_EQ(draw_pattern_line(0, 1, 11, 1, half, dashed), 12);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(dashed.get_pixel(x, 1), x % 8 < 4 ? gfx::black : gfx::rgb(0, 255, 0)) << x;
}

TEST(PatternLine, TheLevelPatternsAreSetAtConstruction) {
    Session s;
    Progdisplay.background_colour = gfx::white;
    // Level 0 is solid; the others are dashed both along rows and along columns.
    for (int level = 0; level < 33; ++level) {
        gfx::Canvas canvas(20, 20);
        const int across = draw_pattern_line(0, 3, 15, 3, Progdisplay.line_patterns[level], canvas);
        const int down = draw_pattern_line(3, 4, 3, 19, Progdisplay.line_patterns[level], canvas);
        EXPECT_EQ(across + down, 32);
        const std::size_t black = painted(canvas).size();
        if (level % 8 == 0)
            EXPECT_EQ(black, 32u) << level;
        else
            EXPECT_TRUE(black > 0 && black < 32) << level << ": " << black;
    }
}

TEST(SectionOutline, OneLevelIsFramedAboveAndBelowAcrossItsPoints) {
    Session s;
    Progdisplay.line_mode = 1;
    const std::int32_t x[3] = {20, 30, 40}, y[3] = {20, 20, 20}, start[2] = {1, 4};
    const gfx::Pen black{gfx::black, false}, white{gfx::white, false};
    gfx::Canvas canvas(80, 40);
    draw_section_outline(x, y, start, 1, 3, 1, 1, canvas, black, white);
    // Six rows shifted up (y + 1 .. y - 4) and six down (y - 1 .. y + 4), 15 px beyond the ends.
    EXPECT_EQ(painted(canvas).size(), std::size_t(9 * 51));
    for (const auto& p : std::vector<std::pair<int, int>>{{5, 16}, {55, 24}, {30, 20}})
        EXPECT_EQ(canvas.get_pixel(p.first, p.second), gfx::black);
    for (const auto& p : std::vector<std::pair<int, int>>{{4, 20}, {56, 20}, {30, 15}, {30, 25}})
        EXPECT_EQ(canvas.get_pixel(p.first, p.second), gfx::white);
    EXPECT_EQ(canvas.pen().colour, gfx::black);
}

TEST(SectionOutline, SidesAreShiftedOutwardAndTheSecondPenDrawsModeTwo) {
    Session s;
    Progdisplay.line_mode = 1;
    const std::int32_t x[5] = {20, 30, 40, 26, 34}, y[5] = {10, 10, 10, 30, 30};
    const std::int32_t start[3] = {1, 4, 6};
    const gfx::Pen first{gfx::black, false}, second{gfx::rgb(250, 0, 0), false};
    gfx::Canvas canvas(80, 50);
    draw_section_outline(x, y, start, 2, 5, 2, 2, canvas, first, second);
    // The left side at the middle row y = 20 runs from x 23 (+1 inside) out to x 18 (-4).
    const int mid_left = 23, mid_right = 37;
    EXPECT_EQ(canvas.get_pixel(mid_left + 1, 20), second.colour);
    EXPECT_EQ(canvas.get_pixel(mid_left - 4, 20), second.colour);
    EXPECT_EQ(canvas.get_pixel(mid_left - 5, 20), gfx::white);
    EXPECT_EQ(canvas.get_pixel(mid_right + 4, 20), second.colour);
    EXPECT_EQ(canvas.get_pixel(mid_right + 5, 20), gfx::white);
    // The thin inner outline in the first pen: 2 px inside the side points, 1 px above the
    // bottom points.
    EXPECT_EQ(canvas.get_pixel(mid_left + 2, 20), first.colour);
    EXPECT_EQ(canvas.get_pixel(30, 29), first.colour);
    EXPECT_EQ(canvas.pen().colour, first.colour);
}

// Lines closer than least_line_gap (4) are thinned: of mesh columns 1.25 pixels apart every
// fourth from the first electrode's (an electrode's, at 4 nodes a spacing) is kept with the two
// ends, but not the one next to the first end; of unequal rows (3 pixels apart on average) every
// second one far enough from the last one kept; lines 4 apart all stay.
TEST(ThinnedLines, KeepLinesAFewPixelsApart) {
    const auto positions = [](int n, double pitch, double start) {
        std::vector<int> p;
        for (int i = 0; i < n; ++i)
            p.push_back(int(start + pitch * i + 0.5));
        return p;
    };
    const auto kept = [](const std::vector<int>& p, int origin) {
        const std::vector<bool> k = thinned_lines(p, origin);
        std::vector<int> at;
        for (std::size_t i = 0; i < p.size(); ++i)
            if (k[i]) at.push_back(int(i));
        return at;
    };
    EXPECT_EQ(kept(positions(14, 1.25, 100), 1), (std::vector<int>{0, 5, 9, 13}));
    EXPECT_EQ(kept({0, 1, 2, 3, 5, 8, 13, 21}, 0), (std::vector<int>{0, 4, 6, 7}));
    EXPECT_EQ(kept(positions(6, 4, 0), 0), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(kept({7}, 0), (std::vector<int>{0}));
    // Marks: one of a cluster closer than 4 both ways; 4 apart either way both stay.
    const int x[] = {10, 11, 13, 14, 10, 30}, y[] = {5, 7, 8, 5, 9, 5};
    const std::vector<bool> marks = thinned_marks(x, y, 6);
    EXPECT_EQ(marks, (std::vector<bool>{true, false, false, true, true, true}));
}

} // namespace
