// The option dialogs of the main window.
#include "shell/option_dialogs.h"

#include "display/dialog_util.h"
#include "forward/datafile.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace {

using ui::ControlKind;

// ---- Templates ------------------------------------------------------------------------------

struct Button {
    int id;
    const char* text;
};

// Explanation lines, then the buttons of the group one under the other, then, when `edit_id`
// is given, a labelled edit field, then OK and Cancel.
ui::DialogTemplate radio_template(const char* name, const char* caption,
                                  std::initializer_list<const char*> notes,
                                  std::initializer_list<Button> buttons, int edit_id = 0,
                                  const char* edit_label = nullptr) {
    ui::DialogTemplate t(name, caption, 280, 0);
    int y = 6;
    for (const char* line : notes) {
        display::add(t, -1, ControlKind::static_text, line, 10, y, 260, 10);
        y += 10;
    }
    y += 6;
    for (const Button& b : buttons) {
        display::add(t, b.id, ControlKind::radio, b.text, 20, y, 250, 12);
        y += 14;
    }
    if (edit_id != 0) {
        y += 4;
        display::add(t, -1, ControlKind::static_text, edit_label, 10, y + 2, 190, 10);
        display::add(t, edit_id, ControlKind::edit, "", 205, y, 60, 14);
        y += 18;
    }
    y += 6;
    display::add_ok_cancel(t, y);
    t.height = y + 24;
    return t;
}

// ---- The radio pattern ----------------------------------------------------------------------

// The dialog's own steps around the pattern.
struct RadioSteps {
    bool sets_result = true;             // dialog_result 1 on OK and 2 on Cancel
    void (*init)(ui::Dialog&) = nullptr; // after the buttons are marked
    bool (*ok)(ui::Dialog&) = nullptr;   // before the end; false keeps the dialog open
};

using display::RadioGroup;
using Saved = display::OpeningChoices;

bool radio_procedure(Saved& saved, std::initializer_list<RadioGroup> groups,
                     const RadioSteps& steps, ui::Dialog& dialog, ui::DialogEvent event,
                     const ui::DialogArgs& args) {
    if (steps.sets_result && event == ui::DialogEvent::command && args.id == ui::id_cancel)
        dialog_result = 2;
    const auto show = [&](ui::Dialog& d) {
        display::mark_radios(d, groups);
        if (steps.init) steps.init(d);
    };
    const auto accept = [&](ui::Dialog& d) {
        if (steps.ok && !steps.ok(d)) return false;
        if (steps.sets_result) dialog_result = 1;
        return true;
    };
    return display::radio_groups_procedure(saved, groups, show, accept, dialog, event, args);
}

// ---- The steps of single dialogs ------------------------------------------------------------

void show_node_weight(ui::Dialog& dialog) {
    dialog.set_text(5323, model::field_text("%.2f", Modelsettings.current_node_weight));
}

bool store_node_weight(ui::Dialog& dialog) {
    float w = Modelsettings.current_node_weight;
    if (!model::read_field(dialog,
                           model::NumberField(5323, "the weight of the electrode node")
                               .within(model::from_to(0.5, 0.98)),
                           w))
        return false;
    Modelsettings.current_node_weight = w;
    Modelsettings.side_node_weight = (1.0f - w) * 0.5f;
    return true;
}

void show_depth_ratio(ui::Dialog& dialog) {
    dialog.set_text(553, model::field_text("%.1f", Modelsettings.extend_depth_factor));
}

// A typed ratio lies from 5 to 25; the program's own default, below them, stays while the
// edit shows it.
bool store_depth_ratio(ui::Dialog& dialog) {
    float& ratio = Modelsettings.extend_depth_factor;
    return model::read_field(dialog,
                             model::NumberField(553, "the depth ratio")
                                 .within(model::from_to(5, 25))
                                 .unless_left_at(model::field_text("%.1f", ratio)),
                             ratio);
}

bool start_trace_file(ui::Dialog&) {
    PrintTrace& trace = Printtrace;
    if (trace.active != 1 || trace.file) return true;
    if (!forward::save_text_file(trace.file_name, std::string("2D trace\n"))) trace.active = 0;
    return true;
}

// The non-linear IP model is calculated by finite elements: the user's choice of method too.
bool select_finite_elements(ui::Dialog&) {
    if (Modelsettings.complex_ip_model == 1) Modelsettings.fem = Modelsettings.fem_chosen = 1;
    return true;
}

// The method chosen holds for the models read later too.
bool keep_method_chosen(ui::Dialog&) {
    Modelsettings.fem_chosen = Modelsettings.fem;
    return true;
}

// ---- The templates --------------------------------------------------------------------------

const char* const about_title = "2D Resistivity and IP Forward Modelling";

ui::DialogTemplate make_about() {
    ui::DialogTemplate t("AboutDiaBox", "Program Info", 240, 118);
    display::add(t, -1, ControlKind::static_text, about_title, 10, 8, 220, 10);
    display::add(t, 1452, ControlKind::static_text, "", 10, 22, 220, 10);
    display::add(t, -1, ControlKind::static_text, "Forward modelling of resistivity and IP surveys",
                 10, 40, 220, 10);
    display::add(t, -1, ControlKind::static_text, "by finite differences and finite elements.", 10,
                 50, 220, 10);
    display::add(t, -1, ControlKind::static_text,
                 "Check calculated values against field experience.", 10, 64, 220, 10);
    display::add(t, ui::id_ok, ControlKind::push_button, "OK", 90, 90, 60, 16);
    return t;
}

} // namespace

const ui::DialogTemplate GeomDiaBox = radio_template(
    "GeomDiaBox", "Underwater survey geometric factor",
    {"Geometric factor of electrodes under water:", "the surface formula, or the exact one with",
     "the images of the water surface."},
    {{560, "Surface"}, {561, "Exact"}});

const ui::DialogTemplate ComplexIPDiaBox =
    radio_template("ComplexIPDiaBox", "Type of IP model",
                   {"The non-linear model takes the chargeability",
                    "into a complex resistivity (finite elements)."},
                   {{571, "Linear"}, {572, "Non-Linear"}});

const ui::DialogTemplate FemDiaBox = radio_template(
    "FemDiaBox", "Choose computation method",
    {"Models with topography, water layers or", "boreholes always use finite elements."},
    {{161, "Finite-difference"}, {162, "Finite-element"}});

const ui::DialogTemplate FDFTypeDiaBox = radio_template(
    "FDFTypeDiaBox", "Type of finite-difference method",
    {"The formulation of the finite-difference equations."},
    {{5311, "Dey & Morrison original"}, {5312, "Modified 5-point"}, {5313, "Modified 9-point"}});

const ui::DialogTemplate UseHermDiaBox =
    radio_template("UseHermDiaBox", "Use distributed current source",
                   {"A distributed source spreads the current of an",
                    "electrode over its node and the two beside it."},
                   {{5321, "Use single point source"}, {5322, "Use distributed source"}}, 5323,
                   "Weight of the electrode node (0.5 to 0.98)");

const ui::DialogTemplate ShiftNodeDiaBox = radio_template(
    "ShiftNodeDiaBox", "Distribute electrode effect",
    {"This option matters only for inclined boreholes",
     "whose electrodes do not sit on a mesh node."},
    {{1261, "Distribute effect of electrode among nodes"}, {1262, "Maintain singular electrode"}});

const ui::DialogTemplate BorePlotDiaBox =
    radio_template("BorePlotDiaBox", "Type of borehole model plot",
                   {"The part of a borehole model that is drawn."},
                   {{1271, "Entire Model"}, {1272, "Only borehole section"}});

const ui::DialogTemplate PseudoDepthDiaBox = radio_template(
    "PseudoDepthDiaBox", "Type of pseudodepth estimate",
    {"The depth at which each datum is plotted."}, {{5341, "Median"}, {5342, "Mean"}});

const ui::DialogTemplate ExtendDepthDiaBox = radio_template(
    "ExtendDepthDiaBox", "Automatically extend model depth",
    {"Choose this option before the model file is read.",
     "The model depth range is extended to the ratio below",
     "times the data levels; the ratio should normally be", "a value between 5.0 to 20.0."},
    {{551, "No, do not automatically extend model depth range."},
     {552, "Yes, automatically extend model depth range."}},
    553, "Depth ratio");

const ui::DialogTemplate TraceDiaBox = radio_template(
    "TraceDiaBox", "Trace inversion progress",
    {"Trace lines go to the trace file of the program folder."}, {{1241, "No"}, {1242, "Yes"}});

const ui::DialogTemplate AboutDiaBox = make_about();

bool GeomDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    return radio_procedure(saved, {{560, 561, &Modelsettings.geometric_factor_type}}, {}, dialog,
                           event, args);
}

bool ComplexIPDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    RadioSteps steps;
    steps.ok = select_finite_elements;
    return radio_procedure(saved, {{571, 572, &Modelsettings.complex_ip_model}}, steps, dialog,
                           event, args);
}

bool FemDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    RadioSteps steps;
    steps.ok = keep_method_chosen;
    return radio_procedure(saved,
                           {{161, 162, &Modelsettings.fem}, {167, 168, &Modelsettings.fem_variant}},
                           steps, dialog, event, args);
}

bool FDFTypeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    return radio_procedure(saved, {{5311, 5313, &Modelsettings.fd_type}}, {}, dialog, event, args);
}

bool UseHermDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    RadioSteps steps;
    steps.init = show_node_weight;
    steps.ok = store_node_weight;
    return radio_procedure(saved, {{5321, 5322, &Modelsettings.distributed_source}}, steps, dialog,
                           event, args);
}

bool ShiftNodeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    return radio_procedure(saved, {{1261, 1262, &Modelsettings.shift_nodes}}, {}, dialog, event,
                           args);
}

bool BorePlotDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    return radio_procedure(saved, {{1271, 1272, &Modelsettings.plot_boreholes}}, {}, dialog, event,
                           args);
}

bool PseudoDepthDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    return radio_procedure(saved, {{5341, 5342, &Modelsettings.pseudodepth_type}}, {}, dialog,
                           event, args);
}

bool ExtendDepthDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    RadioSteps steps;
    steps.sets_result = false;
    steps.init = show_depth_ratio;
    steps.ok = store_depth_ratio;
    return radio_procedure(saved, {{551, 552, &Modelsettings.extend_depth}}, steps, dialog, event,
                           args);
}

bool TraceDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    static Saved saved;
    RadioSteps steps;
    steps.ok = start_trace_file;
    return radio_procedure(saved, {{1241, 1242, &Printtrace.active}}, steps, dialog, event, args);
}

bool AboutDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    if (event == ui::DialogEvent::init) {
        dialog.set_text(1452, Systemsettings.version_text);
        return true;
    }
    if (event == ui::DialogEvent::command && args.id == ui::id_ok) {
        dialog.end(1);
        return true;
    }
    return false;
}

bool InfoTextDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    if (event == ui::DialogEvent::init) {
        dialog.set_text(1610, Systemsettings.message_text);
        return true;
    }
    if (event == ui::DialogEvent::command && args.id == ui::id_ok) {
        dialog_result = 1;
        dialog.end(1);
        return true;
    }
    return false;
}

namespace shell {

int complex_ip_command() {
    erase_window();
    const int result = ui::run_dialog(ComplexIPDiaBox, ComplexIPDiaBoxProc);
    Progdisplay.model_displayed = 1;
    return result;
}

} // namespace shell
