// Sensitivity sections of user-defined configurations: the grid and values, the report and
// Surfer files, the section dialog and the drawing.
#include "forward/configurations/configurations.h"

#include "display/dialog_util.h"
#include "forward/datafile.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"
#include "sensitivity/grid_budget.h"
#include "sensitivity/kernels.h"
#include "sensitivity/section_display.h"
#include "sensitivity/standard_arrays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

int integrated_sensitivity_levels(float* levels) {
    levels[0] = 0.0f;
    for (int i = 1; i < 16; ++i)
        levels[i] = float(1 << (i - 1));
    return 16;
}

namespace forward {

namespace {

constexpr double pi_s = 3.141593;

// Most values the blocks of one run may hold.
constexpr double max_values = double(1 << 28);

void memory_message() {
    model::report_error(model::Shown::box, "Error Message",
                        "Insufficient memory for the sensitivity sections!");
}

// Grid positions: x shifted off the electrodes, and every depth within 0.005 of an electrode
// of a configuration moved a third of the spacing below it.
void make_grid(const ConfigurationFile& f, SensitivitySections& s) {
    const SensitivityGrid& g = f.grid;
    s.x.resize(std::size_t(s.nx));
    s.z.resize(std::size_t(s.nz));
    for (int i = 0; i < s.nx; ++i)
        s.x[std::size_t(i)] = g.x1 + float(i) * g.dx + 0.0004f;
    for (int j = 0; j < s.nz; ++j) {
        float z = g.z1 + float(j) * g.dz;
        for (std::size_t k = 0; k < f.arrays.size(); ++k)
            for (int e = 0; e < 4; ++e)
                if (f.takes_part(int(k), e) && std::fabs(z - f.arrays[k].z[e]) < 0.005f)
                    z = f.arrays[k].z[e] + g.dz * 0.3333f;
        s.z[std::size_t(j)] = z;
    }
}

// The first pair of electrodes of a configuration at one place, as its message.
bool coincident(const ConfigurationFile& f, int k) {
    static const struct {
        int a, b;
        const char* names;
    } pairs[6] = {{c1, c2, "C1 and C2"}, {c1, p1, "C1 and P1"}, {c1, p2, "C1 and P2"},
                  {c2, p1, "C2 and P1"}, {c2, p2, "C2 and P2"}, {p1, p2, "P1 and P2"}};
    const ArrayConfiguration& c = f.arrays[std::size_t(k)];
    for (const auto& q : pairs) {
        if (!f.takes_part(k, q.a) || !f.takes_part(k, q.b)) continue;
        const float dx = c.x[q.a] - c.x[q.b], dz = c.z[q.a] - c.z[q.b];
        const float d = std::sqrt(dx * dx + dz * dz);
        // A distance beyond the float range would make the kernels NaN.
        if (d != 0.0f && std::isfinite(d)) continue;
        char text[160];
        if (d == 0.0f)
            std::snprintf(text, sizeof text,
                          "%s electrodes are at the same position\nfor configuration number %d!",
                          q.names, k + 1);
        else
            std::snprintf(text, sizeof text,
                          "%s electrodes are too far apart\nfor configuration number %d!", q.names,
                          k + 1);
        model::report_error(model::Shown::box, "Error Message", "%s", text);
        return true;
    }
    return false;
}

constexpr struct {
    int c, p;
    double sign;
} kernel_pairs[4] = {{c1, p1, 1.0}, {c1, p2, -1.0}, {c2, p1, -1.0}, {c2, p2, 1.0}};

// The signed kernel sum of configuration k at (x, z).
double kernel_sum(const ConfigurationFile& f, int k, bool surface, float x, float z) {
    const ArrayConfiguration& c = f.arrays[std::size_t(k)];
    double s = 0.0;
    for (const auto& q : kernel_pairs) {
        if (!f.takes_part(k, q.c) || !f.takes_part(k, q.p)) continue;
        const float xc = c.x[q.c], zc = c.z[q.c], xp = c.x[q.p], zp = c.z[q.p];
        const double kernel = surface ? sens2d_pole_pole(x - xc, z, xp - xc)
                                      : double(sens2d_buried_pole_images(x, z, xc, zc, xp, zp));
        s += q.sign * kernel;
    }
    return s;
}

// Potential of configuration k over the half-space of the file's resistivity at its current:
// rho I sum of T(C, P) = (1 / 2 pi) 0.5 (1 / r + 1 / r'), distances in metres, r' from the
// image of C.
double configuration_potential(const ConfigurationFile& f, int k) {
    const ArrayConfiguration& c = f.arrays[std::size_t(k)];
    const double a = f.spacing;
    double sum = 0.0;
    for (const auto& q : kernel_pairs) {
        if (!f.takes_part(k, q.c) || !f.takes_part(k, q.p)) continue;
        const double dx = (double(c.x[q.c]) - c.x[q.p]) * a;
        const double dz = (double(c.z[q.c]) - c.z[q.p]) * a;
        const double dzi = (double(c.z[q.c]) + c.z[q.p]) * a;
        const double r = std::sqrt(dx * dx + dz * dz), ri = std::sqrt(dx * dx + dzi * dzi);
        sum += q.sign * (1.0 / (2.0 * pi_s)) * 0.5 * (1.0 / r + 1.0 / ri);
    }
    return double(f.grid.resistivity) * f.grid.current * sum;
}

bool on_surface(const ConfigurationFile& f, int k) {
    for (int e = 0; e < 4; ++e)
        if (f.takes_part(k, e) && f.arrays[std::size_t(k)].z[e] != 0.0f) return false;
    return true;
}

} // namespace

float sensitivity_factor(float largest, int auto_scale, float fixed) {
    if (auto_scale != 1) return fixed;
    if (!(largest > 0.0f) || !(largest < 1000.0f)) return 1.0f;
    return float(std::pow(10.0, 3.0 - std::floor(std::log10(double(largest)))));
}

int compute_configuration_sections(const ConfigurationFile& f, int auto_scale, float fixed_factor,
                                   SensitivitySections& s) {
    const int n = int(f.arrays.size());
    for (int k = 0; k < n; ++k)
        if (coincident(f, k)) return 1;
    s = SensitivitySections{};
    s.nx = f.grid.nx();
    s.nz = f.grid.nz();
    s.per_configuration = n <= 16;
    const std::size_t blocks = s.per_configuration ? std::size_t(n) + 1 : 1;
    if (double(s.nx) * double(s.nz) * double(blocks) > max_values) {
        memory_message();
        return 1;
    }
    try {
        make_grid(f, s);
        s.values.assign(blocks * s.points(), 0.0f);
        s.potentials.resize(std::size_t(n));
    } catch (const std::bad_alloc&) {
        s = SensitivitySections{};
        memory_message();
        return 1;
    }
    float* integrated = s.values.data() + (blocks - 1) * s.points();
    char status[80];
    ui::set_cursor(ui::Cursor::wait);
    for (int k = 0; k < n; ++k) {
        std::snprintf(status, sizeof status, "Calculating sensitivity values for configuration %d.",
                      k + 1);
        sens::LoopProgress progress(status);
        const bool surface = on_surface(f, k);
        float* own = s.per_configuration ? s.values.data() + std::size_t(k) * s.points() : nullptr;
        std::size_t p = 0;
        for (std::size_t j = 0; j < s.z.size(); ++j) {
            if (progress.stopped(double(j), double(s.z.size()))) {
                ui::set_cursor(ui::Cursor::arrow);
                s = SensitivitySections{};
                return 2;
            }
            for (const float x : s.x) {
                const float v = float(kernel_sum(f, k, surface, x, s.z[j]));
                if (own) own[p] = v;
                integrated[p++] += std::fabs(v);
            }
        }
        s.potentials[std::size_t(k)] = float(configuration_potential(f, k));
    }
    update_status(" ", 0);
    ui::set_cursor(ui::Cursor::arrow);
    float largest = 0.0f;
    for (std::size_t p = 0; p < s.points(); ++p) {
        integrated[p] /= float(n);
        largest = std::max(largest, std::fabs(integrated[p]));
    }
    s.factor = sensitivity_factor(largest, auto_scale, fixed_factor);
    for (float& v : s.values)
        v *= s.factor;
    return 0;
}

} // namespace forward
