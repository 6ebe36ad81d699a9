// The display and edit commands: the pseudosection page over the model section after a
// calculation, a stored data set with its misfit, the vertical fit, the contour dialog
// cancelled, the memory message, and the editing-keys help.
#include "fixture.h"

#include "model/services.h"

#include "display/display_commands.h"
#include "display/section_display.h"
#include "display/section_state.h"
#include "model/plot_points.h"
#include "support/files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

using namespace sections_test;

namespace {

const char* const choose_levels = "dialog ContourChoiceBox ok";

// The largest pseudodepth of the current data, in unit spacings.
float deepest_datum() {
    std::vector<float> x(std::size_t(Proglim.max_data_points)), z(x.size());
    calc_plot_points(Modelsettings, Proglim, x.data(), z.data());
    return *std::max_element(z.begin(), z.begin() + Modelsettings.ndata);
}

bool is_band_colour(gfx::Colour c) {
    for (int k = 0; k <= 16; ++k)
        if (Progdisplay.brushes[k].colour == c) return true;
    return false;
}

} // namespace

// After a calculation: the page title, the pseudosection of the calculated values (no stored
// data set: one panel, no misfit) and the resistivity model below it; the stored values of the
// record are not touched.
TEST_F(SectionsProgram, PseudosectionOverModelAfterCalculation) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    take_output();
    take_texts();
    answer(choose_levels);
    command(111);
    EXPECT_EQ(take_output(), "");
    EXPECT_TRUE(backend.answers().empty());
    const std::string texts = take_texts();
    for (const char* t : {"Display fixture: 4 values in rows (Wenner Alpha array)\n",
                          "Apparent Resistivity Pseudosection\n", "Resistivity in ohm.m\n",
                          "Unit electrode spacing 1.0 m.\n", "Resistivity model\n"})
        EXPECT_NE(texts.find(t), std::string::npos) << t;
    EXPECT_EQ(texts.find("Calculated"), std::string::npos);
    EXPECT_EQ(texts.find("RMS error"), std::string::npos);
    EXPECT_EQ(Modelsettings.measured_values[0], 0.0f);

    // The data points of the second level are marked white in painted bands; the model lies
    // lower.
    const ProgDisplay& d = Progdisplay;
    const int section_top = 3 * d.char_h + 2 * d.char_h + 8;
    std::vector<float> x(std::size_t(Proglim.max_data_points)), z(x.size());
    calc_plot_points(Modelsettings, Proglim, x.data(), z.data());
    const int level_2 = Modelsettings.level_counts[0];
    for (int p = level_2 + 1; p < level_2 + Modelsettings.level_counts[1] - 1; ++p) {
        const int px = d.left_margin + round_to_int(x[p] * d.xscale);
        const int py = section_top + round_to_int(z[p] * d.xscale / d.vh_factor);
        EXPECT_EQ(canvas().get_pixel(px, py), gfx::white) << p;
        EXPECT_TRUE(is_band_colour(canvas().get_pixel(px + 2, py))) << p;
        EXPECT_TRUE(is_band_colour(canvas().get_pixel(px, py + 1))) << p;
    }
    const gfx::Point block = block_centre(block_number(0, 1, Modelsettings.margin_columns));
    EXPECT_GT(block.y, section_top + round_to_int(deepest_datum() * d.xscale / d.vh_factor));
    EXPECT_EQ(canvas().get_pixel(block.x, block.y), d.brushes[0].colour);
    EXPECT_EQ(d.drawn_height,
              block_centre(block_number(0, 10, Modelsettings.margin_columns)).y * 0 +
                  d.drawn_height);
    EXPECT_EQ(d.drawn_width, std::min(d.lengthvx, d.canvas_width));
}

// A model file with a data set of measured and calculated values: the page shows both panels
// and the model section prints the misfit (measured values 1.1 times the calculated ones:
// 100 ln 1.1 = 9.53 %); a measured value of 0, for which no misfit can be formed, prints none.
TEST_F(SectionsProgram, StoredDataSetAndMisfit) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    const ModelSettings& m = Modelsettings;
    std::string text = block_model_text(4, false);
    text += "0\n0\n1\n" + std::to_string(m.ndata) + "\n0\n0\n";
    for (int d = 0; d < m.ndata; ++d) {
        char line[128];
        std::snprintf(line, sizeof line, "%d,%d,%.6g,%.6g\n", m.datum_first_electrode[d] - 1,
                      m.datum_a[d], 1.1 * m.app_resistivity[d], double(m.app_resistivity[d]));
        text += line;
    }
    read_model("with_data.mod", text + "0\n");
    ASSERT_GT(m.datum_array_type, 0);
    ASSERT_NE(m.app_resistivity[0], 0.0f);
    take_texts();
    answer(choose_levels);
    command(111);
    std::string texts = take_texts();
    EXPECT_NE(texts.find("Apparent Resistivity Pseudosection\n"), std::string::npos);
    EXPECT_NE(texts.find("Calculated Apparent Resistivity Pseudosection\n"), std::string::npos);
    EXPECT_NE(texts.find("RMS error 9.53%\n"), std::string::npos) << texts;

    Modelsettings.measured_values[3] = 0.0f;
    answer(choose_levels);
    command(111);
    texts = take_texts();
    EXPECT_NE(texts.find("Calculated Apparent Resistivity Pseudosection\n"), std::string::npos);
    EXPECT_EQ(texts.find("RMS error"), std::string::npos);
}

// The calculation prints the misfit of a model file's data on the resistivity section it
// draws (measured values 1.1 times the calculated ones: 100 ln 1.1 = 9.53 %), from the values
// calculated so far: the file's own calculated values at once; for a file of measured values
// only, none at the first calculation and those of the first at the second.
TEST_F(SectionsProgram, CalculationPrintsTheMisfitOfTheFilesData) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    const ModelSettings& m = Modelsettings;
    const std::vector<float> calculated(m.app_resistivity, m.app_resistivity + m.ndata);
    for (int kind : {1, 2}) {
        SCOPED_TRACE(kind);
        std::string text = block_model_text(4, false);
        text +=
            "0\n0\n" + std::to_string(kind) + "\n" + std::to_string(calculated.size()) + "\n0\n0\n";
        for (std::size_t d = 0; d < calculated.size(); ++d) {
            char line[128];
            std::snprintf(line, sizeof line, "%d,%d,%.6g", m.datum_first_electrode[d] - 1,
                          m.datum_a[d], 1.1 * calculated[d]);
            text += line;
            if (kind == 1) text += "," + std::to_string(calculated[d]);
            text += "\n";
        }
        read_model("with_data.mod", text + "0\n");
        ASSERT_EQ(m.datum_array_type, m.array_type);
        take_texts();
        command(130);
        ASSERT_EQ(m.data_ready, 1) << take_output();
        std::string texts = take_texts();
        EXPECT_EQ(texts.find("RMS error 9.53%\n") != std::string::npos, kind == 1) << texts;
        EXPECT_EQ(texts.find("RMS error"), texts.rfind("RMS error"));
        if (kind == 2) {
            command(130);
            EXPECT_NE(take_texts().find("RMS error 9.53%\n"), std::string::npos);
        }
    }
}

// A dipole-dipole page labels its rows by n and a ("n,a" above them, "1.0,1.0" for n = 1 at
// a = 1 m, "2.0,2.0" for n = 2 at a = 2 m); a page of stored and calculated values puts the
// calculated panel three lines and 6 pixels below the first section, and no label between.
TEST_F(SectionsProgram, DipoleDipoleRowsByNAndAAndTheSecondPanel) {
    start();
    std::string text = block_model_text(4, false);
    text.replace(text.size() - 2, 1, "3"); // the array line: dipole-dipole
    read_model("dd.mod", text);
    command(130);
    ModelSettings& m = Modelsettings;
    ASSERT_EQ(m.data_ready, 1) << take_output();
    take_texts();
    answer(choose_levels);
    command(111);
    const std::string texts = take_texts();
    for (const char* t : {"n,a\n", "1.0,1.0\n", "2.0,2.0\n"})
        EXPECT_NE(texts.find(t), std::string::npos) << t << texts;

    // The page of a stored data set beside the calculated values, on a canvas of its own.
    const ProgDisplay& d = Progdisplay;
    Sectiondisplay.panel_count = 2;
    std::vector<float> x(std::size_t(Proglim.max_data_points)), z(x.size());
    calc_plot_points(m, Proglim, x.data(), z.data());
    const std::vector<std::int32_t> counts = data_level_counts(m);
    SectionSurvey survey;
    survey.nelec = m.nelec;
    survey.unit_spacing = m.unit_spacing;
    survey.array_type = m.array_type;
    survey.ndata = m.ndata;
    survey.x = x.data();
    survey.depth = z.data();
    survey.ndata_levels = int(counts.size());
    survey.level_counts = counts.data();
    survey.a_factors = m.datum_a;
    survey.n_factors = m.datum_n;
    gfx::Canvas dc(d.canvas_width, d.canvas_height);
    std::vector<std::pair<int, std::string>> lines; // y and text
    dc.set_text_observer([&](int, int y, const std::string& t) { lines.push_back({y, t}); });
    const int top = 3 * d.char_h;
    display_section(0, 1, top, 0, "", 1, 1, m.app_resistivity, m.app_resistivity,
                    Progdisplay.res_levels, d.ncontours, survey, dc);
    const auto y_of = [&](const std::string& t) {
        const auto it =
            std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.second == t; });
        return it == lines.end() ? -1 : it->first;
    };
    const int deepest =
        int(d.xscale * *std::max_element(z.begin(), z.begin() + m.ndata) / d.vh_factor);
    const int first_bottom = top + 2 * d.char_h + 8 + deepest;
    const int second = y_of("Calculated Apparent Resistivity Pseudosection");
    EXPECT_EQ(second, first_bottom + 3 * d.char_h + 6);
    // Between the two sections no level label: the last one is not written again below.
    for (const auto& l : lines)
        EXPECT_FALSE(l.first > first_bottom && l.first < second &&
                     l.second.find(',') != std::string::npos)
            << l.second;
}

// Not white: a pixel something was drawn in.
bool drawn_at(const gfx::Canvas& c, int x, int y) {
    return c.get_pixel(x, y) != gfx::white;
}

// The level labels "n,a" of the dipole-dipole example of 31 electrodes 2 m apart ("1.0,20.0")
// stand clear of the section's left side: the sections move right to leave them room.
TEST_F(SectionsProgram, DipoleDipoleLabelsStandClearOfTheAxis) {
    start();
    read_model("blocks_ip.mod",
               test_support::read_file(VELDARIN_SOURCE_DIR "/examples/blocks_ip.mod"));
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    take_texts();
    for (const std::string& name : display_dialogs(Modelsettings))
        answer("dialog " + name + " ok");
    command(111);
    const std::string texts = take_texts();
    ASSERT_NE(texts.find("1.0,20.0\n"), std::string::npos) << texts << take_output();
    const ProgDisplay& d = Progdisplay;
    const int axis = d.left_margin - 1;
    // The rows of the section's left side, in the axes' pen: nothing in the 7 columns left of
    // it, a label further left in many of them.
    int rows = 0, labelled = 0, touching = 0;
    for (int y = 0; y < d.canvas_height; ++y) {
        if (canvas().get_pixel(axis, y) != d.pens[3].colour) continue;
        ++rows;
        for (int x = axis - 7; x < axis; ++x)
            touching += drawn_at(canvas(), x, y);
        for (int x = 1; x < axis - 7; ++x)
            if (drawn_at(canvas(), x, y)) {
                ++labelled;
                break;
            }
    }
    EXPECT_EQ(touching, 0) << "label pixels beside the axis at x = " << axis;
    EXPECT_GT(rows, 40);
    EXPECT_GT(labelled, 10); // the labels are there
}

// A title wider than its section (20 pixels a spacing) starts inside the canvas.
TEST_F(SectionsProgram, TitlesStartInsideTheCanvas) {
    start();
    std::string text = block_model_text(4, false);
    text.insert(text.find('\n'), std::string(60, '.')); // a title of 93 characters
    read_model("rows.mod", text);
    command(130);
    answer(choose_levels);
    command(111);
    answer("dialog HrpsDiaBox set 853 20 ok");
    command(117);
    EXPECT_TRUE(answered()) << take_output();
    const ProgDisplay& d = Progdisplay;
    ASSERT_LT(2 * d.left_margin + 13 * 20, 93 * d.char_w);
    int leftmost = d.canvas_width;
    for (int y = 2; y < 2 + d.char_h; ++y)
        for (int x = 0; x < leftmost; ++x)
            if (drawn_at(canvas(), x, y)) leftmost = x;
    EXPECT_GE(leftmost, 1);
    EXPECT_LT(leftmost, 8);
}

// The marks of the borehole electrodes lie inside the model section, which reaches the deepest
// of them (8 m in the example, below the 6 m the section would show).
TEST_F(SectionsProgram, BoreholeElectrodesLieInsideTheModelSection) {
    start();
    read_model("boreholes.mod",
               test_support::read_file(VELDARIN_SOURCE_DIR "/examples/boreholes.mod"));
    command(130);
    answer(choose_levels);
    command(111);
    ModelSettings& m = Modelsettings;
    ASSERT_GT(m.nboreholes, 0);
    const SectionOutlines& o = Sectionoutlines;
    int bottom = 0, top = 1 << 30;
    for (int b = 0; b < m.nx_cells * m.nz_cells; ++b)
        if (o.block_drawn[std::size_t(b)] == 1) {
            bottom = std::max(bottom, o.block_y[4 * std::size_t(b) + 2]);
            top = std::min(top, o.block_y[4 * std::size_t(b)]);
        }
    const gfx::Colour mark = Progdisplay.pens[26].colour;
    int marked = 0, below = 0, deepest = 0;
    for (int y = top; y < Progdisplay.canvas_height; ++y)
        for (int x = 0; x < Progdisplay.canvas_width; ++x)
            if (canvas().get_pixel(x, y) == mark) {
                below += y > bottom;
                deepest = std::max(deepest, y);
                ++marked;
            }
    EXPECT_EQ(below, 0) << "mark pixels below the section's bottom at " << bottom;
    // The deepest electrode's mark is drawn: 2 pixels above the section's bottom edge.
    int n = 0;
    float z = 0.0f;
    for (int b = 0; b < m.nboreholes; n += m.issbor[b], ++b)
        for (int e = n; e < n + m.issbor[b]; ++e)
            z = std::max(z, m.borehole_z[e] * m.unit_spacing);
    EXPECT_FLOAT_EQ(z, 8.0f);
    EXPECT_GT(marked, 0);
    EXPECT_GE(deepest, bottom - 3);
}

// A change of either scale draws the display again at the new scale, with the contour levels
// the user chose for it and no dialog but the scale's, and the status line names the scale.
TEST_F(SectionsProgram, ScaleChangesDrawTheDisplayAgain) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    take_output();
    answer("dialog ContourChoiceBox click 160 ok"); // automatic linear levels
    command(111);
    const std::vector<float> levels(Progdisplay.res_levels, Progdisplay.res_levels + 16);
    const std::size_t block = block_number(0, 1, Modelsettings.margin_columns);
    answer("dialog HrpsDiaBox set 853 20 ok");
    command(117);
    EXPECT_TRUE(answered()) << take_output();
    EXPECT_EQ(Progdisplay.model_displayed, 1);
    EXPECT_EQ(Sectionoutlines.block_drawn[block], 1);
    EXPECT_EQ(Sectionoutlines.block_x[4 * block + 1] - Sectionoutlines.block_x[4 * block], 5);
    EXPECT_EQ(std::vector<float>(Progdisplay.res_levels, Progdisplay.res_levels + 16), levels);
    EXPECT_STREQ(status_line(), "Horizontal display scale: 20.0 pixels an electrode spacing.");
    EXPECT_NE(take_texts().find("Apparent Resistivity Pseudosection\n"), std::string::npos);

    answer("dialog VtsfDiaBox set 846 2 ok");
    command(118);
    EXPECT_TRUE(answered()) << take_output();
    EXPECT_EQ(Sectionoutlines.block_drawn[block], 1);
    EXPECT_STREQ(status_line(), "Vertical/horizontal display scaling factor: 2.00.");
    EXPECT_NE(take_texts().find("Apparent Resistivity Pseudosection\n"), std::string::npos);
}

// A pseudosection deeper than the room of half the client height (less the margins) enlarges
// the vertical factor so that the deepest datum ends at the room's limit; with no room at all
// the factor stays.
TEST_F(SectionsProgram, VerticalFitNeedsRoom) {
    for (int height : {442, 282}) { // clients of 400 and 240 rows
        SCOPED_TRACE(height);
        start(1024, height);
        read_model("rows.mod", block_model_text(4, false));
        command(130);
        take_output();
        const ProgDisplay& d = Progdisplay;
        ASSERT_EQ(d.vh_factor, 1.0f);
        const int p = round_to_int(deepest_datum() * d.xscale);
        const int room = d.layout_client_height / 2 - 3 * d.char_h - 3 * d.char_h - 50;
        answer(choose_levels);
        command(111);
        EXPECT_EQ(take_output(), "");
        if (room > 0) {
            ASSERT_GT(p, room);
            EXPECT_FLOAT_EQ(d.vh_factor, float(p) / float(room));
            EXPECT_EQ(round_to_int(deepest_datum() * d.xscale / d.vh_factor), room);
        } else {
            EXPECT_EQ(d.vh_factor, 1.0f);
        }
        shell::end_program();
    }
}

// A cancelled contour choice leaves the picture as it was (the calculation's, or a display with
// the block outlines the editor finds on it).
TEST_F(SectionsProgram, CancelledContourLevelsKeepThePicture) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    take_output();
    const std::vector<gfx::Colour> calculated = canvas().pixels();
    const int height = Progdisplay.drawn_height;
    answer("dialog ContourChoiceBox cancel");
    command(111);
    EXPECT_EQ(take_output(), "BEEP\nBOX [Message] Contour values not selected.\n");
    EXPECT_EQ(Progdisplay.drawn_height, height);
    EXPECT_TRUE(canvas().pixels() == calculated) << "the calculation's picture is gone";

    answer(choose_levels);
    command(110);
    const std::vector<gfx::Colour> shown = canvas().pixels();
    const std::size_t block = block_number(0, 1, Modelsettings.margin_columns);
    ASSERT_EQ(Sectionoutlines.block_drawn[block], 1);
    answer("dialog ContourChoiceBox cancel");
    command(110);
    EXPECT_TRUE(canvas().pixels() == shown) << "the display is gone";
    EXPECT_EQ(Sectionoutlines.block_drawn[block], 1);
    EXPECT_TRUE(answered()) << err.str();
}

// A contour-values file of more values than the colour scale's 17 colours take (31 painted
// the bands beyond the 16th in the drawing tools' magenta, white and black; 32 drew the page
// title alone) is refused with the number the scale takes; the picture stays as it was.
TEST_F(SectionsProgram, ContourFileOfMoreLevelsThanColoursIsRefused) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    take_output();
    const std::vector<gfx::Colour> calculated = canvas().pixels();
    for (const int n : {17, 31, 32}) {
        SCOPED_TRACE(n);
        std::string text = std::to_string(n) + "\n";
        for (int k = 1; k <= n; ++k)
            text += std::to_string(10 + 5 * k) + "\n";
        const std::string path = home + "levels.val";
        std::ofstream(path) << text;
        answer("dialog ContourChoiceBox click 165 ok");
        answer("file " + path);
        command(111);
        EXPECT_EQ(take_output(), "BEEP\nBOX [Error Message] The file gives " + std::to_string(n) +
                                     " contour values, but the colour scale shows at most 16.\\n"
                                     "Please use a file with 16 contour values or fewer.\nBEEP\n"
                                     "BOX [Message] Contour values not selected.\n");
        EXPECT_TRUE(canvas().pixels() == calculated);
    }
    EXPECT_TRUE(answered()) << err.str();
}

// The gradient array with the mean pseudodepth: every datum at the mean depth of its own
// electrodes (current at the line's ends), so the pseudosection is drawn; with the positions of
// the multiple gradient, which it has none of, its depths were NaN and its area empty.
TEST_F(SectionsProgram, GradientArrayWithTheMeanPseudodepth) {
    start();
    std::string text = block_model_text(4, false);
    text.replace(text.size() - 2, 1, "9"); // the array line: gradient
    read_model("gradient.mod", text);
    answer("dialog PseudoDepthDiaBox click 5342 ok");
    command(5340);
    ASSERT_EQ(Modelsettings.pseudodepth_type, 1);
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    answer(choose_levels);
    command(111);
    EXPECT_TRUE(answered()) << take_output();
    // Band colours above the colour bar (its first box at x = 24 .. 54): the data area.
    int bar = 0;
    while (bar < canvas().height() && canvas().get_pixel(39, bar) != Progdisplay.brushes[0].colour)
        ++bar;
    ASSERT_LT(bar, canvas().height());
    int painted = 0;
    for (int y = 0; y < bar; ++y)
        for (int x = 0; x < canvas().width(); ++x)
            painted += is_band_colour(canvas().get_pixel(x, y));
    EXPECT_GT(painted, 2000) << painted;
}

// The colour commands end with the picture drawn again in the colours now in use when it was
// the display, and with the picture as it was otherwise; never with a blank one.
TEST_F(SectionsProgram, ColourCommandsDrawThePictureAgain) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    command(130);
    take_output();
    const std::vector<gfx::Colour> calculated = canvas().pixels();
    command(301);
    EXPECT_EQ(take_output(), "BOX [Message] The default colour scheme has been restored.\n");
    EXPECT_TRUE(canvas().pixels() == calculated);

    answer(choose_levels);
    command(111);
    const std::vector<gfx::Colour> shown = canvas().pixels();
    command(301);
    EXPECT_TRUE(canvas().pixels() == shown) << "the display in the same colours";
    const gfx::Colour first = Progdisplay.brushes[0].colour;
    const auto count = [&](gfx::Colour c) {
        return std::count(canvas().pixels().begin(), canvas().pixels().end(), c);
    };
    ASSERT_GT(count(first), 1000);
    // Red 200 in the first colour of the scale: the blocks and bands of that colour take it.
    answer("dialog ColDiaBox scroll 10 200 ok\nbox no");
    command(525);
    EXPECT_TRUE(answered()) << err.str();
    const gfx::Colour changed = Progdisplay.brushes[0].colour;
    ASSERT_NE(changed, first);
    EXPECT_EQ(count(first), 0);
    EXPECT_GT(count(changed), 1000);
    command(301);
    EXPECT_TRUE(canvas().pixels() == shown) << "the display in the default colours again";
}

TEST_F(SectionsProgram, MemoryMessageWhenWorkArraysCannotBeHad) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    sys::set_page_budget(sys::page_bytes_in_use() + 1000);
    command(111);
    sys::set_page_budget(-1);
    EXPECT_EQ(take_output(), "BEEP\nBOX [Error Message] Insufficient memory for the display!\n");
}

// The two help texts, 467 and 792 characters; command 147 shows the one of the model kind and
// changes neither the picture nor the edit mode.
TEST_F(SectionsProgram, EditingKeysHelp) {
    EXPECT_EQ(editing_help_text(false).size(), 467u);
    EXPECT_EQ(editing_help_text(true).size(), 792u);
    const std::string keys = " P  key                     -  1 block\n"
                             " 4  key                     -  4 blocks\n"
                             " D  key                    -  vertical column\n"
                             " ]  key                      -  row to right\n"
                             " [  key                      -  row to left\n"
                             " }  key                      -  all bottom right blocks\n"
                             " {  key                      -  all bottom left blocks\n";
    const std::string mouse = editing_help_text(false);
    EXPECT_EQ(editing_help_text(true), std::string(mouse).insert(mouse.find(" \n"), keys));
    EXPECT_EQ(editing_help_text(false).substr(0, 35), "To move the cursor, use the mouse.\n");
    EXPECT_EQ(editing_help_text(false).substr(467 - 55),
              "To quit, just click another option on the top menu bar.");

    start();
    read_model("rows.mod", block_model_text(4, false));
    command(110);
    take_output();
    const std::vector<gfx::Colour> before = canvas().pixels();
    command(147);
    EXPECT_EQ(take_output(),
              "BOX [Help Message] " + headless::escape_breaks(editing_help_text(true)) + "\n");
    EXPECT_EQ(Mainviewstate.view_code, 147);
    EXPECT_EQ(Progdisplay.editmode, 1);
    EXPECT_TRUE(canvas().pixels() == before);
    Modelsettings.cylinder_model = 1;
    command(147);
    EXPECT_EQ(take_output(),
              "BOX [Help Message] " + headless::escape_breaks(editing_help_text(false)) + "\n");
    Modelsettings.cylinder_model = 0;
}

TEST(CalcRms, LogarithmicAndPlainMisfits) {
    const float a[3] = {100.0f, 200.0f, 50.0f}, b[3] = {100.0f, 100.0f, 100.0f};
    // ln 2 twice over three data: 100 sqrt(2 ln(2)^2 / 3).
    EXPECT_NEAR(calc_rms(0, 3, a, b), 100.0 * std::sqrt(2.0 * std::log(2.0) * std::log(2.0) / 3.0),
                1e-4);
    EXPECT_NEAR(calc_rms(1, 3, a, b), std::sqrt((100.0 * 100.0 + 50.0 * 50.0) / 3.0), 1e-3);
    EXPECT_EQ(calc_rms(0, 3, b, b), 0.0f);
    EXPECT_EQ(calc_rms(1, 0, a, b), 0.0f);
}

// The values under the colour bar of the page whose caption is `caption` (the texts drawn
// before its "Unit electrode spacing" line, which follows the bar's labels), each with half a
// unit of its last decimal (how far the printed value may lie from the level).
std::vector<std::pair<float, float>> bar_labels(const std::string& texts,
                                                const std::string& caption) {
    std::vector<std::string> lines;
    std::istringstream in(texts);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const auto at = std::find(lines.begin(), lines.end(), caption);
    std::vector<std::pair<float, float>> labels;
    if (at == lines.end()) return labels;
    auto spacing = at;
    while (spacing != lines.begin() && spacing->rfind("Unit electrode spacing", 0) != 0)
        --spacing;
    for (auto it = spacing; it != lines.begin() && labels.size() < 8;) {
        const std::string& text = *--it;
        const std::size_t point = text.find('.');
        const int decimals = point == std::string::npos ? 0 : int(text.size() - point - 1);
        labels.insert(labels.begin(), {std::stof(text), 0.5f * std::pow(10.0f, -float(decimals))});
    }
    return labels;
}

// The range [lo, hi] of a spectral quantity of the calculated data at frequency f (from 1):
// the in-phase part (rho - Re) 1000 / rho, the out-of-phase part -Im 1000 / rho (mV/V).
std::pair<float, float> spectral_range(int f, bool inphase) {
    const ModelSettings& m = Modelsettings;
    const std::size_t k0 = std::size_t(f - 1) * std::size_t(Proglim.max_data_points);
    float lo = 1e30f, hi = -1e30f;
    for (int i = 0; i < m.ndata; ++i) {
        const float rho = m.app_resistivity[i];
        const float v = inphase ? (rho - m.sip_inphase[k0 + i]) * 1000.0f / rho
                                : -m.sip_quadrature[k0 + i] * 1000.0f / rho;
        lo = std::min(lo, v), hi = std::max(hi, v);
    }
    return {lo, hi};
}

// A calculated Cole-Cole half-space (m 0.1: the apparent chargeability 100 mV/V; at 1 Hz the
// in-phase component 16.9 and the out-of-phase one 12.5 mV/V): each spectral page takes levels
// of its own values, not the chargeability's (102 to 181 mV/V, which showed each in one
// colour), and says what it shows. Then the amplitude and phase at the second frequency
// (phases 12.7, 21.3 and 17.7 mrad at 1, 10 and 100 Hz).
TEST_F(SectionsProgram, SpectralPagesOfACalculatedColeColeModel) {
    start();
    read_model("spectral.mod", test_support::read_file(std::string(VELDARIN_SOURCE_DIR) +
                                                       "/examples/spectral_wenner.mod"));
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    take_output();
    take_texts();
    // Levels of the resistivity and IP pages, the frequency, the levels of the two pages.
    answer(choose_levels);
    answer(choose_levels);
    answer("dialog FreqSelectDiaBox set 862 1 click 863 ok");
    answer(choose_levels);
    answer(choose_levels);
    command(111);
    EXPECT_EQ(take_output(), "");
    EXPECT_TRUE(backend.answers().empty());
    std::string texts = take_texts();
    for (const char* t : {"Apparent Chargeability Pseudosection\n",
                          "Apparent Inphase Chargeability Pseudosection\n",
                          "Apparent Outphase Chargeability Pseudosection\n"})
        EXPECT_NE(texts.find(t), std::string::npos) << t << "\n" << texts;
    const struct {
        const char* caption;
        bool inphase;
    } pages[] = {{"Chargeability in mV/V (Inphase at 1.000 Hz)", true},
                 {"Chargeability in mV/V (Outphase at 1.000 Hz)", false}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.caption);
        const std::vector<std::pair<float, float>> labels = bar_labels(texts, p.caption);
        ASSERT_EQ(labels.size(), 8u) << texts;
        const auto range = spectral_range(1, p.inphase);
        ASSERT_LT(range.second, 50.0f); // far below the chargeability of 100 mV/V
        for (const auto& [level, rounding] : labels) {
            EXPECT_GE(level, range.first - rounding);
            EXPECT_LE(level, range.second + rounding);
        }
    }

    // Amplitude and phase: the phase page has its title and levels.
    answer(choose_levels);
    answer(choose_levels);
    answer("dialog FreqSelectDiaBox set 862 2 click 864 ok");
    answer(choose_levels);
    answer(choose_levels);
    command(111);
    EXPECT_EQ(take_output(), "");
    EXPECT_TRUE(backend.answers().empty());
    texts = take_texts();
    for (const char* t : {"Apparent Amplitude Pseudosection\n", "Apparent Phase Pseudosection\n",
                          "mV/V (Amplitude at 10.000 Hz)", "Phase in mrad (Phase at 10.000 Hz)",
                          "Time constant model\n", "Cole exponent model\n"})
        EXPECT_NE(texts.find(t), std::string::npos) << t << "\n" << texts;
    // Only the IP page is titled as the chargeability.
    const std::string ip_title = "Apparent Chargeability Pseudosection\n";
    EXPECT_EQ(texts.find(ip_title), texts.rfind(ip_title));
    EXPECT_EQ(Modelsettings.freq_index, 2);
    // The phase page's range: the phase of every datum at 10 Hz.
    EXPECT_NEAR(Progdisplay.data_min, 21.305, 0.03);
    EXPECT_NEAR(Progdisplay.data_max, 21.305, 0.03);
}
