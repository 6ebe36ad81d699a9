// Every number field of every dialog of the program through the one reader: text after the
// number, "nan", infinities, numbers beyond the float range and numbers outside the field's
// range are refused with a box that names the field, the dialog stays open with every entry as
// the user left it, and a field no table row reads is a new field that escaped the reader.
#include "display/contour_levels.h"
#include "display/scales.h"
#include "display/section_display.h"
#include "forward/configurations/configurations.h"
#include "forward/noise.h"
#include "model/array_type.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "optimise/options_dialog.h"
#include "sensitivity/dialogs.h"
#include "sensitivity/sensitivity_3d.h"
#include "sensitivity/sensitivity_commands.h"
#include "shell/dispatch.h"
#include "shell/model_dialogs.h"
#include "shell/option_dialogs.h"
#include "support/model_records.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// One number field: its dialog, the box's name of it, what must happen before OK reads it,
// numbers outside its range (blank-separated; "" when it takes every number) and the records it
// needs.
struct Field {
    const ui::DialogTemplate* dialog;
    ui::DialogProc proc;
    int id;
    std::string name;
    std::string outside;
    bool whole = false;
    std::string before;     // script steps before the entry ("click 504")
    int ok = 1, cancel = 2; // the buttons that take and drop the entries
};

template <const ui::DialogTemplate& t,
          bool (*p)(ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&)>
Field field(int id, std::string name, std::string outside = "", bool whole = false) {
    return {&t, p, id, std::move(name), std::move(outside), whole, "", 1, 2};
}

Field contour(const ui::DialogTemplate& t, ContourProc proc, int id, std::string name,
              std::string outside = "") {
    return {&t,
            contour_dialog(Progdisplay, proc),
            id,
            std::move(name),
            std::move(outside),
            false,
            "",
            1,
            2};
}

Field with(Field f, std::string before, int ok = 1, int cancel = 2) {
    f.before = std::move(before);
    f.ok = ok, f.cancel = cancel;
    return f;
}

std::vector<Field> fields() {
    std::vector<Field> v = {
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(212, "The number of 'a' spacings",
                                                      "100001 0 1", true),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(213, "The number of 'a' spacings",
                                                      "100001 -2 0", true),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(214, "The number of 'n' values",
                                                      "100001 -3 0 71", true),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(219, "The maximum geometric factor", "-1"),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(222, "The maximum depth of investigation",
                                                      "0.01"),
        field<FreqSelectDiaBox, FreqSelectDiaBoxProc>(862, "The frequency number", "0 4", true),
        field<HrpsDiaBox, HrpsDiaBoxProc>(853, "The horizontal display scale", "500"),
        field<VtsfDiaBox, VtsfDiaBoxProc>(846, "The vertical/horizontal display scaling factor",
                                          "-2"),
        contour(ContourLogBox, ContourLogBoxProc, 147, "The minimum contour value", "-1"),
        with(contour(ContourLogBox, ContourLogBoxProc, 148, "The contour increase factor",
                     "-2 1 2.6"),
             "click 146"),
        contour(ContourLinearBox, ContourLinearBoxProc, 152, "The minimum contour value"),
        // The dialog opens with empty edits: the minimum comes first.
        with(contour(ContourLinearBox, ContourLinearBoxProc, 153, "The contour spacing value",
                     "-5 0 1e-46"),
             "set 152 1"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(964, "The material resistivity", "-50"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(965, "The maximum current", "0"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(966, "The minimum potential", "-1"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(967, "The unit electrode spacing", "0"),
        field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(1220, "The 'n' value", "0.05 25"),
        field<JacobCalDiaBox, JacobCalDiaBoxProc>(5285, "The damping factor", "0 0.2"),
        field<Array3DSensDiaBox, Array3DSensDiaBoxProc>(1745, "The 'n' value", "0.01 31"),
        field<UseHermDiaBox, UseHermDiaBoxProc>(5323, "The weight of the electrode node", "0.3 1"),
        field<ExtendDepthDiaBox, ExtendDepthDiaBoxProc>(553, "The depth ratio", "3 26"),
        field<AddNewModResDiaBox, AddNewModResDiaBoxProc>(302, "The new resistivity value",
                                                          "-50 0.001 2e6"),
        field<AddNewModResDiaBox, AddNewModResDiaBoxProc>(304, "The new I.P. value", "1000 0"),
        field<Sens2DSelDiaBox, Sens2DSelDiaBoxProc>(969, "The section number", "0 5", true),
        field<Sens2DSelDiaBox, Sens2DSelDiaBoxProc>(1253, "The scaling factor", "-5"),
        with(field<NoiseDiaBox, NoiseDiaBoxProc>(500, "The noise level", "150 0 -1"), "click 504"),
        field<VoltNoiseDiaBox, VoltNoiseDiaBoxProc>(5303, "The noise amplitude", "-2 1001"),
    };
    const char* opt[] = {"The number of electrodes",
                         "The maximum number of iterations",
                         "The ratio of BGS iterations",
                         "The ratio of extra arrays per iteration",
                         "The maximum number of arrays",
                         "The ratio of maximum model depth to line length",
                         "The thickness of the first model layer",
                         "The factor to increase the thickness of model layers",
                         "The maximum 'n' factor",
                         "The damping factor",
                         "The unit electrode spacing"};
    const int opt_ids[] = {1313, 1320, 1321, 1322, 1323, 1324, 1325, 1326, 1327, 1328, 1329};
    const char* opt_outside[] = {"9 65",    "0 101",   "0.4 0.95", "0.04 0.6", "9",       "0.1 0.4",
                                 "0.2 1.1", "0.9 1.3", "2 9",      "0 0.2",    "0.05 101"};
    for (int k = 0; k < 11; ++k) {
        const bool whole = k == 0 || k == 1 || k == 4 || k == 8;
        v.push_back(
            field<OptArrayDiaBox, OptArrayDiaBoxProc>(opt_ids[k], opt[k], opt_outside[k], whole));
    }
    const char* electrodes[] = {"C1", "C2", "P1", "P2"};
    for (int e = 0; e < 4; ++e) {
        const std::string c = electrodes[e];
        v.push_back(
            with(field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(1221 + e, "The position of " + c),
                 "click 1209"));
        v.push_back(field<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>(
            1240 + 2 * e, "The " + c + " x-coordinate"));
        v.push_back(field<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>(
            1241 + 2 * e, "The " + c + " z-coordinate", "-1"));
        v.push_back(field<Array3DSensDiaBox, Array3DSensDiaBoxProc>(1731 + 3 * e,
                                                                    "The " + c + " x position"));
        v.push_back(field<Array3DSensDiaBox, Array3DSensDiaBoxProc>(1732 + 3 * e,
                                                                    "The " + c + " y position"));
    }
    // Each end of the range beyond its start (X from -1, Z from 0.01 as shown).
    const char* range[] = {"The X minimum", "The X maximum", "The X spacing",
                           "The Z minimum", "The Z maximum", "The Z spacing"};
    const char* range_outside[] = {"", "-1 -2", "0.001", "0.001", "0.01 0", "0.01"};
    for (int i = 0; i < 6; ++i) {
        v.push_back(
            field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(1225 + i, range[i], range_outside[i]));
        v.push_back(field<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>(1225 + i, range[i],
                                                                          range_outside[i]));
    }
    v.push_back(field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(
        1253, "The constant scaling factor value", "0.5"));
    v.push_back(field<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>(
        1253, "The constant scaling factor value", "0.5"));
    const char* grid[] = {"X start",   "X end",   "X spacing", "Y start",  "Y end",
                          "Y spacing", "Z start", "Z end",     "Z spacing"};
    for (int i = 0; i < 9; ++i)
        v.push_back(field<Array3DSensDiaBox, Array3DSensDiaBoxProc>(
            1746 + i, std::string("The ") + grid[i], i % 3 == 2 || i >= 6 ? "-1" : ""));
    for (int k = 0; k < 16; ++k)
        for (const ui::DialogTemplate* t : {&UdfDiaBox, &UdfBWDiaBox})
            v.push_back(
                with(contour(*t, UdfDiaBoxProc, 171 + k, "Contour value " + std::to_string(k + 1)),
                     "", 187, 188));
    for (int row = 1; row <= 40; ++row)
        v.push_back(with(field<ModDepthDiaBox, ModDepthDiaBoxProc>(
                             400 + row, "The depth of layer " + std::to_string(row), "-1"),
                         "", 187, 188));
    return v;
}

// The records every dialog of the table reads: a model of 42 node rows 0.5 m apart with one
// chargeability, three frequencies, three sections, 16 contour levels.
void set_up_records() {
    ModelSettings& m = Modelsettings;
    m.nz_nodes = 42;
    m.unit_spacing = 1.0f;
    for (int j = 0; j <= m.nz_nodes; ++j)
        m.depth_lines[j] = 0.5f * float(j);
    m.nresis = 2;
    m.nip = 1;
    m.nfreq = 3;
    m.narrays = 3;
    m.max_potential = 1.0f;
    Progdisplay.level_scheme = 1;
    Proglim.max_n = 70;
}

// Fields the dialogs show but never read: the depths of the 3-D array's electrodes, which stand
// on the surface.
bool shown_only(const std::string& dialog, int id) {
    return dialog == "Array3DSensDiaBox" && (id == 1733 || id == 1736 || id == 1739 || id == 1742);
}

TEST(DialogFields, EveryNumberFieldOfEveryDialogIsInTheTable) {
    ASSERT_FALSE(shell::command_table().empty()); // links every command and its dialogs
    std::set<std::pair<std::string, int>> listed;
    for (const Field& f : fields())
        listed.insert({f.dialog->name, f.id});
    for (const ui::DialogTemplate* t : ui::live_templates())
        for (const ui::ControlSpec& c : t->controls) {
            if (c.kind != ui::ControlKind::edit || shown_only(t->name, c.id)) continue;
            EXPECT_EQ(listed.count({t->name, c.id}), 1u)
                << t->name << " edit " << c.id << " is read by no row of the table";
        }
}

TEST(DialogFields, WhatIsNoNumberOfTheRangeIsRefusedAndTheDialogStaysOpen) {
    test_support::Headless h;
    test_support::GlobalRecords records{test_support::limits_for(20, 200)};
    set_up_records();
    for (const Field& f : fields()) {
        std::vector<std::string> bad = {"2.5abc", "nan", "inf", "-inf", "1e39"};
        if (f.whole) bad.push_back("2.5");
        std::istringstream outside(f.outside);
        for (std::string number; outside >> number;)
            bad.push_back(number);
        for (const std::string& typed : bad) {
            const std::string what = f.dialog->name + " " + std::to_string(f.id) + " " + typed;
            // The texts of every edit when OK is pressed and when Cancel comes after it.
            std::map<int, std::string> at_ok, at_cancel;
            bool open_at_cancel = false;
            const auto texts = [&](const ui::Dialog& d, std::map<int, std::string>& into) {
                for (const ui::ControlSpec& c : f.dialog->controls)
                    if (c.kind == ui::ControlKind::edit) into[c.id] = d.text(c.id);
            };
            const auto watch = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                if (e == ui::DialogEvent::command && a.id == f.ok) texts(d, at_ok);
                if (e == ui::DialogEvent::command && a.id == f.cancel) {
                    texts(d, at_cancel);
                    open_at_cancel = true;
                }
                return f.proc(d, e, a);
            };
            h.take_output();
            h.answer("dialog " + f.dialog->name + " " + f.before + " set " + std::to_string(f.id) +
                     " " + typed + " click " + std::to_string(f.ok) + " click " +
                     std::to_string(f.cancel));
            ui::run_dialog(*f.dialog, watch);
            EXPECT_TRUE(h.answered()) << what << ": " << h.err.str();
            h.err.str("");
            EXPECT_TRUE(open_at_cancel) << what;
            EXPECT_EQ(at_cancel, at_ok) << what << ": the entries changed";
            const std::string out = h.take_output();
            EXPECT_EQ(out.rfind("BOX [Message] " + f.name + " must be a", 0), 0u)
                << what << ": " << out;
            EXPECT_EQ(out.find("BOX", 1), std::string::npos) << what << ": one box only";
        }
    }
}

// A field that shows a stored float setting and reads it back on OK: the setting, an ordinary
// value of the field's range and that value's text in the edit.
struct Shown {
    Field field; // only its dialog, edit, buttons and steps before OK
    float* setting;
    float value;
    std::string text;
};

template <const ui::DialogTemplate& t,
          bool (*p)(ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&)>
Field edit(int id) {
    return field<t, p>(id, "");
}

std::vector<Shown> shown_fields() {
    ModelSettings& m = Modelsettings;
    ProgDisplay& d = Progdisplay;
    Array3DSens& a = Array3dsens;
    ModelResolution& r = Modelresolution;
    const auto array_type = edit<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>;
    const auto sens2d = edit<Sens2DDiaBox, Sens2DDiaBoxProc>;
    const auto general = [](int id) {
        return with(edit<Array2DSensDiaBox, Array2DSensDiaBoxProc>(id), "click 1209");
    };
    const auto borehole = edit<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>;
    const auto opt = edit<OptArrayDiaBox, OptArrayDiaBoxProc>;
    const auto sens3d = edit<Array3DSensDiaBox, Array3DSensDiaBoxProc>;
    const auto depth = [](int row) {
        return with(edit<ModDepthDiaBox, ModDepthDiaBoxProc>(400 + row), "", 187, 188);
    };
    return {
        {array_type(219), &m.max_geometric_factor, 250.5f, "250.50"},
        {array_type(222), &m.max_depth_ratio, 2.5f, "2.500"},
        {edit<HrpsDiaBox, HrpsDiaBoxProc>(853), &d.xscale, 20.25f, "20.25"},
        // Kept as the reciprocal of what the edit shows.
        {edit<VtsfDiaBox, VtsfDiaBoxProc>(846), &d.vh_factor, 0.5f, "2.00"},
        {contour(ContourLogBox, ContourLogBoxProc, 147, ""), &d.first_contour_value, 12.5f, "12.5"},
        {contour(ContourLogBox, ContourLogBoxProc, 147, ""), &d.first_contour_value, 0.5f, "0.50"},
        {sens2d(964), &m.sens_resistivity, 50.5f, "50.50"},
        {sens2d(965), &m.sens_max_current, 0.25f, "0.2500"},
        {sens2d(966), &m.sens_min_potential, 0.125f, "0.1250"},
        {sens2d(967), &m.sens_unit_spacing, 2.5f, "2.5000"},
        {general(1220), &m.sens_n_value, 2.5f, "2.500"},
        {general(1221), &m.sens_c1_x, -0.5f, "-0.50000"},
        {general(1224), &m.sens_p2_x, 1.75f, "1.75000"},
        {general(1225), &m.sens_x_min, -1.5f, "-1.5000"},
        {general(1227), &m.sens_x_step, 0.05f, "0.0500"},
        {general(1229), &m.sens_z_max, 1.5f, "1.5000"},
        {general(1253), &m.sens_scale_factor, 50.0f, "50.00"},
        {borehole(1240), &m.sens_c1_x, 0.5f, "0.5000"},
        {borehole(1247), &m.sens_p2_z, 1.25f, "1.2500"},
        {borehole(1228), &m.sens_z_min, 0.05f, "0.0500"},
        {edit<JacobCalDiaBox, JacobCalDiaBoxProc>(5285), &m.res_damping, 0.005f, "0.00500"},
        {sens3d(1737), &a.elec_x[2], 0.25f, "0.2500"},
        {sens3d(1741), &a.elec_y[3], -0.5f, "-0.5000"},
        {sens3d(1745), &a.n_factor, 2.5f, "2.50"},
        {sens3d(1748), &a.x_step, 0.05f, "0.0500"},
        {sens3d(1753), &a.z_end, 1.5f, "1.5000"},
        {edit<UseHermDiaBox, UseHermDiaBoxProc>(5323), &m.current_node_weight, 0.75f, "0.75"},
        {edit<ExtendDepthDiaBox, ExtendDepthDiaBoxProc>(553), &m.extend_depth_factor, 7.5f, "7.5"},
        {edit<Sens2DSelDiaBox, Sens2DSelDiaBoxProc>(1253), &m.section_scale, 2.5f, "2.5"},
        // Shown in per cent and in millivolts.
        {with(edit<NoiseDiaBox, NoiseDiaBoxProc>(500), "click 504"), &m.noise_level, 0.05f, "5.00"},
        {edit<VoltNoiseDiaBox, VoltNoiseDiaBoxProc>(5303), &m.noise_amplitude, 0.002f, "2.000"},
        {opt(1321), &r.opt_bgs_ratio, 0.75f, "0.750"},
        {opt(1322), &r.opt_extra_ratio, 0.125f, "0.125"},
        {opt(1324), &r.opt_depth_ratio, 0.25f, "0.250"},
        {opt(1325), &r.opt_first_thickness, 0.75f, "0.750"},
        {opt(1326), &r.opt_thickness_factor, 1.125f, "1.125"},
        {opt(1328), &r.opt_damping, 0.05f, "0.0500"},
        {opt(1329), &r.opt_unit_spacing, 2.5f, "2.500"},
        // Depths in unit spacings of 2.5 m, shown in metres in three formats by their size; the
        // deepest would also come back changed from its exact metres.
        {depth(1), &m.depth_lines[1], 0.25f, "0.625"},
        {depth(3), &m.depth_lines[3], 1.5f, "3.75"},
        {depth(30), &m.depth_lines[30], 15.0f, "37.5"},
    };
}

std::uint32_t bits(float v) {
    std::uint32_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// OK on an untouched dialog keeps a stored value its edit's decimals cannot show (each value
// below is the ordinary one moved by a millionth), bit for bit; an ordinary value is shown in
// the edit's format as it always was.
TEST(DialogFields, OkOnAnUntouchedDialogKeepsTheStoredValues) {
    test_support::Headless h;
    test_support::GlobalRecords records{test_support::limits_for(20, 200)};
    set_up_records();
    Modelsettings.unit_spacing = 2.5f;
    for (const Shown& s : shown_fields()) {
        const Field& f = s.field;
        const float odd = s.value * 1.000001f;
        for (const float value : {odd, s.value}) {
            const std::string what =
                f.dialog->name + " " + std::to_string(f.id) + " " + std::to_string(double(value));
            *s.setting = value;
            std::string at_ok;
            const auto watch = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
                if (e == ui::DialogEvent::command && a.id == f.ok) at_ok = d.text(f.id);
                return f.proc(d, e, a);
            };
            h.take_output();
            h.answer("dialog " + f.dialog->name + " " + f.before + " click " +
                     std::to_string(f.ok));
            EXPECT_EQ(ui::run_dialog(*f.dialog, watch), 1) << what;
            EXPECT_TRUE(h.answered()) << what << ": " << h.err.str();
            h.err.str("");
            EXPECT_EQ(h.take_output().find("BOX"), std::string::npos) << what;
            EXPECT_EQ(bits(*s.setting), bits(value)) << what << " came back as " << *s.setting;
            if (value == s.value) {
                EXPECT_EQ(at_ok, s.text) << what;
            }
        }
    }
}

// The whole text of an edit is read, however long: a pasted spacing keeps every digit, a tiny
// one is no 0, a number beyond the float range is refused, and a ratio padded to more than ten
// characters is the ratio. A number whose stored float would leave the range is refused.
TEST(DialogFields, TheWholeTextIsReadAndTheStoredValueKeepsTheRange) {
    test_support::Headless h;
    test_support::GlobalRecords records{test_support::limits_for(20, 200)};
    set_up_records();
    ProgDisplay& d = Progdisplay;
    ModelSettings& m = Modelsettings;
    const Field spacing =
        with(contour(ContourLinearBox, ContourLinearBoxProc, 153, ""), "set 152 1");
    const Field ratio = field<ExtendDepthDiaBox, ExtendDepthDiaBoxProc>(553, "");
    const Field scale = field<HrpsDiaBox, HrpsDiaBoxProc>(853, "");
    const std::string digits300 = "1" + std::string(299, '0');
    const struct {
        Field field;
        std::string typed;
        float* setting;
        float stored; // the value stored; the box below when it is refused
        std::string box;
    } cases[] = {
        {spacing, "1.2345678901234567e-05", &d.contour_step, 1.2345678901234567e-05f, ""},
        {spacing, "0.000000000000000001", &d.contour_step, 1e-18f, ""},
        {spacing, "1e-46", &d.contour_step, 0.5f,
         "The contour spacing value must be a number from 1.401298e-45 to 3.402823e+38."},
        {spacing, digits300, &d.contour_step, 0.5f,
         "The contour spacing value must be a number above 0 and at most 3.402823e+38."},
        {ratio, "0000000000012", &m.extend_depth_factor, 12.0f, ""},
        {ratio, "12.000000000000001", &m.extend_depth_factor, 12.0f, ""},
        {scale, std::string(40, ' ') + "20", &d.xscale, 20.0f, ""},
    };
    for (const auto& c : cases) {
        const Field& f = c.field;
        const std::string what = f.dialog->name + " " + c.typed;
        *c.setting = 0.5f;
        h.take_output();
        h.answer("dialog " + f.dialog->name + " " + f.before + " set " + std::to_string(f.id) +
                 " \"" + c.typed + "\" click " + std::to_string(f.ok) +
                 (c.box.empty() ? "" : " click " + std::to_string(f.cancel)));
        ui::run_dialog(*f.dialog, f.proc);
        EXPECT_TRUE(h.answered()) << what << ": " << h.err.str();
        h.err.str("");
        EXPECT_EQ(*c.setting, c.stored) << what;
        EXPECT_EQ(h.take_output(), c.box.empty() ? "" : "BOX [Message] " + c.box + "\n") << what;
    }
}

// A dialog opens with the keyboard in its first field, or where its procedure puts it.
TEST(DialogFields, TheFocusStartsInTheFirstField) {
    test_support::Headless h;
    test_support::GlobalRecords records{test_support::limits_for(20, 200)};
    set_up_records();
    const struct {
        Field field;
        int focus;
    } cases[] = {
        {field<VtsfDiaBox, VtsfDiaBoxProc>(846, ""), 846},
        {field<ExtendDepthDiaBox, ExtendDepthDiaBoxProc>(553, ""), 553},
        {field<AddNewModResDiaBox, AddNewModResDiaBoxProc>(302, ""), 302},
        {with(field<ModDepthDiaBox, ModDepthDiaBoxProc>(401, ""), "", 187, 188), 401},
    };
    for (const auto& c : cases) {
        const Field& f = c.field;
        int focus = 0;
        const auto watch = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
            if (e == ui::DialogEvent::command) focus = d.focus();
            return f.proc(d, e, a);
        };
        h.answer("dialog " + f.dialog->name + " click " + std::to_string(f.cancel));
        ui::run_dialog(*f.dialog, watch);
        EXPECT_EQ(focus, c.focus) << f.dialog->name;
    }
    EXPECT_TRUE(h.answered()) << h.err.str();
}

} // namespace
