// The block sensitivity plot on the window and the canvas: the quantity and its label by the
// plot choice, a single block row, and a cancelled choice of levels.
#include "fixture.h"

#include "display/contour_levels.h"
#include "model/services.h"
#include "sensitivity/sensitivity_plot.h"
#include "support/files.h"
#include "support/model_records.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Sensitivity blocks of a line of 6 electrodes (5 blocks a row, 0.5 deep from the surface),
// every quantity positive and different, drawn on a screen of 1024 x 768 with an off-screen
// canvas.
struct PlotSession : test_support::Headless {
    test_support::GlobalRecords records{test_support::limits_for(20, 200)};
    gfx::Canvas canvas{1024, 1400};
    ModelSettings& m = Modelsettings;

    PlotSession() {
        backend.set_screen(1024, 768);
        rebuild_display_objects();
        Progdisplay.canvas_dc = &canvas;
        std::strcpy(m.model_title, "Half-space");
        m.nelec = 6;
        m.unit_spacing = 2.0f;
    }
    ~PlotSession() { Progdisplay.canvas_dc = nullptr; }
    void blocks(int rows) {
        m.sens_nrows = rows, m.sens_ncols = 5, m.sens_nblocks = 5 * rows;
        for (int b = 0; b < m.sens_nblocks; ++b) {
            m.sens_block_x[b] = 0.5f + float(b % 5);
            m.sens_block_z[b] = 0.25f + 0.5f * float(b / 5);
            m.sens_total[b] = 10.0f + float(b);
            m.sens_unit_area[b] = 20.0f + float(b);
            m.resolution[b] = 0.5f + 0.01f * float(b);
            m.resolution_normalized[b] = 0.25f + 0.01f * float(b);
        }
    }
    static bool blank(const gfx::Canvas& c) {
        return std::all_of(c.pixels().begin(), c.pixels().end(),
                           [](gfx::Colour p) { return p == gfx::white; });
    }
};

TEST(SensitivityPlot, DrawsTheChosenQuantityWithItsLabel) {
    PlotSession s;
    s.blocks(3);
    const struct {
        int type, resolution;
        const float* values;
        const char* label;
    } cases[] = {{0, 0, s.m.sens_total, "Integrated sensitivity"},
                 {1, 1, s.m.sens_unit_area, "Sensitivity per unit area"},
                 {2, 1, s.m.resolution, "Model resolution"},
                 {3, 1, s.m.resolution_normalized, "Normalized model resolution"},
                 {2, 0, s.m.sens_unit_area, "Sensitivity per unit area"},
                 {3, 0, s.m.sens_unit_area, "Sensitivity per unit area"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " resolution " << c.resolution);
        s.m.sens_type = c.type, s.m.calc_resolution = c.resolution;
        EXPECT_EQ(sensitivity_plot_quantity(s.m).values, c.values);
        s.canvas.fill_rect({0, 0, s.canvas.width(), s.canvas.height()}, gfx::white);
        s.answer("dialog ContourChoiceBox ok");
        sensitivity_plot(s.m, Progdisplay, ui::window_canvas());
        EXPECT_EQ(Progdisplay.contour_quantity, 2);
        const std::string texts = s.take_texts();
        EXPECT_NE(texts.find("Half-space - Sensitivity Plot"), std::string::npos);
        EXPECT_NE(texts.find("\n" + std::string(c.label) + "\n"), std::string::npos) << texts;
        // The electrode labels are in metres: electrode 6 stands at 10 m.
        EXPECT_NE(texts.find("\n10.0\n"), std::string::npos);
        EXPECT_FALSE(PlotSession::blank(s.canvas));
        // The levels span the quantity: the logarithmic choice runs from its smallest value.
        float hi = 0.0f;
        const float lo = array_maxmin(15, c.values, &hi);
        EXPECT_GE(Progdisplay.res_levels[0], lo);
        EXPECT_LE(Progdisplay.res_levels[15], hi);
    }
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// One block row has no depth range: the width sets the scale, and every pixel inside the frame
// is painted. Cancelling the levels draws nothing.
TEST(SensitivityPlot, SingleRowAndCancelledLevels) {
    PlotSession s;
    s.blocks(1);
    s.m.sens_type = 0;
    s.answer("dialog ContourChoiceBox ok");
    sensitivity_plot(s.m, Progdisplay, ui::window_canvas());
    const gfx::TextMetrics tm = ui::window_canvas().text_metrics();
    const int client_width = ui::client_size().width; // the plot is centred in the window
    const float scale = float(client_width - 18 * tm.ave_char_width) / 5.0f;
    const int width = round_to_int(5.0f * scale), height = round_to_int(0.25f * scale);
    const int left = (client_width - width) / 2, top = 4 * tm.height;
    int white = 0;
    for (int y = top + 1; y < top + height; ++y)
        for (int x = left + 1; x < left + width; ++x)
            white += s.canvas.get_pixel(x, y) == gfx::white;
    EXPECT_EQ(white, 0);

    s.canvas.fill_rect({0, 0, s.canvas.width(), s.canvas.height()}, gfx::white);
    erase_window();
    s.take_texts();
    s.answer("dialog ContourChoiceBox cancel");
    sensitivity_plot(s.m, Progdisplay, ui::window_canvas());
    EXPECT_TRUE(PlotSession::blank(s.canvas));
    EXPECT_TRUE(PlotSession::blank(ui::window_canvas()));
    EXPECT_EQ(s.take_texts(), "");
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// A contour-values file of more values than the colour scale's 17 colours take is refused with
// the number it takes, and no section is drawn (its bands beyond the 16th took the drawing
// tools' colours).
TEST(SensitivityPlot, ContourFileOfMoreLevelsThanColoursIsRefused) {
    PlotSession s;
    s.blocks(3);
    s.m.sens_type = 0;
    test_support::TempDir dir;
    std::string text = "17\n";
    for (int k = 1; k <= 17; ++k)
        text += std::to_string(9 + k) + "\n";
    const std::string path = dir.write("sensitivity.val", text);
    s.answer("dialog ContourChoiceBox click 165 ok\nfile " + path);
    sensitivity_plot(s.m, Progdisplay, ui::window_canvas());
    EXPECT_TRUE(s.showed("BOX [Error Message] The file gives 17 contour values, but the colour "
                         "scale shows at most 16."));
    EXPECT_TRUE(PlotSession::blank(s.canvas));
    EXPECT_TRUE(s.answered()) << s.err.str();
}

} // namespace
