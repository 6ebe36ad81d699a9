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

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// One number field: its dialog, the box's name of it, what must happen before OK reads it, a
// number outside its range ("" when it takes or moves every number) and the records it needs.
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
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(212, "The number of 'a' spacings", "100001",
                                                      true),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(213, "The number of 'a' spacings", "100001",
                                                      true),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(214, "The number of 'n' values", "100001",
                                                      true),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(219, "The maximum geometric factor", "-1"),
        field<ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc>(222, "The maximum depth of investigation"),
        field<FreqSelectDiaBox, FreqSelectDiaBoxProc>(862, "The frequency number", "", true),
        field<HrpsDiaBox, HrpsDiaBoxProc>(853, "The horizontal display scale", "500"),
        field<VtsfDiaBox, VtsfDiaBoxProc>(846, "The vertical/horizontal display scaling factor",
                                          "-2"),
        contour(ContourLogBox, ContourLogBoxProc, 147, "The minimum contour value", "-1"),
        with(contour(ContourLogBox, ContourLogBoxProc, 148, "The contour increase factor", "-2"),
             "click 146"),
        contour(ContourLinearBox, ContourLinearBoxProc, 152, "The minimum contour value"),
        // The dialog opens with empty edits: the minimum comes first.
        with(
            contour(ContourLinearBox, ContourLinearBoxProc, 153, "The contour spacing value", "-5"),
            "set 152 1"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(964, "The material resistivity", "-50"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(965, "The maximum current", "0"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(966, "The minimum potential", "-1"),
        field<Sens2DDiaBox, Sens2DDiaBoxProc>(967, "The unit electrode spacing", "0"),
        field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(1220, "The 'n' value"),
        field<JacobCalDiaBox, JacobCalDiaBoxProc>(5285, "The damping factor"),
        field<Array3DSensDiaBox, Array3DSensDiaBoxProc>(1745, "The 'n' value"),
        field<UseHermDiaBox, UseHermDiaBoxProc>(5323, "The weight of the electrode node"),
        field<ExtendDepthDiaBox, ExtendDepthDiaBoxProc>(553, "The depth ratio"),
        field<AddNewModResDiaBox, AddNewModResDiaBoxProc>(302, "The new resistivity value", "-50"),
        field<AddNewModResDiaBox, AddNewModResDiaBoxProc>(304, "The new I.P. value", "1000"),
        field<Sens2DSelDiaBox, Sens2DSelDiaBoxProc>(969, "The section number", "", true),
        field<Sens2DSelDiaBox, Sens2DSelDiaBoxProc>(1253, "The scaling factor", "-5"),
        with(field<NoiseDiaBox, NoiseDiaBoxProc>(500, "The noise level", "150"), "click 504"),
        field<VoltNoiseDiaBox, VoltNoiseDiaBoxProc>(5303, "The noise amplitude"),
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
    for (int k = 0; k < 11; ++k) {
        const bool whole = k == 0 || k == 1 || k == 4 || k == 8;
        v.push_back(field<OptArrayDiaBox, OptArrayDiaBoxProc>(opt_ids[k], opt[k], "", whole));
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
    const char* range[] = {"The X minimum", "The X maximum", "The X spacing",
                           "The Z minimum", "The Z maximum", "The Z spacing"};
    for (int i = 0; i < 6; ++i) {
        v.push_back(field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(1225 + i, range[i]));
        v.push_back(field<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>(1225 + i, range[i]));
    }
    v.push_back(
        field<Array2DSensDiaBox, Array2DSensDiaBoxProc>(1253, "The constant scaling factor value"));
    v.push_back(field<Array2DBorSensDiaBox, Array2DBorSensDiaBoxProc>(
        1253, "The constant scaling factor value"));
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
        if (!f.outside.empty()) bad.push_back(f.outside);
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

} // namespace
