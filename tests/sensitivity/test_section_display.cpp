// The sensitivity section display on a canvas: labels, legend, fill styles, overflow of the
// contour lists and the work arrays.
#include "fixture.h"

#include "sensitivity/kernels.h"
#include "sensitivity/section_display.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using sens_test::Session;

// A section grid of `columns` x `rows` nodes, x from x0 by dx and depth from z0 by dz, with
// the values of `value`.
struct TestGrid {
    std::vector<float> x, z, v;
    int rows = 0, columns = 0;
    template <class F>
    TestGrid(int columns_, int rows_, float x0, float dx, float z0, float dz, F value)
        : rows(rows_), columns(columns_) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                x.push_back(x0 + float(c) * dx);
                z.push_back(z0 + float(r) * dz);
                v.push_back(value(x.back(), z.back(), r, c));
            }
    }
};

// The section of `g` as the standard-array section draws it: from x0 - its first x, 0 at the
// top, equal scales of `scale` pixels, the 16 fixed levels.
SensitivitySection section_of(const TestGrid& g, float* levels, float scale = 200.0f) {
    SensitivitySection s;
    s.n_levels = set_sensitivity_levels(levels);
    s.levels = levels;
    s.rows = g.rows;
    s.columns = g.columns;
    s.node_x = g.x.data();
    s.node_z = g.z.data();
    s.values = g.v.data();
    s.x_min = g.x.front();
    s.x_max = g.x.back();
    s.z_min = 0.0f;
    s.z_max = g.z.back();
    s.x_scale = s.z_scale = scale;
    s.top = 64;
    s.left = 96;
    s.title = "Test section";
    s.legend_caption = "Sensitivity x 100.0";
    return s;
}

// White pixels strictly inside the frame of a section drawn with `in` (its left recomputed by
// the centred layout).
int unpainted_inside(const gfx::Canvas& dc, const SensitivitySection& in, int client_width) {
    const int w = round_to_int((in.x_max - in.x_min) * in.x_scale);
    const int h = round_to_int((in.z_max - in.z_min) * in.z_scale);
    const int left = (client_width - w) / 2;
    int white = 0;
    for (int y = in.top + 1; y < in.top + h; ++y)
        for (int x = left + 1; x < left + w; ++x)
            white += dc.get_pixel(x, y) == gfx::white;
    return white;
}

// The Wenner alpha section, scaled as the standard-array section scales it (largest value
// between 100 and 1000).
TestGrid wenner_alpha_grid(float dx, float dz) {
    const sens::Electrodes e;
    TestGrid g(int(3.0f / dx + 0.5f) + 1, int(0.99f / dz + 0.5f) + 1, -1.0f + 0.0001f, dx, 0.01f,
               dz, [&](float x, float z, int, int) {
                   return sens::array_kernel_sum(sens::wenner_alpha, 1.0f, e, x, z);
               });
    float m = 0.0f;
    for (float v : g.v)
        m = std::max(m, std::fabs(v));
    const float factor = std::pow(10.0f, 3.0f - std::ceil(std::log10(m)));
    for (float& v : g.v)
        v *= factor;
    return g;
}

TEST(SensitivityLevels, SixteenFixedLevels) {
    float levels[20];
    std::fill(levels, levels + 20, 7.0f);
    EXPECT_EQ(set_sensitivity_levels(levels), 16);
    const float expected[16] = {-128, -64, -32, -16, -8, -4, -2, 0, 2, 4, 8, 16, 32, 64, 128, 256};
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(levels[k], expected[k]);
    EXPECT_EQ(levels[16], 7.0f);
}

TEST(SensitivitySection, LabelsTheDistanceScaleByElectrodeCount) {
    const struct {
        int n;
        std::set<std::string> labels;
    } cases[] = {{100, {"0.0", "16", "32", "48", "64", "80", "96"}},
                 {30,
                  {"0.0", "2.0", "4.0", "6.0", "8.0", "10", "12", "14", "16", "18", "20", "22",
                   "24", "26", "28"}},
                 {20, {"0.0", "1.0", "2.0", "3.0", "4.0", "5.0", "6.0", "7.0", "8.0", "9.0",
                       "10",  "11",  "12",  "13",  "14",  "15",  "16",  "17",  "18",  "19"}}};
    for (const auto& c : cases) {
        Session s;
        const TestGrid g(c.n, 3, 0.0f, 1.0f, 0.5f, 1.0f,
                         [](float, float, int, int) { return 1.0f; });
        std::vector<float> surface(std::size_t(c.n)), zero(std::size_t(c.n), 0.0f);
        for (int i = 0; i < c.n; ++i)
            surface[i] = float(i);
        float levels[16];
        SensitivitySection in = section_of(g, levels, 900.0f / float(c.n));
        in.n_surface_electrodes = c.n;
        in.surface_x = surface.data();
        in.surface_z = zero.data();
        in.show_legend = 0;
        std::set<std::string> drawn;
        gfx::Canvas dc(1024, 700);
        dc.set_text_observer([&](int, int y, const std::string& t) {
            if (y == in.top - 16 - 4) drawn.insert(t); // the row of labels over the frame
        });
        draw_sensitivity_section(in, dc, Progdisplay.brushes, Progdisplay.pens);
        drawn.erase(in.title);
        EXPECT_EQ(drawn, c.labels) << c.n << " electrodes";
    }
}

TEST(SensitivitySection, LegendLevelFormats) {
    Session s;
    const TestGrid g(4, 3, 0.0f, 1.0f, 0.5f, 1.0f,
                     [](float, float, int c, int) { return 0.001f * float(c + 1); });
    float levels[16];
    SensitivitySection in = section_of(g, levels);
    // Levels 0, 2, 4 ... (from 0) stand under the boxes 1, 3, 5 ...; the others are not shown.
    const float ascending[16] = {-0.002f, -0.001f, 0.0f,    0.00001f, 0.00005f, 0.0001f,
                                 0.05f,   0.1f,    0.5f,    1.0f,     5.0f,     10.0f,
                                 50.0f,   100.0f,  1500.0f, 2000.0f};
    std::copy(ascending, ascending + 16, levels);
    std::vector<std::string> texts;
    gfx::Canvas dc(1024, 700);
    dc.set_text_observer([&](int, int, const std::string& t) { texts.push_back(t); });
    draw_sensitivity_section(in, dc, Progdisplay.brushes, Progdisplay.pens);
    const auto drawn = [&](const std::string& t) {
        return std::find(texts.begin(), texts.end(), t) != texts.end();
    };
    for (const char* t : {"-0.0020", "0.0", "5.0e-05", "0.0500", "0.500", "5.00", "50.0", "1500.0",
                          "Sensitivity x 100.0"})
        EXPECT_TRUE(drawn(t)) << t;
    EXPECT_FALSE(drawn("0.1000")) << "level 7 stands under no box";

    // Inverted values: the legend shows the levels times 1000.
    texts.clear();
    levels[0] = 0.002f;
    for (int k = 1; k < 16; ++k)
        levels[k] = 0.01f * float(k);
    in.invert_values = 1;
    draw_sensitivity_section(in, dc, Progdisplay.brushes, Progdisplay.pens);
    EXPECT_TRUE(drawn("2.00"));
}

// Both fill styles paint every pixel inside the frame, also the strip between the surface and
// the first depth of the grid, and put the fill style and the surface's fill mode back.
TEST(SensitivitySection, FillsTheWholeFrameInBothStyles) {
    const TestGrid g = wenner_alpha_grid(0.04f, 0.04f);
    for (const int style : {2, 1}) {
        Session s;
        Progdisplay.fill_style = style;
        float levels[16];
        SensitivitySection in = section_of(g, levels, 280.0f);
        const float ex[4] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}, ez[4] = {};
        in.n_set_a = 4;
        in.set_a_x = ex;
        in.set_a_z = ez;
        gfx::Canvas dc(1024, 700);
        dc.set_poly_fill_mode(gfx::FillMode::alternate);
        const int bottom = draw_sensitivity_section(in, dc, Progdisplay.brushes, Progdisplay.pens);
        const int client_width = ui::client_size().width; // the section is centred in it
        EXPECT_EQ(unpainted_inside(dc, in, client_width), 0) << "fill style " << style;
        EXPECT_EQ(Progdisplay.fill_style, style);
        EXPECT_EQ(dc.set_poly_fill_mode(gfx::FillMode::alternate), gfx::FillMode::alternate);
        EXPECT_GT(bottom, in.top + round_to_int(in.z_max * in.z_scale) + 3 * 16);

        // A node between P1 and P2 lies in the band of its value.
        const int left = (client_width - round_to_int((in.x_max - in.x_min) * 280.0f)) / 2;
        const int k = 3 * g.columns + 38;
        int band = 0;
        while (band < 16 && levels[band] < g.v[k])
            ++band;
        EXPECT_EQ(dc.get_pixel(left + round_to_int((g.x[k] - in.x_min) * 280.0f),
                               in.top + round_to_int(g.z[k] * 280.0f)),
                  Progdisplay.brushes[band].colour)
            << "fill style " << style << " value " << g.v[k];
    }
}

// In the outline style more than 10000 segments replace the levels by a series from 10 by
// sqrt 2 (largest value 30), and a second overflow leaves the window cleared.
TEST(SensitivitySection, TooManySegmentsReplaceTheLevels) {
    Session s;
    Progdisplay.fill_style = 1;
    const TestGrid g(120, 120, 0.0f, 0.01f, 0.01f, 0.01f,
                     [](float, float, int r, int c) { return (r + c) % 2 ? 30.0f : 0.5f; });
    float levels[16];
    SensitivitySection in = section_of(g, levels, 500.0f);
    gfx::Canvas& window = ui::window_canvas();
    draw_sensitivity_section(in, window, Progdisplay.brushes, Progdisplay.pens);
    EXPECT_FLOAT_EQ(levels[0], 10.0f);
    EXPECT_NEAR(levels[1], 14.142136f, 1e-4f);
    EXPECT_NEAR(levels[2], 20.0f, 1e-4f);
    EXPECT_NEAR(levels[15], 10.0f * std::pow(2.0f, 7.5f), 1e-2f);
    const auto& pixels = window.pixels();
    EXPECT_TRUE(
        std::all_of(pixels.begin(), pixels.end(), [](gfx::Colour c) { return c == gfx::white; }));
    EXPECT_EQ(Progdisplay.fill_style, 1);
}

TEST(SensitivitySection, RefusedWorkArraysDrawNothing) {
    Session s;
    const TestGrid g = wenner_alpha_grid(0.1f, 0.1f);
    float levels[16];
    SensitivitySection in = section_of(g, levels);
    gfx::Canvas dc(1024, 700);
    sys::set_page_budget(1024);
    EXPECT_EQ(draw_sensitivity_section(in, dc, Progdisplay.brushes, Progdisplay.pens), -1);
    sys::set_page_budget(-1);
    const auto& pixels = dc.pixels();
    EXPECT_TRUE(
        std::all_of(pixels.begin(), pixels.end(), [](gfx::Colour c) { return c == gfx::white; }));
}

} // namespace
