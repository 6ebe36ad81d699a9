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

    EXPECT_EQ(run_array_dialog(ui, "set 213 3 set 214 200 ok"), 1);
    EXPECT_EQ(Modelsettings.n_n_values, 70);
    EXPECT_EQ(Modelsettings.nlev, 210);
}

TEST(ArrayTypeDialog, WennerLevelsAndFieldMinimums) {
    GlobalRecords records;
    Proglim.max_n = 70;
    Headless ui;
    // Numbers below their least values are raised to them, and the status line says so.
    EXPECT_EQ(run_array_dialog(ui, "click 204 set 212 1 set 213 0 set 214 -4 set 219 500 "
                                   "set 222 0.01 ok"),
              1);
    EXPECT_EQ(Modelsettings.array_type, 2); // dialog code 4 is Wenner Beta
    EXPECT_EQ(Modelsettings.n_a_spacings_wenner, 2);
    EXPECT_EQ(Modelsettings.n_a_spacings, 1);
    EXPECT_EQ(Modelsettings.n_n_values, 1);
    EXPECT_EQ(Modelsettings.nlev, 2);
    EXPECT_FLOAT_EQ(Modelsettings.max_geometric_factor, 500.0f);
    EXPECT_FLOAT_EQ(Modelsettings.max_depth_ratio, 0.05f);
    EXPECT_STREQ(status_line(),
                 "The number of 'a' spacings 1 was taken as 2: the value must be at least 2. The "
                 "number of 'n' values -4 was taken as 1: the value must be from 1 to 70. The "
                 "number of 'a' spacings 0 was taken as 1: the value must be at least 1. The "
                 "maximum depth of investigation 0.01 was taken as 0.05: the value must be at "
                 "least 0.05.");

    // Text, or a factor that is no factor, is refused and nothing is stored until Cancel.
    for (const char* steps : {"click 201 set 212 abc ok cancel", "click 201 set 219 x ok cancel",
                              "click 201 set 219 -5 ok cancel", "click 201 set 213 2.5 ok cancel"})
        EXPECT_EQ(run_array_dialog(ui, steps), 0) << steps;
    EXPECT_EQ(Modelsettings.array_type, 2);
    EXPECT_FLOAT_EQ(Modelsettings.max_geometric_factor, 500.0f);
    EXPECT_EQ(ui.output(),
              "BOX [Message] The number of 'a' spacings must be a whole number from 2 to "
              "100000.\nBOX [Message] The maximum geometric factor must be a number above 0.\n"
              "BOX [Message] The maximum geometric factor must be a number above 0.\n"
              "BOX [Message] The number of 'a' spacings must be a whole number from 1 to "
              "100000.\n");
}

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
