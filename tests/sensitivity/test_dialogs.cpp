// The 2-D sensitivity dialogs and command through the headless backend.
#include "fixture.h"

#include "model/services.h"
#include "sensitivity/dialogs.h"
#include "sensitivity/section_command.h"
#include "support/files.h"

#include <cmath>
#include <filesystem>

namespace {

using sens_test::Session;

// The four electrode positions of the record, C1, C2, P1, P2.
std::vector<float> positions() {
    const ModelSettings& m = Modelsettings;
    return {m.sens_c1_x, m.sens_c2_x, m.sens_p1_x, m.sens_p2_x};
}

void expect_positions(const std::vector<float>& expected, const char* what) {
    const std::vector<float> p = positions();
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(p[i], expected[i], 1e-6f) << what << " electrode " << i;
}

TEST(Sens2DDialog, ShowsStoresCheckedAndCancelRestores) {
    Session s;
    ModelSettings& m = Modelsettings;
    m.sens_calc_type = 7;
    std::string shown[4];
    bool third = false;
    const auto watch = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = Sens2DDiaBoxProc(d, e, a);
        if (e == ui::DialogEvent::first_paint) {
            for (int i = 0; i < 4; ++i)
                shown[i] = d.text(964 + i);
            third = d.checked(963);
        }
        return handled;
    };
    // A resistivity of -3 and a current of "abc" or "xyz" are refused, one box each, the
    // dialog open with the other entries as typed; then the numbers are taken.
    s.answer("dialog Sens2DDiaBox click 961 set 964 -3 set 965 abc set 966 0.05 set 967 2.5 ok "
             "set 965 0 ok set 965 2 ok set 964 xyz ok set 964 3 ok");
    EXPECT_EQ(ui::run_dialog(Sens2DDiaBox, watch), 1);
    EXPECT_EQ(s.take_output(),
              "BOX [Message] The maximum current must be a number above 0.\n"
              "BOX [Message] The maximum current must be a number above 0.\n"
              "BOX [Message] The material resistivity must be a number above 0.\n"
              "BOX [Message] The material resistivity must be a number above 0.\n");
    EXPECT_TRUE(third) << "a type above 2 is shown as the file choice";
    EXPECT_EQ(shown[0], "1.00");
    EXPECT_EQ(shown[1], "1.0000");
    EXPECT_EQ(shown[2], "0.1000");
    EXPECT_EQ(shown[3], "1.0000");
    EXPECT_EQ(m.sens_calc_type, 0);
    EXPECT_EQ(m.sens_resistivity, 3.0f);
    EXPECT_EQ(m.sens_max_current, 2.0f);
    EXPECT_EQ(m.sens_min_potential, 0.05f);
    EXPECT_EQ(m.sens_unit_spacing, 2.5f);
    EXPECT_EQ(dialog_result, 1);

    s.answer("dialog Sens2DDiaBox click 962 set 967 9 cancel");
    EXPECT_EQ(ui::run_dialog(Sens2DDiaBox, Sens2DDiaBoxProc), 0);
    EXPECT_EQ(m.sens_calc_type, 0);
    EXPECT_EQ(m.sens_unit_spacing, 2.5f);
    EXPECT_EQ(dialog_result, 2);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// The range group takes its least values; below them, or an end not beyond its start, is
// refused with the field's box, the dialog stays open and nothing is stored.
TEST(Array2DDialog, RangeEntriesOutsideTheirRangesAreRefused) {
    const struct {
        int id;
        const char* typed;
        float ModelSettings::*field;
        float stored;
    } taken[] = {
        {1226, "-0.5", &ModelSettings::sens_x_max, -0.5f},
        {1227, "0.01", &ModelSettings::sens_x_step, 0.01f},
        {1228, "0.005", &ModelSettings::sens_z_min, 0.005f},
        {1230, "0.02", &ModelSettings::sens_z_step, 0.02f},
        {1253, "1", &ModelSettings::sens_scale_factor, 1.0f},
        {1253, "250", &ModelSettings::sens_scale_factor, 250.0f},
    };
    for (const auto& c : taken) {
        Session s;
        s.answer("dialog Array2DSensDiaBox set " + std::to_string(c.id) + " " + c.typed + " ok");
        EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, Array2DSensDiaBoxProc), 1);
        EXPECT_FLOAT_EQ(Modelsettings.*c.field, c.stored) << c.id << " " << c.typed;
        EXPECT_TRUE(s.answered()) << s.err.str();
    }
    // X from -1 and Z from 0.01, as the dialog shows them.
    const struct {
        int id;
        const char* typed;
        const char* box;
    } refused[] = {
        {1226, "-1", "The X maximum must be a number above -1."},
        {1226, "-5", "The X maximum must be a number above -1."},
        {1227, "0.001", "The X spacing must be a number of at least 0.01."},
        {1228, "0", "The Z minimum must be a number of at least 0.005."},
        {1229, "0.01", "The Z maximum must be a number above 0.01."},
        {1230, "0", "The Z spacing must be a number of at least 0.02."},
        {1253, "0.5", "The constant scaling factor value must be a number of at least 1."},
        {1253, "nan", "The constant scaling factor value must be a number of at least 1."},
        {1225, "inf", "The X minimum must be a number."},
    };
    for (const auto& c : refused) {
        Session s;
        s.answer("dialog Array2DSensDiaBox set " + std::to_string(c.id) + " " + c.typed +
                 " ok cancel");
        EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, Array2DSensDiaBoxProc), 0);
        EXPECT_EQ(s.take_output(), std::string("BOX [Message] ") + c.box + "\n") << c.typed;
        EXPECT_FLOAT_EQ(Modelsettings.sens_x_max, 2.0f);
        EXPECT_FLOAT_EQ(Modelsettings.sens_scale_factor, 100.0f);
        EXPECT_TRUE(s.answered()) << s.err.str();
    }
}

TEST(Array2DDialog, ArrayButtonsPlaceTheElectrodes) {
    const struct {
        const char* actions;
        int type;
        float n;
        std::vector<float> x;
    } cases[] = {
        {"click 1202 ok", 2, 1.0f, {1.0f / 3, 0.0f, 2.0f / 3, 1.0f}},
        {"click 1204 ok", 4, 1.0f, {0.0f, -1000.0f, 1.0f, 1000.0f}},
        {"click 1205 ok", 5, 1.0f, {1.0f / 3, 0.0f, 2.0f / 3, 1.0f}}, // the Wenner beta layout
        {"click 1207 ok", 7, 1.0f, {0.0f, 1.0f, 1.0f / 3, 2.0f / 3}}, // the Wenner alpha layout
        {"set 1220 3 click 1206 ok", 6, 3.0f, {0.0f, 1000.0f, 0.75f, 1.0f}},
        {"set 1220 16 click 1205 ok", 5, 16.0f, {1.0f / 18, 0.0f, 17.0f / 18, 1.0f}},
        {"set 1220 0.1 click 1207 ok", 7, 0.1f, {0.0f, 1.0f, 0.1f / 1.2f, 1.1f / 1.2f}},
        // An 'n' the button cannot place is refused, and the array stays the one before.
        {"click 1203 set 1220 30 click 1205 set 1220 2 ok",
         3,
         2.0f,
         {0.0f, 2.0f / 3, 1.0f / 3, 1.0f}},
        {"click 1203 set 1220 0 click 1207 set 1220 2 ok",
         3,
         2.0f,
         {0.0f, 2.0f / 3, 1.0f / 3, 1.0f}},
    };
    for (const auto& c : cases) {
        Session s;
        s.answer(std::string("dialog Array2DSensDiaBox ") + c.actions);
        EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, Array2DSensDiaBoxProc), 1);
        EXPECT_EQ(Modelsettings.sens_array_type, c.type) << c.actions;
        EXPECT_FLOAT_EQ(Modelsettings.sens_n_value, c.n) << c.actions;
        expect_positions(c.x, c.actions);
    }
}

// n = 20 is refused by a button, which places up to 16, but accepted by OK, which takes up to
// 24.
TEST(Array2DDialog, NLimitsOfTheButtonsAndOfOk) {
    Session s;
    std::string c1_after_button;
    float n_after_button = 0.0f;
    const auto watch = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = Array2DSensDiaBoxProc(d, e, a);
        if (e == ui::DialogEvent::command && a.id == 1205) {
            c1_after_button = d.text(1221);
            n_after_button = Modelsettings.sens_n_value;
        }
        return handled;
    };
    s.answer("dialog Array2DSensDiaBox set 1220 20 click 1205 set 1220 16 click 1205 set 1220 20 "
             "ok");
    EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, watch), 1);
    EXPECT_EQ(s.take_output(), "BOX [Message] The 'n' value must be a number from 0.1 to 16.\n");
    EXPECT_EQ(n_after_button, 16.0f);
    EXPECT_EQ(c1_after_button, "0.055555556"); // 1 / (16 + 2), all the digits OK reads back
    EXPECT_EQ(Modelsettings.sens_n_value, 20.0f);
    expect_positions({1.0f / 22, 0.0f, 21.0f / 22, 1.0f}, "n = 20 at OK");
    s.answer("dialog Array2DSensDiaBox set 1220 25 ok cancel");
    EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, Array2DSensDiaBoxProc), 0);
    EXPECT_EQ(s.take_output(), "BOX [Message] The 'n' value must be a number from 0.1 to 24.\n");
    EXPECT_EQ(Modelsettings.sens_n_value, 20.0f);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// Positions typed for the general array are what OK stores, whatever else the dialog got;
// an array button afterwards places its own.
TEST(Array2DDialog, TypedPositionsSurviveAndCancelRestores) {
    Session s;
    s.answer("dialog Array2DSensDiaBox click 1201 click 1209 set 1221 -0.5 set 1222 2.5 "
             "set 1223 0.25 set 1224 1.75 click 1232 click 1251 click 1231 click 1209 ok");
    EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, Array2DSensDiaBoxProc), 1);
    EXPECT_EQ(Modelsettings.sens_array_type, 11);
    expect_positions({-0.5f, 2.5f, 0.25f, 1.75f}, "typed");
    EXPECT_EQ(Modelsettings.sens_variable_spacing, 0);
    EXPECT_EQ(Modelsettings.sens_auto_scale, 0);

    // The next opening shows them.
    std::string shown;
    const auto watch = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = Array2DSensDiaBoxProc(d, e, a);
        if (e == ui::DialogEvent::first_paint) shown = d.text(1222);
        return handled;
    };
    s.answer("dialog Array2DSensDiaBox set 1221 7 click 1203 ok");
    EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, watch), 1);
    EXPECT_EQ(shown, "2.50000");
    expect_positions({0.0f, 2.0f / 3, 1.0f / 3, 1.0f}, "Wenner gamma button");

    s.answer("dialog Array2DSensDiaBox set 1220 5 click 1206 click 1252 click 1232 cancel");
    EXPECT_EQ(ui::run_dialog(Array2DSensDiaBox, Array2DSensDiaBoxProc), 0);
    EXPECT_EQ(Modelsettings.sens_array_type, 3);
    EXPECT_EQ(Modelsettings.sens_n_value, 1.0f);
    EXPECT_EQ(Modelsettings.sens_auto_scale, 0);
    EXPECT_EQ(Modelsettings.sens_variable_spacing, 0);
    expect_positions({0.0f, 2.0f / 3, 1.0f / 3, 1.0f}, "after Cancel");
    EXPECT_EQ(dialog_result, 2);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

TEST(BoreholeDialog, StoresTheCoordinatesAndTheRange) {
    Session s;
    ModelSettings& m = Modelsettings;
    s.answer("dialog Array2DBorSensDiaBox set 1240 0 set 1241 0.5 set 1242 0 set 1243 2 "
             "set 1244 1.5 set 1245 0.5 set 1246 1.5 set 1247 -0.25 set 1230 0.02 click 1232 ok "
             "set 1247 0.25 ok");
    EXPECT_EQ(ui::run_dialog(Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc), 1);
    // An electrode above the surface is refused.
    EXPECT_TRUE(s.showed("BOX [Message] The P2 z-coordinate must be a number of at least 0.\n"));
    EXPECT_EQ(m.sens_c1_z, 0.5f);
    EXPECT_EQ(m.sens_c2_z, 2.0f);
    EXPECT_EQ(m.sens_p1_x, 1.5f);
    EXPECT_EQ(m.sens_p2_z, 0.25f);
    EXPECT_EQ(m.sens_z_step, 0.02f);
    EXPECT_EQ(m.sens_variable_spacing, 1);

    s.answer("dialog Array2DBorSensDiaBox set 1241 9 click 1231 click 1251 cancel");
    EXPECT_EQ(ui::run_dialog(Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc), 0);
    EXPECT_EQ(m.sens_c1_z, 0.5f);
    EXPECT_EQ(m.sens_variable_spacing, 1);
    EXPECT_EQ(m.sens_auto_scale, 1);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// The command on the window of a 1024 x 768 screen and an off-screen canvas: each path leaves the
// status window hidden.
struct CommandRun : sens_test::CanvasSession {
    int from_file = 0; ///< runs of the configuration-file hook
    int run(const std::string& answers) {
        answer(answers);
        const int view = sensitivity_section_command([this] { ++from_file; });
        EXPECT_FALSE(ui::child_shown(ui::Child::status)) << answers;
        EXPECT_TRUE(this->answered()) << answers << "\n" << err.str();
        return view;
    }
};

TEST(SensitivitySectionCommand, EveryPathEndsWithTheStatusWindowHidden) {
    CommandRun r;
    ModelSettings& m = Modelsettings;
    EXPECT_EQ(r.run("dialog Sens2DDiaBox cancel"), 137);
    EXPECT_EQ(r.run("dialog Sens2DDiaBox click 961 ok\ndialog Array2DSensDiaBox cancel"), 137);

    // A surface array drawn and saved.
    EXPECT_EQ(r.run("dialog Sens2DDiaBox click 961 ok\n"
                    "dialog Array2DSensDiaBox click 1201 set 1227 0.05 set 1230 0.05 ok\n"
                    "file sig2wenneralpha.dat"),
              137);
    EXPECT_TRUE(std::filesystem::exists(r.dir.path + "sig2wenneralpha.dat"));
    EXPECT_TRUE(std::filesystem::exists(r.dir.path + "sig2wenneralpha_post.dat"));
    EXPECT_NE(r.take_texts().find("Medium depth of investigation 0.1730"), std::string::npos);

    // The borehole dialog always makes array 12.
    m.sens_array_type = 5;
    EXPECT_EQ(
        r.run(
            "dialog Sens2DDiaBox click 962 ok\n"
            "dialog Array2DBorSensDiaBox set 1240 0 set 1241 0.5 set 1242 0 set 1243 1 set 1244 1 "
            "set 1245 0.5 set 1246 1 set 1247 1 ok\nfile cancel"),
        137);
    EXPECT_EQ(m.sens_array_type, 12);
    EXPECT_NE(r.take_texts().find("Borehole array"), std::string::npos);

    // Array parameters from a file go to the configuration-file run with the scaling set.
    m.sens_auto_scale = 0;
    EXPECT_EQ(r.run("dialog Sens2DDiaBox click 963 ok"), 137);
    EXPECT_EQ(r.from_file, 1);
    EXPECT_EQ(m.sens_scale_factor, 10000.0f);
    EXPECT_EQ(m.sens_auto_scale, 1);
}

} // namespace
