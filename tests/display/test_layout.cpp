// Axis numbers, the horizontal layout from the window and font metrics, level counts, paths.
#include "fixture.h"

#include "display/layout.h"

#include <cstring>

namespace {
using display_test::Session;

TEST(AxisNumber, FormatsByTheNumberOfDecimals) {
    const struct {
        float value;
        int ndec;
        const char* text;
    } cases[] = {
        {2.5f, 0, "3"},
        {-2.5f, 0, "-3"},
        {-2.3f, 0, "-2"},
        {0.0f, 0, "0"},
        {7.49f, -2, "7"},
        {2.5f, 1, "2.5"},
        {3.14159f, 2, "3.14"},
        {1.5f, 3, "1.500"},
        {0.25f, 4, "0.2500"},
        {1.0f, 5, "1.00000"},
        {1.5f, 6, "1.500000"},
        {1.5f, 9, "1.500000"},
        {-0.05f, 1, "-0.1"},
        {-0.4f, 0, "0"}, // no "-0"
        // Whole numbers beyond the int range come from the float itself.
        {3e9f, 0, "3000000000"},
        {1e30f, 0, "1000000015047466219876688855040"},
    };
    for (const auto& c : cases) {
        char buffer[64];
        const int n = format_axis_number(buffer, sizeof buffer, c.value, c.ndec);
        EXPECT_STREQ(buffer, c.text) << c.value << " " << c.ndec;
        EXPECT_EQ(n, int(std::strlen(c.text)));
    }
    char small[3];
    EXPECT_EQ(format_axis_number(small, sizeof small, 1.5f, 6), 2);
    EXPECT_STREQ(small, "1.");
}

struct Layout {
    float xscale = 0, raw = 0;
    std::int32_t plot_width = 0, char_w = 0, char_h = 0, lengthvx = 0, client_height = 0;
};
Layout lay_out(int nps, int canvas_width, int nelec, int margin_a, int margin_b, gfx::Canvas& dc) {
    Layout l;
    l.xscale =
        layout_text_metrics(nps, canvas_width, nelec, &l.raw, &l.plot_width, margin_a, margin_b,
                            &l.char_w, &l.char_h, &l.lengthvx, &l.client_height, dc);
    return l;
}

TEST(LayoutTextMetrics, ScaleStaysWithinFiveToTenPixelsPerColumnWhenTheCanvasAllows) {
    const struct {
        int client_width, canvas_width;
        float raw, xscale;
        int plot_width, lengthvx;
    } cases[] = {
        {1000, 2000, 36.0f, 36.0f, 864, 972},  // round(892 / 96) x 4 = 36 lies in 20..40
        {3000, 2000, 40.0f, 40.0f, 960, 1068}, // too wide: 10 px per column
        {3000, 1000, 892.0f / 24, 892.0f / 24, 892, 1000}, // ... unless the canvas is narrower
        {500, 2000, 20.0f, 20.0f, 480, 588},               // too narrow: 5 px per column
        {500, 400, 292.0f / 24, 292.0f / 24, 292, 400},
    };
    for (const auto& c : cases) {
        // A client of c.client_width x 640 pixels: the fixed font stays.
        Session s(c.client_width + ui::scroll_bar_size,
                  640 + ui::menu_bar_height + ui::scroll_bar_size);
        gfx::Canvas dc(10, 10);
        const Layout l = lay_out(4, c.canvas_width, 25, 50, 50, dc);
        EXPECT_FLOAT_EQ(l.raw, c.raw) << c.client_width << " " << c.canvas_width;
        EXPECT_FLOAT_EQ(l.xscale, c.xscale);
        EXPECT_EQ(l.plot_width, c.plot_width);
        EXPECT_EQ(l.lengthvx, c.lengthvx);
        EXPECT_EQ(l.char_w, 8);
        EXPECT_EQ(l.char_h, 16);
        EXPECT_EQ(l.client_height, 640);
    }
}

TEST(LayoutTextMetrics, LowClientTakesTheSmallFontAndShortLinesStayFinite) {
    Session s(1000 + ui::scroll_bar_size, 540 + ui::menu_bar_height + ui::scroll_bar_size);
    gfx::Canvas dc(10, 10);
    const Layout l = lay_out(4, 2000, 25, 50, 50, dc);
    EXPECT_EQ(dc.font().face, Progdisplay.small_font.face);
    EXPECT_EQ(dc.font().height, Progdisplay.small_font.height);
    EXPECT_EQ(l.char_h, dc.text_metrics().height);
    EXPECT_EQ(l.client_height, 540);
    for (int nelec : {0, 1, 2}) {
        const Layout one = lay_out(2, 2000, nelec, 50, 50, dc);
        EXPECT_GE(one.xscale, 1.0f) << nelec;
        EXPECT_LE(one.xscale, 20.0f) << nelec;
    }
}

TEST(LayoutHelpers, FractionsLevelCountsAndPaths) {
    float fractions[8] = {};
    set_layout_fractions(fractions);
    const float expected[8] = {0.5f, 0.4f, 0.6f, 0.9f, 0.3f, 0.45f, 0.55f, 0.4f};
    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ(fractions[k], expected[k]) << k;

    for (const auto& c :
         std::vector<std::pair<int, int>>{{1, 16}, {2, 10}, {3, 11}, {4, 16}, {0, 16}}) {
        EXPECT_EQ(set_ncontours(c.first), c.second);
        EXPECT_EQ(contour_count, c.second);
    }

    const struct {
        const char *folder, *name, *path;
        int folder_length;
    } paths[] = {{"/home/user/", "veldarin.ini", "/home/user/veldarin.ini", 11},
                 {"/home/user", "veldarin.ini", "/home/user/veldarin.ini", 10},
                 {"C:\\prog\\", "a.ini", "C:\\prog\\a.ini", 8},
                 {"", "a.ini", "a.ini", 0}};
    for (const auto& p : paths) {
        char path[64];
        make_path(p.folder, p.name, path, sizeof path);
        EXPECT_STREQ(path, p.path);
        EXPECT_EQ(path_folder_length, p.folder_length);
    }
    char short_path[8];
    make_path("/home/user/", "veldarin.ini", short_path, sizeof short_path);
    EXPECT_STREQ(short_path, "/home/u");
}

} // namespace
