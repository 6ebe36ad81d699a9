// The options dialog of the array optimisation.
#include "optimise/options_dialog.h"

#include "display/dialog_util.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/records.h"

#include <algorithm>
#include <string>

using display::add;
using ui::ControlKind;

namespace {

struct RadioGroup {
    int first, last;
    const char* caption;
    const char* texts[4];
};
const RadioGroup groups[] = {
    {1300,
     1303,
     "Optimized Array Selection Method",
     {"Compare R", "ETH", "BGS Method", "Combined BGS-CR "}},
    {1310,
     1312,
     "Line Electrodes Arrangement ",
     {"Standard Linear Array", "Abem 2 cable system (41)", "Abem 4 cable system"}},
    {1330, 1331, "Ensure symmetry of data set?", {"No", "Yes"}},
    {1332, 1334, "Type of arrays to include", {"All", "Beta only", "Alpha only"}},
    {1335, 1336, "Type of ETH method", {"Original", "Modified"}},
    {1337, 1338, "Use parallel calculations?", {"No", "Yes"}},
};

struct EditField {
    int id;
    const char* label;
};
const EditField edits[] = {
    {1313, "Number of electrodes"},
    {1320, "Maximum number of iterations (20 to 50)"},
    {1321, "Ratio of BGS iterations for BGS-CR method (0.5 to 0.9)"},
    {1322, "Ratio of extra arrays per iteration (0.05 to 0.50)"},
    {1323, "Maximum number of arrays"},
    {1324, "Ratio of maximum model depth to line length (0.15 to 0.30)"},
    {1325, "Thickness of first model layer"},
    {1326, "Factor to increase thickness of model layers (1.0 to 1.2)"},
    {1327, "Maximum 'n' factor for dipole-dipole array (3 to 8)"},
    {1328, "Inversion equation damping factor (0.0001 to 0.10)"},
    {1329, "Unit electrode spacing (0.5 to 20)"},
};

ui::DialogTemplate make_template() {
    ui::DialogTemplate t("OptArrayDiaBox", "Optimized Array Options", 420, 330);
    int y = 6;
    for (const RadioGroup& g : groups) {
        const int buttons = g.last - g.first + 1;
        const int rows = (buttons + 1) / 2;
        add(t, -1, ControlKind::group, g.caption, 6, y, 190, 14 + 12 * rows);
        for (int i = 0; i < buttons; ++i)
            add(t, g.first + i, ControlKind::radio, g.texts[i], 12 + 92 * (i % 2),
                y + 12 + 12 * (i / 2), 88, 10);
        y += 20 + 12 * rows;
    }
    y = 8;
    for (const EditField& e : edits) {
        add(t, -1, ControlKind::static_text, e.label, 204, y, 160, 20);
        add(t, e.id, ControlKind::edit, "", 366, y, 48, 12);
        y += 26;
    }
    display::add_ok_cancel(t, 306);
    return t;
}

// The settings the dialog shows, as they were when it opened.
struct Opening {
    std::int32_t method, cable_layout, keep_symmetry, array_kinds, eth_type, use_sse2;
    std::int32_t nelec, max_iterations, max_arrays, max_n;
    float bgs_ratio, extra_ratio, depth_ratio, first_thickness, thickness_factor, damping,
        unit_spacing;
};
Opening opening;

Opening settings_of(const ModelResolution& r) {
    return {r.opt_param_2,
            r.cable_layout,
            r.keep_symmetry,
            r.array_kinds,
            r.eth_type,
            r.use_sse2,
            r.opt_nelec,
            r.opt_max_iterations,
            r.opt_max_arrays,
            r.opt_max_n,
            r.opt_bgs_ratio,
            r.opt_extra_ratio,
            r.opt_depth_ratio,
            r.opt_first_thickness,
            r.opt_thickness_factor,
            r.opt_damping,
            r.opt_unit_spacing};
}

void restore(ModelResolution& r, const Opening& o) {
    r.opt_param_2 = o.method, r.cable_layout = o.cable_layout, r.keep_symmetry = o.keep_symmetry;
    r.array_kinds = o.array_kinds, r.eth_type = o.eth_type, r.use_sse2 = o.use_sse2;
    r.opt_nelec = o.nelec, r.opt_max_iterations = o.max_iterations;
    r.opt_max_arrays = o.max_arrays, r.opt_max_n = o.max_n, r.opt_bgs_ratio = o.bgs_ratio;
    r.opt_extra_ratio = o.extra_ratio, r.opt_depth_ratio = o.depth_ratio;
    r.opt_first_thickness = o.first_thickness, r.opt_thickness_factor = o.thickness_factor;
    r.opt_damping = o.damping, r.opt_unit_spacing = o.unit_spacing;
}

// The radio group of a button and the field it sets.
std::int32_t* radio_field(ModelResolution& r, int id, int& first, int& last) {
    std::int32_t* fields[] = {&r.opt_param_2, &r.cable_layout, &r.keep_symmetry,
                              &r.array_kinds, &r.eth_type,     &r.use_sse2};
    for (int g = 0; g < 6; ++g)
        if (id >= groups[g].first && id <= groups[g].last) {
            first = groups[g].first, last = groups[g].last;
            return fields[g];
        }
    return nullptr;
}

void show_values(ui::Dialog& d, const ModelResolution& r) {
    d.set_text(1313, std::to_string(r.opt_nelec));
    d.set_text(1320, std::to_string(r.opt_max_iterations));
    d.set_text(1321, model::field_text("%.3f", r.opt_bgs_ratio));
    d.set_text(1322, model::field_text("%.3f", r.opt_extra_ratio));
    d.set_text(1323, std::to_string(r.opt_max_arrays));
    d.set_text(1324, model::field_text("%.3f", r.opt_depth_ratio));
    d.set_text(1325, model::field_text("%.3f", r.opt_first_thickness));
    d.set_text(1326, model::field_text("%.3f", r.opt_thickness_factor));
    d.set_text(1327, std::to_string(r.opt_max_n));
    d.set_text(1328, model::field_text("%.4f", r.opt_damping));
    d.set_text(1329, model::field_text("%.3f", r.opt_unit_spacing));
}

// The entries of the edits, each moved into its bounds (the status line says so), stored in
// `r`; false after the reader's box, with nothing stored.
bool read_values(ui::Dialog& d, ModelResolution& r) {
    using model::from_to;
    using model::NumberField;
    model::FieldReader f(d);
    Opening v = settings_of(r);
    const auto whole = [&f](int id, const char* name, const model::FieldRange& bounds,
                            std::int32_t& value) {
        f.read(NumberField(id, name).integer().within(bounds), value);
    };
    const auto real = [&f](int id, const char* name, double low, double high, float& value) {
        f.read(NumberField(id, name).within(from_to(low, high)), value);
    };
    whole(1313, "the number of electrodes", from_to(10, r.opt_param_64), v.nelec);
    whole(1320, "the maximum number of iterations", from_to(1, r.opt_param_100), v.max_iterations);
    real(1321, "the ratio of BGS iterations", 0.5, 0.9, v.bgs_ratio);
    real(1322, "the ratio of extra arrays per iteration", 0.05, 0.5, v.extra_ratio);
    whole(1323, "the maximum number of arrays", model::at_least(v.nelec), v.max_arrays);
    real(1324, "the ratio of maximum model depth to line length", 0.15, 0.3, v.depth_ratio);
    real(1325, "the thickness of the first model layer", 0.25, 1.0, v.first_thickness);
    real(1326, "the factor to increase the thickness of model layers", 1.0, 1.25,
         v.thickness_factor);
    whole(1327, "the maximum 'n' factor", from_to(3, 8), v.max_n);
    real(1328, "the damping factor", 0.0001, 0.1, v.damping);
    real(1329, "the unit electrode spacing", 0.1, 100.0, v.unit_spacing);
    if (!f.ok()) return false;
    restore(r, v);
    return true;
}

} // namespace

const ui::DialogTemplate OptArrayDiaBox = make_template();

bool OptArrayDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    ModelResolution& r = Modelresolution;
    if (event == ui::DialogEvent::init) {
        opening = settings_of(r);
        int first = 0, last = 0;
        for (const RadioGroup& g : groups) {
            std::int32_t* field = radio_field(r, g.first, first, last);
            dialog.check_radio(first, last, first + *field);
        }
        show_values(dialog, r);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    int first = 0, last = 0;
    if (std::int32_t* field = radio_field(r, args.id, first, last)) {
        *field = args.id - first;
        dialog.check_radio(first, last, args.id);
        if (args.id == 1311) {
            r.opt_nelec = 41;
        } else if (args.id == 1312) {
            r.opt_nelec = 61;
            r.opt_depth_ratio = std::min(r.opt_depth_ratio, 0.17f);
            r.opt_thickness_factor = std::max(r.opt_thickness_factor, 1.15f);
            dialog.set_text(1324, model::field_text("%.3f", r.opt_depth_ratio));
            dialog.set_text(1326, model::field_text("%.3f", r.opt_thickness_factor));
        }
        if (args.id == 1311 || args.id == 1312) dialog.set_text(1313, std::to_string(r.opt_nelec));
        return true;
    }
    if (args.id == ui::id_ok) {
        if (!read_values(dialog, r)) return true;
        dialog_result = 1;
        if (Proglim.simd_level < 2) r.use_sse2 = 0;
        dialog.end(1);
        return true;
    }
    if (args.id == ui::id_cancel) {
        dialog_result = 2;
        restore(r, opening);
        dialog.end(2);
        return true;
    }
    return false;
}
