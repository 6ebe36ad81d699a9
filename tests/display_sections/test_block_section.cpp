// The block section, the cylinder drawing and the frequency dialog: colours by band, axis
// labels, the reciprocal multiplier, the cylinder's scale and box pitch, the frequency clamp.
#include "fixture.h"

#include "display/block_section.h"
#include "display/cylinder_drawing.h"
#include "display/section_display.h"
#include "model/services.h"

#include <cmath>

using namespace sections_test;

namespace {

struct Text {
    int x, y;
    std::string text;
};

template <class Draw> std::vector<Text> texts_of(gfx::Canvas& dc, Draw draw) {
    std::vector<Text> texts;
    dc.set_text_observer([&](int x, int y, const std::string& t) { texts.push_back({x, y, t}); });
    draw();
    dc.set_text_observer(nullptr);
    return texts;
}

bool shows(const std::vector<Text>& texts, const std::string& t) {
    for (const Text& x : texts)
        if (x.text == t) return true;
    return false;
}

// One layer of nelec - 1 blocks a spacing wide and one deep.
struct OneLayer {
    std::vector<float> cx, cz, values;
    std::vector<std::int32_t> blocks;
    explicit OneLayer(int nelec) {
        for (int i = 0; i < nelec - 1; ++i) {
            cx.insert(cx.end(), {float(i), float(i + 1)});
            cz.insert(cz.end(), {0.0f, 1.0f});
            values.push_back(float(i + 1));
        }
        blocks.push_back(nelec - 1);
    }
    BlockSectionInput input(int nelec, const float* levels, int nlevels) const {
        BlockSectionInput in;
        in.nelec = nelec;
        in.nlayers = 1;
        in.blocks_in_layer = blocks.data();
        in.nblocks = nelec - 1;
        in.corner_x = cx.data();
        in.corner_z = cz.data();
        in.values = values.data();
        in.levels = levels;
        in.nlevels = nlevels;
        in.x0 = 80;
        in.y0 = 60;
        in.pixels_per_spacing = 20.0f;
        in.right_edge = 900;
        in.scale_caption = "Resistivity";
        return in;
    }
};

} // namespace

// Blocks take the band of their value; the vertical scale equals the horizontal one for a
// factor of 1 or 0; the electrode labels fall on 0, 4, .. (20 electrodes) and 0, 8, ..
// (40); the unit spacing has two decimals below 1 m.
TEST_F(SectionsProgram, BlockSectionBandsAndLabels) {
    start();
    const float levels[3] = {2.5f, 5.5f, 9.5f};
    for (float vh : {1.0f, 0.0f, 2.0f}) {
        OneLayer layer(20);
        BlockSectionInput in = layer.input(20, levels, 3);
        in.vh_factor = vh;
        gfx::Canvas dc(1000, 400);
        const int ch = dc.text_metrics().height;
        const auto texts = texts_of(dc, [&] { draw_block_section(in, dc); });
        const int top = 60 + ch / 2, depth = vh == 2.0f ? 10 : 20;
        // Block i (value i + 1) at x = 80 + 20 i; bands 0 (1, 2), 1 (3..5), 2 (6..9), 3.
        const int band[6] = {0, 0, 1, 1, 1, 2};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(dc.get_pixel(80 + 20 * i + 10, top + depth / 2),
                      Progdisplay.brushes[band[i]].colour);
        EXPECT_EQ(dc.get_pixel(80 + 20 * 12 + 10, top + depth / 2), Progdisplay.brushes[3].colour);
        EXPECT_EQ(dc.get_pixel(90, top + depth + 3), gfx::white);
        std::vector<std::string> labels;
        for (const Text& t : texts)
            if (t.y == top - 7 - ch) labels.push_back(t.text);
        EXPECT_EQ(labels, (std::vector<std::string>{"0.0", "4.0", "8.0", "12.0", "16.0"}));
        EXPECT_TRUE(shows(texts, "Unit electrode spacing 1.0 m."));
        EXPECT_TRUE(shows(texts, "Iteration 0 RMS error = 0.0 %"));
    }
    OneLayer layer(40);
    BlockSectionInput in = layer.input(40, levels, 3);
    in.spacing = 0.5f;
    in.pixels_per_spacing = 20.0f;
    gfx::Canvas dc(1000, 400);
    const int ch = dc.text_metrics().height;
    std::vector<std::string> labels;
    for (const Text& t : texts_of(dc, [&] { draw_block_section(in, dc); }))
        if (t.y == 60 + ch / 2 - 7 - ch) labels.push_back(t.text);
    EXPECT_EQ(labels, (std::vector<std::string>{"0.0", "4.0", "8.0", "12.0", "16.0"}));
    EXPECT_FALSE(
        shows(texts_of(dc, [&] { draw_block_section(in, dc); }), "Unit electrode spacing 0.5 m."));
    EXPECT_TRUE(
        shows(texts_of(dc, [&] { draw_block_section(in, dc); }), "Unit electrode spacing 0.50 m."));
}

// Reciprocal levels from 0.002 to 0.05: the multiplier " x 0.01" and the scaled labels.
TEST_F(SectionsProgram, BlockSectionReciprocalScale) {
    start();
    float factor = 0.0f;
    EXPECT_EQ(reciprocal_multiplier(0.002f, 0.05f, &factor), " x 0.01");
    EXPECT_EQ(factor, 100.0f);
    EXPECT_EQ(reciprocal_multiplier(2.0f, 50.0f, &factor), "");
    EXPECT_EQ(factor, 1.0f);
    const float levels[3] = {0.002f, 0.01f, 0.05f};
    OneLayer layer(12);
    BlockSectionInput in = layer.input(12, levels, 3);
    in.reciprocal = 1;
    gfx::Canvas dc(1000, 400);
    const auto texts = texts_of(dc, [&] { draw_block_section(in, dc); });
    EXPECT_TRUE(shows(texts, "Resistivity x 0.01"));
    EXPECT_TRUE(shows(texts, "0.200"));
    EXPECT_TRUE(shows(texts, "5.00"));
}

// The cylinder drawing: a mesh 1 unit high in 400 pixels is drawn at the largest scale, 180;
// the sizing pass returns the drawing pass's y and draws nothing; boxes are 48 pixels apart
// with 12 values and 32 with 13; a value of 0 has two decimals.
TEST_F(SectionsProgram, CylinderScaleBoxesAndSizing) {
    start();
    CylinderMesh mesh;
    mesh.ncells = 1;
    mesh.node_x = {-0.5f, 0.5f, 0.5f, -0.5f, 0, 0, 0, 0};
    mesh.node_y = {0.5f, 0.5f, -0.5f, -0.5f, 0, 0, 0, 0};
    mesh.outline_points = {4};
    const ProgDisplay& d = Progdisplay;
    const int height = 400 + 6 * d.char_h;
    std::vector<float> values{0.0f, 0.05f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::int32_t codes[1] = {1};
    std::vector<std::int32_t> colours(13);
    for (int i = 0; i < 13; ++i)
        colours[i] = i;
    for (int n : {12, 13}) {
        SCOPED_TRACE(n);
        gfx::Canvas sizing(800, 700), drawing(800, 700);
        float xscale = 0.0f;
        const int y0 = draw_cylinder_model(0, &xscale, mesh, "Cylinder", 0, n, values.data(), codes,
                                           colours.data(), 20, 300, height, 24, sizing);
        EXPECT_FLOAT_EQ(xscale, 180.0f * 6.28319f / 24.0f);
        EXPECT_TRUE(std::all_of(sizing.pixels().begin(), sizing.pixels().end(),
                                [](gfx::Colour c) { return c == gfx::white; }));
        std::vector<Text> texts;
        const int y1 = [&] {
            int y = 0;
            texts = texts_of(drawing, [&] {
                y = draw_cylinder_model(1, &xscale, mesh, "Cylinder", 0, n, values.data(), codes,
                                        colours.data(), 20, 300, height, 24, drawing);
            });
            return y;
        }();
        EXPECT_EQ(y0, y1);
        EXPECT_EQ(y1, 300 + 180 + d.char_h);
        // The cell fills 180 x 180 pixels round the centre in the colour of its value.
        const int cx = 20 + d.lengthvx / 2, cy = 300 + 90;
        EXPECT_EQ(drawing.get_pixel(cx, cy), d.brushes[1].colour);
        EXPECT_EQ(drawing.get_pixel(cx + 85, cy - 85), d.brushes[1].colour);
        EXPECT_EQ(drawing.get_pixel(cx + 95, cy), gfx::white);
        const SectionOutlines& o = Sectionoutlines;
        EXPECT_EQ(o.box_x[4] - o.box_x[0], n == 12 ? 48 : 32);
        EXPECT_TRUE(shows(texts, "0.00"));
        EXPECT_TRUE(shows(texts, "0.050"));
    }
}

// The frequency number is held within 1..nfreq; a text without digits reads as 1; Cancel
// puts the display mode back.
TEST_F(SectionsProgram, FrequencyChoiceIsOneOfTheModels) {
    start();
    Modelsettings.nfreq = 5;
    for (const char* typed : {"1", "3", "5"}) {
        answer(std::string("dialog FreqSelectDiaBox set 862 \"") + typed + "\" click 864 ok");
        ui::run_dialog(FreqSelectDiaBox, FreqSelectDiaBoxProc);
        EXPECT_EQ(Modelsettings.freq_index, std::atoi(typed)) << typed;
        EXPECT_EQ(Progdisplay.ip_display_mode, 1);
        EXPECT_EQ(dialog_result, 1);
    }
    // What is no frequency number of the model is refused: the dialog stays open until one
    // comes.
    for (const char* typed : {"abc", "0", "9"}) {
        take_output();
        answer(std::string("dialog FreqSelectDiaBox set 862 ") + typed + " ok set 862 2 ok");
        ui::run_dialog(FreqSelectDiaBox, FreqSelectDiaBoxProc);
        EXPECT_EQ(Modelsettings.freq_index, 2) << typed;
        EXPECT_EQ(take_output(),
                  "BOX [Message] The frequency number must be a whole number from 1 to 5.\n")
            << typed;
    }
    answer("dialog FreqSelectDiaBox click 863 cancel");
    ui::run_dialog(FreqSelectDiaBox, FreqSelectDiaBoxProc);
    EXPECT_EQ(Progdisplay.ip_display_mode, 1);
    EXPECT_EQ(dialog_result, 2);
    EXPECT_TRUE(backend.answers().empty());
}
