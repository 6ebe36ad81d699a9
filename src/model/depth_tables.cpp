// Depth of investigation of surface electrode arrays and the depth-factor tables by n.
#include "model/depth_tables.h"

#include <cmath>
#include <utility>

namespace {

// Potential of the depth slice below z, summed over the electrode pairs in use with the signs of
// the geometric factor: 1/r falls to 1/sqrt(r^2 + 4z^2) for a layer boundary at depth z.
double depth_function(double z, const double r[4], int count) {
    const double z4 = 4.0 * z * z;
    double g = 1.0 / std::sqrt(r[0] * r[0] + z4) - 1.0 / std::sqrt(r[1] * r[1] + z4);
    if (count == 4) g += -1.0 / std::sqrt(r[2] * r[2] + z4) + 1.0 / std::sqrt(r[3] * r[3] + z4);
    return g;
}

// Tabulated levels 1 .. 16; levels 17 on grow by the last step less 0.02.
void fill_depth_factors(DepthFactorTable& table, const float (&first)[16], float quarter,
                        float half) {
    for (int k = 0; k < 16; ++k)
        table[k] = first[k];
    const float step = (table[15] - table[14]) - 0.02f;
    for (int k = 16; k < depth_factor_max_n; ++k)
        table[k] = table[k - 1] + step;
    table[depth_factor_max_n] = quarter;
    table[depth_factor_max_n + 1] = half;
}

} // namespace

float median_depth_of_investigation(float r1, float r2, float r3, float r4, int count) {
    if (count == 2) return 0.84133f * r1;
    const double r[4] = {r1, r2, r3, r4};
    double rmax = std::fmax(r[0], r[1]);
    double s;
    if (count == 4) {
        rmax = std::fmax(rmax, std::fmax(r[2], r[3]));
        s = 0.5 * (1.0 / r[0] - 1.0 / r[1] - 1.0 / r[2] + 1.0 / r[3]);
    } else {
        s = 0.5 * (1.0 / r[0] - 1.0 / r[1]);
    }
    // s - g(z) rises from about -s at the surface to s at depth; the median is its zero.
    double lo = 0.001 * rmax;
    double hi = 0.999 * rmax;
    if (s - depth_function(lo, r, count) > s - depth_function(hi, r, count)) std::swap(lo, hi);
    double previous = lo;
    double z = lo;
    for (int step = 0; step < 30; ++step) {
        z = (lo + hi) * 0.5;
        if (s - depth_function(z, r, count) < 0.0)
            lo = z;
        else
            hi = z;
        if (std::fabs(z - previous) < 0.00001) break;
        previous = z;
    }
    return static_cast<float>(z);
}

void set_depth_factors_pole_dipole(DepthFactorTable& table) {
    static const float levels[16] = {0.51902f, 0.92492f, 1.31764f, 1.70609f, 2.09259f, 2.47805f,
                                     2.86287f, 3.24726f, 3.63135f, 4.01521f, 4.3989f,  4.78243f,
                                     5.16584f, 5.54913f, 5.93232f, 6.31541f};
    fill_depth_factors(table, levels, 0.17f, 0.298f);
}

void set_depth_factors_pole_dipole_2(DepthFactorTable& table) {
    set_depth_factors_pole_dipole(table);
}

void set_depth_factors_dipole_dipole(DepthFactorTable& table) {
    static const float levels[16] = {0.416f, 0.697f, 0.962f, 1.22f, 1.476f, 1.73f, 1.983f, 2.236f,
                                     2.489f, 2.72f,  2.94f,  3.1f,  3.3f,   3.5f,  3.7f,   3.9f};
    fill_depth_factors(table, levels, 0.153f, 0.254f);
}

namespace model {

void set_depth_factors_of_array(int array_type, DepthFactorTable& table) {
    if (array_type == 6 || array_type == 10)
        set_depth_factors_pole_dipole(table);
    else if (array_type == 7)
        set_depth_factors_pole_dipole_2(table);
    else
        set_depth_factors_dipole_dipole(table);
}

} // namespace model

float interp_depth_factor(const DepthFactorTable& table, float n) {
    constexpr int last = depth_factor_max_n;
    if (n >= 1.0f) {
        // The segment after the nearest level needs the next level; from the last level on the
        // curve goes on with the table's last step.
        if (n >= static_cast<float>(last) - 0.5f)
            return table[last - 1] +
                   (n - static_cast<float>(last)) * (table[last - 1] - table[last - 2]);
        const float whole = std::floor(n);
        int k = static_cast<int>(whole);
        if (n - whole >= 0.5f) ++k;
        if (k < 1) k = 1;
        return table[k - 1] + (n - static_cast<float>(k)) * (table[k] - table[k - 1]);
    }
    if (n >= 0.5f) return table[last + 1] + (table[0] - table[last + 1]) * (n - 0.5f) * 2.0f;
    return table[last] + (table[last + 1] - table[last]) * (n - 0.25f) * 4.0f;
}

float ratio_table_function(float a, float b) {
    struct Segment {
        float right; // the segment covers ratios up to and including this knot
        float left;
        float value; // g at the left knot
        float slope;
    };
    static const Segment segments[] = {
        {0.5f, 0.25f, 0.162f, 0.108f * 4.0f}, {1.0f, 0.5f, 0.27f, 0.181f * 2.0f},
        {2.0f, 1.0f, 0.451f, 0.358f},         {3.0f, 2.0f, 0.809f, 0.371f},
        {4.0f, 3.0f, 1.18f, 0.376f},          {5.0f, 4.0f, 1.556f, 0.379f},
        {6.0f, 5.0f, 1.935f, 0.38f},
    };
    const float r = a / b;
    for (const Segment& s : segments)
        if (r <= s.right) return b * ((r - s.left) * s.slope + s.value);
    return b * ((r - 6.0f) * (1.525f * 0.25f) + 2.315f);
}
