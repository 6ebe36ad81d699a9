// Array-type codes, their names, and the array-type dialog driven through the headless backend.
#include "support/session.h"

#include "model/array_type.h"
#include "model/globals.h"
#include "model/services.h"

namespace {
using test_support::GlobalRecords;
using test_support::Headless;

TEST(ArrayCodes, NamesAndConversions) {
    const struct {
        int internal, file;
        const char* name;
    } codes[] = {{1, 1, "Wenner Alpha"},       {2, 4, "Wenner Beta"},
                 {3, 5, "Wenner Gamma"},       {4, 2, "Pole-Pole"},
                 {5, 3, "Dipole-Dipole"},      {6, 6, "Pole-Dipole"},
                 {7, 7, "Schlumberger"},       {8, 8, "Equa. Dipole"},
                 {9, 9, "Gradient"},           {10, 10, "Offset Pole-Dipole"},
                 {15, 11, "Multiple Gradient"}};
    for (const auto& c : codes) {
        EXPECT_EQ(model::array_code_from_file(c.file), c.internal);
        EXPECT_EQ(model::array_code_to_file(c.internal), c.file);
        EXPECT_STREQ(model::array_type_name(c.internal), c.name);
        EXPECT_STREQ(ArrayNameTable[c.internal - 1], c.name);
    }
    for (int unknown : {11, 12, 13, 14, 16, 17, 18, 0, 19, -3})
        EXPECT_STREQ(model::array_type_name(unknown), "Unknown") << unknown;
}

// Runs the dialog with one queued answer and returns what run_dialog returned.
int run_array_dialog(Headless& ui, const std::string& steps) {
    ui.answer("dialog ArrayTypeDiaBox2 " + steps);
    const int result = ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc);
    EXPECT_FALSE(ui.transcript.failed()) << ui.err.str();
    return result;
}

TEST(ArrayTypeDialog, OkStoresDipoleDipoleLevels) {
    GlobalRecords records;
    Proglim.max_n = 70;
    Headless ui;
    EXPECT_EQ(run_array_dialog(ui, "click 203 set 213 3 set 214 6 ok"), 1);
    EXPECT_EQ(dialog_result, 1);
    EXPECT_EQ(Modelsettings.array_type, 5);
    EXPECT_EQ(Modelsettings.n_a_spacings, 3);
    EXPECT_EQ(Modelsettings.n_n_values, 6);
    EXPECT_EQ(Modelsettings.nlev, 18);

    EXPECT_EQ(run_array_dialog(ui, "set 213 3 set 214 70 ok"), 1);
    EXPECT_EQ(Modelsettings.n_n_values, 70);
    EXPECT_EQ(Modelsettings.nlev, 210);
    // More 'n' values than the program takes are refused, not cut to its limit.
    EXPECT_EQ(run_array_dialog(ui, "set 213 3 set 214 200 ok cancel"), 0);
    EXPECT_EQ(Modelsettings.n_n_values, 70);
    EXPECT_EQ(ui.output(), "BOX [Message] The number of 'n' values must be a whole number from 1 "
                           "to 70.\n");
}

TEST(ArrayTypeDialog, WennerLevelsAndFieldMinimums) {
    GlobalRecords records;
    Proglim.max_n = 70;
    Headless ui;
    // The least values of the fields are taken as they are.
    EXPECT_EQ(run_array_dialog(ui, "click 204 set 212 2 set 213 1 set 214 1 set 219 500 "
                                   "set 222 0.05 ok"),
              1);
    EXPECT_EQ(Modelsettings.array_type, 2); // dialog code 4 is Wenner Beta
    EXPECT_EQ(Modelsettings.n_a_spacings_wenner, 2);
    EXPECT_EQ(Modelsettings.n_a_spacings, 1);
    EXPECT_EQ(Modelsettings.n_n_values, 1);
    EXPECT_EQ(Modelsettings.nlev, 2);
    EXPECT_FLOAT_EQ(Modelsettings.max_geometric_factor, 500.0f);
    EXPECT_FLOAT_EQ(Modelsettings.max_depth_ratio, 0.05f);

    // Numbers below them are refused with the box of text, and nothing is stored until Cancel.
    const struct {
        const char* steps;
        const char* box;
    } below[] = {
        {"set 212 0", "The number of 'a' spacings must be a whole number from 2 to 100000."},
        {"set 212 1", "The number of 'a' spacings must be a whole number from 2 to 100000."},
        {"click 203 set 213 -2", "The number of 'a' spacings must be a whole number from 1 to "
                                 "100000."},
        {"click 203 set 214 -3", "The number of 'n' values must be a whole number from 1 to 70."},
        {"set 222 0.01", "The maximum depth of investigation must be a number of at least 0.05."},
    };
    for (const auto& c : below) {
        ui.take_output();
        EXPECT_EQ(run_array_dialog(ui, std::string(c.steps) + " ok cancel"), 0) << c.steps;
        EXPECT_EQ(ui.take_output(), std::string("BOX [Message] ") + c.box + "\n") << c.steps;
        EXPECT_EQ(Modelsettings.array_type, 2) << c.steps;
        EXPECT_EQ(Modelsettings.n_n_values, 1) << c.steps;
        EXPECT_FLOAT_EQ(Modelsettings.max_depth_ratio, 0.05f) << c.steps;
    }

    // Text, or a factor that is no factor, is refused and nothing is stored until Cancel.
    for (const char* steps : {"click 201 set 212 abc ok cancel", "click 201 set 219 x ok cancel",
                              "click 201 set 219 -5 ok cancel", "click 201 set 213 2.5 ok cancel"})
        EXPECT_EQ(run_array_dialog(ui, steps), 0) << steps;
    EXPECT_EQ(Modelsettings.array_type, 2);
    EXPECT_FLOAT_EQ(Modelsettings.max_geometric_factor, 500.0f);
    EXPECT_EQ(ui.take_output(),
              "BOX [Message] The number of 'a' spacings must be a whole number from 2 to "
              "100000.\nBOX [Message] The maximum geometric factor must be a number above 0.\n"
              "BOX [Message] The maximum geometric factor must be a number above 0.\n"
              "BOX [Message] The number of 'a' spacings must be a whole number from 1 to "
              "100000.\n");
}

// The depth ratio is shown raised to 5 % of the electrodes; OK stores what is shown, Cancel
// nothing.
TEST(ArrayTypeDialog, InitShowsTheValuesAndRaisesTheDepthRatio) {
    GlobalRecords records;
    Modelsettings.nelec = 40;
    Modelsettings.max_depth_ratio = 1.0f;
    Modelsettings.array_type = 6; // pole-dipole, reverse
    Modelsettings.pole_dipole_reverse = 1;
    Headless ui;
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    ui.answer("dialog ArrayTypeDiaBox2 ok");
    ui::run_dialog(ArrayTypeDiaBox2,
                   [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                       if (e == ui::DialogEvent::first_paint) {
                           for (int id : {212, 213, 214, 219, 222})
                               texts[id] = d.text(id);
                           for (int id = 201; id <= 224; ++id)
                               checks[id] = d.checked(id);
                       }
                       return ArrayTypeDiaBox2Proc(d, e, a);
                   });
    EXPECT_EQ(texts[212], "5");
    EXPECT_EQ(texts[213], "1");
    EXPECT_EQ(texts[214], "5");
    EXPECT_EQ(texts[222], "2.000");
    EXPECT_EQ(texts[219], "1055.5776"); // "%.2f" would round the default on OK
    for (int id : {206, 216, 217, 220, 223})
        EXPECT_TRUE(checks[id]) << id;
    for (int id : {201, 203, 209, 215, 218, 221, 224})
        EXPECT_FALSE(checks[id]) << id;
    EXPECT_FLOAT_EQ(Modelsettings.max_depth_ratio, 2.0f);
    Modelsettings.max_depth_ratio = 1.0f;
    ui.answer("dialog ArrayTypeDiaBox2 click 203 cancel");
    ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc);
    EXPECT_FLOAT_EQ(Modelsettings.max_depth_ratio, 1.0f);
    EXPECT_EQ(Modelsettings.array_type, 6);
}

TEST(ArrayTypeDialog, LineElectrodesTurnRemoteArraysIntoWennerAlpha) {
    GlobalRecords records;
    Modelsettings.electrode_type = 1;
    Headless ui;
    for (int button : {202, 206, 208}) {
        EXPECT_EQ(run_array_dialog(ui, "click " + std::to_string(button) + " ok"), 1);
        EXPECT_EQ(Modelsettings.array_type, 1) << button;
    }
}

TEST(ArrayTypeDialog, ReverseButtonSwitchesGradientToPoleDipole) {
    GlobalRecords records;
    Headless ui;
    EXPECT_EQ(run_array_dialog(ui, "click 209 click 216 ok"), 1);
    EXPECT_EQ(Modelsettings.array_type, 6);
    EXPECT_EQ(Modelsettings.pole_dipole_reverse, 1);
    // Offset pole-dipole keeps its selection.
    EXPECT_EQ(run_array_dialog(ui, "click 210 click 215 ok"), 1);
    EXPECT_EQ(Modelsettings.array_type, 10);
    EXPECT_EQ(Modelsettings.pole_dipole_reverse, 0);
}

TEST(ArrayTypeDialog, CancelLeavesEveryFieldAsItWas) {
    GlobalRecords records;
    ModelSettings& m = Modelsettings;
    m.array_type = 7;
    m.nlev = 12;
    m.max_depth_ratio = 3.5f;
    Headless ui;
    EXPECT_EQ(run_array_dialog(ui, "click 202 click 216 click 218 click 221 click 224 "
                                   "set 212 9 set 213 9 set 214 9 set 219 5 set 222 7 cancel"),
              0);
    EXPECT_EQ(dialog_result, 2);
    EXPECT_EQ(m.array_type, 7);
    EXPECT_EQ(m.nlev, 12);
    EXPECT_EQ(m.n_a_spacings, 1);
    EXPECT_EQ(m.n_n_values, 5);
    EXPECT_EQ(m.n_a_spacings_wenner, 5);
    EXPECT_EQ(m.pole_dipole_reverse, 0);
    EXPECT_EQ(m.use_max_geometric_factor, 0);
    EXPECT_EQ(m.limit_depth, 0);
    EXPECT_EQ(m.odd_n_only, 0);
    EXPECT_FLOAT_EQ(m.max_geometric_factor, 1055.5776f);
    EXPECT_FLOAT_EQ(m.max_depth_ratio, 3.5f);
}

TEST(ArrayTypeDialog, RadioPairsAreStoredAtOnce) {
    GlobalRecords records;
    Headless ui;
    EXPECT_EQ(run_array_dialog(ui, "click 218 click 221 click 224 ok"), 1);
    EXPECT_EQ(Modelsettings.use_max_geometric_factor, 1);
    EXPECT_EQ(Modelsettings.limit_depth, 1);
    EXPECT_EQ(Modelsettings.odd_n_only, 1);
}

} // namespace
