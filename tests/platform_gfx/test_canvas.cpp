// Tests of the raster canvas: lines, tiling rectangles, polygon fills, flood fills, text,
// block copies and the BMP file.
#include "platform/gfx/canvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using gfx::Canvas;
using gfx::Colour;
using gfx::Point;

const Colour red = gfx::rgb(255, 0, 0), green = gfx::rgb(0, 255, 0), blue = gfx::rgb(0, 0, 255);

int count_colour(const Canvas& c, Colour colour) {
    int n = 0;
    for (Colour p : c.pixels())
        n += p == colour;
    return n;
}

TEST(CanvasLine, LeavesOutItsEndPixel) {
    const struct {
        Point a, b;
    } cases[] = {{{2, 5}, {17, 5}},  {{17, 5}, {2, 5}},  {{5, 1}, {5, 18}}, {{5, 18}, {5, 1}},
                 {{1, 1}, {15, 15}}, {{15, 1}, {1, 15}}, {{1, 2}, {18, 7}}, {{18, 7}, {1, 2}},
                 {{3, 1}, {8, 18}},  {{8, 18}, {3, 1}}};
    for (const auto& c : cases) {
        Canvas cv(20, 20);
        cv.move_to(c.a.x, c.a.y);
        cv.line_to(c.b.x, c.b.y);
        const int steps = std::max(std::abs(c.b.x - c.a.x), std::abs(c.b.y - c.a.y));
        SCOPED_TRACE(testing::Message()
                     << c.a.x << "," << c.a.y << " -> " << c.b.x << "," << c.b.y);
        EXPECT_EQ(cv.get_pixel(c.a.x, c.a.y), gfx::black);
        EXPECT_EQ(cv.get_pixel(c.b.x, c.b.y), gfx::white);
        EXPECT_EQ(count_colour(cv, gfx::black), steps); // one pixel a step, no doubles
        // Each pixel is the nearest one to the true line across its longer axis.
        const bool x_major = std::abs(c.b.x - c.a.x) >= std::abs(c.b.y - c.a.y);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                if (cv.get_pixel(x, y) != gfx::black) continue;
                const double off =
                    x_major ? c.a.y + double(x - c.a.x) * (c.b.y - c.a.y) / (c.b.x - c.a.x) - y
                            : c.a.x + double(y - c.a.y) * (c.b.x - c.a.x) / (c.b.y - c.a.y) - x;
                EXPECT_LE(std::abs(off), 0.5) << x << "," << y;
            }
        EXPECT_EQ(cv.position().x, c.b.x);
        // Drawing back from the end covers both end points (the thick-line idiom).
        cv.move_to(c.b.x, c.b.y);
        cv.line_to(c.a.x, c.a.y);
        EXPECT_EQ(cv.get_pixel(c.b.x, c.b.y), gfx::black);
    }
}

TEST(CanvasLine, ClipsFarEndsAndNullPenOnlyMoves) {
    Canvas cv(30, 10);
    cv.move_to(-1000000000, 4);
    cv.line_to(1000000000, 4); // must not walk two billion steps
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(cv.get_pixel(x, 4), gfx::black);
    EXPECT_EQ(count_colour(cv, gfx::black), 30);
    cv.select_pen({red, true});
    cv.line_to(0, 0);
    EXPECT_EQ(count_colour(cv, gfx::black), 30);
    EXPECT_EQ(count_colour(cv, red), 0);
    EXPECT_EQ(cv.position().x, 0);
}

// Rectangles sharing edges cover the plane exactly once: each pixel has the colour of the one
// rectangle whose [left, right) x [top, bottom) holds it.
TEST(CanvasRectangle, TilesWithoutGapsOrOverlaps) {
    const int xs[] = {1, 4, 5, 11, 19}, ys[] = {2, 3, 9, 14};
    enum Kind { pen_and_brush, brush_only, fill_rect };
    for (Kind kind : {pen_and_brush, brush_only, fill_rect}) {
        Canvas cv(20, 16);
        auto colour_of = [](int i, int j) { return gfx::rgb(10 + 20 * i, 10 + 30 * j, 77); };
        for (int j = 0; j + 1 < 4; ++j)
            for (int i = 0; i + 1 < 5; ++i) {
                const Colour c = colour_of(i, j);
                if (kind == fill_rect) {
                    cv.fill_rect({xs[i], ys[j], xs[i + 1], ys[j + 1]}, c);
                    continue;
                }
                cv.select_pen({c, kind == brush_only});
                cv.select_brush({c});
                cv.rectangle(xs[i], ys[j], xs[i + 1], ys[j + 1]);
            }
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                Colour want = gfx::white;
                for (int j = 0; j + 1 < 4; ++j)
                    for (int i = 0; i + 1 < 5; ++i)
                        if (x >= xs[i] && x < xs[i + 1] && y >= ys[j] && y < ys[j + 1])
                            want = colour_of(i, j);
                ASSERT_EQ(cv.get_pixel(x, y), want) << "kind " << kind << " at " << x << "," << y;
            }
    }
}

TEST(CanvasRectangle, OutlineWithPenInteriorWithBrush) {
    Canvas cv(10, 10);
    cv.select_pen({red});
    cv.select_brush({blue});
    cv.rectangle(6, 7, 2, 1); // corners in any order
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool in = x >= 2 && x < 6 && y >= 1 && y < 7;
            const bool edge = x == 2 || x == 5 || y == 1 || y == 6;
            ASSERT_EQ(cv.get_pixel(x, y), !in ? gfx::white : edge ? red : blue) << x << "," << y;
        }
    cv.select_brush({green, true}); // hollow
    cv.rectangle(0, 0, 10, 10);
    EXPECT_EQ(cv.get_pixel(3, 3), blue);
    EXPECT_EQ(cv.get_pixel(9, 9), red);
}

// White pixels that the outside white cannot reach through 4-neighbours: holes in a shape.
int enclosed_white(Canvas cv) {
    cv.select_brush({green});
    cv.ext_flood_fill(0, 0, gfx::white, gfx::FloodType::surface);
    return count_colour(cv, gfx::white);
}

TEST(CanvasPolygon, FillMeetsItsOutline) {
    const std::vector<std::vector<Point>> shapes = {
        {{5, 5}, {60, 9}, {20, 55}},                      // triangle
        {{4, 4}, {61, 4}, {61, 61}, {33, 20}, {4, 61}},   // concave
        {{10, 3}, {12, 3}, {58, 60}, {55, 61}},           // thin sliver, steep
        {{2, 30}, {62, 26}, {62, 28}, {3, 33}},           // thin sliver, shallow
        {{32, 2}, {44, 58}, {3, 22}, {61, 22}, {20, 58}}, // self-crossing star
        {{7, 7}, {7, 7}, {50, 12}, {50, 12}, {30, 40}},   // repeated vertices
    };
    const gfx::FillMode modes[] = {gfx::FillMode::alternate, gfx::FillMode::winding};
    for (gfx::FillMode mode : modes)
        for (std::size_t s = 0; s < shapes.size(); ++s) {
            Canvas cv(64, 64);
            cv.set_poly_fill_mode(mode);
            cv.select_pen({gfx::black});
            cv.select_brush({red});
            cv.polygon(shapes[s]);
            const bool star_hole = s == 4 && mode == gfx::FillMode::alternate;
            SCOPED_TRACE(testing::Message() << "shape " << s << " mode " << int(mode));
            if (!star_hole) {
                EXPECT_EQ(enclosed_white(cv), 0);
            }
            // Nothing painted outside the bounding box of the points.
            int x0 = 64, x1 = 0, y0 = 64, y1 = 0;
            for (Point p : shapes[s])
                x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y),
                y1 = std::max(y1, p.y);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    if (x < x0 || x > x1 || y < y0 || y > y1) {
                        ASSERT_EQ(cv.get_pixel(x, y), gfx::white) << x << "," << y;
                    }
        }
}

TEST(CanvasPolygon, FillRulesAndNullPen) {
    const std::vector<Point> star = {{32, 2}, {44, 58}, {3, 22}, {61, 22}, {20, 58}};
    Canvas cv(64, 64);
    cv.select_brush({red});
    cv.select_pen({gfx::black, true});
    cv.polygon(star);
    EXPECT_EQ(cv.get_pixel(32, 33), gfx::white); // the centre is a hole with alternate
    EXPECT_EQ(cv.get_pixel(32, 10), red);        // a point
    cv.set_poly_fill_mode(gfx::FillMode::winding);
    cv.polygon(star);
    EXPECT_EQ(cv.get_pixel(32, 33), red);
    EXPECT_EQ(count_colour(cv, gfx::black), 0);
}

TEST(CanvasEllipse, StaysInItsBoxAndIsOutlined) {
    Canvas cv(30, 30);
    cv.select_pen({gfx::black});
    cv.select_brush({red});
    cv.ellipse(5, 8, 25, 20);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if (x < 5 || x >= 25 || y < 8 || y >= 20) {
                ASSERT_EQ(cv.get_pixel(x, y), gfx::white);
            }
    EXPECT_EQ(cv.get_pixel(15, 8), gfx::black);  // top
    EXPECT_EQ(cv.get_pixel(15, 19), gfx::black); // bottom
    EXPECT_EQ(cv.get_pixel(5, 14), gfx::black);  // left
    EXPECT_EQ(cv.get_pixel(24, 14), gfx::black); // right
    EXPECT_EQ(cv.get_pixel(15, 14), red);
    EXPECT_EQ(cv.get_pixel(5, 8), gfx::white); // corner of the box
    EXPECT_EQ(enclosed_white(cv), 0);
    // The small electrode mark: a circle over -2 .. +2 around a point.
    Canvas mark(9, 9);
    mark.select_brush({red});
    mark.ellipse(4 - 2, 4 - 2, 4 + 2, 4 + 2);
    EXPECT_EQ(mark.get_pixel(4, 4), red);
    EXPECT_EQ(mark.get_pixel(2, 2), gfx::white);
    EXPECT_EQ(count_colour(mark, gfx::white) + count_colour(mark, gfx::black) +
                  count_colour(mark, red),
              81);
}

// A wall at x = 10 splits a 21 x 11 canvas; the border fill starts left of it.
TEST(CanvasFloodFill, BorderFillStopsAtALineAndLeaksThroughAGap) {
    const struct Case {
        const char* name;
        int gap_y;     // -1: closed wall
        bool diagonal; // the wall is a staircase line instead
        bool leaks;
    } cases[] = {{"closed wall", -1, false, false},
                 {"one-pixel gap", 5, false, true},
                 {"gap at the edge", 0, false, true},
                 {"diagonal line", -1, true, false}};
    for (const Case& c : cases) {
        Canvas cv(21, 11);
        if (c.diagonal) { // 8-connected steps from (5,0) to (15,10): corners touch only
            cv.move_to(5, 0);
            cv.line_to(16, 11);
        } else {
            cv.move_to(10, 0);
            cv.line_to(10, 11);
        }
        if (c.gap_y >= 0) cv.set_pixel(10, c.gap_y, gfx::white);
        cv.select_brush({red});
        ASSERT_TRUE(cv.ext_flood_fill(1, 5, gfx::black, gfx::FloodType::border)) << c.name;
        // Left of the wall everything is filled; right of it everything or nothing.
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 21; ++x) {
                const int wall = c.diagonal ? 5 + y : 10;
                const Colour right = c.leaks ? red : gfx::white;
                if (x != wall) {
                    ASSERT_EQ(cv.get_pixel(x, y), x < wall ? red : right)
                        << c.name << " at " << x << "," << y;
                }
            }
        EXPECT_EQ(count_colour(cv, gfx::black), c.diagonal ? 11 : c.gap_y >= 0 ? 10 : 11) << c.name;
    }
}

TEST(CanvasFloodFill, SurfaceVariantAndRefusals) {
    Canvas cv(10, 10);
    cv.fill_rect({0, 0, 5, 10}, blue);
    cv.set_pixel(7, 7, green); // another colour stops a surface fill
    cv.select_brush({red});
    EXPECT_TRUE(cv.ext_flood_fill(9, 0, gfx::white, gfx::FloodType::surface));
    EXPECT_EQ(count_colour(cv, red), 49);
    EXPECT_EQ(count_colour(cv, blue), 50);
    EXPECT_EQ(cv.get_pixel(7, 7), green);
    // Brush colour equal to the surface: terminates, nothing changes.
    cv.select_brush({blue});
    EXPECT_TRUE(cv.ext_flood_fill(0, 0, blue, gfx::FloodType::surface));
    EXPECT_EQ(count_colour(cv, blue), 50);
    // Start on the border colour, outside, or with a hollow brush: nothing happens.
    EXPECT_FALSE(cv.ext_flood_fill(0, 0, blue, gfx::FloodType::border));
    EXPECT_FALSE(cv.ext_flood_fill(-1, 0, blue, gfx::FloodType::border));
    cv.select_brush({green, true});
    EXPECT_FALSE(cv.ext_flood_fill(9, 9, blue, gfx::FloodType::border));
    EXPECT_EQ(count_colour(cv, red), 49);
}

TEST(CanvasFloodFill, LongSerpentineNeedsNoRecursion) {
    // Walls on every other row, open at alternating ends: one path of about a million pixels.
    const int n = 1001;
    Canvas cv(n, n);
    for (int y = 1; y < n; y += 2) {
        cv.move_to(y % 4 == 1 ? 0 : 1, y);
        cv.line_to(y % 4 == 1 ? n - 1 : n, y);
    }
    cv.select_brush({red});
    ASSERT_TRUE(cv.ext_flood_fill(0, 0, gfx::black, gfx::FloodType::border));
    EXPECT_EQ(count_colour(cv, gfx::white), 0);
    EXPECT_EQ(cv.get_pixel(n - 1, n - 1), red);
}

TEST(CanvasPixels, OutsideIsInvalid) {
    Canvas cv(4, 3);
    EXPECT_EQ(cv.get_pixel(0, 0), gfx::white);
    EXPECT_EQ(cv.set_pixel(3, 2, red), red);
    EXPECT_EQ(cv.get_pixel(3, 2), red);
    for (Point p : {Point{-1, 0}, Point{4, 0}, Point{0, -1}, Point{0, 3}}) {
        EXPECT_EQ(cv.get_pixel(p.x, p.y), gfx::clr_invalid);
        EXPECT_EQ(cv.set_pixel(p.x, p.y, red), gfx::clr_invalid);
    }
    EXPECT_EQ(cv.set_pixel(0, 0, 0x02123456u), 0x123456u); // flag byte is no colour
}

// Text tests: the cell box of the text holds only text and background colours and nothing is
// painted outside it.
TEST(CanvasText, OpaqueTextFillsItsBackground) {
    const struct {
        gfx::Font font;
        unsigned align;
        gfx::BkMode mode;
    } cases[] = {
        {{"fixed", 16, false}, gfx::ta_left | gfx::ta_top, gfx::BkMode::opaque},
        {{"Arial", 16, false}, gfx::ta_center | gfx::ta_baseline, gfx::BkMode::opaque},
        {{"Arial", 14, true}, gfx::ta_right | gfx::ta_bottom, gfx::BkMode::opaque},
        {{"Symbol", 16, false}, gfx::ta_left | gfx::ta_top, gfx::BkMode::opaque},
        {{"Arial", 16, false}, gfx::ta_left | gfx::ta_top, gfx::BkMode::transparent},
    };
    const std::string text = "Wgj|0.5 Ohm.m";
    for (const auto& c : cases) {
        Canvas cv(200, 60);
        cv.select_font(c.font);
        cv.set_text_align(c.align);
        cv.set_bk_mode(c.mode);
        cv.set_bk_colour(gfx::rgb(255, 255, 0));
        cv.set_text_colour(blue);
        const gfx::Size ext = cv.text_extent(text);
        const gfx::TextMetrics tm = cv.text_metrics();
        EXPECT_EQ(ext.cy, tm.height);
        EXPECT_EQ(tm.ascent + tm.descent, tm.height);
        const int x = 100, y = 30;
        cv.text_out(x, y, text);
        int left = x, top = y;
        if ((c.align & gfx::ta_center) == gfx::ta_center)
            left -= ext.cx / 2;
        else if (c.align & gfx::ta_right)
            left -= ext.cx;
        if ((c.align & gfx::ta_baseline) == gfx::ta_baseline)
            top -= tm.ascent;
        else if (c.align & gfx::ta_bottom)
            top -= tm.height;
        const Colour bg = c.mode == gfx::BkMode::opaque ? gfx::rgb(255, 255, 0) : gfx::white;
        int ink = 0;
        for (int py = 0; py < 60; ++py)
            for (int px = 0; px < 200; ++px) {
                const Colour p = cv.get_pixel(px, py);
                const bool in =
                    px >= left && px < left + ext.cx && py >= top && py < top + tm.height;
                if (!in)
                    ASSERT_EQ(p, gfx::white) << c.font.face << " " << px << "," << py;
                else
                    ASSERT_TRUE(p == bg || p == blue) << c.font.face << " " << px << "," << py;
                ink += p == blue;
            }
        EXPECT_GT(ink, 30) << c.font.face;
        EXPECT_GT(count_colour(cv, bg), 100) << c.font.face;
    }
}

TEST(CanvasText, FixedCellAndObserver) {
    Canvas cv(100, 40);
    const gfx::TextMetrics tm = cv.text_metrics();
    EXPECT_EQ(tm.height, 16);
    EXPECT_EQ(tm.ave_char_width, 8);
    EXPECT_EQ(cv.text_extent("Model").cx, 40);
    EXPECT_EQ(cv.text_extent("").cx, 0);
    cv.select_font({"Arial", 16, false});
    EXPECT_EQ(cv.text_metrics().height, 16);
    EXPECT_LT(cv.text_extent("iiii").cx, cv.text_extent("WWWW").cx); // proportional
    std::vector<std::string> seen;
    cv.set_text_observer([&](int x, int y, const std::string& s) {
        seen.push_back(std::to_string(x) + " " + std::to_string(y) + " " + s);
    });
    cv.text_out(3, 16, "Calculations completed");
    cv.text_out(-500, 900, "off the canvas"); // clipped, still reported
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "3 16 Calculations completed");
    EXPECT_EQ(seen[1], "-500 900 off the canvas");
}

TEST(CanvasBlit, CopiesClipsAndResizes) {
    Canvas src(6, 6), dst(5, 5);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            src.set_pixel(x, y, gfx::rgb(x, y, 1));
    dst.bit_blt(-1, 2, 6, 6, src, 1, 0); // dst (0,2) gets src (2,0)
    EXPECT_EQ(dst.get_pixel(0, 2), gfx::rgb(2, 0, 1));
    EXPECT_EQ(dst.get_pixel(3, 4), gfx::rgb(5, 2, 1));
    EXPECT_EQ(dst.get_pixel(4, 4), gfx::white); // beyond the source
    EXPECT_EQ(dst.get_pixel(0, 1), gfx::white);
    src.bit_blt(1, 1, 5, 5, src, 0, 0); // overlapping copy within one canvas
    EXPECT_EQ(src.get_pixel(1, 1), gfx::rgb(0, 0, 1));
    EXPECT_EQ(src.get_pixel(5, 5), gfx::rgb(4, 4, 1));
    src.resize(8, 3);
    EXPECT_EQ(src.get_pixel(5, 2), gfx::rgb(4, 1, 1));
    EXPECT_EQ(src.get_pixel(7, 0), gfx::white);
    EXPECT_EQ(src.get_pixel(0, 3), gfx::clr_invalid);
    src.pat_blt(6, 0, 2, 3, gfx::Rop::blackness);
    src.pat_blt(2, 3, -2, -3, gfx::Rop::whiteness); // negative extents: the box left and up
    EXPECT_EQ(src.get_pixel(7, 2), gfx::black);
    EXPECT_EQ(src.get_pixel(1, 1), gfx::white);
    EXPECT_EQ(src.get_pixel(2, 1), gfx::rgb(1, 0, 1));
}

// A growing canvas (base 40 x 20, at most 100 x 60 and 4000 pixels): every kind of request
// that reaches right of or below it first makes room, in steps of a quarter of the base, and
// what it draws is all there, else the canvas says how far the request it cut reached; white,
// flood fills and a fixed canvas grow nothing; clear() gives the room back and forgets the cut;
// the observer hears every new size.
TEST(CanvasGrowth, DrawingBeyondTheEdgeMakesRoom) {
    Canvas::Growth growth;
    growth.base = {40, 20};
    growth.most = {100, 60};
    growth.most_pixels = 4000;
    const struct {
        const char* what;
        void (*draw)(Canvas&);
        int width, height; // the size after the request
        bool drawn;        // the request drew beyond the base size
        gfx::Size cut{};   // what cut_extent gives after it
    } cases[] = {
        {"line", [](Canvas& c) { c.move_to(5, 5), c.line_to(5, 30); }, 40, 31, true},
        {"pixel", [](Canvas& c) { c.set_pixel(45, 3, red); }, 50, 20, true},
        {"rectangle", [](Canvas& c) { c.rectangle(30, 10, 60, 50); }, 60, 50, true},
        {"polygon",
         [](Canvas& c) {
             c.polygon({{0, 0}, {10, 24}, {0, 24}});
         },
         40, 25, true},
        {"ellipse", [](Canvas& c) { c.ellipse(30, 15, 42, 27); }, 50, 27, true},
        {"text", [](Canvas& c) { c.text_out(10, 15, "IP model"); }, 74, 31, true},
        {"block copy",
         [](Canvas& c) {
             Canvas picture(10, 30);
             picture.fill_rect({0, 0, 10, 30}, blue);
             c.bit_blt(0, 0, 10, 30, picture, 0, 0);
         },
         40, 30, true},
        {"beyond the largest side",
         [](Canvas& c) { c.set_pixel(2, 500, red); },
         40,
         60,
         false,
         {40, 501}},
        {"beyond the pixels", [](Canvas& c) { c.set_pixel(95, 50, red); }, 96, 41, false, {96, 51}},
        {"white",
         [](Canvas& c) {
             c.fill_rect({0, 0, 90, 90}, gfx::white);
         },
         40, 20, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Canvas cv;
        std::vector<std::pair<int, int>> sizes;
        cv.set_resize_observer([&](int w, int h) { sizes.push_back({w, h}); });
        cv.set_growth(growth);
        cv.select_brush({green, false});
        c.draw(cv);
        EXPECT_EQ(cv.width(), c.width);
        EXPECT_EQ(cv.height(), c.height);
        EXPECT_EQ(sizes.back(), std::make_pair(c.width, c.height));
        int beyond = 0;
        for (int y = 0; y < cv.height(); ++y)
            for (int x = 0; x < cv.width(); ++x)
                beyond += (x >= 40 || y >= 20) && cv.get_pixel(x, y) != gfx::white;
        EXPECT_EQ(beyond > 0, c.drawn);
        EXPECT_EQ(cv.cut_extent().cx, c.cut.cx);
        EXPECT_EQ(cv.cut_extent().cy, c.cut.cy);
        cv.clear();
        EXPECT_EQ(cv.width(), 40);
        EXPECT_EQ(cv.height(), 20);
        EXPECT_EQ(cv.cut_extent().cx, 0);
        EXPECT_EQ(count_colour(cv, gfx::white), 800);
    }
    // A flood fill fills what is there; a canvas without growth clips.
    Canvas cv;
    cv.set_growth(growth);
    cv.select_brush({red, false});
    EXPECT_TRUE(cv.ext_flood_fill(3, 3, gfx::black, gfx::FloodType::border));
    EXPECT_EQ(count_colour(cv, red), 800);
    Canvas fixed(40, 20);
    fixed.move_to(5, 5);
    fixed.line_to(5, 30);
    EXPECT_EQ(fixed.height(), 20);
    fixed.clear();
    EXPECT_EQ(fixed.height(), 20);
}

std::vector<unsigned char> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::uint32_t le(const std::vector<unsigned char>& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

TEST(CanvasFiles, BmpHasExpectedSizeAndPixels) {
    char dir[] = "/tmp/vd_gfx_XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    for (int w : {4, 5, 7}) { // rows of 12, 15 and 21 bytes: padding 0, 1 and 3
        const int h = 3;
        Canvas cv(w, h);
        cv.set_pixel(0, 0, red);
        cv.set_pixel(w - 1, 0, gfx::rgb(1, 2, 3));
        cv.set_pixel(1, h - 1, blue);
        const std::string path = std::string(dir) + "/c" + std::to_string(w) + ".bmp";
        ASSERT_TRUE(cv.save_bmp(path));
        const std::vector<unsigned char> b = read_file(path);
        const std::size_t row = (3 * w + 3) / 4 * 4;
        ASSERT_EQ(b.size(), 54 + row * h);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(le(b, 2, 4), b.size());
        EXPECT_EQ(le(b, 10, 4), 54u);
        EXPECT_EQ(le(b, 18, 4), std::uint32_t(w));
        EXPECT_EQ(le(b, 22, 4), std::uint32_t(h)); // positive height: bottom-up rows
        EXPECT_EQ(le(b, 28, 2), 24u);
        // Every pixel back in B, G, R order, top row stored last.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t at = 54 + row * std::size_t(h - 1 - y) + 3 * std::size_t(x);
                EXPECT_EQ(gfx::rgb(b[at + 2], b[at + 1], b[at]), cv.get_pixel(x, y))
                    << w << ": " << x << "," << y;
            }
        if (std::system("command -v identify >/dev/null 2>&1") == 0) {
            EXPECT_EQ(std::system(("identify '" + path + "' >/dev/null 2>&1").c_str()), 0);
        }
    }
    EXPECT_FALSE(Canvas(0, 0).save_bmp(std::string(dir) + "/empty.bmp"));
    EXPECT_FALSE(Canvas(2, 2).save_bmp(std::string(dir) + "/no/such/dir.bmp"));
    if (Canvas::png_supported()) {
        ASSERT_TRUE(Canvas(3, 2).save_png(std::string(dir) + "/c.png"));
        const std::vector<unsigned char> p = read_file(std::string(dir) + "/c.png");
        ASSERT_GT(p.size(), 8u);
        EXPECT_EQ(p[1], 'P');
    }
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

} // namespace
