// Array-type codes, their names and the array-type dialog.
#include "model/array_type.h"

#include "model/dialog_fields.h"
#include "model/globals.h"

#include <cstdlib>
#include <string>

const char* const ArrayNameTable[18] = {
    "Wenner Alpha", "Wenner Beta",  "Wenner Gamma", "Pole-Pole", "Dipole-Dipole",
    "Pole-Dipole",  "Schlumberger", "Equa. Dipole", "Gradient",  "Offset Pole-Dipole",
    "Unknown",      "Unknown",      "Unknown",      "Unknown",   "Multiple Gradient",
    "Unknown",      "Unknown",      "Unknown"};

namespace {

// The codes that differ between the files and the program, {file code, program code}; every
// other code is the same in both.
constexpr int renumbered_codes[5][2] = {{2, 4}, {3, 5}, {4, 2}, {5, 3}, {11, 15}};

// `code` taken from column `from` of the table to column `to`.
int renumber(int code, int from, int to) {
    for (const auto& codes : renumbered_codes)
        if (codes[from] == code) return codes[to];
    return code;
}

} // namespace

namespace model {

int array_code_from_file(int file_code) {
    return renumber(file_code, 0, 1);
}

int array_code_to_file(int internal_code) {
    return renumber(internal_code, 1, 0);
}

bool levels_by_spacing(int internal_code) {
    switch (internal_code) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 8:
    case 9:
        return true;
    default:
        return false;
    }
}

const char* array_type_name(int internal_code) {
    if (internal_code < 1 || internal_code > 18) return "Unknown";
    return ArrayNameTable[internal_code - 1];
}

} // namespace model

namespace {
using ui::ControlKind;

ui::DialogTemplate make_array_type_template() {
    ui::DialogTemplate t("ArrayTypeDiaBox2", "Choose array type", 330, 250);
    const char* names[11] = {
        "Wenner Alpha", "Pole-Pole",          "Inline dipole-dipole", "Wenner Beta",
        "Wenner Gamma", "Pole-dipole",        "Wenner-Schlumberger",  "Equatorial Dipole-Dipole",
        "Gradient",     "Offset Pole-dipole", "Multiple Gradient"};
    t.controls.push_back({-1, ControlKind::group, "Array type", 6, 4, 140, 160});
    for (int k = 0; k < 11; ++k)
        t.controls.push_back({201 + k, ControlKind::radio, names[k], 12, 16 + 13 * k, 128, 11});
    t.controls.push_back({215, ControlKind::radio, "Forward Pole-Dipole", 12, 168, 128, 11});
    t.controls.push_back({216, ControlKind::radio, "Reverse Pole-Dipole", 12, 181, 128, 11});
    auto edit = [&t](int id, const char* label, int y) {
        t.controls.push_back({-1, ControlKind::static_text, label, 152, y, 120, 11});
        t.controls.push_back({id, ControlKind::edit, "", 276, y - 2, 46, 12});
    };
    edit(212, "Number of 'a' spacings", 10);
    edit(213, "Number of 'a' spacings", 26);
    edit(214, "Number of 'n' values", 42);
    auto pair = [&t](int first, const char* question, int y) {
        t.controls.push_back({-1, ControlKind::static_text, question, 152, y, 170, 11});
        t.controls.push_back({first, ControlKind::radio, "No", 160, y + 12, 40, 11});
        t.controls.push_back({first + 1, ControlKind::radio, "Yes", 210, y + 12, 40, 11});
    };
    pair(217, "Use maximum geometric factor?", 60);
    edit(219, "Maximum geometric factor", 88);
    pair(220, "Limit maximum depth of investigation?", 106);
    t.controls.push_back({-1, ControlKind::static_text,
                          "Maximum depth of investigation as ratio of line length.", 152, 134, 120,
                          20});
    t.controls.push_back({222, ControlKind::edit, "", 276, 134, 46, 12});
    pair(223, "Use only odd n values (D-D,P-DP,W-S)?", 160);
    t.controls.push_back({1, ControlKind::push_button, "OK", 90, 225, 60, 16});
    t.controls.push_back({2, ControlKind::push_button, "Cancel", 180, 225, 60, 16});
    return t;
}

// What the dialog shows while it is open, and the values Cancel puts back.
struct ArrayTypeState {
    int dialog_code = 1;
    std::int32_t array_type, nlev, n_a_spacings, n_n_values, n_a_spacings_wenner,
        pole_dipole_reverse, limit_depth, use_max_geometric_factor, odd_n_only;
};
ArrayTypeState array_type_state;

void save_for_cancel(const ModelSettings& m, ArrayTypeState& s) {
    s.array_type = m.array_type;
    s.nlev = m.nlev;
    s.n_a_spacings = m.n_a_spacings;
    s.n_n_values = m.n_n_values;
    s.n_a_spacings_wenner = m.n_a_spacings_wenner;
    s.pole_dipole_reverse = m.pole_dipole_reverse;
    s.limit_depth = m.limit_depth;
    s.use_max_geometric_factor = m.use_max_geometric_factor;
    s.odd_n_only = m.odd_n_only;
}

void restore_after_cancel(ModelSettings& m, const ArrayTypeState& s) {
    m.array_type = s.array_type;
    m.nlev = s.nlev;
    m.n_a_spacings = s.n_a_spacings;
    m.n_n_values = s.n_n_values;
    m.n_a_spacings_wenner = s.n_a_spacings_wenner;
    m.pole_dipole_reverse = s.pole_dipole_reverse;
    m.limit_depth = s.limit_depth;
    m.use_max_geometric_factor = s.use_max_geometric_factor;
    m.odd_n_only = s.odd_n_only;
}

void init_array_type_dialog(ui::Dialog& d, ModelSettings& m) {
    save_for_cancel(m, array_type_state);
    const int code = model::array_code_to_file(m.array_type);
    array_type_state.dialog_code = code;
    d.check_radio(201, 211, 200 + code);
    if (code == 6 || code == 10) d.check_radio(215, 216, 215 + m.pole_dipole_reverse);
    d.set_text(212, std::to_string(m.nlev));
    d.set_text(213, std::to_string(m.n_a_spacings));
    d.set_text(214, std::to_string(m.n_n_values));
    d.check_radio(217, 218, 217 + m.use_max_geometric_factor);
    d.check_radio(220, 221, 220 + m.limit_depth);
    d.check_radio(223, 224, 223 + m.odd_n_only);
    // A line's depth of investigation is shown as at least 5 per cent of its electrodes; the
    // ratio is stored only by OK.
    float depth = m.max_depth_ratio;
    if (m.nelec > 0 && depth < m.nelec * 0.05f) depth = m.nelec * 0.05f;
    d.set_text(222, model::field_text("%.3f", depth));
    d.set_text(219, model::field_text("%.2f", m.max_geometric_factor));
}

// The entries of OK; false after the reader's box, with nothing stored.
bool accept_array_type_dialog(ui::Dialog& d, ModelSettings& m, const ProgLim& limits) {
    using model::from_to;
    using model::NumberField;
    // Far above any line's electrodes, and small enough that the level count stays an int.
    constexpr int most = 100000;
    model::FieldReader fields(d);
    std::int32_t wenner = m.n_a_spacings_wenner, n = m.n_n_values, a = m.n_a_spacings;
    fields.read(NumberField(212, "the number of 'a' spacings").within(from_to(2, most)), wenner);
    fields.read(NumberField(214, "the number of 'n' values")
                    .within(from_to(1, limits.max_n > 0 ? limits.max_n : most)),
                n);
    fields.read(NumberField(213, "the number of 'a' spacings").within(from_to(1, most)), a);
    float factor = m.max_geometric_factor, depth = m.max_depth_ratio;
    fields.read(NumberField(219, "the maximum geometric factor").within(model::above(0)), factor);
    fields.read(
        NumberField(222, "the maximum depth of investigation").within(model::at_least(0.05)),
        depth);
    if (!fields.ok()) return false;
    m.array_type = model::array_code_from_file(array_type_state.dialog_code);
    m.n_a_spacings_wenner = wenner, m.n_n_values = n, m.n_a_spacings = a;
    m.nlev = model::levels_by_spacing(m.array_type) ? m.n_a_spacings_wenner
                                                    : m.n_a_spacings * m.n_n_values;
    // Line electrodes cannot form arrays with a remote or off-line electrode.
    if (m.electrode_type == 1 && (m.array_type == 4 || m.array_type == 6 || m.array_type == 8))
        m.array_type = 1;
    m.max_geometric_factor = factor;
    m.max_depth_ratio = depth;
    return true;
}

bool click_array_type_dialog(ui::Dialog& d, ModelSettings& m, int id) {
    ArrayTypeState& s = array_type_state;
    if (id >= 201 && id <= 211) {
        s.dialog_code = id - 200;
        d.check_radio(201, 211, id);
        if (id == 206) d.check_radio(215, 216, 215 + m.pole_dipole_reverse);
    } else if (id == 215 || id == 216) {
        m.pole_dipole_reverse = id - 215;
        d.check_radio(215, 216, id);
        if (s.dialog_code != 6 && s.dialog_code != 10) {
            s.dialog_code = 6;
            d.check_radio(201, 211, 206);
        }
    } else {
        return d.take_radio(217, 218, id, m.use_max_geometric_factor) ||
               d.take_radio(220, 221, id, m.limit_depth) ||
               d.take_radio(223, 224, id, m.odd_n_only);
    }
    return true;
}
} // namespace

const ui::DialogTemplate ArrayTypeDiaBox2 = make_array_type_template();

bool ArrayTypeDiaBox2Proc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelSettings& m = Modelsettings;
    if (event == ui::DialogEvent::init) {
        init_array_type_dialog(dialog, m);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    if (args.id == ui::id_ok) {
        if (!accept_array_type_dialog(dialog, m, Proglim)) return true;
        dialog_result = 1;
        dialog.end(1);
        return true;
    }
    if (args.id == ui::id_cancel) {
        restore_after_cancel(m, array_type_state);
        dialog_result = 2;
        dialog.end(0);
        return true;
    }
    return click_array_type_dialog(dialog, m, args.id);
}
