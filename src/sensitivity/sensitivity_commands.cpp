// Block-sensitivity commands and dialogs.
#include "sensitivity/sensitivity_commands.h"

#include "display/dialog_util.h"
#include "model/array_type.h"
#include "model/globals.h"
#include "model/services.h"
#include "sensitivity/block_sensitivity.h"
#include "sensitivity/sensitivity_plot.h"
#include "sensitivity/sensitivity_table.h"

#include <cstdio>
#include <cstring>

using display::add;
using ui::ControlKind;

namespace {

ui::DialogTemplate make_jacobcal_template() {
    ui::DialogTemplate t;
    t.name = "JacobCalDiaBox";
    t.caption = "Calculate potentials for sensitivity values";
    t.width = 230, t.height = 170;
    add(t, -1, ControlKind::static_text, "Do you want to calculate the potential at all the", 10, 8,
        210, 10);
    add(t, -1, ControlKind::static_text, "nodes required for the sensitivity calculations?", 10, 18,
        210, 10);
    add(t, 5281, ControlKind::radio, "No", 30, 30, 50, 10);
    add(t, 5282, ControlKind::radio, "Yes", 100, 30, 50, 10);
    add(t, -1, ControlKind::static_text, "Do you want to calculate the model resolution", 10, 48,
        210, 10);
    add(t, -1, ControlKind::static_text, "values? For large models, it could take a while.", 10, 58,
        210, 10);
    add(t, 5283, ControlKind::radio, "No", 30, 70, 50, 10);
    add(t, 5284, ControlKind::radio, "Yes", 100, 70, 50, 10);
    add(t, -1, ControlKind::static_text, "You can change the damping factor shown below", 10, 88,
        210, 10);
    add(t, -1, ControlKind::static_text, "that is used to calculate the model resolution.", 10, 98,
        210, 10);
    add(t, 5285, ControlKind::edit, "", 70, 112, 80, 12);
    display::add_ok_cancel(t, 140);
    return t;
}

ui::DialogTemplate make_senstype_template() {
    ui::DialogTemplate t;
    t.name = "SensTypeDiaBox";
    t.caption = "Type of sensitivity values to plot";
    t.width = 230, t.height = 150;
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

struct JacobCalOpening {
    int jacob = 0, calc_resolution = 0, extend_side_blocks = 0;
} jacobcal_opening;
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

// The prerequisite boxes of the two calculating commands; true when the command may go on.
bool potentials_ready(const ModelSettings& m) {
    if (m.ndata < 1) {
        prerequisite(no_data_text);
        return false;
    }
    if (m.sens_potentials_ready != 1) {
        prerequisite("You need to select the option to\ninclude calculation of the sensitivity\n"
                     "values when calculating the potentials.");
        return false;
    }
    return true;
}

} // namespace

const ui::DialogTemplate JacobCalDiaBox = make_jacobcal_template();
const ui::DialogTemplate SensTypeDiaBox = make_senstype_template();

bool JacobCalDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    if (event == ui::DialogEvent::init) {
        jacobcal_opening = {m.jacob, m.calc_resolution, m.extend_side_blocks};
        dialog.check_radio(5281, 5282, 5281 + m.jacob);
        dialog.check_radio(5283, 5284, 5283 + m.calc_resolution);
        dialog.check_radio(5286, 5287, 5286 + m.extend_side_blocks);
        dialog.set_text(5285, display::formatted("%.5f", m.res_damping));
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    switch (args.id) {
    case 5281:
    case 5282:
        m.jacob = args.id - 5281;
        dialog.check_radio(5281, 5282, args.id);
        return true;
    case 5283:
    case 5284:
        m.calc_resolution = args.id - 5283;
        dialog.check_radio(5283, 5284, args.id);
        return true;
    case 5286:
    case 5287:
        m.extend_side_blocks = args.id - 5286;
        dialog.check_radio(5286, 5287, args.id);
        return true;
    case ui::id_ok: {
        if (m.jacob == 1) m.fem = 1, m.sparsefem = 0;
        double damping = display::field_value(dialog, 5285, 32);
        if (damping > 0.1) damping = 0.1;
        if (damping < 0.000001) damping = 0.000001;
        m.res_damping = float(damping);
        dialog.end(1);
        return true;
    }
    case ui::id_cancel:
        m.jacob = jacobcal_opening.jacob;
        m.calc_resolution = jacobcal_opening.calc_resolution;
        m.extend_side_blocks = jacobcal_opening.extend_side_blocks;
        dialog.end(0);
        return true;
    default:
        return false;
    }
}

bool SensTypeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    if (event == ui::DialogEvent::init) {
        senstype_opening = m.sens_type;
        dialog.check_radio(5291, 5294, 5291 + m.sens_type);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id >= 5291 && args.id <= 5294) {
        m.sens_type = args.id - 5291;
        dialog.check_radio(5291, 5294, args.id);
        return true;
    }
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
    if (!potentials_ready(m)) return;
    // A changed array type must bring its own data: the sensitivities and a later save would
    // otherwise belong to the old array.
    const int previous_array_type = m.array_type;
    if (ui::run_dialog(ArrayTypeDiaBox2, ArrayTypeDiaBox2Proc) == 1 && hooks.rebuild_data) {
        hooks.rebuild_data(previous_array_type);
        if (!potentials_ready(m)) return;
    }
    calculate_and_offer(m);
}

void sensitivity_command_no_array_dialog(int& view_code, ModelSettings& m,
                                         const SensitivityHooks&) {
    view_code = 5271;
    if (potentials_ready(m)) calculate_and_offer(m);
}

void display_sensitivity_command(int& view_code, ModelSettings& m, const SensitivityHooks&) {
    view_code = 5290;
    if (m.ndata < 1) {
        prerequisite(no_data_text);
        return;
    }
    if (m.sens_values_ready != 1) {
        prerequisite("You need to select the option to\ndisplay sensitivity values for an array "
                     "first.");
        return;
    }
    ui::run_dialog(SensTypeDiaBox, SensTypeDiaBoxProc);
    sensitivity_plot(m, Progdisplay, ui::window_canvas());
}
