// The solver mesh of a block model: the model's node mesh with padding columns and rows.
#include "forward/mesh_reach.h"

#include "forward/apparent.h"

#include "model/model_settings.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>

namespace forward {

namespace {

// Padding spacings grow by half again each: the reach of a long line's widest array in a few
// rows. Measured on homogeneous lines of 96 to 601 electrodes: every datum of the standard
// sets within 2 % of the half-space value (pole-pole 3 %) with the bottom and the side edges
// two spans of the widest datum away; at one span the pole-pole data of a 96-electrode line
// read 3.4 % off, at half a span the Wenner data of 301 electrodes 5 %.
constexpr float growth = 1.5f;
constexpr float reach_per_span = 2.0f;

// Spacings added beyond `reached` (from the spacing `last` on) until `target` is reached.
std::vector<float> padding(float reached, float last, float target, int most) {
    std::vector<float> steps;
    while (reached < target && int(steps.size()) < most) {
        last *= growth;
        reached += last;
        steps.push_back(last);
    }
    return steps;
}

bool standard_array(int code) {
    return (code >= 1 && code <= 10) || code == 15;
}

// Rows whose top lies within one unit spacing of the surface and that are thicker than 1.2
// node spacings along the line are split into equal rows no thicker than that. Measured on a
// pole-pole line with its own default depths (rows of 0.45 spacings at 4 nodes a spacing):
// neighbouring electrodes read 4.3 % (finite differences) and 5.2 % (elements) high, with the
// rows split 0.6 %.
constexpr float split_near = 1.0f, thickest_near = 1.2f;

// Models whose electrodes stand on nodes of a given row: water rows, boreholes, a tank's
// floor and line electrodes keep the model's rows.
bool rows_may_split(const ModelSettings& s) {
    return s.water_present != 1 && s.nboreholes == 0 && s.tank_model != 1 &&
           s.electrode_type == 0 && s.nodes_per_spacing >= 1;
}

} // namespace

Reach reach_for_span(float span) {
    return {reach_per_span * span, reach_per_span * span};
}

float widest_datum_span(const ModelSettings& s) {
    const float line = float(std::max(s.nelec - 1, 1));
    if (s.ndata <= 0 || !standard_array(s.array_type)) return line;
    int widest = 1;
    for (int d = 0; d < s.ndata; ++d) {
        const DatumElectrodes e = datum_electrodes(s, s.array_type, d);
        int low = s.nelec, high = 1;
        for (int x : {e.c1, e.c2, e.p1, e.p2})
            if (x >= 1 && x <= s.nelec) {
                low = std::min(low, x);
                high = std::max(high, x);
            }
        widest = std::max(widest, high - low);
    }
    return float(widest);
}

bool potentials_reach(const ModelSettings& s, float solved) {
    const float span = widest_datum_span(s);
    return span <= solved || !SolverMesh(s, reach_for_span(span)).padded();
}

SolverMesh::SolverMesh(const ModelSettings& s, const Reach& reach, int max_padding)
    : model_nx_(s.nx_nodes), model_nz_(s.nz_nodes) {
    const int mx = s.nx_nodes, mz = s.nz_nodes;
    const int first = s.margin_columns - 1, last = first + (s.nelec - 1) * s.nodes_per_spacing;
    float left_width = 0.0f, right_width = 0.0f, depth = 0.0f;
    for (int i = 0; i < first; ++i)
        left_width += s.node_col_dx[i];
    for (int i = last; i < mx - 1; ++i)
        right_width += s.node_col_dx[i];
    for (int j = 0; j < mz - 1; ++j)
        depth += s.node_row_dz[j];
    const std::vector<float> pad_left =
        padding(left_width, s.node_col_dx[0], reach.side, max_padding);
    const std::vector<float> pad_right =
        padding(right_width, s.node_col_dx[mx - 2], reach.side, max_padding);
    const std::vector<float> pad_below =
        padding(depth, s.node_row_dz[mz - 2], reach.depth, max_padding);
    left = int(pad_left.size());
    right = int(pad_right.size());
    below = int(pad_below.size());

    // The model's rows, the thick ones near the electrodes split: solver row r (0-based) lies
    // in model row row_from_[r] from the fraction row_part_[r] of it on.
    const float thickest = thickest_near * s.node_col_dx[std::clamp(first, 0, mx - 2)];
    float top = 0.0f;
    for (int j = 0; j < mz - 1; ++j) {
        const float dz = s.node_row_dz[j];
        int parts = 1;
        if (max_padding > 0 && rows_may_split(s) && top < split_near && dz > thickest)
            parts = int(std::ceil(dz / thickest));
        for (int p = 0; p < parts; ++p) {
            row_dz.push_back(dz / float(parts));
            row_from_.push_back(j);
            row_part_.push_back(float(p) / float(parts));
        }
        split += parts - 1;
        top += dz;
    }
    nx = mx + left + right;
    nz = mz + split + below;

    col_dx.assign(pad_left.rbegin(), pad_left.rend());
    col_dx.insert(col_dx.end(), s.node_col_dx, s.node_col_dx + mx - 1);
    col_dx.insert(col_dx.end(), pad_right.begin(), pad_right.end());
    col_x.assign(std::size_t(nx), 0.0f);
    for (int i = 1; i < nx; ++i)
        col_x[i] = col_x[i - 1] + col_dx[i - 1];
    row_dz.insert(row_dz.end(), pad_below.begin(), pad_below.end());

    // Node positions: the model's nodes moved right by the left padding, nodes of split rows
    // on the straight line between the model's nodes above and below them, padding columns at
    // the depths of the model column beside them, padding rows flat below the bottom row.
    const float shift = col_x[std::size_t(left)];
    const int rows = mz + split; // the model's rows, split
    node_x.assign(std::size_t(nx) * nz, 0.0f);
    node_z.assign(node_x.size(), 0.0f);
    for (int c = 0; c < nx; ++c) {
        const int mc = std::clamp(c - left, 0, mx - 1);
        const bool model_column = mc == c - left;
        for (int r = 0; r < nz; ++r) {
            const std::size_t at = std::size_t(c) * nz + r;
            const int mr = r < rows - 1 ? row_from_[std::size_t(r)] : mz - 1;
            const float part = r < rows - 1 ? row_part_[std::size_t(r)] : 0.0f;
            const std::size_t from = std::size_t(mc) * mz + mr;
            const std::size_t next = part > 0.0f ? from + 1 : from;
            const float x = s.node_x[from] + part * (s.node_x[next] - s.node_x[from]);
            node_x[at] = model_column ? x + shift : col_x[c];
            node_z[at] = s.node_z[from] + part * (s.node_z[next] - s.node_z[from]);
            if (r >= rows) {
                float below_bottom = 0.0f;
                for (int k = rows; k <= r; ++k)
                    below_bottom += row_dz[std::size_t(k - 1)];
                node_z[at] += below_bottom;
            }
        }
    }
}

std::vector<float> SolverMesh::cells(const float* model_cells, int per_cell) const {
    std::vector<float> out(std::size_t(nx - 1) * (nz - 1) * per_cell);
    for (int j = 1; j < nz; ++j)
        for (int i = 1; i < nx; ++i) {
            const int mi = std::clamp(i - left, 1, model_nx_ - 1);
            const int mj =
                j <= int(row_from_.size()) ? row_from_[std::size_t(j - 1)] + 1 : model_nz_ - 1;
            const float* from =
                model_cells + std::size_t(index2d(mi, mj, model_nx_ - 1)) * per_cell;
            std::copy(from, from + per_cell,
                      out.begin() + std::size_t(index2d(i, j, nx - 1)) * per_cell);
        }
    return out;
}

} // namespace forward
