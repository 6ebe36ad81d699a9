// The 2-D sensitivity dialogs.
#include "sensitivity/dialogs.h"

#include "display/dialog_util.h"
#include "model/globals.h"

#include <algorithm>
#include <cmath>

using display::add;
using display::formatted;
using ui::ControlKind;

namespace {

// A number typed into edit `id` (at most `chars` characters); what is not a finite number
// reads as 0, as text without digits does.
float typed(const ui::Dialog& dialog, int id, int chars) {
    const double v = display::field_value(dialog, id, chars);
    return std::isfinite(v) && std::fabs(v) <= 3.0e38 ? float(v) : 0.0f;
}

// ---- Templates -------------------------------------------------------------------------------

void add_edit_row(ui::DialogTemplate& t, int id, const char* label, int x, int y) {
    add(t, -1, ControlKind::static_text, label, x, y + 2, 80, 10);
    add(t, id, ControlKind::edit, "", x + 82, y, 50, 12);
}

// The range group, the two radio pairs and the factor, from row y.
void add_range_controls(ui::DialogTemplate& t, int y) {
    add(t, -1, ControlKind::group, "Range of section", 10, y, 300, 62);
    const char* labels[6] = {"X minimum", "X maximum", "X spacing",
                             "Z minimum", "Z maximum", "Z spacing"};
    for (int i = 0; i < 6; ++i)
        add_edit_row(t, 1225 + i, labels[i], 16 + (i / 3) * 146, y + 12 + (i % 3) * 16);
    add(t, 1231, ControlKind::radio, "Do not use variable spacings", 16, y + 68, 140, 12);
    add(t, 1232, ControlKind::radio, "Use variable spacings", 162, y + 68, 140, 12);
    add(t, 1251, ControlKind::radio, "Use constant scaling factor", 16, y + 84, 140, 12);
    add(t, 1252, ControlKind::radio, "Use automatic scaling factor", 162, y + 84, 140, 12);
    add_edit_row(t, 1253, "Constant scaling factor value", 16, y + 100);
}

ui::DialogTemplate make_sens2d() {
    ui::DialogTemplate t("Sens2DDiaBox", "Select Type of Sensitivity Calculation", 240, 170);
    add(t, 961, ControlKind::radio, "User input surface array", 16, 8, 200, 12);
    add(t, 962, ControlKind::radio, "User input borehole array", 16, 22, 200, 12);
    add(t, 963, ControlKind::radio, "Read array parameters from file", 16, 36, 200, 12);
    const char* labels[4] = {"Material resistivity (Ohm.m)", "Maximum current (Amp)",
                             "Minumim potential (mV)", "Unit electode spacing (m)"};
    for (int i = 0; i < 4; ++i)
        add_edit_row(t, 964 + i, labels[i], 16, 58 + 18 * i);
    display::add_ok_cancel(t, 140);
    return t;
}

ui::DialogTemplate make_array2d() {
    ui::DialogTemplate t("Array2DSensDiaBox", "Choose array for sensitivity calculations", 320,
                         300);
    const char* arrays[8] = {"Wenner Alpha",        "Wenner Beta",          "Wenner Gamma",
                             "Pole-Pole",           "Inline dipole-dipole", "Pole-dipole",
                             "Wenner-Schlumberger", "General array"};
    const int ids[8] = {1201, 1202, 1203, 1204, 1205, 1206, 1207, 1209};
    for (int i = 0; i < 8; ++i)
        add(t, ids[i], ControlKind::radio, arrays[i], 16 + (i / 4) * 146, 8 + (i % 4) * 14, 140,
            12);
    add_edit_row(t, 1220, "'n' value", 16, 66);
    const char* electrodes[4] = {"C1", "C2", "P1", "P2"};
    for (int i = 0; i < 4; ++i)
        add_edit_row(t, 1221 + i, electrodes[i], 16 + (i % 2) * 146, 84 + (i / 2) * 16);
    add_range_controls(t, 122);
    display::add_ok_cancel(t, 276);
    return t;
}

ui::DialogTemplate make_array2d_borehole() {
    ui::DialogTemplate t("Array2DBorSensDiaBox", "Set borehole electrodes", 320, 260);
    const char* labels[8] = {"C1 x-coord.", "C1 z-coord. ", "C2 x-coord.", "C2 z-coord.",
                             "P1 x-coord.", "P1 z-coord.",  "P2 x-coord.", "P2 z-coord."};
    for (int i = 0; i < 8; ++i)
        add_edit_row(t, 1240 + i, labels[i], 16 + (i % 2) * 146, 8 + (i / 2) * 16);
    add_range_controls(t, 80);
    display::add_ok_cancel(t, 234);
    return t;
}

// ---- Shared parts of the procedures ----------------------------------------------------------

void show_range(ui::Dialog& dialog, const ModelSettings& m) {
    const float range[6] = {m.sens_x_min, m.sens_x_max, m.sens_x_step,
                            m.sens_z_min, m.sens_z_max, m.sens_z_step};
    for (int i = 0; i < 6; ++i)
        dialog.set_text(1225 + i, formatted("%.4f", range[i]));
    dialog.check_radio(1231, 1232, 1231 + std::clamp(m.sens_variable_spacing, 0, 1));
    dialog.set_text(1253, formatted("%.2f", m.sens_scale_factor));
    dialog.check_radio(1251, 1252, 1251 + std::clamp(m.sens_auto_scale, 0, 1));
}

void read_range(const ui::Dialog& dialog, ModelSettings& m) {
    m.sens_x_min = typed(dialog, 1225, 25);
    m.sens_x_max = typed(dialog, 1226, 25);
    if (!(m.sens_x_max > m.sens_x_min)) m.sens_x_max = m.sens_x_min + 1.0f;
    m.sens_x_step = std::max(typed(dialog, 1227, 25), 0.01f);
    m.sens_z_min = std::max(typed(dialog, 1228, 25), 0.005f);
    m.sens_z_max = typed(dialog, 1229, 25);
    if (!(m.sens_z_max > m.sens_z_min)) m.sens_z_max = m.sens_z_min + 1.0f;
    m.sens_z_step = std::max(typed(dialog, 1230, 25), 0.02f);
    m.sens_scale_factor = std::max(typed(dialog, 1253, 25), 1.0f);
}

// The radio pairs of the range group; true when `id` was one of them.
bool range_radio(ui::Dialog& dialog, int id, ModelSettings& m) {
    return dialog.take_radio(1231, 1232, id, m.sens_variable_spacing) ||
           dialog.take_radio(1251, 1252, id, m.sens_auto_scale);
}

float* positions_of(ModelSettings& m, int i) {
    float* x[4] = {&m.sens_c1_x, &m.sens_c2_x, &m.sens_p1_x, &m.sens_p2_x};
    return x[i];
}

void show_positions(ui::Dialog& dialog, ModelSettings& m) {
    for (int i = 0; i < 4; ++i)
        dialog.set_text(1221 + i, formatted("%.5f", *positions_of(m, i)));
}

// The electrodes of array code `code` on a line of unit length (C1, C2, P1, P2); codes 5 to 7
// with factor n. `keep_c1` leaves C1 of code 7 as it is.
void place_electrodes(ModelSettings& m, int code, float n, bool keep_c1) {
    float p[4] = {m.sens_c1_x, m.sens_c2_x, m.sens_p1_x, m.sens_p2_x};
    switch (code) {
    case 1:
        p[0] = 0.0f, p[1] = 1.0f, p[2] = 1.0f / 3.0f, p[3] = 2.0f / 3.0f;
        break;
    case 2:
        p[0] = 1.0f / 3.0f, p[1] = 0.0f, p[2] = 2.0f / 3.0f, p[3] = 1.0f;
        break;
    case 3:
        p[0] = 0.0f, p[1] = 2.0f / 3.0f, p[2] = 1.0f / 3.0f, p[3] = 1.0f;
        break;
    case 4:
        p[0] = 0.0f, p[1] = -1000.0f, p[2] = 1.0f, p[3] = 1000.0f;
        break;
    case 5: {
        const float a = 1.0f / (n + 2.0f);
        p[0] = a, p[1] = 0.0f, p[2] = 1.0f - a, p[3] = 1.0f;
        break;
    }
    case 6: {
        const float a = 1.0f / (n + 1.0f);
        p[0] = 0.0f, p[1] = 1000.0f, p[2] = 1.0f - a, p[3] = 1.0f;
        break;
    }
    case 7: {
        const float a = 1.0f / (2.0f * n + 1.0f);
        if (!keep_c1) p[0] = 0.0f;
        p[1] = 1.0f, p[2] = n * a, p[3] = n * a + a;
        break;
    }
    default:
        return;
    }
    for (int i = 0; i < 4; ++i)
        *positions_of(m, i) = p[i];
}

// What Cancel of Array2DSensDiaBox puts back.
struct ArrayKept {
    std::int32_t array_type = 1, variable = 0, auto_scale = 1;
    float n = 1.0f;
    float x[4] = {};
} array_kept;

// What Cancel of Sens2DDiaBox puts back.
struct TypeKept {
    std::int32_t calc_type = 0;
    float resistivity = 0.0f, current = 0.0f, potential = 0.0f, spacing = 0.0f;
} type_kept;

std::int32_t borehole_kept_variable = 0, borehole_kept_auto = 1;

bool end_with(ui::Dialog& dialog, bool ok) {
    display::end_dialog(dialog, ok);
    return true;
}

} // namespace

const ui::DialogTemplate Sens2DDiaBox = make_sens2d();
const ui::DialogTemplate Array2DSensDiaBox = make_array2d();
const ui::DialogTemplate Array2DBorSensDiaBox = make_array2d_borehole();

bool Sens2DDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    switch (event) {
    case ui::DialogEvent::init:
        type_kept = {m.sens_calc_type, m.sens_resistivity, m.sens_max_current, m.sens_min_potential,
                     m.sens_unit_spacing};
        return true;
    case ui::DialogEvent::first_paint:
        m.sens_calc_type = std::clamp(m.sens_calc_type, 0, 2);
        dialog.check_radio(961, 963, 961 + m.sens_calc_type);
        dialog.set_text(964, formatted("%.2f", m.sens_resistivity));
        dialog.set_text(965, formatted("%.4f", m.sens_max_current));
        dialog.set_text(966, formatted("%.4f", m.sens_min_potential));
        dialog.set_text(967, formatted("%.4f", m.sens_unit_spacing));
        return true;
    case ui::DialogEvent::command:
        if (dialog.take_radio(961, 963, args.id, m.sens_calc_type)) return true;
        if (args.id == ui::id_ok) {
            m.sens_max_current = typed(dialog, 965, 30);
            m.sens_resistivity = typed(dialog, 964, 30);
            m.sens_min_potential = typed(dialog, 966, 30);
            m.sens_unit_spacing = typed(dialog, 967, 30);
            return end_with(dialog, true);
        }
        if (args.id == ui::id_cancel) {
            m.sens_calc_type = type_kept.calc_type;
            m.sens_resistivity = type_kept.resistivity;
            m.sens_max_current = type_kept.current;
            m.sens_min_potential = type_kept.potential;
            m.sens_unit_spacing = type_kept.spacing;
            return end_with(dialog, false);
        }
        return false;
    default:
        return false;
    }
}

bool Array2DSensDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    switch (event) {
    case ui::DialogEvent::init:
        array_kept = {m.sens_array_type,
                      m.sens_variable_spacing,
                      m.sens_auto_scale,
                      m.sens_n_value,
                      {m.sens_c1_x, m.sens_c2_x, m.sens_p1_x, m.sens_p2_x}};
        return true;
    case ui::DialogEvent::first_paint: {
        dialog.set_text(1220, formatted("%.3f", m.sens_n_value));
        show_range(dialog, m);
        const int t = m.sens_array_type;
        if (t >= 1 && t <= 7) dialog.check_radio(1201, 1209, 1200 + t);
        if (t == 11) dialog.check_radio(1201, 1209, 1209);
        show_positions(dialog, m);
        return true;
    }
    case ui::DialogEvent::command: {
        const int id = args.id;
        if (id >= 1201 && id <= 1207) {
            m.sens_array_type = id - 1200;
            if (id >= 1205) m.sens_n_value = std::clamp(typed(dialog, 1220, 15), 0.1f, 16.0f);
            place_electrodes(m, m.sens_array_type, m.sens_n_value, false);
            show_positions(dialog, m);
            dialog.check_radio(1201, 1209, id);
            return true;
        }
        if (id == 1209) {
            m.sens_array_type = 11;
            dialog.check_radio(1201, 1209, id);
            return true;
        }
        if (range_radio(dialog, id, m)) return true;
        if (id == ui::id_ok) {
            m.sens_n_value = std::clamp(typed(dialog, 1220, 15), 0.1f, 24.0f);
            const int t = m.sens_array_type;
            if (t >= 5 && t <= 7) {
                place_electrodes(m, t, m.sens_n_value, true);
                show_positions(dialog, m);
            } else if (t == 11) {
                for (int i = 0; i < 4; ++i)
                    *positions_of(m, i) = typed(dialog, 1221 + i, 25);
            }
            read_range(dialog, m);
            return end_with(dialog, true);
        }
        if (id == ui::id_cancel) {
            m.sens_array_type = array_kept.array_type;
            m.sens_variable_spacing = array_kept.variable;
            m.sens_auto_scale = array_kept.auto_scale;
            m.sens_n_value = array_kept.n;
            for (int i = 0; i < 4; ++i)
                *positions_of(m, i) = array_kept.x[i];
            return end_with(dialog, false);
        }
        return false;
    }
    default:
        return false;
    }
}

bool Array2DBorSensDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event,
                              const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    float* coordinates[8] = {&m.sens_c1_x, &m.sens_c1_z, &m.sens_c2_x, &m.sens_c2_z,
                             &m.sens_p1_x, &m.sens_p1_z, &m.sens_p2_x, &m.sens_p2_z};
    switch (event) {
    case ui::DialogEvent::init:
        borehole_kept_variable = m.sens_variable_spacing;
        borehole_kept_auto = m.sens_auto_scale;
        return true;
    case ui::DialogEvent::first_paint:
        show_range(dialog, m);
        for (int i = 0; i < 8; ++i)
            dialog.set_text(1240 + i, formatted("%.4f", *coordinates[i]));
        return true;
    case ui::DialogEvent::command:
        if (range_radio(dialog, args.id, m)) return true;
        if (args.id == ui::id_ok) {
            // x values first, then the depths.
            for (int i = 0; i < 8; i += 2)
                *coordinates[i] = typed(dialog, 1240 + i, 25);
            for (int i = 1; i < 8; i += 2)
                *coordinates[i] = typed(dialog, 1240 + i, 25);
            read_range(dialog, m);
            return end_with(dialog, true);
        }
        if (args.id == ui::id_cancel) {
            m.sens_variable_spacing = borehole_kept_variable;
            m.sens_auto_scale = borehole_kept_auto;
            return end_with(dialog, false);
        }
        return false;
    default:
        return false;
    }
}
