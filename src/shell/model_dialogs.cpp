// The dialogs of the model values: a new resistivity value and the depths of the layers.
#include "shell/model_dialogs.h"

#include "display/dialog_util.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/mesh_nodes.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

using ui::ControlKind;

ui::DialogTemplate make_add_resistivity() {
    ui::DialogTemplate t("AddNewModResDiaBox", "Add new model resistivity", 240, 112);
    display::add(t, 301, ControlKind::static_text, "", 10, 8, 220, 10);
    display::add(t, -1, ControlKind::static_text, "New resistivity value (ohm.m)", 10, 24, 150, 10);
    display::add(t, 302, ControlKind::edit, "", 165, 22, 65, 14);
    display::add(t, 303, ControlKind::static_text, "", 10, 44, 220, 10);
    display::add(t, -1, ControlKind::static_text, "New I.P. value (mV/V)", 10, 60, 150, 10);
    display::add(t, 304, ControlKind::edit, "", 165, 58, 65, 14);
    display::add_ok_cancel(t, 86);
    return t;
}

constexpr int depth_rows = 40;
constexpr int depth_ok = 187, depth_cancel = 188;
constexpr int new_depth_edit = 400, present_depth_static = 500;

ui::DialogTemplate make_layer_depths() {
    ui::DialogTemplate t("ModDepthDiaBox", "Modify depth of layers", 390, 0);
    const int half = depth_rows / 2, top = 22;
    for (int column = 0; column < 2; ++column) {
        const int x = 10 + column * 190;
        display::add(t, -1, ControlKind::static_text, "Present depth", x + 44, 6, 70, 10);
        display::add(t, -1, ControlKind::static_text, "New depth", x + 118, 6, 60, 10);
        for (int k = 1; k <= half; ++k) {
            const int row = column * half + k, y = top + (k - 1) * 14;
            display::add(t, -1, ControlKind::static_text, "Layer " + std::to_string(row), x, y + 2,
                         42, 10);
            display::add(t, present_depth_static + row, ControlKind::static_text, "", x + 44, y + 2,
                         70, 10);
            display::add(t, new_depth_edit + row, ControlKind::edit, "", x + 118, y, 60, 13);
        }
    }
    const int y = top + half * 14 + 8;
    display::add(t, depth_ok, ControlKind::push_button, "OK", t.width / 2 - 70, y, 60, 16);
    display::add(t, depth_cancel, ControlKind::push_button, "Cancel", t.width / 2 + 10, y, 60, 16);
    t.height = y + 24;
    return t;
}

// ---- Add new model resistivity ---------------------------------------------------------------

// The chargeability counts only for a model that has chargeabilities and room for one more.
bool takes_chargeability(const ModelSettings& m) {
    return m.nip > 0 && m.nip < Proglim.max_resistivity_values;
}

void show_value_counts(ui::Dialog& dialog) {
    const ModelSettings& m = Modelsettings;
    char text[80];
    std::snprintf(text, sizeof text, "Your model has %d resistivity values.", m.nresis);
    dialog.set_text(301, text);
    std::snprintf(text, sizeof text, "Your model has %d I.P. values.", m.nip);
    dialog.set_text(303, text);
    // A value typed where the model takes none would be lost: the edit takes no entry then.
    dialog.enable(304, takes_chargeability(m));
    dialog.set_focus(302);
}

// The typed values added to the model (a blank field adds nothing); false, after the reader's
// box, when a field holds no value of its range, and then nothing is added.
bool add_typed_values(ui::Dialog& dialog) {
    ModelSettings& m = Modelsettings;
    model::FieldReader fields(dialog);
    double r = 0.0, ip = 0.0;
    fields.read(model::NumberField(302, "the new resistivity value")
                    .within(model::from_to(0.01, 1000000))
                    .optional(),
                r);
    const bool resistivity = fields.ok() && !fields.was_empty();
    bool chargeability = false;
    if (takes_chargeability(m)) {
        // Kept in V/V: a value the float would hold as 0 is no chargeability above 0.
        const model::NumberField field =
            model::NumberField(304, "the new I.P. value").within(model::above_below(0, 1000));
        fields.read(field.optional(), ip);
        chargeability = fields.ok() && !fields.was_empty();
        if (chargeability && !(float(ip * 0.001) > 0.0f)) return fields.refuse(field);
    }
    if (!fields.ok()) return false;
    if (resistivity && m.nresis < Proglim.max_resistivity_values)
        shell::add_model_value(m, float(r), false);
    if (chargeability) shell::add_model_value(m, float(ip * 0.001), true);
    return true;
}

// ---- Modify depth of layers ------------------------------------------------------------------

int current_row = 1; // the row whose edit has the focus

// The format of a depth in metres: fewer decimals for deeper layers.
const char* depth_format(float d) {
    return d < 1.0f ? "%.3f" : d < 10.0f ? "%.2f" : "%.1f";
}

void show_depths(ui::Dialog& dialog) {
    const ModelSettings& m = Modelsettings;
    for (int row = 1; row <= depth_rows; ++row) {
        if (row >= m.nz_nodes) {
            dialog.set_text(new_depth_edit + row, "None");
            dialog.set_text(present_depth_static + row, "None");
            continue;
        }
        const float d = m.depth_lines[row] * m.unit_spacing;
        dialog.set_text(new_depth_edit + row, model::field_text(depth_format(d), d));
        dialog.set_text(present_depth_static + row, display::formatted(depth_format(d), d));
    }
    current_row = 1;
    dialog.set_focus(new_depth_edit + 1);
}

// Enter and Esc step through the rows that hold depths.
void move_focus(ui::Dialog& dialog, int step) {
    const int rows = std::min(Modelsettings.nz_nodes - 1, depth_rows);
    if (rows < 1) return;
    current_row = (current_row - 1 + step + rows) % rows + 1;
    dialog.set_focus(new_depth_edit + current_row);
}

// Why line `row` of the depth grid cannot move ("" when it can): the water rows follow the water
// thickness, and a borehole electrode or the tank floor stands on its line; moving it would
// give the solvers a model that the model file does not describe.
std::string fixed_line_reason(const ModelSettings& m, int row) {
    if (m.water_present == 1 && row <= m.nwater) return "the water layers set it";
    if (m.tank_model == 1 && row == m.tank_bottom_row - 1) return "the tank floor stands on it";
    int first = 0;
    for (int b = 0; b < m.nboreholes; ++b) {
        for (int i = 0; i < m.issbor[b]; ++i)
            if (std::fabs(m.borehole_z[first + i] - m.depth_lines[row]) <= 0.001f)
                return "electrode " + std::to_string(i + 1) + " of borehole " +
                       std::to_string(b + 1) + " stands on it";
        first += m.issbor[b];
    }
    return "";
}

// False, after a box naming the first of them, when a typed depth moves a line that cannot move.
bool keeps_fixed_lines(ui::Dialog& dialog, const float* depths) {
    const ModelSettings& m = Modelsettings;
    for (int row = 1; row <= std::min(m.nz_nodes - 1, depth_rows); ++row) {
        if (depths[row] == m.depth_lines[row]) continue;
        const std::string why = fixed_line_reason(m, row);
        if (why.empty()) continue;
        const float d = m.depth_lines[row] * m.unit_spacing;
        const std::string text = "The depth of layer " + std::to_string(row) + " must stay " +
                                 display::formatted(depth_format(d), d) + ": " + why + ".";
        model::ask_message(text.c_str(), "Message", ui::mb_ok | ui::mb_iconexclamation);
        dialog.set_focus(new_depth_edit + row);
        return false;
    }
    return true;
}

// True when the grid of `depths` (unit spacings, depths[0] the surface) is one a model file can
// hold: the model file reader refuses a row more than ten times as thick as the row above it,
// and under a dry surface a first grid line deeper than the unit electrode spacing (the mesh
// could not follow the potential between neighbouring electrodes), both counted below the water
// floor as the file gives the depths. Otherwise false after a box naming the row, the keyboard
// in its edit (or in that of the row above it, when that was the one changed).
bool keeps_readable_grid(ui::Dialog& dialog, const float* depths) {
    const ModelSettings& m = Modelsettings;
    const int water_rows = m.water_present == 1 && m.nwater_layers > 0 ? m.nwater : 0;
    const float floor = std::fabs(m.zwatermax), us = m.unit_spacing;
    const auto below_floor = [&](int i) { return i == 0 ? 0.0f : depths[water_rows + i] - floor; };
    const auto metres = [&](float v) { return display::formatted(depth_format(v * us), v * us); };
    std::string text;
    int row = 0;
    const int file_rows = m.nz_nodes - 1 - water_rows;
    if (m.water_present != 1 && file_rows >= 1 && below_floor(1) > 1.0f) {
        row = 1;
        text = "The first grid line would lie " + metres(below_floor(1)) +
               " m below the surface,\ndeeper than the unit electrode spacing of " + metres(1.0f) +
               " m:\nthe mesh could not follow the potential between "
               "neighbouring electrodes.";
    }
    for (int i = 2; i <= file_rows && row == 0; ++i) {
        const float thick = below_floor(i) - below_floor(i - 1);
        const float above = below_floor(i - 1) - below_floor(i - 2);
        if (!(thick > 10.0f * above)) continue;
        row = water_rows + i;
        text = "Layer " + std::to_string(row) + " would be " + metres(thick) +
               " m thick, more than ten times layer " + std::to_string(row - 1) + " above it (" +
               metres(above) +
               " m):\na model file cannot hold such a grid, and the model "
               "could not be read again.";
        if (depths[row - 1] != m.depth_lines[row - 1] && depths[row] == m.depth_lines[row]) --row;
    }
    if (row == 0) return true;
    model::ask_message(text.c_str(), "Message", ui::mb_ok | ui::mb_iconexclamation);
    dialog.set_focus(new_depth_edit + std::min(row, depth_rows));
    return false;
}

// The typed depths (unit spacings) over a copy of the present ones in depth_lines_saved; false
// after the reader's box naming the first row that does not go deeper than the one above it (a
// blank row, or one that still holds the present depth in metres, keeps its depth, which must
// still lie below the row above).
bool take_typed_depths(ui::Dialog& dialog) {
    ModelSettings& m = Modelsettings;
    const int z = m.nz_nodes;
    const float us = m.unit_spacing;
    float* depths = m.depth_lines_saved;
    std::copy(m.depth_lines, m.depth_lines + z + 1, depths);
    model::FieldReader fields(dialog);
    for (int row = 1; row <= std::min(z - 1, depth_rows); ++row) {
        model::FieldRange range = model::above(double(depths[row - 1] * us));
        // The last row the dialog holds must stay above the first one it does not.
        if (row == depth_rows && row < z - 1)
            range = model::above_below(range.low, double(depths[row + 1] * us));
        const model::NumberField field =
            model::NumberField(new_depth_edit + row, "the depth of layer " + std::to_string(row))
                .within(range)
                .optional();
        const float present = depths[row] * us;
        float metres = present;
        if (!fields.read(field, metres)) return false;
        if (!fields.was_empty() && metres != present) depths[row] = metres / us;
        if (!range.holds(double(depths[row] * us))) return fields.refuse(field);
    }
    return keeps_fixed_lines(dialog, depths) && keeps_readable_grid(dialog, depths);
}

void apply_depths() {
    ModelSettings& m = Modelsettings;
    const int z = m.nz_nodes;
    const bool changed =
        !std::equal(m.depth_lines_saved + 1, m.depth_lines_saved + z, m.depth_lines + 1);
    std::copy(m.depth_lines_saved + 1, m.depth_lines_saved + z, m.depth_lines + 1);
    for (int i = 0; i <= z - 2; ++i)
        m.node_row_dz[i] = m.depth_lines[i + 1] - m.depth_lines[i];
    model::place_mesh_nodes(m);
    // Every result of the earlier calculation belongs to the old depths, the sensitivities too.
    if (changed) model::model_edited(m);
    m.pot_values_present = 0;
    m.data_ready = 0;
}

} // namespace

const ui::DialogTemplate AddNewModResDiaBox = make_add_resistivity();
const ui::DialogTemplate ModDepthDiaBox = make_layer_depths();

bool AddNewModResDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    if (event == ui::DialogEvent::first_paint) {
        show_value_counts(dialog);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id != ui::id_ok && args.id != ui::id_cancel) return false;
    if (args.id == ui::id_ok && !add_typed_values(dialog)) return true;
    display::end_dialog(dialog, args.id == ui::id_ok);
    return true;
}

bool ModDepthDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    switch (event) {
    case ui::DialogEvent::init:
        std::copy(m.depth_lines, m.depth_lines + m.nz_nodes + 1, m.depth_lines_saved);
        return true;
    case ui::DialogEvent::first_paint:
        show_depths(dialog);
        return true;
    case ui::DialogEvent::command:
        break;
    default:
        return false;
    }
    if (args.id > new_depth_edit && args.id <= new_depth_edit + depth_rows) {
        current_row = args.id - new_depth_edit;
        return true;
    }
    switch (args.id) {
    case ui::id_ok: // the Enter key
        move_focus(dialog, 1);
        return true;
    case ui::id_cancel: // the Esc key
        move_focus(dialog, -1);
        return true;
    case depth_ok:
        if (!take_typed_depths(dialog)) return true;
        apply_depths();
        display::end_dialog(dialog, true);
        return true;
    case depth_cancel:
        display::end_dialog(dialog, false);
        return true;
    default:
        return false;
    }
}

namespace shell {

void add_model_value(ModelSettings& m, float value, bool chargeability) {
    const bool water = m.water_present == 1 && m.nwater_layers > 0;
    std::int32_t& count = chargeability ? m.nip : m.nresis;
    float* values = chargeability ? m.model_chargeabilities : m.model_resistivities;
    std::int32_t* codes = chargeability ? m.ip_codes : m.resistivity_codes;
    const int kept_last = water ? (chargeability ? 1 : m.nwater_layers) : 0;
    const int at = std::max(0, count - kept_last);
    std::copy_backward(values + at, values + count, values + count + 1);
    values[at] = value;
    ++count;
    if (kept_last == 0) return;
    for (int r = 1; r <= m.nz_cells; ++r)
        for (int c = 1; c <= m.nx_cells; ++c) {
            std::int32_t& code = codes[index2d(c, r, m.nx_cells)];
            if (code >= at) ++code;
        }
}

} // namespace shell
