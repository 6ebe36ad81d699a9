// The option dialogs: the radio pattern of every dialog (mark, set at once, Cancel restores),
// the two number dialogs, the trace switch with its file, and the program information.
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "shell/option_dialogs.h"
#include "support/files.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

struct Session {
    test_support::Headless h;
    test_support::GlobalRecords records;
};

// Runs `tmpl` with `proc`, answered by `actions`; `seen` gets the procedure's view after its
// first paint and after every command: the checked buttons of first..last and the field.
struct Watched {
    std::vector<std::vector<bool>> checks;
    std::vector<std::int32_t> values;
};
int run_watched(const ui::DialogTemplate& tmpl, const ui::DialogProc& proc, int first, int last,
                const std::int32_t* field, Watched& seen) {
    return ui::run_dialog(tmpl, [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = proc(d, e, a);
        if (e == ui::DialogEvent::first_paint || e == ui::DialogEvent::command) {
            std::vector<bool> c;
            for (int id = first; id <= last; ++id)
                c.push_back(d.checked(id));
            seen.checks.push_back(c);
            seen.values.push_back(*field);
        }
        return handled;
    });
}

TEST(RadioDialogs, MarkSetAtOnceCancelRestoresOkKeeps) {
    Session s;
    ModelSettings& m = Modelsettings;
    test_support::TempDir dir("vd_radio");
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     dir.file("trace.txt").c_str());
    const struct Case {
        const ui::DialogTemplate& tmpl;
        bool (*proc)(ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&);
        int first, last;
        std::int32_t* field;
        bool sets_result;
    } cases[] = {
        {GeomDiaBox, GeomDiaBoxProc, 560, 561, &m.geometric_factor_type, true},
        {ComplexIPDiaBox, ComplexIPDiaBoxProc, 571, 572, &m.complex_ip_model, true},
        {FemDiaBox, FemDiaBoxProc, 161, 162, &m.fem, true},
        {FDFTypeDiaBox, FDFTypeDiaBoxProc, 5311, 5313, &m.fd_type, true},
        {UseHermDiaBox, UseHermDiaBoxProc, 5321, 5322, &m.distributed_source, true},
        {ShiftNodeDiaBox, ShiftNodeDiaBoxProc, 1261, 1262, &m.shift_nodes, true},
        {BorePlotDiaBox, BorePlotDiaBoxProc, 1271, 1272, &m.plot_boreholes, true},
        {PseudoDepthDiaBox, PseudoDepthDiaBoxProc, 5341, 5342, &m.pseudodepth_type, true},
        {ExtendDepthDiaBox, ExtendDepthDiaBoxProc, 551, 552, &m.extend_depth, false},
        {TraceDiaBox, TraceDiaBoxProc, 1241, 1242, &Printtrace.active, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl.name);
        const int top = c.last - c.first;
        const std::string click = " click ";
        const std::string ids[] = {std::to_string(c.first), std::to_string(c.last)};
        // Starting on the last button: clicks on the first, the last and the first again.
        *c.field = top;
        dialog_result = 77;
        Watched seen;
        s.h.answer("dialog " + c.tmpl.name + click + ids[0] + click + ids[1] + click + ids[0] +
                   " cancel");
        EXPECT_EQ(run_watched(c.tmpl, c.proc, c.first, c.last, c.field, seen), 0);
        std::vector<bool> last_marked(std::size_t(top + 1), false), first_marked = last_marked;
        last_marked.back() = true;
        first_marked.front() = true;
        ASSERT_EQ(seen.checks.size(), 5u);
        EXPECT_EQ(seen.checks[0], last_marked);
        EXPECT_EQ(seen.checks[1], first_marked);
        EXPECT_EQ(seen.checks[2], last_marked);
        EXPECT_EQ(seen.values, (std::vector<std::int32_t>{top, 0, top, 0, top}));
        EXPECT_EQ(*c.field, top);
        EXPECT_EQ(dialog_result, c.sets_result ? 2 : 77);

        s.h.answer("dialog " + c.tmpl.name + click + ids[0] + " ok");
        EXPECT_EQ(ui::run_dialog(c.tmpl, c.proc), 1);
        EXPECT_EQ(*c.field, 0);
        EXPECT_EQ(dialog_result, c.sets_result ? 1 : 77);
    }
    EXPECT_TRUE(s.h.answered()) << s.h.err.str();
}

// The finite-element variant has buttons the template does not show: it keeps its value.
TEST(RadioDialogs, MethodDialogKeepsTheVariant) {
    Session s;
    ModelSettings& m = Modelsettings;
    m.fem = 0;
    m.fem_variant = 1;
    s.h.answer("dialog FemDiaBox click 162 ok");
    ui::run_dialog(FemDiaBox, FemDiaBoxProc);
    EXPECT_EQ(m.fem, 1);
    EXPECT_EQ(m.fem_variant, 1);
    // The non-linear IP model selects finite elements with OK only.
    m.fem = 0;
    s.h.answer("dialog ComplexIPDiaBox click 572 cancel");
    ui::run_dialog(ComplexIPDiaBox, ComplexIPDiaBoxProc);
    EXPECT_EQ(m.fem, 0);
    s.h.answer("dialog ComplexIPDiaBox click 572 ok");
    ui::run_dialog(ComplexIPDiaBox, ComplexIPDiaBoxProc);
    EXPECT_EQ(m.fem, 1);
}

// The dialog's text of edit `id` after its first paint.
std::string shown_text(const ui::DialogTemplate& tmpl, const ui::DialogProc& proc, int id,
                       std::string& shown) {
    ui::run_dialog(tmpl, [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        const bool handled = proc(d, e, a);
        if (e == ui::DialogEvent::first_paint) shown = d.text(id);
        return handled;
    });
    return shown;
}

// A number outside its range is refused with the field's box, as text is, and the dialog stays
// open until Cancel; the depth ratio's own default, outside the range, stays while its edit
// shows it.
TEST(NumberDialogs, NodeWeightAndDepthRatioWithinTheirRanges) {
    Session s;
    ModelSettings& m = Modelsettings;
    std::string shown;
    s.h.answer("dialog UseHermDiaBox ok");
    EXPECT_EQ(shown_text(UseHermDiaBox, UseHermDiaBoxProc, 5323, shown), "0.93");
    const struct {
        const char* typed;
        float weight, side;
    } weights[] = {{"0.5", 0.5f, 0.25f}, {"0.98", 0.98f, 0.01f}, {"0.7", 0.7f, 0.15f}};
    for (const auto& w : weights) {
        s.h.answer(std::string("dialog UseHermDiaBox set 5323 ") + w.typed + " ok");
        ui::run_dialog(UseHermDiaBox, UseHermDiaBoxProc);
        EXPECT_FLOAT_EQ(m.current_node_weight, w.weight) << w.typed;
        EXPECT_NEAR(m.side_node_weight, w.side, 1e-6f) << w.typed;
    }
    s.h.take_output();
    for (const char* typed : {"0.3", "1", "0.49999", "abc", "nan", "inf", "0.7x"}) {
        s.h.answer(std::string("dialog UseHermDiaBox set 5323 ") + typed + " ok cancel");
        EXPECT_EQ(ui::run_dialog(UseHermDiaBox, UseHermDiaBoxProc), 0) << typed;
        EXPECT_FLOAT_EQ(m.current_node_weight, 0.7f) << typed;
        EXPECT_EQ(s.h.take_output(), "BOX [Message] The weight of the electrode node must be a "
                                     "number from 0.5 to 0.98.\n")
            << typed;
    }

    s.h.answer("dialog ExtendDepthDiaBox ok");
    EXPECT_EQ(shown_text(ExtendDepthDiaBox, ExtendDepthDiaBoxProc, 553, shown), "2.5");
    EXPECT_FLOAT_EQ(m.extend_depth_factor, 2.5f); // OK on the default shown keeps it
    EXPECT_EQ(s.h.take_output(), "");
    const struct {
        const char* typed;
        float ratio;
    } ratios[] = {{"25", 25.0f}, {"5", 5.0f}, {"12", 12.0f}};
    for (const auto& r : ratios) {
        s.h.answer(std::string("dialog ExtendDepthDiaBox set 553 ") + r.typed + " ok");
        ui::run_dialog(ExtendDepthDiaBox, ExtendDepthDiaBoxProc);
        EXPECT_FLOAT_EQ(m.extend_depth_factor, r.ratio) << r.typed;
    }
    s.h.take_output();
    for (const char* typed : {"30", "2.5", "4.9", "x", "nan", "2.5abc"}) {
        s.h.answer(std::string("dialog ExtendDepthDiaBox set 553 ") + typed + " ok cancel");
        ui::run_dialog(ExtendDepthDiaBox, ExtendDepthDiaBoxProc);
        EXPECT_FLOAT_EQ(m.extend_depth_factor, 12.0f) << typed;
        EXPECT_EQ(s.h.take_output(),
                  "BOX [Message] The depth ratio must be a number from 5 to 25.\n")
            << typed;
    }
    s.h.answer("dialog ExtendDepthDiaBox set 553 20 cancel");
    ui::run_dialog(ExtendDepthDiaBox, ExtendDepthDiaBoxProc);
    EXPECT_FLOAT_EQ(m.extend_depth_factor, 12.0f);
    EXPECT_TRUE(s.h.answered()) << s.h.err.str();
}

TEST(TraceDialog, YesStartsTheTraceFileOrSaysWhyNot) {
    Session s;
    test_support::TempDir dir("vd_trace");
    const std::string path = dir.file("trace.txt");
    dir.write("trace.txt", "old lines\n");
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name, path.c_str());
    Printtrace.active = 0;
    s.h.answer("dialog TraceDiaBox click 1242 ok");
    ui::run_dialog(TraceDiaBox, TraceDiaBoxProc);
    EXPECT_EQ(Printtrace.active, 1);
    EXPECT_EQ(test_support::read_file(path), "2D trace\n");
    model::trace("a line %d\n", 7);
    EXPECT_EQ(test_support::read_file(path), "2D trace\na line 7\n");

    // A trace file that cannot be created leaves tracing off, and says so.
    Printtrace.active = 0;
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name, "/no/such/folder/t.txt");
    s.h.take_output();
    s.h.answer("dialog TraceDiaBox click 1242 ok");
    ui::run_dialog(TraceDiaBox, TraceDiaBoxProc);
    EXPECT_EQ(Printtrace.active, 0);
    EXPECT_NE(s.h.take_output().find("BOX [Error Message] There has been an error in "
                                     "creating\\nthe file /no/such/folder/t.txt."),
              std::string::npos);
    EXPECT_FALSE(sys::file_exists("/no/such/folder/t.txt"));
}

TEST(InformationBoxes, ProgramInfoAndTheTextBox) {
    Session s;
    std::string shown;
    s.h.answer("dialog AboutDiaBox ok");
    EXPECT_EQ(shown_text(AboutDiaBox, AboutDiaBoxProc, 1452, shown), Systemsettings.version_text);
    bool titled = false;
    for (const ui::ControlSpec& c : AboutDiaBox.controls)
        titled = titled || c.text == "2D Resistivity and IP Forward Modelling";
    EXPECT_TRUE(titled);
    // Cancel is not handled: the box stays until OK.
    s.h.answer("dialog AboutDiaBox cancel ok");
    EXPECT_EQ(ui::run_dialog(AboutDiaBox, AboutDiaBoxProc), 1);

    ui::DialogTemplate text_box;
    text_box.name = "TextBox";
    text_box.controls.push_back({1610, ui::ControlKind::static_text, "", 0, 0, 100, 10});
    text_box.controls.push_back({ui::id_ok, ui::ControlKind::push_button, "OK", 0, 20, 40, 14});
    model::copy_text(Systemsettings.message_text, sizeof Systemsettings.message_text, "Notes");
    dialog_result = 0;
    s.h.answer("dialog TextBox ok");
    EXPECT_EQ(shown_text(text_box, InfoTextDiaBoxProc, 1610, shown), "Notes");
    EXPECT_EQ(dialog_result, 1);
    EXPECT_TRUE(s.h.answered()) << s.h.err.str();
}

} // namespace
