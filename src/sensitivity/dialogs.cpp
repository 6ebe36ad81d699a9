// The 2-D sensitivity dialogs.
#include "sensitivity/dialogs.h"

#include "display/dialog_util.h"
#include "model/dialog_fields.h"
#include "model/globals.h"

#include <algorithm>
#include <cmath>

using display::add;
using ui::ControlKind;

namespace {

using model::NumberField;

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
        dialog.set_text(1225 + i, model::field_text("%.4f", range[i]));
    dialog.check_radio(1231, 1232, 1231 + std::clamp(m.sens_variable_spacing, 0, 1));
    dialog.set_text(1253, model::field_text("%.2f", m.sens_scale_factor));
    dialog.check_radio(1251, 1252, 1251 + std::clamp(m.sens_auto_scale, 0, 1));
}

// The range group and the scaling factor as both array dialogs take them on OK.
struct RangeEntries {
    float x_min, x_max, x_step, z_min, z_max, z_step, scale;
};

// The entries of the range group; false after the reader's box (the group's fields then stay
// as typed). An end of the range must lie beyond its start, as the section needs some width
// and depth.
bool read_range(model::FieldReader& fields, const ModelSettings& m, RangeEntries& r) {
    using model::above;
    using model::at_least;
    r = {m.sens_x_min, m.sens_x_max,  m.sens_x_step,      m.sens_z_min,
         m.sens_z_max, m.sens_z_step, m.sens_scale_factor};
    fields.read(NumberField(1225, "the X minimum"), r.x_min);
    fields.read(NumberField(1226, "the X maximum").within(above(r.x_min)), r.x_max);
    fields.read(NumberField(1227, "the X spacing").within(at_least(0.01)), r.x_step);
    fields.read(NumberField(1228, "the Z minimum").within(at_least(0.005)), r.z_min);
    fields.read(NumberField(1229, "the Z maximum").within(above(r.z_min)), r.z_max);
    fields.read(NumberField(1230, "the Z spacing").within(at_least(0.02)), r.z_step);
    fields.read(NumberField(1253, "the constant scaling factor value").within(at_least(1)),
                r.scale);
    return fields.ok();
}

void store_range(const RangeEntries& r, ModelSettings& m) {
    m.sens_x_min = r.x_min, m.sens_x_max = r.x_max, m.sens_x_step = r.x_step;
    m.sens_z_min = r.z_min, m.sens_z_max = r.z_max, m.sens_z_step = r.z_step;
    m.sens_scale_factor = r.scale;
}

// The 'n' value of the dipole-dipole, pole-dipole and Wenner-Schlumberger arrays, from 0.1 to
// `most`.
NumberField n_value_field(double most) {
    return NumberField(1220, "the 'n' value").within(model::from_to(0.1, most));
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
        dialog.set_text(1221 + i, model::field_text("%.5f", *positions_of(m, i)));
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
        dialog.set_text(964, model::field_text("%.2f", m.sens_resistivity));
        dialog.set_text(965, model::field_text("%.4f", m.sens_max_current));
        dialog.set_text(966, model::field_text("%.4f", m.sens_min_potential));
        dialog.set_text(967, model::field_text("%.4f", m.sens_unit_spacing));
        return true;
    case ui::DialogEvent::command:
        if (dialog.take_radio(961, 963, args.id, m.sens_calc_type)) return true;
        if (args.id == ui::id_ok) {
            model::FieldReader fields(dialog);
            float current = m.sens_max_current, rho = m.sens_resistivity;
            float potential = m.sens_min_potential, spacing = m.sens_unit_spacing;
            const model::FieldRange positive = model::above(0);
            fields.read(NumberField(965, "the maximum current").within(positive), current);
            fields.read(NumberField(964, "the material resistivity").within(positive), rho);
            fields.read(NumberField(966, "the minimum potential").within(model::at_least(0)),
                        potential);
            fields.read(NumberField(967, "the unit electrode spacing").within(positive), spacing);
            if (!fields.ok()) return true;
            m.sens_max_current = current, m.sens_resistivity = rho;
            m.sens_min_potential = potential, m.sens_unit_spacing = spacing;
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
        dialog.set_text(1220, model::field_text("%.3f", m.sens_n_value));
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
            if (id >= 1205) {
                model::FieldReader fields(dialog);
                float n = m.sens_n_value;
                if (!fields.read(n_value_field(16), n)) return true;
                m.sens_n_value = n;
            }
            m.sens_array_type = id - 1200;
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
            static const char* const names[4] = {"the position of C1", "the position of C2",
                                                 "the position of P1", "the position of P2"};
            model::FieldReader fields(dialog);
            float n = m.sens_n_value;
            fields.read(n_value_field(24), n);
            const int t = m.sens_array_type;
            float x[4] = {m.sens_c1_x, m.sens_c2_x, m.sens_p1_x, m.sens_p2_x};
            if (t == 11)
                for (int i = 0; i < 4; ++i)
                    fields.read(NumberField(1221 + i, names[i]), x[i]);
            RangeEntries range{};
            if (!read_range(fields, m, range)) return true;
            m.sens_n_value = n;
            if (t >= 5 && t <= 7) {
                place_electrodes(m, t, m.sens_n_value, true);
                show_positions(dialog, m);
            } else if (t == 11) {
                for (int i = 0; i < 4; ++i)
                    *positions_of(m, i) = x[i];
            }
            store_range(range, m);
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
            dialog.set_text(1240 + i, model::field_text("%.4f", *coordinates[i]));
        return true;
    case ui::DialogEvent::command:
        if (range_radio(dialog, args.id, m)) return true;
        if (args.id == ui::id_ok) {
            static const char* const names[8] = {"the C1 x-coordinate", "the C1 z-coordinate",
                                                 "the C2 x-coordinate", "the C2 z-coordinate",
                                                 "the P1 x-coordinate", "the P1 z-coordinate",
                                                 "the P2 x-coordinate", "the P2 z-coordinate"};
            model::FieldReader fields(dialog);
            float typed[8];
            for (int i = 0; i < 8; ++i)
                typed[i] = *coordinates[i];
            // x values first, then the depths, which lie at or below the surface.
            for (int i = 0; i < 8; i += 2)
                fields.read(NumberField(1240 + i, names[i]), typed[i]);
            for (int i = 1; i < 8; i += 2)
                fields.read(NumberField(1240 + i, names[i]).within(model::at_least(0)), typed[i]);
            RangeEntries range{};
            if (!read_range(fields, m, range)) return true;
            for (int i = 0; i < 8; ++i)
                *coordinates[i] = typed[i];
            store_range(range, m);
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
