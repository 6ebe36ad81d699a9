// Editing of model blocks through the window program: scripted clicks and keys mark exactly the
// intended blocks, a colour box gives exactly the marked blocks its value, and nothing happens
// outside the edit mode.
#include "fixture.h"

#include "display/block_editing.h"

#include <set>

using namespace sections_test;

namespace {

using Blocks = std::set<std::size_t>;

// Blocks of rows r0..r1 and columns c0..c1 of a group.
Blocks rectangle(int group, int r0, int r1, int c0, int c1) {
    Blocks b;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            b.insert(block_number(group, r, c));
    return b;
}

Blocks marked() {
    Blocks b;
    for (std::size_t k = 0; k < Sectionoutlines.block_marked.size(); ++k)
        if (Sectionoutlines.block_marked[k] == 1) b.insert(k);
    return b;
}

std::vector<std::int32_t> codes(const std::int32_t* table) {
    const ModelSettings& m = Modelsettings;
    return std::vector<std::int32_t>(table, table + m.nx_cells * m.nz_cells);
}

} // namespace

class BlockEditing : public SectionsProgram {
  protected:
    int c = 0, nx = 0, nz = 0; // the column two spacings right of the first electrode

    void SetUp() override {
        SectionsProgram::SetUp();
        start();
        read_model("rows.mod", block_model_text(4, true));
        c = Modelsettings.margin_columns + 8;
        nx = Modelsettings.nx_cells;
        nz = Modelsettings.nz_cells;
    }
    // A fresh picture in the edit mode: no marks.
    void edit() {
        command(110);
        take_output();
        ASSERT_TRUE(marked().empty());
    }
    gfx::Point at(int group, int row, int column) {
        return block_centre(block_number(group, row, column));
    }
};

// Each key (and the left button) marks its blocks from the block under the pointer, with one
// beep, and changes no value.
TEST_F(BlockEditing, KeysAndButtonsMarkTheirBlocks) {
    const auto resistivity = codes(Modelsettings.resistivity_codes);
    const struct {
        int key;
        Blocks expected;
    } cases[] = {
        {'P', rectangle(0, 2, 2, c, c)},     {'p', rectangle(0, 2, 2, c, c)},
        {'4', rectangle(0, 2, 2, c, c + 3)}, {'D', rectangle(0, 2, nz, c, c)},
        {']', rectangle(0, 2, 2, c, nx)},    {'[', rectangle(0, 2, 2, 1, c)},
        {'}', rectangle(0, 2, nz, c, nx)},   {'{', rectangle(0, 2, nz, 1, c)},
        {'d', rectangle(0, 2, nz, c, c)},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(1, char(k.key)));
        edit();
        const gfx::Point p = at(0, 2, c);
        key(k.key, p.x, p.y);
        EXPECT_EQ(marked(), k.expected);
        EXPECT_EQ(take_output(), "BEEP\n");
        EXPECT_EQ(Progdisplay.edit_changed, 1);
        EXPECT_EQ(canvas().get_pixel(p.x, p.y), Progdisplay.brushes[18].colour);
    }
    edit();
    click(ui::MouseButton::left, at(0, 2, c).x, at(0, 2, c).y);
    EXPECT_EQ(marked(), rectangle(0, 2, 2, c, c + 3));
    // On the corner four blocks share, the left button and a key take the first of them, with
    // one beep.
    const std::size_t corner_block = block_number(0, 2, c);
    const gfx::Point corner{Sectionoutlines.block_x[4 * corner_block + 2],
                            Sectionoutlines.block_y[4 * corner_block + 2]};
    edit();
    click(ui::MouseButton::left, corner.x, corner.y);
    EXPECT_EQ(marked(), rectangle(0, 2, 2, c, c + 3));
    EXPECT_EQ(take_output(), "BEEP\n");
    edit();
    key('P', corner.x, corner.y);
    EXPECT_EQ(marked(), rectangle(0, 2, 2, c, c));
    EXPECT_EQ(take_output(), "BEEP\n");
    // The right button: one block; again on it, nothing.
    edit();
    click(ui::MouseButton::right, at(0, 5, c).x, at(0, 5, c).y);
    EXPECT_EQ(marked(), rectangle(0, 5, 5, c, c));
    EXPECT_EQ(take_output(), "BEEP\n");
    click(ui::MouseButton::right, at(0, 5, c).x, at(0, 5, c).y);
    EXPECT_EQ(Progdisplay.edit_changed, 0);
    EXPECT_EQ(take_output(), "");
    // "P" on a marked block neither beeps nor counts as a change.
    key('P', at(0, 5, c).x, at(0, 5, c).y);
    EXPECT_EQ(take_output(), "");
    EXPECT_EQ(Progdisplay.edit_changed, 0);
    // The left button on the last block shown of a row runs on into blocks not shown.
    edit();
    const int last = Modelsettings.margin_columns + 48;
    click(ui::MouseButton::left, at(0, 3, last).x, at(0, 3, last).y);
    EXPECT_EQ(marked(), rectangle(0, 3, 3, last, last + 3));
    EXPECT_EQ(Sectionoutlines.block_drawn[block_number(0, 3, last + 1)], 0);
    EXPECT_EQ(codes(Modelsettings.resistivity_codes), resistivity);
}

// A colour box, by the C key or a mouse button, gives its value to exactly the marked blocks
// of its section, clears their marks and redraws the shown ones in the box's colour.
TEST_F(BlockEditing, ColourBoxGivesTheMarkedBlocksItsValue) {
    edit();
    auto resistivity = codes(Modelsettings.resistivity_codes);
    const auto ip = codes(Modelsettings.ip_codes);
    ASSERT_EQ(Sectionoutlines.block_drawn[block_number(0, 4, c)], 1);
    key('}', at(0, 4, c).x, at(0, 4, c).y);
    const Blocks chosen = marked();
    ASSERT_EQ(chosen, rectangle(0, 4, nz, c, nx));
    const gfx::Point box = box_centre(0, 1);
    take_output();
    key('C', box.x, box.y);
    EXPECT_EQ(take_output(), "BEEP\n");
    EXPECT_EQ(Progdisplay.edit_changed, 1);
    for (std::size_t b : chosen)
        resistivity[b] = 1;
    EXPECT_EQ(codes(Modelsettings.resistivity_codes), resistivity);
    EXPECT_EQ(codes(Modelsettings.ip_codes), ip);
    EXPECT_TRUE(marked().empty());
    EXPECT_EQ(canvas().get_pixel(at(0, 4, c).x, at(0, 4, c).y),
              Progdisplay.brushes[Modelsettings.colour_marks[1]].colour);
    EXPECT_EQ(canvas().get_pixel(at(0, 4, c - 1).x, at(0, 4, c - 1).y),
              Progdisplay.brushes[Modelsettings.colour_marks[3]].colour);

    // The IP section: the right button marks there, the left button on its second box gives
    // the chargeability code 1; the resistivity codes stay.
    resistivity = codes(Modelsettings.resistivity_codes);
    auto ip_after = ip;
    click(ui::MouseButton::right, at(1, 1, c).x, at(1, 1, c).y);
    EXPECT_EQ(marked(), rectangle(1, 1, 1, c, c));
    click(ui::MouseButton::left, box_centre(1, 1).x, box_centre(1, 1).y);
    ip_after[std::size_t(index2d(c, 1, nx))] = 1;
    EXPECT_EQ(codes(Modelsettings.ip_codes), ip_after);
    EXPECT_EQ(codes(Modelsettings.resistivity_codes), resistivity);
    EXPECT_TRUE(marked().empty());
}

// An edit after a calculation makes its results stale: the data file is refused with its
// message, the model file holds the edited blocks without the potentials of the model before
// the edit, and the display shows no pseudosection of the old values. A new calculation gives
// the edited model's data.
TEST_F(BlockEditing, EditAfterACalculationMakesItsResultsStale) {
    command(130);
    take_output();
    ASSERT_EQ(Modelsettings.data_ready, 1);
    const std::string no_noise = "dialog NoiseDiaBox click 503 ok";
    answer("file " + home + "before.dat\n" + no_noise);
    command(103);
    const std::string before = test_support::read_file(home + "before.dat");
    ASSERT_FALSE(before.empty()) << take_output();

    answer("dialog ContourChoiceBox ok\ndialog ContourChoiceBox ok");
    edit();
    const gfx::Point block = at(0, 2, c), box = box_centre(0, 3);
    key('P', block.x, block.y);
    key('C', box.x, box.y);
    ASSERT_EQ(Modelsettings.resistivity_codes[index2d(c, 2, nx)], 3);
    EXPECT_EQ(Modelsettings.results_stale, 1);
    EXPECT_EQ(Modelsettings.data_ready, 0);
    take_output();

    command(103);
    EXPECT_NE(take_output().find("The model has changed since the results were calculated."),
              std::string::npos);
    EXPECT_FALSE(sys::file_exists(home + "edited.dat"));
    answer("file " + home + "edited.mod");
    command(102);
    const std::string model = test_support::read_file(home + "edited.mod");
    EXPECT_EQ(model.find("e-0"), std::string::npos) << "no potential values";
    edit(); // no contour dialog: there is no pseudosection to draw
    EXPECT_TRUE(answered()) << take_output();

    command(130);
    answer("file " + home + "after.dat\n" + no_noise);
    command(103);
    const std::string after = test_support::read_file(home + "after.dat");
    ASSERT_FALSE(after.empty());
    EXPECT_NE(after, before);
}

// Outside the blocks and boxes nothing happens; outside the edit mode neither; ';' shows the
// help.
TEST_F(BlockEditing, NothingOutsideBlocksOrEditMode) {
    edit();
    const auto resistivity = codes(Modelsettings.resistivity_codes);
    click(ui::MouseButton::left, 5, 5);
    click(ui::MouseButton::right, 5, 5);
    key('}', 5, 5);
    EXPECT_TRUE(marked().empty());
    EXPECT_EQ(Progdisplay.edit_changed, 0);
    EXPECT_EQ(take_output(), "");
    key(';', at(0, 2, c).x, at(0, 2, c).y);
    EXPECT_EQ(take_output().rfind("BOX [Help Message] To move the cursor", 0), 0u);

    command(111);
    const gfx::Point p = at(0, 2, c);
    click(ui::MouseButton::left, p.x, p.y);
    key('}', p.x, p.y);
    EXPECT_TRUE(marked().empty());
    EXPECT_EQ(codes(Modelsettings.resistivity_codes), resistivity);
    // A block exactly on the shared edge of two: the first in numbering order.
    edit();
    const std::size_t first = block_number(0, 2, c);
    click(ui::MouseButton::right, Sectionoutlines.block_x[4 * first + 1], p.y);
    EXPECT_EQ(marked(), rectangle(0, 2, 2, c, c));
}

TEST(PointInBlock, EdgesCountAsInside) {
    const std::int32_t x[4] = {10, 20, 20, 10}, y[4] = {5, 5, 15, 15};
    EXPECT_EQ(point_in_block(4, x, y, 15, 10), 1);
    EXPECT_EQ(point_in_block(4, x, y, 20, 10), 1);
    EXPECT_EQ(point_in_block(4, x, y, 10, 5), 1);
    EXPECT_EQ(point_in_block(4, x, y, 21, 10), 0);
    EXPECT_EQ(point_in_block(4, x, y, 15, 4), 0);
    const std::int32_t zero[4] = {0, 0, 0, 0};
    EXPECT_EQ(point_in_block(4, zero, zero, 0, 0), 0);
}
