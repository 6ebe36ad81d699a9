// The model section on the canvas: block outlines at their pixels, every block and colour box
// in the colour of its value, the grid of the edit mode, and the IP section in mV/V.
#include "fixture.h"

#include <cstring>

using namespace sections_test;

namespace {

gfx::Colour brush_colour(int index) {
    return Progdisplay.brushes[index].colour;
}

} // namespace

// colour_of_value spacing by the number of values, the colours of the boxes and blocks, and
// the outline of blocks at hand-computed pixels: 40 pixels a spacing (10 a mesh column), the
// left margin 7 x 8 + 4 + 4 x 8 (fewer than 20 electrodes), the surface 5 lines down.
TEST_F(SectionsProgram, BlocksAndBoxesTakeTheColoursOfTheirValues) {
    start();
    const struct { int nvalues, step; } cases[] = {{4, 4}, {5, 3}, {7, 2}, {9, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nvalues);
        read_model("rows.mod", block_model_text(c.nvalues, false));
        command(111);
        EXPECT_EQ(take_output(), "");
        const ModelSettings& m = Modelsettings;
        ASSERT_EQ(Progdisplay.xscale, 40.0f);
        ASSERT_EQ(Progdisplay.left_margin, 92);
        for (int i = 0; i < c.nvalues; ++i) {
            EXPECT_EQ(m.colour_marks[i], c.step * i);
            const gfx::Point p = box_centre(0, i);
            EXPECT_EQ(canvas().get_pixel(p.x, p.y), brush_colour(c.step * i)) << "box " << i;
        }
        for (int row = 1; row <= 10; ++row)
            for (int col = m.margin_columns - 1; col <= m.margin_columns + 48; col += 7) {
                const std::size_t b = block_number(0, row, col);
                ASSERT_EQ(Sectionoutlines.block_drawn[b], 1) << row << " " << col;
                const gfx::Point p = block_centre(b);
                EXPECT_EQ(canvas().get_pixel(p.x, p.y),
                          brush_colour(c.step * ((row - 1) % c.nvalues)))
                    << row << " " << col;
            }
        // The block right of the first electrode in the first and the last row.
        const std::size_t first = block_number(0, 1, m.margin_columns);
        const std::vector<int> x(&Sectionoutlines.block_x[4 * first],
                                 &Sectionoutlines.block_x[4 * first] + 4);
        const std::vector<int> y(&Sectionoutlines.block_y[4 * first],
                                 &Sectionoutlines.block_y[4 * first] + 4);
        EXPECT_EQ(x, (std::vector<int>{92, 102, 102, 92}));
        EXPECT_EQ(y, (std::vector<int>{80, 80, 100, 100}));
        const std::size_t last = block_number(0, 10, m.margin_columns);
        EXPECT_EQ(Sectionoutlines.block_y[4 * last], 80 + 8 * 20 + 40);
        // The whole last row: the section reaches 2 x 726 / 3 / 2 = 242 pixels down.
        EXPECT_EQ(Sectionoutlines.block_y[4 * last + 2], 80 + 8 * 20 + 2 * 40);
        // Blocks beyond one mesh column outside the line are not drawn.
        EXPECT_EQ(Sectionoutlines.block_drawn[block_number(0, 1, m.margin_columns - 2)], 0);
        EXPECT_EQ(Sectionoutlines.block_drawn[block_number(0, 1, m.margin_columns + 49)], 0);
        EXPECT_EQ(canvas().get_pixel(81, 90), gfx::white);
    }
    EXPECT_NE(take_texts().find("Resistivity model\n"), std::string::npos);
}

// "&Edit model" draws the block grid in black over the same picture; "&Display model" none.
TEST_F(SectionsProgram, EditModeDrawsTheBlockGrid) {
    start();
    read_model("rows.mod", block_model_text(4, false));
    const int x = 150, boundary = 100; // between rows 1 and 2
    command(111);
    EXPECT_EQ(canvas().get_pixel(x, boundary), brush_colour(4));
    EXPECT_EQ(Progdisplay.editmode, 0);
    command(110);
    EXPECT_EQ(canvas().get_pixel(x, boundary), gfx::black);
    EXPECT_EQ(canvas().get_pixel(x, boundary + 5), brush_colour(4));
    EXPECT_EQ(Progdisplay.editmode, 1);
    EXPECT_EQ(Mainviewstate.view_code, 110);
    EXPECT_EQ(take_output(), "BEEP\n"); // the grid's beep
}

// The IP section shows the chargeabilities in mV/V and leaves the model's values as they were,
// display after display.
TEST_F(SectionsProgram, IpSectionInMillivoltsPerVolt) {
    start();
    std::string text = block_model_text(4, true);
    text.replace(text.find("0.01 0.05"), 9, "0.005 0.045");
    read_model("ip.mod", text);
    ASSERT_EQ(Modelsettings.nip, 2);
    for (int run = 0; run < 2; ++run) {
        command(111);
        EXPECT_EQ(Modelsettings.model_chargeabilities[0], 0.005f);
        EXPECT_EQ(Modelsettings.model_chargeabilities[1], 0.045f);
        const std::string texts = take_texts();
        EXPECT_NE(texts.find("IP model\n5.0\n45\n"), std::string::npos) << texts;
    }
    // Upper rows in the colour of the first chargeability, lower rows of the second.
    const ModelSettings& m = Modelsettings;
    const gfx::Point upper = block_centre(block_number(1, 1, m.margin_columns));
    const gfx::Point lower = block_centre(block_number(1, 6, m.margin_columns));
    EXPECT_EQ(canvas().get_pixel(upper.x, upper.y), brush_colour(0));
    EXPECT_EQ(canvas().get_pixel(lower.x, lower.y), brush_colour(4));
    EXPECT_GT(upper.y, block_centre(block_number(0, 10, m.margin_columns)).y);
}

// A shallow model: the mesh reaches deeper than the rows the section shows (the nine of the
// file and three more), and the depth
// ticks stand only beside those rows, none below the section's bottom.
TEST_F(SectionsProgram, DepthTicksOnlyBesideTheRowsShown) {
    start();
    std::ostringstream t;
    t << "Shallow model\n13\n4\n0\n1.0\n2\n0 48\n2\n4\n10 100\n9\n"
      << "0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9\n";
    for (int r = 0; r < 9; ++r)
        t << std::string(48, r < 4 ? '0' : '1') << '\n';
    t << "1\n";
    read_model("shallow.mod", t.str());
    ASSERT_GT(Modelsettings.nz_nodes, 13); // the mesh was deepened below the nine rows
    command(111);
    int bottom = 0;
    for (std::size_t b = 0; b < Sectionoutlines.block_drawn.size(); ++b)
        if (Sectionoutlines.block_drawn[b] == 1)
            bottom = std::max(bottom, Sectionoutlines.block_y[4 * b + 2]);
    ASSERT_GT(bottom, 80);
    // Ticks run from x = 92 - 40 / 4 - 4 to 82, left of the section.
    int above = 0, below = 0;
    for (int y = 0; y < 700; ++y)
        for (int x = 78; x <= 82; ++x)
            if (canvas().get_pixel(x, y) != gfx::white) (y <= bottom ? above : below) += 1;
    EXPECT_GT(above, 0);
    EXPECT_EQ(below, 0);
}

// Without a model there is nothing to show.
TEST_F(SectionsProgram, NoModelToDisplay) {
    start();
    command(111);
    EXPECT_EQ(take_output(), "BEEP\nBOX [Message] Hello. There is no model to display!\n");
    EXPECT_EQ(Progdisplay.model_displayed, 1);
}
