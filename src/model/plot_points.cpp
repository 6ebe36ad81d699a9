// Plotting positions and pseudodepths of the data of a pseudosection, and its level grid.
#include "model/plot_points.h"

#include "model/depth_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double two_pi = 6.283186;
constexpr double one_over_four_pi = 0.0795774627712756;

// Mean depth of a four-electrode array: the depth-weighted sensitivity of the four pole terms
// integrates to K / (4 pi) ln(r2 r3 / (r1 r4)), K being the geometric factor.
float mean_depth_four(double r1, double r2, double r3, double r4) {
    const double g = 1.0 / r1 - 1.0 / r2 - 1.0 / r3 + 1.0 / r4;
    return static_cast<float>(two_pi / g * one_over_four_pi * std::log(r2 * r3 / (r1 * r4)));
}

// The same with the current pole alone (C2 remote).
float mean_depth_three(double r1, double r2) {
    const double g = 1.0 / r1 - 1.0 / r2;
    return static_cast<float>(two_pi / g * one_over_four_pi * std::log(r2 / r1));
}

// Midpoint offset of a datum from its first electrode, in unit spacings.
float midpoint_offset(int type, int a, float n) {
    switch (type) {
    case 1:
    case 2:
    case 3:
        return 1.5f * a;
    case 4:
    case 8:
    case 9:
        return 0.5f * a;
    case 5:
        return (n + 2.0f) * a * 0.5f;
    case 6:
    case 10:
        return (std::fabs(n) + 1.0f) * a * 0.5f;
    case 7:
        return (2.0f * n + 1.0f) * a * 0.5f;
    default:
        return 0.0f;
    }
}

// Median pseudodepth of a datum in unit spacings.
float median_pseudodepth(int type, int a, float n, float b, const DepthFactorTable& table) {
    switch (type) {
    case 1:
        return 0.512f * a;
    case 2:
        return 0.416f * a;
    case 3:
        return 0.6f * a;
    case 5:
    case 6:
    case 7:
    case 10:
        return interp_depth_factor(table, std::fabs(n)) * a;
    case 8:
        return ratio_table_function(static_cast<float>(a), b);
    case 9:
        return static_cast<float>(a);
    default:
        return 0.867f * a;
    }
}

// Points of the level grid of one level, appended at grid index k (advanced).
void level_grid(ModelSettings& s, const ProgLim& limits, int level, int& k) {
    const int row = limits.max_electrodes_d;
    const int count = std::min(s.plot_level_count[level - 1], row);
    const float zm = (s.plot_level_z[level - 1] + s.plot_level_z[level]) * 0.5f;
    const int capacity = limits.max_data_points;
    auto put = [&](float x) {
        if (k >= capacity) return;
        s.plot_grid_x[k] = x;
        s.plot_grid_z[k] = zm;
        ++k;
    };
    const float centre = (s.nelec - level) * 0.5f;
    if (count == 1) {
        put(centre);
        return;
    }
    if (count <= 2) {
        const float dx = k >= 2 ? s.plot_grid_x[k - 1] - s.plot_grid_x[k - 2] : 1.0f;
        put(centre - dx);
        put(centre + dx);
        return;
    }
    const bool real_positions = s.array_type == 11;
    auto X = [&](int p) {
        const int entry = (p - 1) + row * (level - 1);
        if (real_positions) return s.datum_work[entry] - 1.0f;
        return (s.plot_levels[entry] - 1) * s.unit_spacing + s.first_electrode_x;
    };
    for (int j = 1; j <= count; ++j) {
        float x;
        if (j == 1)
            x = X(2) - (X(3) - X(2)) * 0.5f;
        else if (j == count)
            x = X(count) + (X(count) - X(count - 1)) * 0.5f;
        else
            x = (X(j) + X(j + 1)) * 0.5f;
        put(real_positions ? x : (x - s.first_electrode_x) / s.unit_spacing);
    }
}

} // namespace

float mean_depth_of_datum(int array_type, int a, float n, float b, float c1, float c2, float p1,
                          float p2) {
    const double A = a;
    switch (array_type) {
    case 1:
        return mean_depth_four(A, 2 * A, 2 * A, A);
    case 2:
        return mean_depth_four(A, 2 * A, 2 * A, 3 * A);
    case 3:
        return mean_depth_four(A, 3 * A, A, A);
    case 5:
        return mean_depth_four(n * A, (n + 1) * A, (n + 1) * A, (n + 2) * A);
    case 6:
    case 10: {
        // Reverse data carry a negative n; the geometry is the mirror image.
        const double m = std::fabs(n);
        return mean_depth_three(m * A, (m + 1) * A);
    }
    case 7:
        return mean_depth_four(n * A, (n + 1) * A, (n + 1) * A, n * A);
    case 8: {
        const double s = std::sqrt(A * A + double(b) * b);
        return mean_depth_four(A, s, s, A);
    }
    case 9:
    case 15:
        return mean_depth_four(std::fabs(c1 - p1), std::fabs(c1 - p2), std::fabs(c2 - p1),
                               std::fabs(c2 - p2));
    default:
        return 0.867f * a;
    }
}

void calc_pseudodepth(const ModelSettings& settings, int d, float* z) {
    if (settings.pseudodepth_type != 1) return;
    const int t = settings.array_type_copy;
    const int a = settings.datum_a[d];
    float c1 = 0.0f, c2 = 0.0f, p1 = 0.0f, p2 = 0.0f;
    if (t == 9) {
        // The gradient array's current electrodes stand at the ends of the line, its potential
        // pair a apart from the datum's first electrode (unit spacings from the first one).
        c2 = float(settings.nelec - 1);
        p1 = float(settings.datum_first_electrode[d] - 1);
        p2 = p1 + float(a);
    } else if (t == 15) {
        c1 = settings.c1_x[d], c2 = settings.c2_x[d], p1 = settings.p1_x[d], p2 = settings.p2_x[d];
    }
    *z = mean_depth_of_datum(t, a, settings.datum_n[d], settings.electrode_offset_ratio, c1, c2, p1,
                             p2);
}

void calc_plot_points(ModelSettings& s, const ProgLim& limits, float* x, float* z) {
    const int t = s.array_type_copy;
    DepthFactorTable table{};
    model::set_depth_factors_of_array(t, table);
    for (int d = 0; d < s.ndata; ++d) {
        const int a = s.datum_a[d];
        const float n = s.datum_n[d];
        const float offset = s.array_type == 8 ? 0.5f * a : midpoint_offset(t, a, n);
        x[d] = static_cast<float>(s.datum_first_electrode[d] - 1) + offset;
        if (s.pseudodepth_type != 1)
            z[d] = median_pseudodepth(t, a, n, s.electrode_offset_ratio, table);
        else if (t == 15)
            z[d] = 0.867f * a;
        else
            calc_pseudodepth(s, d, &z[d]);
    }
    const int levels = std::min(s.nplot_levels, limits.max_plot_levels);
    int k = 0;
    for (int level = 1; level <= levels; ++level)
        level_grid(s, limits, level, k);
}
