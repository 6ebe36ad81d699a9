// The 2-D sensitivity section of one four-electrode array: electrodes, grid, values, Surfer
// files and the drawing.
#include "sensitivity/standard_arrays.h"

#include "model/depth_tables.h"
#include "model/globals.h"
#include "model/result_check.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/page_array.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "sensitivity/grid_budget.h"
#include "sensitivity/section_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace sens {

Electrodes adjusted_electrodes(int code, const Electrodes& entered) {
    Electrodes e = entered;
    if (code != borehole_array) std::fill(e.z, e.z + 4, 0.0f);
    if (code == pole_pole) e.x[1] = -1000.0f, e.x[3] = 1000.0f;
    if (code == pole_dipole) e.x[1] = -1000.0f;
    return e;
}

const char* coincident_electrodes(const Electrodes& e, float* dmin) {
    static const struct {
        int a, b;
        const char* same;
        const char* far;
    } pairs[6] = {{0, 1, "C1 and C2 electrodes are at the same position!",
                   "C1 and C2 electrodes are too far apart!"},
                  {0, 2, "C1 and P1 electrodes are at the same position!",
                   "C1 and P1 electrodes are too far apart!"},
                  {0, 3, "C1 and P2 electrodes are at the same position!",
                   "C1 and P2 electrodes are too far apart!"},
                  {1, 2, "C2 and P1 electrodes are at the same position!",
                   "C2 and P1 electrodes are too far apart!"},
                  {1, 3, "C2 and P2 electrodes are at the same position!",
                   "C2 and P2 electrodes are too far apart!"},
                  {2, 3, "P1 and P2 electrodes are at the same position!",
                   "P1 and P2 electrodes are too far apart!"}};
    float smallest = 0.0f;
    for (int k = 0; k < 6; ++k) {
        const float dx = e.x[pairs[k].a] - e.x[pairs[k].b];
        const float dz = e.z[pairs[k].a] - e.z[pairs[k].b];
        const float d = std::sqrt(dx * dx + dz * dz);
        if (d == 0.0f) return pairs[k].same;
        // Kernels of such a pair would be NaN.
        if (!std::isfinite(d)) return pairs[k].far;
        smallest = k == 0 ? d : std::min(smallest, d);
    }
    if (dmin) *dmin = smallest;
    return nullptr;
}

namespace {

// Largest number of positions along one axis, and of grid points.
constexpr double max_positions = 1e8, max_points = double(1 << 28);

// Nominal count of positions over a range.
double nominal_count(float lo, float hi, float step) {
    return double(round_to_int(std::fabs(hi - lo) / step)) + 1.0;
}

bool sensible(float lo, float hi, float step) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(step > 0.0f) || !std::isfinite(step))
        return false;
    const double n = std::fabs(double(hi) - double(lo)) / double(step);
    return n + 1.0 < max_positions;
}

// Positions from lo while below hi, each step 1, 2 or 3 times `step` by `widening(p)`; the last
// replaced by hi; at most `room` of them.
template <class Widening>
std::vector<float> variable_positions(float lo, float hi, float step, std::size_t room,
                                      Widening widening) {
    std::vector<float> p;
    for (float v = lo; v < hi && p.size() < room;) {
        p.push_back(v);
        const float next = v + float(widening(v)) * step;
        if (!(next > v)) break; // a step too small for the float to move
        v = next;
    }
    if (p.empty())
        p.push_back(hi);
    else
        p.back() = hi;
    return p;
}

int widening_by_distance(float d, float dmin) {
    return d > dmin ? 3 : d > 0.5f * dmin ? 2 : 1;
}

} // namespace

bool grid_positions(int code, const Electrodes& e, float dmin, float x_min, float x_max,
                    float x_step, float z_min, float z_max, float z_step, int variable,
                    GridPositions& grid) {
    if (!sensible(x_min, x_max, x_step) || !sensible(z_min, z_max, z_step)) return false;
    const double nx = nominal_count(x_min, x_max, x_step), nz = nominal_count(z_min, z_max, z_step);
    if (nx * nz > max_points) return false;
    try {
        if (variable == 0) {
            grid.x.resize(std::size_t(nx));
            grid.z.resize(std::size_t(nz));
            for (std::size_t i = 0; i < grid.x.size(); ++i)
                grid.x[i] = x_min + float(i) * x_step + 0.0001f;
            for (std::size_t j = 0; j < grid.z.size(); ++j)
                grid.z[j] = z_min + float(j) * z_step;
        } else {
            grid.x = variable_positions(x_min, x_max, x_step, std::size_t(nx) + 2, [&](float x) {
                return widening_by_distance(
                    min_electrode_distance(x, e.x[0], e.x[1], e.x[2], e.x[3]), dmin);
            });
            grid.z = variable_positions(z_min, z_max, z_step, std::size_t(nz) + 2, [&](float z) {
                if (code == borehole_array)
                    return widening_by_distance(
                        min_electrode_distance(z, e.z[0], e.z[1], e.z[2], e.z[3]), dmin);
                return z > z_min + dmin ? 3 : z > z_min + 0.5f * dmin ? 2 : 1;
            });
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (float& z : grid.z)
        for (const float ze : e.z)
            if (std::fabs(z - ze) < 0.01f) z = ze + 0.01f;
    return true;
}

float scale_factor(float largest, int auto_scale, float constant) {
    if (auto_scale != 1) return constant;
    if (largest >= 1000.0f || !(largest > 0.0f)) return 1.0f;
    return float(std::pow(10.0, 3.0 - std::ceil(std::log10(double(largest)))));
}

SectionNames section_names(int code) {
    switch (code) {
    case wenner_alpha:
        return {"Wenner alpha array", "sig2wenneralpha.dat"};
    case wenner_beta:
        return {"Wenner beta array", "sig2wennerbeta.dat"};
    case wenner_gamma:
        return {"Wenner gamma array", "sig2wennergamma.dat"};
    case dipole_dipole:
        return {"Dipole-dipole array", "sig2dipoledipole.dat"};
    case pole_dipole:
        return {"Pole-dipole array", "sig2poledipole.dat"};
    case wenner_schlumberger:
        return {"Wenner-Schlumberger array", "sig2wenschl.dat"};
    case general_array:
        return {"General array", "sig2general.dat"};
    case borehole_array:
        return {"Borehole array", "sig2borehole.dat"};
    default:
        return {"Pole-pole array", "sig2polepole.dat"};
    }
}

std::string path_with_suffix(const std::string& path, const char* suffix) {
    const std::size_t folder = path.find_last_of("\\/");
    const std::size_t dot = path.find_last_of('.');
    const bool has_extension =
        dot != std::string::npos && (folder == std::string::npos || dot > folder);
    return (has_extension ? path.substr(0, dot) : path) + suffix;
}

std::string post_file_path(const std::string& path) {
    return path_with_suffix(path, "_post.dat");
}

float section_depth_of_investigation(int code, const Electrodes& e) {
    const float r1 = std::fabs(e.x[0] - e.x[2]), r2 = std::fabs(e.x[0] - e.x[3]);
    const float r3 = std::fabs(e.x[1] - e.x[2]), r4 = std::fabs(e.x[1] - e.x[3]);
    const int count = code == pole_pole ? 2 : code == pole_dipole ? 3 : 4;
    return median_depth_of_investigation(r1, r2, r3, r4, count);
}

namespace {

const char* const q = "\"";

// The z of the Surfer files: the elevation, negative below the surface (0 on it, never -0).
double surfer_z(float depth) {
    return 0.0 - double(depth);
}

// The header and the points of a Surfer data file: the grid positions as given, the values
// against the largest of the section. The text goes to the file a stretch at a time, between
// which `progress` may stop it.
bool print_surfer_data(sys::AtomicFile& data, const GridPositions& grid, const float* values,
                       float factor, LoopProgress* progress) {
    std::string text;
    model::appendf(text, "%sX-location%s,%sZ-location%s,%sSensitivity x %.1f%s\n", q, q, q, q, q,
                   double(factor), q);
    const double scale = model::largest_size(values, grid.x.size() * grid.z.size());
    bool ok = true;
    std::size_t k = 0;
    for (std::size_t j = 0; ok && j < grid.z.size(); ++j) {
        for (const float x : grid.x) {
            model::appendf(text, "%6.3f %6.3f", double(x), surfer_z(grid.z[j]));
            model::append_scaled_values(text, " %9.5f\n", {double(values[k++])}, scale);
        }
        if (text.size() >= 1 << 16) {
            ok = data.write(text);
            text.clear();
        }
        if (progress && progress->stopped(double(j), double(grid.z.size()))) return false;
    }
    return ok && data.write(text);
}

} // namespace

bool save_surfer_data(const std::string& data_path, const GridPositions& grid, const float* values,
                      float factor, LoopProgress* progress) {
    sys::AtomicFile data(data_path);
    return data.opened() && print_surfer_data(data, grid, values, factor, progress) &&
           data.commit();
}

std::vector<std::string> surfer_file_paths(const std::string& data_path) {
    return {data_path, post_file_path(data_path)};
}

double surfer_data_bytes(const GridPositions& grid) {
    if (grid.x.empty() || grid.z.empty()) return 0.0;
    char x[64], z[64];
    const float wide_x =
        std::fabs(grid.x.front()) > std::fabs(grid.x.back()) ? grid.x.front() : grid.x.back();
    std::snprintf(x, sizeof x, "%6.3f", double(wide_x));
    std::snprintf(z, sizeof z, "%6.3f", -double(*std::max_element(grid.z.begin(), grid.z.end())));
    return surfer_file_bytes(double(grid.x.size()) * double(grid.z.size()), 64.0, x, z,
                             "-1000.000000");
}

std::string write_surfer_files(const std::string& data_path, const GridPositions& grid,
                               const float* values, float factor, const Electrodes& e,
                               LoopProgress* progress) {
    const std::string post_path = post_file_path(data_path);
    sys::AtomicFile data(data_path), post(post_path);
    if (!data.opened()) return data_path;
    if (!post.opened()) return post_path;
    bool ok = print_surfer_data(data, grid, values, factor, progress);
    if (!ok) return data_path;
    std::string text;
    model::appendf(text, "%sX-location%s,%sZ-location%s,%sElectrode%s,%sSymbol set:index%s\n", q, q,
                   q, q, q, q, q, q);
    for (int i = 0; i < 4; ++i)
        model::appendf(text, "%13.3f,%13.3f,%d,Default symbols:0\n", double(e.x[i]),
                       surfer_z(e.z[i]), i + 1);
    ok = post.write(text);
    // The post file first: when it cannot take its place the data file stays as it was too.
    if (!ok || !post.commit()) return post_path;
    if (!data.commit()) {
        std::remove(post_path.c_str());
        return data_path;
    }
    return "";
}

} // namespace sens

namespace {

using namespace sens;

// The electrodes of the sensitivity block of the record.
Electrodes entered_electrodes(const ModelSettings& m) {
    Electrodes e;
    const float x[4] = {m.sens_c1_x, m.sens_c2_x, m.sens_p1_x, m.sens_p2_x};
    const float z[4] = {m.sens_c1_z, m.sens_c2_z, m.sens_p1_z, m.sens_p2_z};
    std::copy(x, x + 4, e.x);
    std::copy(z, z + 4, e.z);
    return e;
}

// The section values, depth by depth and x by x, with the progress of the depths done; false
// when the user stopped it.
bool compute_values(int code, float n, const Electrodes& e, const GridPositions& grid,
                    float* values) {
    LoopProgress progress("Calculating sensitivity values");
    std::size_t k = 0;
    const std::size_t rows = grid.z.size();
    for (std::size_t j = 0; j < rows; ++j) {
        if (progress.stopped(double(j), double(rows))) return false;
        for (const float x : grid.x)
            values[k++] = array_kernel_sum(code, n, e, x, grid.z[j]);
    }
    return true;
}

void memory_message() {
    model::show_message("Insufficient memory for the sensitivity section!", "Error Message");
}

// Asks for the data file (any name; one question when it or its post file exists); "" when the
// user cancelled.
std::string ask_data_file(const SectionNames& names) {
    SystemSettings& s = Systemsettings;
    model::copy_text(s.file_name, sizeof s.file_name, names.file);
    model::copy_text(s.file_title, sizeof s.file_title,
                     "File to save sensitivity values in SURFER format");
    const auto existing = [](const std::string& chosen) {
        return model::existing_files(surfer_file_paths(chosen));
    };
    if (!model::save_files_dialog(s.file_name, s.file_title, s.initial_dir, existing)) return "";
    return s.file_name;
}

// Writes both files, with the progress of the data file's rows; a failure is shown and leaves
// neither. False when the user stopped it.
bool save_files(const std::string& path, const GridPositions& grid, const float* values,
                float factor, const Electrodes& e) {
    LoopProgress progress("Saving sensitivity values");
    const std::string failed = write_surfer_files(path, grid, values, factor, e, &progress);
    update_status("", 0);
    if (progress.was_stopped()) return false;
    if (failed.empty()) return true;
    char text[1024];
    std::snprintf(text, sizeof text, "There has been an error in creating\nthe file %s.",
                  failed.c_str());
    model::show_message(text, "Error Message");
    return true;
}

// What the section takes: the values and node positions (three floats a point) and the
// drawing's pixel positions and values (three more, a row more), and its files.
GridNeeds section_needs(const GridPositions& grid, const std::string& path) {
    GridNeeds needs;
    const double nx = double(grid.x.size()), nz = double(grid.z.size());
    needs.points = nx * nz;
    needs.memory = 12.0 * nx * nz + 12.0 * nx * (nz + 1.0);
    if (!path.empty()) {
        needs.disk = surfer_data_bytes(grid) + 512.0;
        needs.folder = folder_of(path);
    }
    return needs;
}

// What the drawing needs besides the section grid.
struct Drawing {
    SensitivitySection section;
    std::vector<float> surface_x, surface_z;
    float marked_x[4] = {}, marked_z[4] = {};
    float depth = 0.0f;
    bool with_depth = false;
};

// Draws the section on `dc` with the depth of investigation under it. False when the drawing's
// work arrays were refused or the user stopped it.
bool draw(Drawing& d, gfx::Canvas& dc, ProgDisplay& display) {
    const int bottom = draw_sensitivity_section(d.section, dc, display.brushes, display.pens);
    if (bottom < 0) return false;
    if (d.with_depth) {
        char text[96];
        std::snprintf(text, sizeof text, "Medium depth of investigation %.4f", double(d.depth));
        dc.text_out(d.section.left, bottom, text);
    }
    return true;
}

} // namespace

void calc_sensitivity_standard_arrays(const ModelSettings& m, ProgDisplay& display,
                                      gfx::Canvas& window) {
    const int code = m.sens_array_type;
    const Electrodes e = adjusted_electrodes(code, entered_electrodes(m));
    float dmin = 0.0f;
    if (const char* message = coincident_electrodes(e, &dmin)) {
        model::show_message(message, "Message");
        return;
    }
    GridPositions grid;
    sys::PageArray<float> values, node_x, node_z;
    if (!grid_positions(code, e, dmin, m.sens_x_min, m.sens_x_max, m.sens_x_step, m.sens_z_min,
                        m.sens_z_max, m.sens_z_step, m.sens_variable_spacing, grid)) {
        memory_message();
        return;
    }
    // The file is chosen first: a grid whose arrays the memory, or whose files the disk, cannot
    // hold is refused before anything of it is computed.
    const SectionNames names = section_names(code);
    erase_window();
    const std::string path = ask_data_file(names);
    if (!grid_fits(section_needs(grid, path))) return;
    const std::size_t nx = grid.x.size(), nz = grid.z.size(), points = nx * nz;
    if (!values.allocate(points) || !node_x.allocate(points) || !node_z.allocate(points)) {
        memory_message();
        return;
    }
    if (!compute_values(code, m.sens_n_value, e, grid, values.get())) {
        stopped_message("The sensitivity calculation", "Nothing was saved or drawn.");
        return;
    }
    update_status(std::string(45, ' ').c_str(), 0);

    float largest = 0.0f;
    for (std::size_t k = 0; k < points; ++k)
        largest = std::max(largest, std::fabs(values[k]));
    const float factor = scale_factor(largest, m.sens_auto_scale, m.sens_scale_factor);
    for (std::size_t k = 0; k < points; ++k)
        values[k] *= factor;

    // Values beyond the float range (a constant factor of 1e38, say) are no section.
    if (!model::ResultValues().add(values.get(), points).add(factor).writable("sensitivity values"))
        return;
    if (!path.empty() && !save_files(path, grid, values.get(), factor, e)) {
        stopped_message("Saving the sensitivity values", "No file was written; nothing was drawn.");
        return;
    }

    for (std::size_t k = 0; k < points; ++k) {
        node_x[k] = grid.x[k % nx];
        node_z[k] = grid.z[k / nx];
    }
    Drawing d;
    const gfx::TextMetrics tm = window.text_metrics();
    const float range = std::fabs(m.sens_x_max - m.sens_x_min);
    surface_ticks(m.sens_x_min, m.sens_x_max, d.surface_x, d.surface_z);
    const int order[4] = {0, 2, 3, 1}; // C1, P1, P2, C2
    for (int i = 0; i < 4; ++i)
        d.marked_x[i] = e.x[order[i]], d.marked_z[i] = e.z[order[i]];
    d.with_depth = code != borehole_array;
    if (d.with_depth) d.depth = section_depth_of_investigation(code, e);

    SensitivitySection& s = d.section;
    s.n_surface_electrodes = int(d.surface_x.size());
    s.surface_x = d.surface_x.data();
    s.surface_z = d.surface_z.data();
    s.n_set_a = 4;
    s.set_a_x = d.marked_x;
    s.set_a_z = d.marked_z;
    s.x_scale = s.z_scale = float(display.display_width - 18 * tm.ave_char_width) / range;
    char caption[64];
    std::snprintf(caption, sizeof caption, "Sensitivity x %.1f", double(factor));
    s.legend_caption = caption;
    s.x_max = m.sens_x_max;
    s.x_min = m.sens_x_min;
    s.z_max = m.sens_z_max;
    s.z_min = 0.0f;
    s.node_x = node_x.get();
    s.node_z = node_z.get();
    s.n_levels = set_sensitivity_levels(display.res_levels);
    s.levels = display.res_levels;
    s.top = 4 * tm.height;
    s.left = 12 * tm.ave_char_width;
    s.rows = (long long)nz;
    s.columns = (long long)nx;
    s.values = values.get();
    s.label_offset = m.sens_x_min;
    s.title = names.title;
    LoopProgress progress("Drawing the sensitivity section");
    s.stopping = [&progress](double done, double total) { return progress.stopped(done, total); };
    // The window first; then the canvas, so that later repaints show the section.
    bool drawn = draw(d, window, display);
    if (display.canvas_dc) {
        display.canvas_dc->select_brush(gfx::Brush{gfx::white, false});
        display.canvas_dc->pat_blt(0, 0, display.canvas_width, display.canvas_height,
                                   gfx::Rop::patcopy);
        drawn = drawn && draw(d, *display.canvas_dc, display);
    }
    update_status("", 0);
    if (progress.was_stopped())
        stopped_message("Drawing the sensitivity section",
                        path.empty() ? "" : "The files were saved.");
    else if (!drawn)
        memory_message();
}
