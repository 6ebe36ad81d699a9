// The pseudosection plot on a canvas: triangles of neighbouring data levels, no unpainted pixel
// inside the data area in either fill style, the electrode axis labels, the colour-bar values,
// and new levels when the contour lists overflow.
#include "fixture.h"

#include "display/pseudosection.h"

#include <algorithm>
#include <cmath>
#include <set>

using namespace sections_test;

namespace {

struct Text {
    int x, y;
    std::string text;
};

// A Wenner-like data set of `levels` levels on nelec electrodes: level a has nelec - 3a points
// at x = 1.5 a + i, depth 0.5 a, with values that vary along and down the section.
struct DataSet {
    std::vector<float> x, depth, value;
    std::vector<std::int32_t> counts;
    DataSet(int nelec, int levels) {
        for (int a = 1; a <= levels; ++a) {
            const int n = nelec - 3 * a;
            if (n <= 0) break;
            counts.push_back(n);
            for (int i = 0; i < n; ++i) {
                x.push_back(1.5f * a + float(i));
                depth.push_back(0.5f * float(a));
                value.push_back(10.0f + 7.0f * float(i % 9) + 13.0f * float(a));
            }
        }
    }
};

PseudosectionInput input_of(DataSet& data, int nelec, float* levels, int nlevels) {
    PseudosectionInput in;
    in.canvas_width = 1000;
    in.xscale = 20.0f;
    in.nelec = nelec;
    in.ndata = int(data.value.size());
    in.x = data.x.data();
    in.depth = data.depth.data();
    in.value = data.value.data();
    in.ndata_levels = int(data.counts.size());
    in.level_counts = data.counts.data();
    in.left = 60;
    in.top = 80;
    in.levels = levels;
    in.nlevels = nlevels;
    in.caption = "Resistivity in ohm.m";
    return in;
}

std::vector<Text> plot(PseudosectionInput& in, gfx::Canvas& dc) {
    std::vector<Text> texts;
    dc.set_text_observer([&](int x, int y, const std::string& t) { texts.push_back({x, y, t}); });
    plot_pseudosection(in, dc);
    dc.set_text_observer(nullptr);
    return texts;
}

} // namespace

// Two levels of 5 and 3 points give 6 triangles, each with one edge on a level and its third
// point on the other, every segment of both levels used once; 1 and 1 give none.
TEST(LevelPairTriangles, JoinNeighbouringLevels) {
    const struct {
        int upper, lower, triangles;
    } cases[] = {{5, 3, 6}, {3, 5, 6}, {4, 4, 6}, {1, 4, 3},
                 {4, 1, 3}, {1, 1, 0}, {0, 4, 0}, {6, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.upper) + " over " + std::to_string(c.lower));
        // Upper points at x = 10, 20, ...; lower ones start between them.
        std::vector<int> px;
        for (int i = 0; i < c.upper; ++i)
            px.push_back(10 + 10 * i);
        for (int i = 0; i < c.lower; ++i)
            px.push_back(15 + 10 * i);
        const auto t = level_pair_triangles(px.data(), 0, c.upper, c.upper, c.lower);
        ASSERT_EQ(int(t.size()), c.triangles);
        std::set<std::pair<int, int>> segments;
        for (const auto& tri : t) {
            const int upper =
                int(std::count_if(tri.begin(), tri.end(), [&](int p) { return p < c.upper; }));
            ASSERT_TRUE(upper == 1 || upper == 2);
            std::vector<int> row;
            for (int p : tri)
                if ((p < c.upper) == (upper == 2)) row.push_back(p);
            std::sort(row.begin(), row.end());
            EXPECT_EQ(row[1], row[0] + 1);
            EXPECT_TRUE(segments.insert({row[0], row[1]}).second);
        }
        EXPECT_EQ(int(segments.size()),
                  c.triangles == 0 ? 0 : std::max(0, c.upper - 1) + std::max(0, c.lower - 1));
    }
    // Equal counts: the upper level is the long row.
    const std::vector<int> px{0, 10, 20, 5, 15, 25};
    const auto t = level_pair_triangles(px.data(), 0, 3, 3, 3);
    EXPECT_EQ(t[0][0], 0);
    EXPECT_EQ(t[0][1], 1);
}

// Every pixel whose centre lies inside a triangle of the data area is painted, in the direct
// style and in the outline-and-flood-fill style; the fill style and the canvas's polygon fill
// mode are put back afterwards.
TEST_F(SectionsProgram, DataAreaHasNoUnpaintedPixel) {
    start();
    for (int style : {2, 1}) {
        SCOPED_TRACE(style);
        DataSet data(25, 6);
        float levels[32];
        for (int k = 0; k < 16; ++k)
            levels[k] = 20.0f + 9.0f * float(k);
        PseudosectionInput in = input_of(data, 25, levels, 16);
        gfx::Canvas dc(1000, 500);
        Progdisplay.fill_style = style;
        plot(in, dc);
        EXPECT_EQ(Progdisplay.fill_style, style);
        EXPECT_EQ(dc.set_poly_fill_mode(gfx::FillMode::winding), gfx::FillMode::alternate);

        std::vector<int> ix, iy;
        for (std::size_t i = 0; i < data.x.size(); ++i) {
            ix.push_back(round_to_int(data.x[i] * 20.0f + 60.0f));
            iy.push_back(round_to_int(data.depth[i] * 20.0f + 80.0f));
        }
        int start = 0, unpainted = 0, inside = 0;
        for (std::size_t k = 1; k < data.counts.size(); ++k) {
            const int next = start + data.counts[k - 1];
            for (const auto& t :
                 level_pair_triangles(ix.data(), start, data.counts[k - 1], next, data.counts[k])) {
                const int x[3] = {ix[t[0]], ix[t[1]], ix[t[2]]},
                          y[3] = {iy[t[0]], iy[t[1]], iy[t[2]]};
                const int x0 = std::min({x[0], x[1], x[2]}), x1 = std::max({x[0], x[1], x[2]});
                const int y0 = std::min({y[0], y[1], y[2]}), y1 = std::max({y[0], y[1], y[2]});
                const long long turn = (long long)(x[1] - x[0]) * (y[2] - y[0]) -
                                       (long long)(y[1] - y[0]) * (x[2] - x[0]);
                for (int Y = y0; Y <= y1; ++Y)
                    for (int X = x0; X <= x1; ++X) {
                        bool in_triangle = true;
                        for (int e = 0; e < 3 && in_triangle; ++e) {
                            const int f = (e + 1) % 3;
                            const long long s = (long long)(x[f] - x[e]) * (Y - y[e]) -
                                                (long long)(y[f] - y[e]) * (X - x[e]);
                            in_triangle = turn > 0 ? s >= 0 : s <= 0;
                        }
                        if (!in_triangle) continue;
                        ++inside;
                        if (dc.get_pixel(X, Y) == gfx::white) ++unpainted;
                    }
            }
            start = next;
        }
        EXPECT_GT(inside, 5000);
        EXPECT_EQ(unpainted, 0);
    }
}

// Levels that do not nest, as the n, a levels of a dipole-dipole survey: some reach less far
// than the levels above and below them, one is a single point between two longer ones. The data
// area is painted without a notch: going down, its left edge never comes back left (and the
// right edge never back right) by more than a pixel, and no pixel inside it is left white (but
// the marks of the data points).
TEST_F(SectionsProgram, LevelsThatDoNotNestLeaveNoNotch) {
    start();
    const struct {
        float first;
        int count;
    } rows[] = {{1.5f, 22}, {2.0f, 21}, {3.0f, 19}, {2.5f, 20}, {3.0f, 19}, {4.5f, 16},
                {4.0f, 17}, {3.5f, 18}, {6.0f, 13}, {4.0f, 17}, {5.0f, 15}, {7.5f, 10},
                {6.0f, 13}, {9.0f, 7},  {7.0f, 11}, {9.5f, 1},  {8.0f, 9},  {10.5f, 4}};
    DataSet data(25, 0);
    std::set<std::pair<int, int>> marks;
    for (std::size_t k = 0; k < std::size(rows); ++k) {
        data.counts.push_back(rows[k].count);
        for (int i = 0; i < rows[k].count; ++i) {
            data.x.push_back(rows[k].first + 0.5f * float(i));
            data.depth.push_back(0.4f * float(k + 1));
            data.value.push_back(20.0f + 5.0f * float(k) + float(i % 5));
            marks.insert({round_to_int(data.x.back() * 20.0f + 60.0f),
                          round_to_int(data.depth.back() * 20.0f + 80.0f)});
        }
    }
    // From the first level to above the last, whose outline runs 15 pixels past its ends
    // (0.4 x 20 pixels a level).
    const int top = 80 + 8, bottom = 80 + 8 * int(std::size(rows)) - 2;
    for (int style : {2, 1}) {
        SCOPED_TRACE(style);
        float levels[32];
        for (int k = 0; k < 16; ++k)
            levels[k] = 20.0f + 6.0f * float(k);
        PseudosectionInput in = input_of(data, 25, levels, 16);
        gfx::Canvas dc(1000, 500);
        Progdisplay.fill_style = style;
        plot(in, dc);
        // The painted run of each row inside the frame (x 61 .. 539).
        std::vector<std::pair<int, int>> runs;
        int holes = 0;
        for (int y = top; y <= bottom; ++y) {
            int left = -1, right = -1;
            for (int x = 61; x < 540; ++x)
                if (dc.get_pixel(x, y) != gfx::white) {
                    if (left < 0) left = x;
                    right = x;
                }
            if (left < 0) continue;
            runs.push_back({left, right});
            for (int x = left; x <= right; ++x)
                if (dc.get_pixel(x, y) == gfx::white && !marks.count({x, y})) ++holes;
        }
        ASSERT_GT(runs.size(), 100u);
        int back_left = 0, back_right = 0;
        for (std::size_t i = 0; i < runs.size(); ++i)
            for (std::size_t j = i + 1; j < runs.size(); ++j) {
                back_left = std::max(back_left, runs[i].first - runs[j].first);
                back_right = std::max(back_right, runs[j].second - runs[i].second);
            }
        EXPECT_LE(back_left, 1);
        EXPECT_LE(back_right, 1);
        EXPECT_EQ(holes, 0);
    }
}

// Electrode labels: every 4th electrode below 32 electrodes, every 8th below 51, else every
// 16th, centred on the tick above the section's top.
TEST_F(SectionsProgram, ElectrodeAxisLabels) {
    start();
    const struct {
        int nelec;
        std::vector<std::string> labels;
    } cases[] = {{20, {"0.0", "4.0", "8.0", "12.0", "16.0"}},
                 {40, {"0.0", "8.0", "16.0", "24.0", "32.0"}},
                 {60, {"0.0", "16.0", "32.0", "48.0"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nelec);
        DataSet data(c.nelec, 3);
        float levels[16];
        for (int k = 0; k < 16; ++k)
            levels[k] = 20.0f + 9.0f * float(k);
        PseudosectionInput in = input_of(data, c.nelec, levels, 16);
        in.xscale = 15.0f;
        in.legend = 0;
        gfx::Canvas dc(1000, 400);
        const int ch = dc.text_metrics().height;
        std::vector<std::string> shown;
        for (const Text& t : plot(in, dc))
            if (t.y == 80 - 7 - ch && t.text != "m.") {
                shown.push_back(t.text);
                const float electrode = std::stof(t.text);
                const int tick = 60 + round_to_int(electrode * 15.0f);
                EXPECT_NEAR(t.x + dc.text_extent(t.text).cx / 2.0, tick, 1.0) << t.text;
            }
        EXPECT_EQ(shown, c.labels);
    }
}

// Point marks: every data point above the last level is a white pixel in the painted area.
// n,a labels: the rows are labelled "n,a spacing" left of the frame, kept on the canvas though
// they are wider than the room the margin leaves (cut at the edge, "1.0,5.0" would read ".0,5.0"),
// each once.
TEST_F(SectionsProgram, PointMarksAndNALabels) {
    start();
    DataSet data(25, 3);
    std::vector<std::int32_t> a_factors(data.value.size(), 1);
    std::vector<float> n_factors;
    for (std::size_t k = 0; k < data.counts.size(); ++k)
        n_factors.insert(n_factors.end(), std::size_t(data.counts[k]), float(k + 1));
    float levels[16];
    for (int k = 0; k < 16; ++k)
        levels[k] = 20.0f + 9.0f * float(k);
    for (int marks : {0, 1}) {
        SCOPED_TRACE(marks);
        PseudosectionInput in = input_of(data, 25, levels, 16);
        in.array_type = 5;
        in.unit_spacing = 5.0f;
        in.vertical_factor = 0.5f; // 20 pixels from level to level
        in.a_factors = a_factors.data();
        in.n_factors = n_factors.data();
        in.na_labels = 1;
        in.point_marks = marks;
        gfx::Canvas dc(1000, 500);
        const std::vector<Text> texts = plot(in, dc);
        const int last_level = data.counts[0] + data.counts[1];
        for (int p = 0; p < last_level; ++p) {
            const std::size_t i = std::size_t(p);
            const int x = round_to_int(data.x[i] * 20.0f + 60.0f);
            const int y = round_to_int(data.depth[i] * 40.0f + 80.0f);
            EXPECT_EQ(dc.get_pixel(x, y) == gfx::white, marks == 1) << p;
            const bool inner =
                p != 0 && p != data.counts[0] - 1 && p != data.counts[0] && p != last_level - 1;
            if (inner) {
                EXPECT_NE(dc.get_pixel(x + 2, y), gfx::white) << p;
            }
        }
        std::vector<std::string> labels;
        for (const Text& t : texts)
            if (t.text.find(',') != std::string::npos && t.x < 60) {
                labels.push_back(t.text);
                EXPECT_GE(t.x, 0) << t.text;
                EXPECT_LT(t.x + dc.text_extent(t.text).cx, 60 - 1) << t.text; // the frame
            }
        EXPECT_EQ(labels, (std::vector<std::string>{"n,a", "1.0,5.0", "2.0,5.0", "3.0,5.0"}));
        // Each label once: the last is not written again below the frame, over the colour bar.
        EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                                [](const Text& t) { return t.text == "3.0,5.0"; }),
                  1);
    }
}

// Sixteen levels give seventeen boxes with the values of levels 1, 3, ..., 15 under the odd
// boxes, printed with the decimals of their size.
TEST_F(SectionsProgram, ColourBarValues) {
    start();
    DataSet data(25, 4);
    float levels[16] = {0.005f, 0.0072f, 0.05f,  0.07f,  0.5f,   0.7f,   5.0f,   7.0f,
                        50.0f,  70.0f,   150.0f, 200.0f, 300.0f, 400.0f, 500.0f, 600.0f};
    PseudosectionInput in = input_of(data, 25, levels, 16);
    in.unit_spacing = 0.5f;
    gfx::Canvas dc(1000, 500);
    std::vector<std::string> bar;
    std::string spacing, caption;
    const std::vector<Text> texts = plot(in, dc);
    int bar_y = -1;
    for (const Text& t : texts) {
        if (t.text == "0.00500") bar_y = t.y;
        if (t.text.rfind("Unit electrode spacing", 0) == 0) spacing = t.text;
        if (t.text.rfind("Resistivity", 0) == 0) caption = t.text;
    }
    for (const Text& t : texts)
        if (t.y == bar_y) bar.push_back(t.text);
    EXPECT_EQ(bar, (std::vector<std::string>{"0.00500", "0.0500", "0.500", "5.00", "50.0", "150",
                                             "300", "500"}));
    EXPECT_EQ(spacing, "Unit electrode spacing 0.50 m.");
    EXPECT_EQ(caption, "Resistivity in ohm.m");
    // Seventeen boxes 30 pixels wide, 37 apart from x = 24, in the colours of the bands.
    const int box_y = bar_y - 8;
    for (int k = 0; k < 17; ++k)
        EXPECT_EQ(dc.get_pixel(24 + 37 * k + 15, box_y), Progdisplay.brushes[k].colour) << k;
    EXPECT_EQ(dc.get_pixel(24 + 37 * 17 + 15, box_y), gfx::white);
}

// Contour lists that outgrow their capacity: the levels are chosen anew (from 10 by a factor
// of sqrt 2 for a smallest value of 20), the plot tries once more and then gives up.
TEST_F(SectionsProgram, OverflowChoosesNewLevels) {
    start();
    DataSet data(60, 6);
    for (std::size_t i = 0; i < data.value.size(); ++i)
        data.value[i] = i % 2 ? 5000.0f : 20.0f;
    float levels[32];
    for (int k = 0; k < 16; ++k)
        levels[k] = 30.0f + 300.0f * float(k);
    PseudosectionInput in = input_of(data, 60, levels, 16);
    gfx::Canvas dc(1400, 500);
    Progdisplay.fill_style = 1;
    plot(in, dc);
    EXPECT_EQ(Progdisplay.fill_style, 1);
    EXPECT_FLOAT_EQ(levels[0], 10.0f);
    EXPECT_FLOAT_EQ(levels[2], 20.0f);
    EXPECT_NEAR(levels[15], 10.0f * std::pow(2.0f, 7.5f), 0.01f);
}
