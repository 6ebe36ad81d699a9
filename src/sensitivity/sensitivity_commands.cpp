// Block-sensitivity commands and dialogs.
#include "sensitivity/sensitivity_commands.h"

#include "display/dialog_util.h"
#include "model/array_type.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/services.h"
#include "sensitivity/block_sensitivity.h"
#include "sensitivity/sensitivity_plot.h"
#include "sensitivity/sensitivity_table.h"

#include <array>
#include <cstdio>
#include <cstring>

using display::add;
using ui::ControlKind;

namespace {

// Two lines of text from row y; with `first`, the radio pair No (first) and Yes (first + 1)
// under them.
void add_question(ui::DialogTemplate& t, int y, const char* line_1, const char* line_2,
                  int first = 0) {
    add(t, -1, ControlKind::static_text, line_1, 10, y, 210, 10);
    add(t, -1, ControlKind::static_text, line_2, 10, y + 10, 210, 10);
    if (first == 0) return;
    add(t, first, ControlKind::radio, "No", 30, y + 22, 50, 10);
    add(t, first + 1, ControlKind::radio, "Yes", 100, y + 22, 50, 10);
}

ui::DialogTemplate make_jacobcal_template() {
    ui::DialogTemplate t("JacobCalDiaBox", "Calculate potentials for sensitivity values", 230, 170);
    add_question(t, 8, "Do you want to calculate the potential at all the",
                 "nodes required for the sensitivity calculations?", 5281);
    add_question(t, 48, "Do you want to calculate the model resolution",
                 "values? For large models, it could take a while.", 5283);
    add_question(t, 88, "You can change the damping factor shown below",
                 "that is used to calculate the model resolution.");
    add(t, 5285, ControlKind::edit, "", 70, 112, 80, 12);
    display::add_ok_cancel(t, 140);
    return t;
}

ui::DialogTemplate make_senstype_template() {
    ui::DialogTemplate t("SensTypeDiaBox", "Type of sensitivity values to plot", 230, 150);
    const char* lines[] = {"You can select the type of sensitivity values to plot.",
                           "The integrated option shows the sum of the absolute",
                           "sensitivity values associated with a model cell. The per",
                           "unit area value divides the integrated sensitivity by the",
                           "area of the model cell to compensate for changes in the",
                           "model cell size with depth."};
    int y = 6;
    for (const char* line : lines)
        add(t, -1, ControlKind::static_text, line, 10, y, 210, 10), y += 10;
    const char* radios[] = {"Integrated sensitivity value", "Sensitivity per unit area",
                            "Block model resolution", "Normalized model resolution"};
    for (int i = 0; i < 4; ++i)
        add(t, 5291 + i, ControlKind::radio, radios[i], 30, 70 + 12 * i, 180, 10);
    display::add_ok_cancel(t, 125);
    return t;
}

display::OpeningChoices jacobcal_opening;

std::array<display::RadioGroup, 3> jacobcal_groups(ModelSettings& m) {
    return {{{5281, 5282, &m.jacob},
             {5283, 5284, &m.calc_resolution},
             {5286, 5287, &m.extend_side_blocks}}};
}
int senstype_opening = 1;

void prerequisite(const char* text) {
    model::show_message(text, "Message");
}

constexpr const char* no_data_text = "You need to select a model and\ncalculate the potentials.";

// Steps after the prerequisites: the calculation, then the offers to save and to display.
void calculate_and_offer(ModelSettings& m) {
    ui::show_child(ui::Child::status, true);
    const int result = calculate_sensitivity_resolution(m);
    ui::show_child(ui::Child::status, false);
    if (result != 0) return;
    const unsigned question = ui::mb_yesno | ui::mb_iconquestion;
    if (model::ask_message("Do you want to save the sensitivity\nvalues to a XYZ file?",
                           "Save sensitivity values", question) == ui::id_yes) {
        SystemSettings& sys = Systemsettings;
        std::snprintf(sys.file_name, sizeof sys.file_name, "*.xyz");
        std::snprintf(sys.file_title, sizeof sys.file_title,
                      "File to save sensitivity values in xyz format");
        if (save_file_dialog(sys.file_name, sys.file_title, sys.initial_dir))
            write_sensitivity_file(m, sys.file_name);
    }
    if (model::ask_message("Do you want to display the sensitivity?", "Save sensitivity values",
                           question) == ui::id_yes) {
        ui::run_dialog(SensTypeDiaBox, SensTypeDiaBoxProc);
        sensitivity_plot(m, Progdisplay, ui::window_canvas());
    }
}

} // namespace

bool sensitivity_potentials_ready(const ModelSettings& m) {
    if (m.ndata < 1) {
        prerequisite(no_data_text);
        return false;
    }
    if (m.sens_potentials_ready == 1) return true;
    // Only the band finite-element solver keeps the potentials at all the nodes: the calculation
    // of these models never does, and a new one would not help.
    if (m.cylinder_model)
        prerequisite("The sensitivity values are not calculated for\ncylinder models.");
    else if (m.jacob != 1)
        prerequisite("You need to select the option to\ninclude calculation of the sensitivity\n"
                     "values when calculating the potentials.");
    else if (m.results_stale == 1)
        prerequisite("The model has changed since the potentials were calculated.\nYou need to "
                     "calculate the potentials again\nbefore the sensitivity values.");
    else if (m.nboreholes > 0)
        prerequisite("The potentials of a model with boreholes are calculated\nwithout the "
                     "potentials at all the nodes: the sensitivity\nvalues are not calculated "
                     "for it.");
    else if (m.complex_ip_model == 1 && m.nip > 0)
        prerequisite("The non-linear IP model is calculated without the potentials\nat all the "
                     "nodes. Choose the linear model in 'Type of IP model'\nand calculate the "
                     "potentials again for the sensitivity values.");
    else
        prerequisite("The potentials were not calculated with the option\nto include the "
                     "sensitivity values. You need to\ncalculate the potentials again first.");
    return false;
}

bool sensitivity_data_ready(const ModelSettings& m) {
    if (m.data_ready == 1) return true;
    prerequisite("The potentials do not give the apparent resistivity\nvalues of this array. You "
                 "need to calculate\nthe potentials again for it first.");
    return false;
}

const ui::DialogTemplate JacobCalDiaBox = make_jacobcal_template();
const ui::DialogTemplate SensTypeDiaBox = make_senstype_template();

bool JacobCalDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    const auto groups = jacobcal_groups(m);
    const auto show = [&m, &groups](ui::Dialog& d) {
        display::mark_radios(d, groups);
        d.set_text(5285, model::field_text("%.5f", m.res_damping));
    };
    const auto accept = [&m](ui::Dialog& d) {
        if (!model::read_field(d,
                               model::NumberField(5285, "the damping factor")
                                   .within(model::from_to(0.000001, 0.1)),
                               m.res_damping))
            return false;
        if (m.jacob == 1) m.fem = 1, m.sparsefem = 0;
        return true;
    };
    return display::radio_groups_procedure(jacobcal_opening, groups, show, accept, dialog, event,
                                           args);
}

bool SensTypeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    if (event == ui::DialogEvent::init) {
        senstype_opening = m.sens_type;
        dialog.check_radio(5291, 5294, 5291 + m.sens_type);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (dialog.take_radio(5291, 5294, args.id, m.sens_type)) return true;
    if (args.id == ui::id_ok) {
        dialog.end(1);
        return true;
    }
    if (args.id == ui::id_cancel) {
        m.sens_type = senstype_opening;
        dialog.end(0);
        return true;
    }
    return false;
}

void run_jacobcal_dialog(int& view_code) {
    view_code = 5280;
    erase_window();
    ui::run_dialog(JacobCalDiaBox, JacobCalDiaBoxProc);
}

void sensitivity_command(int& view_code, ModelSettings& m, const SensitivityHooks& hooks) {
    view_code = 5270;
    if (!sensitivity_potentials_ready(m)) return;
    // A changed array type must bring its own data: the sensitivities and a later save would
    // otherwise belong to the old array. Data the potentials' mesh does not reach are not formed
    // (data_ready 0): they need a calculation of their own, as after the array command.
    const int previous_array_type = m.array_type;
    if (ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc) == 1 && hooks.rebuild_data) {
        hooks.rebuild_data(previous_array_type);
        if (!sensitivity_potentials_ready(m)) return;
    }
    if (sensitivity_data_ready(m)) calculate_and_offer(m);
}

void sensitivity_command_no_array_dialog(int& view_code, ModelSettings& m,
                                         const SensitivityHooks&) {
    view_code = 5271;
    if (sensitivity_potentials_ready(m) && sensitivity_data_ready(m)) calculate_and_offer(m);
}

void display_sensitivity_command(int& view_code, ModelSettings& m, const SensitivityHooks&) {
    view_code = 5290;
    if (m.ndata < 1) {
        prerequisite(no_data_text);
        return;
    }
    if (m.sens_values_ready != 1) {
        if (m.results_stale == 1)
            prerequisite("The model has changed since the sensitivity values\nwere calculated. "
                         "You need to calculate the\npotentials and the sensitivity values "
                         "again first.");
        else
            prerequisite("You need to select the option to\ndisplay sensitivity values for an "
                         "array first.");
        return;
    }
    ui::run_dialog(SensTypeDiaBox, SensTypeDiaBoxProc);
    sensitivity_plot(m, Progdisplay, ui::window_canvas());
}
