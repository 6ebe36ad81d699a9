// 3-D sensitivity of surface arrays.
#include "sensitivity/sensitivity_3d.h"

#include "display/dialog_util.h"
#include "model/dialog_fields.h"
#include "model/globals.h"
#include "model/result_check.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "sensitivity/grid_budget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using display::add;
using ui::ControlKind;

namespace {

constexpr double kernel_constant = 0.0253303;
constexpr float third = 1.0f / 3.0f;

ui::DialogTemplate make_template() {
    ui::DialogTemplate t("Array3DSensDiaBox", "Choose array type", 330, 260);
    const char* arrays[] = {
        "Wenner Alpha",         "Wenner Beta", "Wenner Gamma",        "Pole-Pole",
        "Inline dipole-dipole", "Pole-dipole", "Wenner-Schlumberger", "Equatorial dipole-dipole",
        "General array"};
    for (int i = 0; i < 9; ++i)
        add(t, 1721 + i, ControlKind::radio, arrays[i], 10, 8 + 12 * i, 110, 10);
    const char* electrodes[] = {"C1", "C2", "P1", "P2"};
    for (int e = 0; e < 4; ++e) {
        add(t, -1, ControlKind::static_text, electrodes[e], 130, 20 + 14 * e, 20, 10);
        for (int c = 0; c < 3; ++c)
            add(t, 1731 + 3 * e + c, ControlKind::edit, "", 155 + 55 * c, 18 + 14 * e, 50, 12);
    }
    add(t, -1, ControlKind::static_text, "'n' value", 130, 82, 50, 10);
    add(t, 1745, ControlKind::edit, "", 190, 80, 50, 12);
    const char* grid[] = {"X Start",   "X End",   "X Spacing", "Y Start",  "Y End",
                          "Y Spacing", "Z Start", "Z End",     "Z Spacing"};
    for (int i = 0; i < 9; ++i) {
        add(t, -1, ControlKind::static_text, grid[i], 10 + 105 * (i % 3), 124 + 28 * (i / 3), 60,
            10);
        add(t, 1746 + i, ControlKind::edit, "", 10 + 105 * (i % 3), 134 + 28 * (i / 3), 60, 12);
    }
    add(t, 1755, ControlKind::radio, "Surfer", 10, 212, 70, 10);
    add(t, 1756, ControlKind::radio, "Slicer-Dicer", 90, 212, 80, 10);
    add(t, 1757, ControlKind::radio, "Linear x 100", 180, 212, 70, 10);
    add(t, 1758, ControlKind::radio, "Sqrt scaled", 255, 212, 70, 10);
    display::add_ok_cancel(t, 234);
    return t;
}

int opening_array_type = 1;

// The positions, 'n' and the grid typed into the dialog, stored in `r` when every entry is a
// number of its range; false after the reader's box, with nothing stored. The Z positions are
// not read: the electrodes stand on the surface.
bool take_entries(ui::Dialog& dialog, Array3DSens& r) {
    using model::NumberField;
    static const char* const electrodes[4] = {"C1", "C2", "P1", "P2"};
    static const char* const grid_names[9] = {"X start", "X end", "X spacing",
                                              "Y start", "Y end", "Y spacing",
                                              "Z start", "Z end", "Z spacing"};
    model::FieldReader fields(dialog);
    float x[4], y[4], n = r.n_factor;
    for (int e = 0; e < 4; ++e) {
        x[e] = r.elec_x[e], y[e] = r.elec_y[e];
        const std::string name = std::string("the ") + electrodes[e];
        fields.read(NumberField(1731 + 3 * e, name + " x position"), x[e]);
        fields.read(NumberField(1732 + 3 * e, name + " y position"), y[e]);
    }
    fields.read(NumberField(1745, "the 'n' value").within(model::from_to(0.05, 30)), n);
    float* grid[9] = {&r.x_start, &r.x_end,   &r.x_step, &r.y_start, &r.y_end,
                      &r.y_step,  &r.z_start, &r.z_end,  &r.z_step};
    float typed[9];
    for (int i = 0; i < 9; ++i) {
        // Spacings above 0; the depths of the grid at or below the surface.
        const model::FieldRange range = i % 3 == 2 ? model::above(0)
                                        : i >= 6   ? model::at_least(0)
                                                   : model::any_number();
        typed[i] = *grid[i];
        fields.read(NumberField(1746 + i, std::string("the ") + grid_names[i]).within(range),
                    typed[i]);
    }
    if (!fields.ok()) return false;
    std::copy(x, x + 4, r.elec_x);
    std::copy(y, y + 4, r.elec_y);
    r.n_factor = n;
    for (int i = 0; i < 9; ++i)
        *grid[i] = typed[i];
    return true;
}

// Electrode x and y (C1, C2, P1, P2) of an array type's preset; false for the general array.
bool preset(int type, float n, float (&x)[4], float (&y)[4]) {
    for (float& v : y)
        v = 0.0f;
    switch (type) {
    case 1:
        x[0] = 0, x[1] = 1, x[2] = third, x[3] = 2 * third;
        return true;
    case 2:
    case 3:
        x[0] = third, x[1] = 0, x[2] = 2 * third, x[3] = 1;
        return true;
    case 4:
        x[0] = 0, x[1] = -100, x[2] = 1, x[3] = 100;
        return true;
    case 5:
        x[0] = 0, x[1] = 1 - 1 / (n + 2), x[2] = 1 / (n + 2), x[3] = 1;
        return true;
    case 6:
        x[0] = 0, x[1] = 100, x[2] = 1 - 1 / (n + 1), x[3] = 1;
        return true;
    case 7:
        x[0] = 0, x[1] = 0.5f + 0.5f / (2 * n + 1), x[2] = 0.5f - 0.5f / (2 * n + 1), x[3] = 1;
        return true;
    case 8:
        x[0] = 0, x[1] = 0, x[2] = 1, x[3] = 1;
        y[0] = 0.5f, y[1] = -0.5f, y[2] = 0.5f, y[3] = -0.5f;
        return true;
    default:
        return false;
    }
}

void show_positions(ui::Dialog& dialog, const Array3DSens& r) {
    for (int e = 0; e < 4; ++e) {
        dialog.set_text(1731 + 3 * e, model::field_text("%.4f", r.elec_x[e]));
        dialog.set_text(1732 + 3 * e, model::field_text("%.4f", r.elec_y[e]));
        dialog.set_text(1733 + 3 * e, display::formatted("%.4f", r.elec_z[e]));
    }
}

float value_at(const Array3DSens& r, float x, float y, float z) {
    const float n = r.n_factor;
    switch (r.array_type) {
    case 1:
        return sens3d_wenner_alpha(x, y, z, third);
    case 2:
        return sens3d_dipole_dipole(x, y, z, third, n);
    case 3:
        return sens3d_wenner_gamma(x, y, z, third);
    case 4:
        return sens3d_pole_pole(x, y, z, 1.0f, 0.0f);
    case 5:
        return sens3d_dipole_dipole(x, y, z, 1.0f / (n + 2.0f), n);
    case 6:
        return sens3d_pole_dipole(x, y, z, 1.0f / (n + 1.0f), n);
    case 7:
        return sens3d_wenner_schlumberger(x, y, z, 1.0f / (2.0f * n + 1.0f), n);
    default: {
        const float *ex = r.elec_x, *ey = r.elec_y;
        return sens3d_general_term(x, y, z, ex[0], ey[0], ex[2], ey[2]) -
               sens3d_general_term(x, y, z, ex[0], ey[0], ex[3], ey[3]) -
               sens3d_general_term(x, y, z, ex[1], ey[1], ex[2], ey[2]) +
               sens3d_general_term(x, y, z, ex[1], ey[1], ex[3], ey[3]);
    }
    }
}

const char* array_name(int type) {
    static const char* names[] = {"Wenner Alpha",  "Wenner Beta", "Wenner Gamma",       "Pole-pole",
                                  "Dipole-dipole", "Pole-Dipole", "Wenner-Schlumberger"};
    return type >= 1 && type <= 7 ? names[type - 1] : "General Array";
}

// The computed grid: positions per axis and nx ny nz values, k outermost, i fastest.
struct Grid {
    std::vector<float> x, y, z, values;
};

// Points along one axis (the span in steps, rounded), as a double: a count the user typed may be
// far beyond what an int or the product of three axes holds (4194304 points an axis overflow 64
// bits cubed). Infinite or NaN for spans a float cannot hold.
double axis_points(float start, float end, float step) {
    return std::floor(double(std::fabs(end - start) / step) + 0.5) + 1.0;
}

// The points of the three axes of the record's grid.
struct Axes {
    double nx = 0, ny = 0, nz = 0;
};
Axes axes(const Array3DSens& r) {
    return {axis_points(r.x_start, r.x_end, r.x_step), axis_points(r.y_start, r.y_end, r.y_step),
            axis_points(r.z_start, r.z_end, r.z_step)};
}

// About the bytes of a line of a level file: x and y as the widest of the grid print, and a
// value of twelve characters.
double surfer_line_bytes(const Array3DSens& r) {
    char x[64], y[64];
    std::snprintf(x, sizeof x, "%6.3f", double(std::max(std::fabs(r.x_start), std::fabs(r.x_end))));
    std::snprintf(y, sizeof y, "%6.3f", double(std::max(std::fabs(r.y_start), std::fabs(r.y_end))));
    return double(std::strlen(x) + std::strlen(y)) + 1.0 + 14.0 + 1.0;
}

void fill_axis(float start, float step, std::size_t n, std::vector<float>& out) {
    out.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = start + float(i) * step;
}

void create_error(const std::string& path) {
    model::show_message(("Error in creating file\n" + path).c_str(), "Error Message");
}

const char q = '"';

bool write_level_file(const std::string& path) {
    static const struct {
        int level;
        const char* colour;
    } levels[27] = {
        {-8192, "R0 G0 B70"}, {-4096, "R0 G0 B85"},  {-2048, "R0 G0 B105"}, {-1024, "R0 G0 B130"},
        {-512, "R0 G0 B155"}, {-256, "R0 G0 B180"},  {-128, "R0 G0 B205"},  {-64, "R0 G0 B230"},
        {-32, "R0 G0 B255"},  {-16, "R0 G128 B255"}, {-8, "R0 G255 B255"},  {-4, "R0 G192 B128"},
        {-2, "R0 G255 B0"},   {0, "R0 G128 B0"},     {2, "R128 G192 B0"},   {4, "R255 G255 B0"},
        {8, "R191 G128 B0"},  {16, "R255 G128 B0"},  {32, "R255 G0 B0"},    {64, "R211 G0 B0"},
        {128, "R163 G0 B32"}, {256, "R132 G0 B64"},  {512, "R120 G0 B76"},  {1024, "R108 G0 B88"},
        {2048, "R96 G0 B96"}, {4096, "R96 G0 B86"},  {8192, "R96 G0 B76"}};
    std::string out;
    model::appendf(out,
                   "LVL2\n'Level Flags LColor LStyle LWidth FFGColor FBGColor FPattern FMode\n");
    for (const auto& l : levels)
        model::appendf(out, "%5d 0%cBlack%c %cSolid%c 0 %c%s%c %cWhite%c %cSolid%c 2\n", l.level, q,
                       q, q, q, q, l.colour, q, q, q, q, q);
    return sys::save_file(path, out);
}

// The file of level k (from 0) of the Surfer output: stem1.dat, stem2.dat, ...
std::string level_path(const std::string& stem, std::size_t k) {
    return stem + std::to_string(k + 1) + ".dat";
}

void write_surfer(const Array3DSens& r, const Grid& g, const std::string& stem) {
    const std::size_t plane = g.x.size() * g.y.size();
    std::string last;
    sens::LoopProgress progress("Saving the 3-D sensitivity values");
    for (std::size_t k = 0; k < g.z.size(); ++k) {
        if (progress.stopped(double(k), double(g.z.size()))) {
            const std::string kept = std::to_string(k) + " of the " + std::to_string(g.z.size()) +
                                     " level files were written.";
            return sens::stopped_message("Saving the 3-D sensitivity values", kept.c_str());
        }
        last = level_path(stem, k);
        std::string f;
        if (r.array_type == 9)
            model::appendf(f, "%.4f,%.4f  %.4f,%.4f  %.4f,%.4f  %.4f,%.4f\n", r.elec_x[0],
                           r.elec_y[0], r.elec_x[1], r.elec_y[1], r.elec_x[2], r.elec_y[2],
                           r.elec_x[3], r.elec_y[3]);
        model::appendf(f, "%cX-location%c,%cY-location%c,%cSensitivity (x 0.01) at Z=%.2f%c\n", q,
                       q, q, q, q, double(g.z[k]), q);
        // Each level is a grid of its own: its values against the level's largest.
        const float* level = g.values.data() + k * plane;
        const double scale = model::largest_size(level, plane) * 100.0;
        for (std::size_t j = 0; j < g.y.size(); ++j)
            for (std::size_t i = 0; i < g.x.size(); ++i) {
                model::appendf(f, "%6.3f %6.3f", double(g.x[i]), double(g.y[j]));
                model::append_scaled_values(f, " %9.4f\n",
                                            {double(level[j * g.x.size() + i]) * 100.0}, scale);
            }
        if (!sys::save_file(last, f)) return create_error(last);
    }
    update_status("", 0);
    if (!write_level_file(stem + ".lvl")) return create_error(stem + ".lvl");
    const std::string text = "Sensitivity values saved in Surfer format.\nThe values are saved in "
                             "separate files for each depth level.\nThe last file is " +
                             last;
    model::ask_message(text.c_str(), "Message", ui::mb_ok);
}

void write_slicer(Array3DSens& r, Grid& g, const std::string& stem) {
    for (float& v : g.values)
        v = r.data_type == 1 ? (v >= 0.0f ? std::sqrt(v) : -std::sqrt(-v)) : v * 100.0f;
    // The count may pass the int range (2^31 values fit the memory of a large machine).
    const auto extremes = std::minmax_element(g.values.begin(), g.values.end());
    const float minimum = *extremes.first, maximum = *extremes.second;
    std::snprintf(r.work_path, sizeof r.work_path, "%s.bin", stem.c_str());
    const std::string text_path = stem + ".txt";
    std::string f;
    model::appendf(f, "%cgeneric metadata%c\n%c%s%c\n", q, q, q, r.work_path, q);
    model::appendf(f, r.data_type == 1 ? "%cSensitivity (Sqrt)%c\n" : "%cSensitivity (x 0.01)%c\n",
                   q, q);
    model::appendf(f, "%cfloat%c\n", q, q);
    // The range of the volume's values, against the largest of them.
    model::append_scaled_values(f,
                                std::fabs(minimum) < 0.1f ? "%14.8f  %14.8f\n" : "%14.4f  %14.4f\n",
                                {double(minimum), 1.05 * double(maximum)},
                                std::max(std::fabs(double(minimum)), std::fabs(double(maximum))));
    const long long nx = (long long)g.x.size(), ny = (long long)g.y.size(),
                    nz = (long long)g.z.size();
    model::appendf(f, "3\n%cZ%c %lld  0 0\n%cY%c %lld  0 0\n%cX%c %lld  0 0\n", q, q, nz, q, q, ny,
                   q, q, nx);
    model::appendf(f, "Array Type %s\n", r.array_name);
    model::appendf(f, "X unit spacing %.4f\nY unit spacing %.4f\nZ unit spacing %.4f\n",
                   double(r.x_step), double(r.y_step), double(r.z_step));
    model::appendf(f, "Z slice sensitivities ");
    for (float z : g.z)
        model::appendf(f, "%.4f ", double(z));
    model::appendf(f, "\nRelative scale factors\nX %.2f\nY %.2f\nZ 1.0\n",
                   double(r.x_step / r.z_step), double(r.y_step / r.z_step));
    model::appendf(f, "X Start %.3f  End %.3f  values\n", double(g.x.front()), double(g.x.back()));
    model::appendf(f, "Y Start %.3f  End %.3f  values\n", double(g.y.front()), double(g.y.back()));
    model::appendf(f, "Z Start %.3f  End %.3f  values\n", double(g.z.front()), double(g.z.back()));
    model::appendf(f, "End Data\n");
    if (!sys::save_file(text_path, f)) return create_error(text_path);
    if (!sys::save_file(r.work_path, g.values.data(), g.values.size() * sizeof(float)))
        return create_error(r.work_path);
    char message[1024];
    std::snprintf(message, sizeof message,
                  "Model saved in Slicer/Dicer generic metadata format.\n\nUnder the 'Names and "
                  "Units' suboption of the\n'Option' menu in Slicer-Dicer, you will need to "
                  "change\nthe Start and End values for the Z, Y and X axes\nto the following "
                  "values:-\nZ :- %11.3f %11.3f\nY :- %11.3f %11.3f\nX :- %11.3f %11.3f\nand set "
                  "'Show values' in 'dimenisonal units'.\nMinimum and maximum model values are "
                  "%.3f and %.3f.",
                  double(g.z.front()), double(g.z.back()), double(g.y.front()), double(g.y.back()),
                  double(g.x.front()), double(g.x.back()), double(minimum), double(maximum));
    model::ask_message(message, "Message", ui::mb_ok);
}

// The values of the grid, level by level and row by row, with the progress of the rows done;
// false when the user stopped it.
bool compute_grid(const Array3DSens& r, Grid& g) {
    sens::LoopProgress progress("Calculating 3-D sensitivity values");
    const double rows = double(g.z.size()) * double(g.y.size());
    std::size_t p = 0;
    for (std::size_t k = 0; k < g.z.size(); ++k)
        for (std::size_t j = 0; j < g.y.size(); ++j) {
            if (progress.stopped(double(k) * double(g.y.size()) + double(j), rows)) return false;
            for (const float x : g.x)
                g.values[p++] = value_at(r, x, g.y[j], g.z[k]);
        }
    return true;
}

} // namespace

const ui::DialogTemplate Array3DSensDiaBox = make_template();

bool Array3DSensDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args) {
    Array3DSens& r = Array3dsens;
    if (event == ui::DialogEvent::init) {
        opening_array_type = r.array_type;
        return true;
    }
    if (event == ui::DialogEvent::first_paint) {
        dialog.check_radio(1721, 1729, 1720 + r.array_type);
        dialog.set_text(1745, model::field_text("%.2f", r.n_factor));
        show_positions(dialog, r);
        const float grid[9] = {r.x_start, r.x_end,   r.x_step, r.y_start, r.y_end,
                               r.y_step,  r.z_start, r.z_end,  r.z_step};
        for (int i = 0; i < 9; ++i)
            dialog.set_text(1746 + i, model::field_text("%.4f", grid[i]));
        dialog.check_radio(1755, 1756, 1755 + r.output_format);
        dialog.check_radio(1757, 1758, 1757 + r.data_type);
        return true;
    }
    if (event != ui::DialogEvent::command) return false;
    const int id = args.id;
    if (id >= 1721 && id <= 1729) {
        r.array_type = id - 1720;
        dialog.check_radio(1721, 1729, id);
        if (preset(r.array_type, r.n_factor, r.elec_x, r.elec_y)) show_positions(dialog, r);
        return true;
    }
    if (dialog.take_radio(1755, 1756, id, r.output_format) ||
        dialog.take_radio(1757, 1758, id, r.data_type))
        return true;
    if (id == ui::id_ok) {
        if (!take_entries(dialog, r)) return true;
        r.accepted = 1;
        dialog.end(1);
        return true;
    }
    if (id == ui::id_cancel) {
        r.array_type = opening_array_type;
        r.accepted = 0;
        dialog.end(0);
        return true;
    }
    return false;
}

float sens3d_general_term(float x, float y, float z, float cx, float cy, float px, float py) {
    const double ax = double(x) - cx, ay = double(y) - cy, bx = double(x) - px, by = double(y) - py;
    const double zz = double(z) * z;
    const double product = (ax * ax + ay * ay + zz) * (bx * bx + by * by + zz);
    if (!(product > 0.0)) return 0.0f;
    return float(kernel_constant * (ax * bx + ay * by + zz) / (product * std::sqrt(product)));
}

float sens3d_pole_pole(float x, float y, float z, float px, float py) {
    return sens3d_general_term(x, y, z, 0.0f, 0.0f, px, py);
}

namespace {
// C1 (+), C2 (-), P1 (+), P2 (-) on the x axis; a missing electrode is NaN.
float line_array(float x, float y, float z, float c1, float c2, float p1, float p2) {
    auto f = [&](float c, float p) {
        return std::isnan(c) || std::isnan(p) ? 0.0f : sens3d_general_term(x, y, z, c, 0, p, 0);
    };
    return f(c1, p1) - f(c1, p2) - f(c2, p1) + f(c2, p2);
}
const float none = NAN;
} // namespace

float sens3d_wenner_alpha(float x, float y, float z, float a) {
    return line_array(x, y, z, 0.0f, 3 * a, a, 2 * a);
}
float sens3d_wenner_gamma(float x, float y, float z, float a) {
    return line_array(x, y, z, 0.0f, 2 * a, a, 3 * a);
}
float sens3d_dipole_dipole(float x, float y, float z, float a, float n) {
    return line_array(x, y, z, a, 0.0f, (n + 1) * a, (n + 2) * a);
}
float sens3d_pole_dipole(float x, float y, float z, float a, float n) {
    return line_array(x, y, z, 0.0f, none, n * a, (n + 1) * a);
}
float sens3d_wenner_schlumberger(float x, float y, float z, float a, float n) {
    return line_array(x, y, z, 0.0f, (2 * n + 1) * a, n * a, (n + 1) * a);
}

void strip_extension_append(char* dest, std::size_t dest_size, const char* src, const char* ext) {
    std::string s = src;
    const std::size_t dot = s.find_last_of('.'), sep = s.find_last_of("\\/");
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) s.erase(dot);
    s += ext;
    std::snprintf(dest, dest_size, "%s", s.c_str());
}

void calc_3d_sensitivity(Array3DSens& r) {
    if (!(r.x_step > 0.0f && r.y_step > 0.0f && r.z_step > 0.0f)) {
        model::show_message("The grid spacings must be positive.", "Message");
        return;
    }
    // The grid is refused before anything is computed when its values, or its files, could not
    // all be held in the free memory, or on the free disk.
    if (!sens::grid_fits(sensitivity_3d_needs(r, r.accepted == 1))) return;
    const Axes a = axes(r);
    Grid g;
    try {
        fill_axis(r.x_start, r.x_step, std::size_t(a.nx), g.x);
        fill_axis(r.y_start, r.y_step, std::size_t(a.ny), g.y);
        fill_axis(r.z_start, r.z_step, std::size_t(a.nz), g.z);
        g.values.resize(g.x.size() * g.y.size() * g.z.size());
    } catch (const std::exception&) {
        model::show_message("Insufficient memory for the 3-D sensitivity grid.", "Message");
        return;
    }
    for (float& z : g.z)
        for (float ez : r.elec_z)
            if (std::fabs(z - ez) <= 0.0499f) z += 0.05f;
    if (!compute_grid(r, g)) {
        sens::stopped_message("The 3-D sensitivity calculation", "Nothing was saved.");
        return;
    }
    update_status("", 0);
    char stem[512];
    strip_extension_append(stem, sizeof stem, r.output_path, "");
    std::snprintf(r.array_name, sizeof r.array_name, "%s", array_name(r.array_type));
    if (r.accepted != 1) return;
    if (!model::ResultValues()
             .add(g.values.data(), g.values.size())
             .add(g.x.data(), g.x.size())
             .add(g.y.data(), g.y.size())
             .add(g.z.data(), g.z.size())
             .writable("3-D sensitivity values"))
        return;
    if (r.output_format == 0)
        write_surfer(r, g, stem);
    else
        write_slicer(r, g, stem);
}

sens::GridNeeds sensitivity_3d_needs(const Array3DSens& r, bool with_files) {
    const Axes a = axes(r);
    sens::GridNeeds needs;
    needs.points = a.nx * a.ny * a.nz;
    const double plane = a.nx * a.ny;
    // Each level's text is made whole before it is written.
    const double line = surfer_line_bytes(r);
    needs.memory = 4.0 * needs.points + 4.0 * (a.nx + a.ny + a.nz) +
                   (r.output_format == 0 ? plane * line : 0.0);
    if (!with_files) return needs;
    needs.folder = sens::folder_of(r.output_path);
    if (r.output_format == 0)
        needs.disk = a.nz * (96.0 + plane * line) + 2048.0;
    else
        needs.disk = 4.0 * needs.points + 1024.0 + 12.0 * a.nz;
    return needs;
}

std::vector<std::string> sensitivity_3d_files(const Array3DSens& r, const std::string& chosen,
                                              bool existing_only) {
    char stem_text[512];
    strip_extension_append(stem_text, sizeof stem_text, chosen.c_str(), "");
    const std::string stem = stem_text;
    std::vector<std::string> files;
    const auto add = [&](const std::string& path) {
        if (!existing_only || sys::file_exists(path)) files.push_back(path);
    };
    if (r.output_format != 0) {
        add(stem + ".bin");
        add(stem + ".txt");
        return files;
    }
    const double nz = axes(r).nz;
    for (double k = 0; k < nz; ++k)
        add(level_path(stem, std::size_t(k)));
    add(stem + ".lvl");
    return files;
}

int sensitivity_3d_command() {
    ui::run_dialog(Array3DSensDiaBox, Array3DSensDiaBoxProc);
    Array3DSens& r = Array3dsens;
    if (r.accepted != 1) return 135;
    // A grid whose values the memory cannot hold is refused before a file is asked for.
    if (!(r.x_step > 0.0f && r.y_step > 0.0f && r.z_step > 0.0f)) {
        model::show_message("The grid spacings must be positive.", "Message");
        return 135;
    }
    if (!sens::grid_fits(sensitivity_3d_needs(r, false))) return 135;
    SystemSettings& s = Systemsettings;
    sys::set_current_dir(s.initial_dir);
    std::snprintf(s.file_name, sizeof s.file_name, "*.txt");
    std::snprintf(s.file_title, sizeof s.file_title, "3D Sensitivity File");
    // Any name: the files are named after it; those of them that exist are asked about once.
    const auto existing = [&r](const std::string& chosen) {
        return sensitivity_3d_files(r, chosen, true);
    };
    if (!model::save_files_dialog(s.file_name, s.file_title, s.initial_dir, existing)) return 135;
    model::copy_text(Array3dsens.output_path, sizeof Array3dsens.output_path, s.file_name);
    calc_3d_sensitivity(Array3dsens);
    return 135;
}
