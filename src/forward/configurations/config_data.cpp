// Apparent values of user-defined configurations from the potential tables: the electrode
// lookups, the potential and geometric sums, and the datum list.
#include "forward/apparent.h"
#include "forward/configurations/configurations.h"
#include "forward/mesh_reach.h"

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// 4 pi with the single-precision pi of the apparent-value routines.
constexpr double four_pi = 4.0 * 3.141593;

// Last k in 0..count-1 whose depth lies within 0.01 of z.
int last_depth_match(float z, const float* bz, int count) {
    int found = 0;
    for (int k = 0; k < count; ++k)
        if (std::fabs(bz[k] - z) < 0.01f) found = k + 1;
    return found;
}

} // namespace

int find_model_electrode(float x, float z, const ModelSettings& m, int s, int a, int b,
                         const float* bx1, const float* bz1, const float* bx2, const float* bz2) {
    if (m.borehole_type == 1) {
        int found = 0;
        for (int k = 0; k < a + b; ++k) {
            const ElectrodeNode& e = m.electrode_table[s + k];
            if (std::fabs(e.x - x) < 0.001f && std::fabs(e.z - z) < 0.001f) found = s + k + 1;
        }
        return found;
    }
    if (a > 0 && x == bx1[0]) {
        const int k = last_depth_match(z, bz1, a);
        return k ? s + k : 0;
    }
    if (b > 0 && x == bx2[0]) {
        const int k = last_depth_match(z, bz2, b);
        return k ? s + a + k : 0;
    }
    return 0;
}

int find_borehole_electrode(float x, float z, const ModelSettings& m, int start) {
    int found = 0;
    for (int k = 0; k < m.nborehole_nodes; ++k) {
        bool match;
        if (m.borehole_type == 1) {
            const ElectrodeNode& e = m.electrode_table[m.nelec + k];
            match = std::fabs(e.x - x) < 0.001f && std::fabs(e.z - z) < 0.001f;
        } else {
            const float dx = x - m.borehole_x[k], dz = z - m.borehole_z[k];
            match = dx * dx + dz * dz < 0.001f;
        }
        if (match) found = start + k + 1;
    }
    return found;
}

float image_point_source_term(float x1, float z1, float x2, float z2) {
    const float dx = x1 - x2;
    return 1.0f / std::sqrt(dx * dx + (z1 - z2) * (z1 - z2)) +
           1.0f / std::sqrt(dx * dx + (z1 + z2) * (z1 + z2));
}

namespace forward {

namespace {

using Pair = std::pair<int, int>;
// The four current-potential pairs with their signs.
constexpr struct {
    int c, p;
    double sign;
} pairs[4] = {{c1, p1, 1.0}, {c1, p2, -1.0}, {c2, p1, -1.0}, {c2, p2, 1.0}};

// Model electrode of configuration electrode e, 0 when none.
int electrode_number(const ModelSettings& m, const ArrayConfiguration& c, int e,
                     bool all_boreholes) {
    const float x = c.x[e], z = c.z[e];
    if (z == 0.0f) {
        // Numbers past the surface electrodes belong to borehole electrodes.
        const int n = round_to_int(x) + 1;
        return n >= 1 && n <= m.nelec ? n : 0;
    }
    if (all_boreholes) return find_borehole_electrode(x, z, m, m.nelec);
    const int a = m.nboreholes >= 1 ? m.issbor[0] : 0;
    const int b = m.nboreholes >= 2 ? m.issbor[1] : 0;
    return find_model_electrode(x, z, m, m.nelec, a, b, m.borehole_x, m.borehole_z,
                                m.borehole_x + a, m.borehole_z + a);
}

// Which electrodes the datum writes: C1 and P1 must match; P2 when it matches; C2 when it and
// P2 match (a datum of C1, C2 and P1 has no line of its own).
int written_count(const ArrayConfiguration& c, const int* n) {
    if (!n[c1] || !n[p1]) return 0;
    if (c.named(p2) && n[p2]) return c.count == 4 && n[c2] ? 4 : 3;
    return 2;
}

bool written(int count, int e) {
    return e == c1 || e == p1 || (e == p2 && count >= 3) || count == 4;
}

// The inverse geometric sum of the written pairs: 2/r on the surface, the direct and image
// terms below it with the water depth added (unit spacings).
double geometric_sum(const ModelSettings& m, const ArrayConfiguration& c, int count) {
    bool surface = m.zwatermax == 0.0f || (m.water_present == 1 && m.geometric_factor_type == 0);
    for (int e = 0; e < 4; ++e)
        if (written(count, e) && c.z[e] != 0.0f) surface = false;
    const float water = std::fabs(m.zwatermax);
    double g = 0.0;
    for (const auto& q : pairs) {
        if (!written(count, q.c) || !written(count, q.p)) continue;
        const float dx = c.x[q.c] - c.x[q.p];
        if (surface) {
            g += q.sign * 2.0 /
                 std::sqrt(double(dx) * dx + double(c.z[q.c] - c.z[q.p]) * (c.z[q.c] - c.z[q.p]));
        } else {
            g += q.sign * double(image_point_source_term(c.x[q.c], c.z[q.c] + water, c.x[q.p],
                                                         c.z[q.p] + water));
        }
    }
    return g;
}

ConfigDatum form_datum(const ModelSettings& m, const ProgLim& limits, const ArrayConfiguration& c,
                       bool all_boreholes) {
    ConfigDatum d;
    for (int e = 0; e < 4; ++e)
        d.number[e] = c.named(e) ? electrode_number(m, c, e, all_boreholes) : 0;
    const int count = written_count(c, d.number);
    if (!count) return d;
    for (int e = 0; e < 4; ++e)
        if (!written(count, e)) d.number[e] = 0;
    const int big_n = limits.max_electrodes;
    for (const auto& q : pairs) {
        const int i = d.number[q.c], j = d.number[q.p];
        if (!i || !j) continue;
        if (i == j) return ConfigDatum{}; // one electrode as current and potential
        d.v += q.sign * m.potential_table_a[index2d(i, j, big_n)];
        // The IP run's table is read the other way round, as for the standard arrays.
        d.v_ip += q.sign * m.potential_table_a_ip[index2d(j, i, big_n)];
    }
    if (m.electrode_type == 1) {
        d.k = float(line_electrode_geometric_factor(c.x[c1], c.x[c2], c.x[p1], c.x[p2]));
    } else {
        const double g = geometric_sum(m, c, count);
        d.k = g != 0.0 ? float(four_pi / g) : 0.0f;
    }
    d.rho = float(d.v * d.k);
    if (m.nip > 0 && d.v_ip != 0.0 && d.v != 0.0)
        d.ip = float(m.complex_ip_model == 0 ? 1000.0 * (d.v_ip - d.v) / d.v_ip
                                             : 1000.0 * d.v_ip / d.v);
    const bool ip_ok = m.nip <= 0 || d.v_ip != 0.0;
    if (d.v == 0.0 || d.k == 0.0f || !ip_ok || !std::isfinite(d.rho) || !std::isfinite(d.ip))
        return ConfigDatum{};
    d.count = count;
    return d;
}

} // namespace

ConfigData form_configuration_data(const ModelSettings& m, const ProgLim& limits,
                                   const ConfigurationFile& file, bool all_boreholes) {
    ConfigData out;
    out.data.reserve(file.arrays.size());
    for (std::size_t k = 0; k < file.arrays.size(); ++k) {
        out.data.push_back(form_datum(m, limits, file.arrays[k], all_boreholes));
        const ConfigDatum& d = out.data.back();
        if (d.count) ++out.formed;
        if (!all_boreholes)
            model::trace("Array %5d %10.6f %10.6f %10.6f %10.6f   %10.6f %9.4f,%9.4f %10.4f\n",
                         int(k) + 1, file.arrays[k].x[c1], file.arrays[k].x[c2],
                         file.arrays[k].x[p1], file.arrays[k].x[p2], d.v, d.rho, d.ip, d.k);
    }
    return out;
}

bool configurations_in_reach(const ModelSettings& m, const ConfigurationFile& file,
                             const ConfigData& data) {
    // A cylinder model's potentials come from its whole polar mesh, which has no padding.
    if (m.cylinder_model) return true;
    float widest = 0.0f;
    for (std::size_t k = 0; k < data.data.size(); ++k) {
        const ConfigDatum& d = data.data[k];
        float low = 0.0f, high = 0.0f;
        bool any = false;
        for (int e = 0; e < 4; ++e) {
            if (!d.count || !d.number[e]) continue;
            const float x = file.arrays[k].x[e];
            low = any ? std::min(low, x) : x;
            high = any ? std::max(high, x) : x;
            any = true;
        }
        widest = std::max(widest, high - low);
    }
    if (widest <= m.potentials_span) return true;
    // Padding comes in whole columns and rows: a configuration a little wider than the data may
    // need no more of them than the potentials' mesh has.
    const SolverMesh needed(m, reach_for_span(widest)),
        solved(m, reach_for_span(m.potentials_span));
    if (needed.left <= solved.left && needed.right <= solved.right && needed.below <= solved.below)
        return true;
    char text[512];
    std::snprintf(text, sizeof text,
                  "The widest configuration spans %.1f unit spacings, but the\npotentials were "
                  "calculated for data up to %.1f unit spacings\nwide: their mesh does not reach "
                  "far enough for it.\nChoose wider data with 'Change array type' and "
                  "calculate\nthe potentials again.",
                  double(widest), double(m.potentials_span));
    model::show_message(text, "Message");
    return false;
}

void store_configuration_data(ModelSettings& m, const ConfigurationFile& file,
                              const ConfigData& data) {
    const float a = file.spacing;
    float* x[4] = {m.c1_x, m.c2_x, m.p1_x, m.p2_x};
    float* z[4] = {m.c1_z, m.c2_z, m.p1_z, m.p2_z};
    std::int32_t* number[4] = {m.datum_c1, m.datum_c2, m.datum_p1, m.datum_p2};
    float smallest = 100000.0f, largest = 0.0f;
    int d = 0;
    for (std::size_t k = 0; k < data.data.size(); ++k) {
        const ConfigDatum& datum = data.data[k];
        if (!datum.count) continue;
        const ArrayConfiguration& c = file.arrays[k];
        for (int e = 0; e < 4; ++e) {
            const bool in = datum.number[e] != 0;
            number[e][d] = datum.number[e];
            x[e][d] = in ? c.x[e] * a : 0.0f;
            z[e][d] = in ? c.z[e] * a : 0.0f;
        }
        m.datum_nelec[d] = datum.count;
        m.datum_gfactor[d] = datum.k;
        m.app_resistivity[d] = datum.rho;
        m.app_ip[d] = datum.ip;
        smallest = std::min(smallest, float(std::fabs(datum.v)));
        largest = std::max(largest, float(std::fabs(datum.v)));
        ++d;
    }
    m.ndata = d;
    m.min_potential = smallest;
    m.max_potential = largest;
}

} // namespace forward
