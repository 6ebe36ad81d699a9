// Node columns with growing margins and tank walls, node positions under the topography, and
// the small table interpolation kept beside them.
#include "model/mesh_nodes.h"

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace model {

void flat_column_layout(int m, float* spacing, int k, int n, float* positions) {
    if (n < 2 || k < 1) return;
    for (int i = 0; i <= n - 2; ++i)
        spacing[i] = 1.0f / float(k);
    for (int i = std::min(m - 4, n - 2); i >= 1; --i)
        spacing[i - 1] = spacing[i] * 1.25f;
    for (int i = 1; i <= m - 1 && n - 1 - i >= 0; ++i)
        spacing[n - 1 - i] = spacing[i - 1];
    positions[0] = 0.0f;
    for (int i = 1; i <= n - 1; ++i)
        positions[i] = positions[i - 1] + spacing[i - 1];
}

namespace {
// Index of the position nearest to `value`; the first of equal distances wins.
int nearest_position(const float* positions, int n, float value) {
    int best = 0;
    float best_distance = std::fabs(positions[0] - value);
    for (int i = 1; i < n; ++i) {
        const float distance = std::fabs(positions[i] - value);
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}
} // namespace

void snap_tank_walls(ModelSettings& settings, int m, float* spacing, int n, float* positions) {
    if (settings.tank_model != 1 || n < 2 || m < 1 || m > n) return;
    const float first_electrode = positions[m - 1];
    const float left = first_electrode + settings.tank_x_left;
    const float right = first_electrode + settings.tank_x_right;
    const int left_column = nearest_position(positions, n, left);
    positions[left_column] = left;
    settings.tank_left_column = left_column;
    const int right_column = nearest_position(positions, n, right);
    positions[right_column] = right;
    settings.tank_right_column = right_column + 1;
    for (int i = 0; i <= n - 2; ++i)
        spacing[i] = positions[i + 1] - positions[i];
}

void electrode_surface(const ModelSettings& s, std::vector<float>& x, std::vector<float>& z) {
    const int nelec = std::max(s.nelec, 0);
    x.assign(std::size_t(nelec), 0.0f);
    z.assign(std::size_t(nelec), 0.0f);
    if (s.tflag == 0) {
        std::copy(s.elec_x, s.elec_x + nelec, x.begin());
        std::copy(s.elec_z, s.elec_z + nelec, z.begin());
        return;
    }
    // The elevation points need not stand at the electrodes, nor be as many.
    std::vector<std::pair<float, float>> points;
    for (int i = 0; i < s.ntopo; ++i)
        points.emplace_back(s.elec_x[i], s.elec_z[i]);
    std::stable_sort(points.begin(), points.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const float origin = s.unit_spacing > 0.0f ? s.first_electrode_x / s.unit_spacing : 0.0f;
    for (int i = 0; i < nelec; ++i) {
        const float xi = origin + float(i);
        x[std::size_t(i)] = xi;
        if (points.empty()) continue;
        float zi = points.back().second;
        if (xi <= points.front().first) {
            zi = points.front().second;
        } else {
            for (std::size_t p = 1; p < points.size(); ++p) {
                if (xi > points[p].first) continue;
                const auto& [x0, z0] = points[p - 1];
                const auto& [x1, z1] = points[p];
                zi = x1 > x0 ? z0 + (z1 - z0) * (xi - x0) / (x1 - x0) : z1;
                break;
            }
        }
        z[std::size_t(i)] = zi;
    }
}

void place_mesh_nodes(ModelSettings& s) {
    std::vector<float> x, z;
    electrode_surface(s, x, z);
    Set_Topo_Grid_Nodes(&s.topo_bottom_shift, s.nelec, s.nx_nodes, s.nz_nodes, s.margin_columns,
                        s.nodes_per_spacing, s.tflag, s.node_col_x, s.depth_lines, s.node_col_dx,
                        s.node_row_dz, s.node_x, s.node_z, x.data(), z.data());
}

void default_row_spacings(float factor, int rows, float* dz) {
    float thickness = 0.25f;
    for (int i = 1; i <= rows; ++i) {
        if (i == 5)
            thickness = 0.35f;
        else if (i >= 6 && i <= 10)
            thickness = thickness * 1.1f;
        else if (i >= 11)
            thickness = thickness * 1.5f;
        dz[i - 1] = thickness * factor;
    }
}

} // namespace model

void set_fe_node_spacing(ModelSettings& settings, int m, float* spacing, int k, int n,
                         float* positions) {
    model::flat_column_layout(m, spacing, k, n, positions);
    model::snap_tank_walls(settings, m, spacing, n, positions);
}

namespace {

// Rows 0 .. nz - 2 of column c at the flat depths less the surface height h; the bottom row
// flat at `bottom`.
void displace_column(float* node_z, int c, int nz, const float* flat, float h, float bottom) {
    float* column = node_z + std::size_t(c) * std::size_t(nz);
    for (int r = 0; r <= nz - 2; ++r)
        column[r] = flat[r] - h;
    column[nz - 1] = bottom;
}

// One trace line per node column: its 1-based number and the nz values of that column.
void trace_node_list(const char* heading, const float* values, int nx, int nz) {
    model::trace("%s", heading);
    for (int col = 0; col < nx; ++col) {
        char item[32];
        std::snprintf(item, sizeof item, "%4d", col + 1);
        std::string line = item;
        for (int r = 0; r < nz; ++r) {
            std::snprintf(item, sizeof item, " %8.3f", values[std::size_t(col) * nz + r]);
            line += item;
        }
        model::trace("%s\n", line.c_str());
    }
}

} // namespace

void Set_Topo_Grid_Nodes(float* topo_bottom_shift, int nelec, int nx, int nz, int m, int k,
                         int tflag, float* node_col_x, const float* depth_lines, float* node_col_dx,
                         const float* node_row_dz, float* node_x, float* node_z,
                         const float* elec_x, const float* elec_z) {
    (void)depth_lines;
    model::trace("Set_Topo_Grid_Nodes tflag %d\n", tflag);
    if (nelec < 2 || m < 1 || k < 1 || nz < 2 || nx < 1) return;
    const std::vector<float> e(elec_z, elec_z + nelec);

    // Flat row depths of column 0.
    std::vector<float> flat(std::size_t(nz), 0.0f);
    for (int r = 1; r < nz; ++r)
        flat[r] = flat[r - 1] + node_row_dz[r - 1];

    // The bottom row lies below every displaced row.
    float shift = 0.0f;
    for (float h : e)
        shift = std::max(shift, -h);
    const float bottom = flat[std::size_t(nz - 1)] + shift;

    int c = 0;
    auto place = [&](float h) {
        if (c < nx) displace_column(node_z, c, nz, flat.data(), h, bottom);
        ++c;
    };
    for (int i = 0; i < m - 1; ++i)
        place(e[0]);
    for (int j = 0; j <= nelec - 2; ++j) {
        place(e[j]);
        for (int i = 1; i <= k - 1; ++i)
            place(e[j] + float(i) * (e[j + 1] - e[j]) / float(k));
    }
    place(e[std::size_t(nelec - 1)]);
    for (int i = 0; i < m - 1; ++i)
        place(e[std::size_t(nelec - 1)]);
    // Columns a caller's nx has beyond the layout keep the flat depths.
    for (; c < nx; ++c)
        displace_column(node_z, c, nz, flat.data(), 0.0f, bottom);

    *topo_bottom_shift = shift;
    model::trace("Calculating delx\n");

    // Spacings of the electrode intervals, each in the k columns between its two electrodes.
    for (int i = 1; i <= nelec - 1; ++i) {
        const int first = m - 1 + (i - 1) * k;
        float d = std::fabs(elec_x[i] - elec_x[i - 1]) / float(k);
        if (tflag == 2) {
            // Along a sloping surface the nodes keep the spacing h measured on the slope. h is
            // this interval's own surface spacing: taking the previous interval's horizontal
            // spacing instead would narrow every interval after a slope in turn, until the
            // electrodes of a long hillside crowd together.
            const float h = d;
            float v = std::fabs(elec_z[i] - elec_z[i - 1]) / float(k);
            v = std::min(v, 0.9f * h);
            d = std::sqrt(h * h - v * v);
        }
        for (int j = first; j < first + k && j <= nx - 2; ++j)
            if (j >= 0) node_col_dx[j] = d;
        model::trace("%3d %8.4f\n", i, d);
    }

    node_col_x[0] = 0.0f;
    for (int col = 1; col < nx; ++col)
        node_col_x[col] = node_col_x[col - 1] + node_col_dx[col - 1];
    for (int col = 0; col < nx; ++col)
        for (int r = 0; r < nz; ++r)
            node_x[std::size_t(col) * std::size_t(nz) + r] = node_col_x[col];

    if (model::globals_alive() && Printtrace.active == 1) {
        trace_node_list("xnode list\n", node_x, nx, nz);
        trace_node_list("znode list\n", node_z, nx, nz);
    }
}

float interp_table_row(int n, const float* xs, int row, float x, const float* table) {
    if (n < 0) return 0.0f;
    int j = n;
    for (int i = 0; i <= n; ++i) {
        if (x <= xs[i]) {
            j = i;
            break;
        }
    }
    const float* samples = table + std::size_t(row) * std::size_t(n + 1);
    const float t = samples[j];
    if (j >= n - 1) return t;
    return t + (samples[j + 1] - t) * (x - xs[j]) / (xs[j + 1] - xs[j]);
}
