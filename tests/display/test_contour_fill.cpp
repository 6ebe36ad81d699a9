// Contour filling of triangles in both styles, the piece geometry and the flood fills, checked
// on the canvas: every pixel inside a triangle is painted, fills stay inside their outlines.
#include "fixture.h"

#include "display/contour_fill.h"
#include "display/contour_levels.h"
#include "display/lines.h"
#include "display/polygon_fill.h"

#include <cmath>
#include <map>

namespace {
using display_test::pixels_inside;
using display_test::Session;

struct Triangle {
    int x[3], y[3];
    float v[3];
};

// Direct style: the triangle drawn by contour_triangle on a white canvas.
gfx::Canvas draw_direct(const Triangle& t, int n, const float* levels) {
    Progdisplay.fill_style = 2;
    gfx::Canvas canvas(200, 200);
    canvas.set_poly_fill_mode(gfx::FillMode::winding);
    ContourRecord record;
    contour_triangle(n, t.x[0], t.x[1], t.x[2], t.y[0], t.y[1], t.y[2], t.v[0], t.v[1], t.v[2],
                     levels, record, canvas, Progdisplay.brushes, Progdisplay.pens);
    EXPECT_EQ(record.segments(), 0);
    EXPECT_EQ(record.pieces(), 0);
    return canvas;
}

// Outline style as a section plot does it: the triangle's border and contour lines in the line
// colour, the recorded pieces seeded and flood-filled; a triangle that no level cuts is filled
// whole in its band, as a section of one band is.
gfx::Canvas draw_outlined(const Triangle& t, int n, const float* levels, ContourRecord& record) {
    Progdisplay.fill_style = 1;
    Progdisplay.line_mode = 1;
    gfx::Canvas canvas(200, 200);
    canvas.select_pen(gfx::Pen{gfx::black, false});
    for (int k = 0; k < 3; ++k)
        draw_line(t.x[k], t.y[k], t.x[(k + 1) % 3], t.y[(k + 1) % 3], canvas);
    contour_triangle(n, t.x[0], t.x[1], t.x[2], t.y[0], t.y[1], t.y[2], t.v[0], t.v[1], t.v[2],
                     levels, record, canvas, Progdisplay.brushes, Progdisplay.pens);
    finish_contour_record(record);
    fill_contour_pieces(record, canvas, Progdisplay.brushes, 0, 0, 199, 199);
    if (record.pieces() == 0) {
        int band = 0, x[3] = {t.x[0], t.x[1], t.x[2]}, y[3] = {t.y[0], t.y[1], t.y[2]};
        while (band < n && levels[band] < t.v[0])
            ++band;
        orient_polygon(3, x, y);
        flood_fill_polygon(3, x, y, band, canvas, Progdisplay.brushes, 0, 0, 199, 199);
    }
    return canvas;
}

// Number of pixels inside the triangle still showing the background.
int unpainted_inside(const gfx::Canvas& canvas, const Triangle& t) {
    int count = 0;
    for (const gfx::Point& p : pixels_inside(t.x, t.y))
        if (canvas.get_pixel(p.x, p.y) == gfx::white) ++count;
    return count;
}

// Colour at the point a fifth of the way from corner k to the centroid.
gfx::Colour near_corner(const gfx::Canvas& canvas, const Triangle& t, int k) {
    const float cx = (t.x[0] + t.x[1] + t.x[2]) / 3.0f, cy = (t.y[0] + t.y[1] + t.y[2]) / 3.0f;
    return canvas.get_pixel(int(std::lround(t.x[k] + 0.2f * (cx - t.x[k]))),
                            int(std::lround(t.y[k] + 0.2f * (cy - t.y[k]))));
}

gfx::Colour band(int b) {
    return Progdisplay.brushes[b].colour;
}

TEST(ContourTriangle, CutsAtTheLevelsIntoBandsFromLoToHi) {
    Session s;
    const float levels[2] = {1.5f, 2.5f};
    const Triangle t{{20, 100, 180}, {180, 20, 180}, {1.0f, 2.0f, 3.0f}};
    const gfx::Canvas direct = draw_direct(t, 2, levels);
    ContourRecord record;
    const gfx::Canvas outlined = draw_outlined(t, 2, levels, record);
    for (const gfx::Canvas* c : {&direct, &outlined}) {
        EXPECT_EQ(near_corner(*c, t, 0), band(0));
        EXPECT_EQ(near_corner(*c, t, 1), band(1)); // the pentagon through the mid corner
        EXPECT_EQ(near_corner(*c, t, 2), band(2));
        EXPECT_EQ(unpainted_inside(*c, t), 0);
    }
    EXPECT_EQ(record.segments(), 2);
    EXPECT_EQ(record.seg_level, (std::vector<std::int32_t>{1, 2}));
    // The band through the mid corner is a quadrilateral and a triangle.
    EXPECT_EQ(record.piece_band, (std::vector<std::int32_t>{0, 1, 1, 2}));
    EXPECT_EQ(record.piece_vertices, (std::vector<std::int32_t>{3, 4, 3, 3}));
}

TEST(ContourTriangle, WholeTrianglesTakeOneBand) {
    Session s;
    const float levels[3] = {-1.0f, 0.0f, 5.0f};
    const struct {
        float v[3];
        int band;
    } cases[] = {
        {{-9.0f, -3.0f, -2.0f}, 0}, // below every level
        {{6.0f, 9.0f, 7.0f}, 3},    // above every level
        {{1.0f, 2.0f, 4.0f}, 2},    // between two levels
        {{5.0f, 5.0f, 5.0f}, 3},    // flat on a level: the band above it
        {{0.0f, 0.0f, 0.0f}, 2},    // flat on a level with no range to raise: one band
        {{2.0f, 2.0f, 2.0f}, 2},
    };
    for (const auto& c : cases) {
        const Triangle t{{30, 170, 90}, {30, 60, 170}, {c.v[0], c.v[1], c.v[2]}};
        const gfx::Canvas canvas = draw_direct(t, 3, levels);
        for (const gfx::Point& p : pixels_inside(t.x, t.y))
            ASSERT_EQ(canvas.get_pixel(p.x, p.y), band(c.band))
                << c.v[0] << " " << c.v[1] << " " << c.v[2] << " at " << p.x << "," << p.y;
    }
}

TEST(ContourTriangle, LevelsThroughCornersCutAtTheCorner) {
    Session s;
    const float levels[3] = {1.0f, 2.0f, 3.0f};
    const struct {
        float v[3];
        int lo_band, hi_band; // bands near the lowest and the highest corner
    } cases[] = {
        {{1.0f, 2.0f, 2.0f}, 1, 1}, // level 2 through mid and hi: no 0/0
        {{2.0f, 2.0f, 3.0f}, 2, 2}, // level 2 through lo and mid, level 3 through hi
        {{1.0f, 3.0f, 2.0f}, 1, 2}, // every level through a corner
        {{0.5f, 2.0f, 3.5f}, 0, 3},
    };
    for (const auto& c : cases) {
        const Triangle t{{20, 180, 100}, {170, 170, 30}, {c.v[0], c.v[1], c.v[2]}};
        const int lo = c.v[0] <= c.v[1] && c.v[0] <= c.v[2] ? 0 : c.v[1] <= c.v[2] ? 1 : 2;
        const int hi = c.v[2] >= c.v[0] && c.v[2] >= c.v[1] ? 2 : c.v[1] >= c.v[0] ? 1 : 0;
        const gfx::Canvas direct = draw_direct(t, 3, levels);
        ContourRecord record;
        const gfx::Canvas outlined = draw_outlined(t, 3, levels, record);
        for (const gfx::Canvas* canvas : {&direct, &outlined}) {
            EXPECT_EQ(unpainted_inside(*canvas, t), 0) << c.v[0] << c.v[1] << c.v[2];
            EXPECT_EQ(near_corner(*canvas, t, lo), band(c.lo_band)) << c.v[0] << c.v[1] << c.v[2];
            EXPECT_EQ(near_corner(*canvas, t, hi), band(c.hi_band)) << c.v[0] << c.v[1] << c.v[2];
        }
    }
}

TEST(ContourTriangle, OutlineStyleRecordsNothingForAnUncutTriangle) {
    Session s;
    Progdisplay.fill_style = 1;
    const float levels[2] = {10.0f, 20.0f};
    ContourRecord record;
    record.seg_xa = {1}, record.seg_xb = {1}, record.seg_ya = {1}, record.seg_yb = {1};
    record.seg_level = {1};
    gfx::Canvas canvas(50, 50);
    for (const Triangle& t : {Triangle{{1, 40, 20}, {1, 1, 40}, {1.0f, 2.0f, 3.0f}},
                              Triangle{{1, 40, 20}, {1, 1, 40}, {12.0f, 14.0f, 19.0f}},
                              Triangle{{1, 40, 20}, {1, 1, 40}, {30.0f, 24.0f, 29.0f}}}) {
        EXPECT_EQ(contour_triangle(2, t.x[0], t.x[1], t.x[2], t.y[0], t.y[1], t.y[2], t.v[0],
                                   t.v[1], t.v[2], levels, record, canvas, Progdisplay.brushes,
                                   Progdisplay.pens),
                  1);
    }
    EXPECT_EQ(record.pieces(), 0);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(canvas.get_pixel(x, y), gfx::white);
}

TEST(ContourTriangle, OneLevelThroughTheLowestCornerRecordsTheWholeTriangle) {
    Session s;
    Progdisplay.fill_style = 1;
    const float levels[1] = {2.0f};
    gfx::Canvas canvas(50, 50);
    for (const auto& c : std::vector<std::pair<Triangle, int>>{
             {{{1, 40, 20}, {1, 1, 40}, {2.0f, 2.5f, 3.0f}}, 2},    // mean above: band 1, + 1
             {{{1, 40, 20}, {1, 1, 40}, {2.0f, 2.0f, 2.0f}}, 2}}) { // raised flat triangle
        ContourRecord record;
        contour_triangle(1, c.first.x[0], c.first.x[1], c.first.x[2], c.first.y[0], c.first.y[1],
                         c.first.y[2], c.first.v[0], c.first.v[1], c.first.v[2], levels, record,
                         canvas, Progdisplay.brushes, Progdisplay.pens);
        ASSERT_EQ(record.pieces(), 1);
        EXPECT_EQ(record.piece_band[0], c.second);
        EXPECT_EQ(record.piece_vertices[0], 3);
    }
}

// Pixels inside triangle t, at least `margin` pixels from each edge k whose bit is set in
// `outer`, that still show the background.
int unpainted_within(const gfx::Canvas& canvas, const Triangle& t, unsigned outer, double margin) {
    int count = 0;
    for (const gfx::Point& p : pixels_inside(t.x, t.y)) {
        bool far = true;
        for (int k = 0; k < 3 && far; ++k) {
            if (!(outer >> k & 1u)) continue;
            const int j = (k + 1) % 3;
            const double ex = t.x[j] - t.x[k], ey = t.y[j] - t.y[k];
            const double cross = ex * (p.y - t.y[k]) - ey * (p.x - t.x[k]);
            far = std::fabs(cross) >= margin * std::sqrt(ex * ex + ey * ey);
        }
        if (far && canvas.get_pixel(p.x, p.y) == gfx::white) ++count;
    }
    return count;
}

// Random thick triangles and levels, with corner values often exactly on a level. Outline
// style: no pixel inside a triangle stays unpainted. Direct style: two triangles sharing an
// edge, as a section's are, leave no unpainted pixel on or beside that edge, nor anywhere
// inside but along the outer edges, where a cut point rounded inward may leave the edge pixel
// to the neighbouring triangle.
TEST(ContourTriangle, PiecesLeaveNoUnpaintedPixelInsideInBothStyles) {
    Session s;
    float levels[16];
    ASSERT_EQ(choose_contours(Progdisplay, 16, levels, 1, 16.0f, 0.0f), 1); // 0.5, 1.5, .., 15.5
    unsigned seed = 12345u;
    const auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % unsigned(range));
    };
    const auto value = [&] {
        const int pick = next(4);
        return pick == 0   ? levels[next(16)]
               : pick == 1 ? float(next(4)) * 4.0f + 2.0f
                           : float(next(1700)) * 0.01f;
    };
    const auto thick = [](const Triangle& t) {
        const int twice =
            std::abs((t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) - (t.y[1] - t.y[0]) * (t.x[2] - t.x[0]));
        int longest = 0;
        for (int k = 0; k < 3; ++k) {
            const int dx = t.x[(k + 1) % 3] - t.x[k], dy = t.y[(k + 1) % 3] - t.y[k];
            longest = std::max(longest, dx * dx + dy * dy);
        }
        return twice >= 400 && double(twice) * twice >= 0.09 * double(longest) * longest;
    };
    int tested = 0;
    while (tested < 300) {
        Triangle a;
        for (int k = 0; k < 3; ++k)
            a.x[k] = 5 + next(190), a.y[k] = 5 + next(190), a.v[k] = value();
        // b shares the edge 0-1 of a, its third corner opposite a's.
        const Triangle b{{a.x[1], a.x[0], a.x[0] + a.x[1] - a.x[2]},
                         {a.y[1], a.y[0], a.y[0] + a.y[1] - a.y[2]},
                         {a.v[1], a.v[0], value()}};
        if (!thick(a) || b.x[2] < 5 || b.x[2] > 194 || b.y[2] < 5 || b.y[2] > 194) continue;
        ++tested;
        const std::string where = std::to_string(a.x[0]) + "," + std::to_string(a.y[0]) + " " +
                                  std::to_string(a.x[1]) + "," + std::to_string(a.y[1]) + " " +
                                  std::to_string(a.x[2]) + "," + std::to_string(a.y[2]) +
                                  " values " + std::to_string(a.v[0]) + " " +
                                  std::to_string(a.v[1]) + " " + std::to_string(a.v[2]);
        ContourRecord record;
        const gfx::Canvas outlined = draw_outlined(a, 16, levels, record);
        ASSERT_EQ(unpainted_inside(outlined, a), 0) << "outline " << where;

        gfx::Canvas both = draw_direct(a, 16, levels);
        contour_triangle(16, b.x[0], b.x[1], b.x[2], b.y[0], b.y[1], b.y[2], b.v[0], b.v[1], b.v[2],
                         levels, record, both, Progdisplay.brushes, Progdisplay.pens);
        // Edge 0 of each is the shared one; edges 1 and 2 are outer.
        ASSERT_EQ(unpainted_within(both, a, 6u, 1.0), 0) << "direct " << where;
        ASSERT_EQ(unpainted_within(both, b, 6u, 1.0), 0) << "direct, second of " << where;
    }
}

TEST(PieceGeometry, AreasDuplicatesOrientationRatiosSeedsAndInsideTests) {
    int x[4] = {0, 4, 0}, y[4] = {0, 0, 3};
    EXPECT_FLOAT_EQ(poly_area(3, x, y), 6.0f);
    int rx[3] = {0, 0, 4}, ry[3] = {0, 3, 0};
    EXPECT_FLOAT_EQ(poly_area(3, rx, ry), 6.0f);
    EXPECT_FLOAT_EQ(polygon_size_ratio(3, 6.0f, x, y), 0.6f);
    EXPECT_FLOAT_EQ(polygon_size_ratio(3, 0.0f, x, y), 0.0f);

    int dx[4] = {0, 5, 0, 5}, dy[4] = {0, 0, 0, 5};
    EXPECT_EQ(remove_duplicate_vertices(4, dx, dy), 3);
    EXPECT_EQ(std::vector<int>(dx, dx + 4), (std::vector<int>{0, 5, 5, 0}));
    EXPECT_EQ(std::vector<int>(dy, dy + 4), (std::vector<int>{0, 0, 5, 0}));

    // Clockwise on the screen (y down) is the inside-positive order; the other is reversed.
    int ox[4] = {0, 0, 10, 10}, oy[4] = {0, 10, 10, 0};
    orient_polygon(4, ox, oy);
    EXPECT_EQ(std::vector<int>(ox, ox + 4), (std::vector<int>{0, 10, 10, 0}));
    EXPECT_EQ(std::vector<int>(oy, oy + 4), (std::vector<int>{0, 0, 10, 10}));
    for (const auto& p : std::vector<std::pair<int, int>>{{0, 0}, {10, 10}, {5, 0}, {5, 5}})
        EXPECT_EQ(point_in_convex_polygon(4, ox, oy, p.first, p.second), 1);
    for (const auto& p : std::vector<std::pair<int, int>>{{-1, 5}, {11, 5}, {5, 11}})
        EXPECT_EQ(point_in_convex_polygon(4, ox, oy, p.first, p.second), 0);

    const int tx[3] = {0, 10, 0}, ty[3] = {0, 0, 10};
    float sy = 0.0f;
    EXPECT_NEAR(triangle_incentre(tx, ty, &sy, 0, 20, 0, 20), 2.929f, 0.001f);
    EXPECT_NEAR(sy, 2.929f, 0.001f);
    EXPECT_FLOAT_EQ(triangle_incentre(tx, ty, &sy, 5, 20, 0, 20), -1.0f);
    EXPECT_NEAR(sy, 2.929f, 0.001f);
}

TEST(FloodFill, StaysInsideItsOutlineAndSkipsLinesAndTheClipBorder) {
    Session s;
    Progdisplay.line_mode = 1;
    gfx::Canvas canvas(60, 60);
    canvas.select_pen(gfx::Pen{gfx::black, false});
    // A concave outline: an arrow head.
    const int px[5] = {10, 50, 30, 50, 10}, py[5] = {10, 10, 30, 50, 50};
    for (int k = 0; k < 5; ++k)
        draw_line(px[k], py[k], px[(k + 1) % 5], py[(k + 1) % 5], canvas);
    const gfx::Canvas before = canvas;
    EXPECT_EQ(flood_fill_at_point(10, 30, 3, canvas, Progdisplay.brushes, 0, 0, 59, 59),
              gfx::black); // on the line: nothing
    EXPECT_EQ(flood_fill_at_point(20, 30, 3, canvas, Progdisplay.brushes, 20, 0, 59, 59),
              gfx::white); // on the clip border: nothing
    EXPECT_EQ(canvas.pixels(), before.pixels());
    EXPECT_EQ(flood_fill_at_point(20, 30, 3, canvas, Progdisplay.brushes, 0, 0, 59, 59),
              gfx::white);
    int inside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const gfx::Colour was = before.get_pixel(x, y), now = canvas.get_pixel(x, y);
            if (was == gfx::black) {
                ASSERT_EQ(now, gfx::black);
            } else if (now != was) {
                ASSERT_EQ(now, band(3));
                ASSERT_TRUE(x > 10 && x < 50 && y > 10 && y < 50) << x << "," << y;
                ASSERT_LT(x, 30 + std::abs(y - 30)) << y; // not in the notch
                ++inside;
            }
        }
    EXPECT_GT(inside, 900);
    // Filled pixels are painted: a second seed there changes nothing.
    const gfx::Canvas filled = canvas;
    flood_fill_at_point(25, 30, 5, canvas, Progdisplay.brushes, 0, 0, 59, 59);
    EXPECT_EQ(canvas.pixels(), filled.pixels());
}

TEST(FloodFill, UnpaintedIsTheAlternativeBackgroundInSchemesTwoAndThree) {
    Session s;
    Progdisplay.alt_background_colour = gfx::rgb(240, 240, 240);
    for (int scheme : {1, 2, 3, 4}) {
        Progdisplay.level_scheme = scheme;
        gfx::Canvas canvas(20, 20);
        canvas.fill_rect({0, 0, 20, 20}, gfx::rgb(240, 240, 240));
        flood_fill_at_point(10, 10, 2, canvas, Progdisplay.brushes, 0, 0, 19, 19);
        const bool alt = scheme == 2 || scheme == 3;
        EXPECT_EQ(Progdisplay.fill_background, alt ? gfx::rgb(240, 240, 240) : gfx::white);
        EXPECT_EQ(canvas.get_pixel(10, 10), alt ? band(2) : gfx::rgb(240, 240, 240)) << scheme;
    }
}

TEST(FloodFill, AroundADatumTakesTheBandOfItsValue) {
    Session s;
    const float levels[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    const float values[3] = {3.0f, 9.0f, 0.5f};
    const int expected[3] = {2, 4, 0}; // equal to levels[2]: brush 2; above all: brush 4
    for (int datum = 1; datum <= 3; ++datum) {
        gfx::Canvas canvas(20, 20);
        fill_around_datum(4, 10, 10, values, levels, datum, canvas, Progdisplay.brushes, 0, 0, 19,
                          19);
        EXPECT_EQ(canvas.get_pixel(10, 10), band(expected[datum - 1])) << datum;
    }
}

TEST(FloodFill, ThinAndCollapsedPiecesAreFilledByScanning) {
    Session s;
    Progdisplay.line_mode = 1;
    gfx::Canvas canvas(40, 20);
    canvas.select_pen(gfx::Pen{gfx::black, false});
    // Two lines two pixels apart leave a one-pixel channel a seed would miss.
    draw_line(2, 5, 37, 5, canvas);
    draw_line(2, 7, 37, 7, canvas);
    draw_line(2, 5, 2, 7, canvas);
    draw_line(37, 5, 37, 7, canvas);
    const int x[4] = {2, 37, 37, 2}, y[4] = {5, 5, 7, 7};
    flood_fill_polygon(4, x, y, 6, canvas, Progdisplay.brushes, 0, 0, 39, 19);
    for (int X = 3; X < 37; ++X)
        ASSERT_EQ(canvas.get_pixel(X, 6), band(6)) << X;
    // A piece collapsed onto the line y = 12 is reached from its vertices' diagonals only when
    // they lie on the line: none do, so nothing is painted.
    const int cx[3] = {5, 15, 25}, cy[3] = {12, 12, 12};
    const gfx::Canvas before = canvas;
    flood_fill_polygon2(3, cx, cy, 6, canvas, Progdisplay.brushes, 0, 0, 39, 19);
    EXPECT_EQ(canvas.pixels(), before.pixels());
    const int dx[3] = {5, 10, 15}, dy[3] = {10, 15, 20}; // diagonal: its neighbours are on it
    flood_fill_polygon2(3, dx, dy, 6, canvas, Progdisplay.brushes, 0, 0, 39, 19);
    EXPECT_EQ(canvas.get_pixel(6, 11), band(6));
}

} // namespace
