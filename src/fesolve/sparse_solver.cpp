// The sparse finite-element solver of block models: compressed-subscript storage under the
// nested-dissection ordering of the node grid, for meshes with topography, boreholes and
// remote electrodes.
#include "fesolve/fesolve.h"

#include "fdsolve/spline.h"
#include "fdsolve/transform.h"
#include "fesolve/boundary.h"
#include "fesolve/electrode_map.h"
#include "fesolve/element.h"
#include "matrix/chunkfile.h"
#include "matrix/gridorder.h"
#include "matrix/sparse.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>

namespace {

using mx::PageArray;

// Everything one run needs, allocated up front.
struct SparseWork {
    PageArray<double> k, pairs, remote, rhs[4];
    PageArray<int> old_of_new, new_of_old, xlnz, xnzsub, nzsub, last, link, first;
    PageArray<double> diag, lnz, temp;
    PageArray<unsigned char> carries; ///< 1 for a node that carries an electrode
};

// The mesh as the solver sees it: node coordinates of the record, column x of the caller.
struct Mesh {
    int nx, nz;
    float* x;
    float* z;
    const float* column_x;
    int node(int c, int r) const { return (c - 1) * nz + r; }
    float node_x(int c, int r) const { return x[index2d(r, c, nz)]; }
    float node_z(int c, int r) const { return z[index2d(r, c, nz)]; }
};

void single_node(ElectrodeNode& e, int node) {
    e.count = 1;
    for (int q = 0; q < 4; ++q) {
        e.node[q] = node;
        e.weight[q] = q == 0 ? 1.0f : 0.0f;
    }
}

// Spreads borehole electrode `index` over the nodes of its cell: the nearest column, then the
// nearest row in it; a neighbouring column and row on the electrode's side join when the
// electrode is more than 0.001 off the node in x and in z (linear weights for one, Gaussian
// weights for both).
void spread_electrode(ElectrodeNode* table, int index, const Mesh& m, float reference) {
    ElectrodeNode& e = table[index];
    const float x = e.x + reference, z = e.z;
    int c = 1;
    for (int i = 2; i <= m.nx; ++i)
        if (std::fabs(m.column_x[i - 1] - x) < std::fabs(m.column_x[c - 1] - x)) c = i;
    int r = 1;
    for (int j = 2; j <= m.nz; ++j)
        if (std::fabs(m.node_z(c, j) - z) < std::fabs(m.node_z(c, r) - z)) r = j;
    const float dx = m.column_x[c - 1] - x, dz = m.node_z(c, r) - z;
    const int c2 = dx >= 0.0f ? c - 1 : c + 1, r2 = dz >= 0.0f ? r - 1 : r + 1;
    const bool off_x = std::fabs(dx) > 0.001f && c2 >= 1 && c2 <= m.nx;
    const bool off_z = std::fabs(dz) > 0.001f && r2 >= 1 && r2 <= m.nz;
    single_node(e, m.node(c, r));
    if (off_x && off_z) {
        e.count = 4;
        const int corner[4][2] = {{c, r}, {c2, r}, {c2, r2}, {c, r2}};
        float cx[4], cz[4];
        for (int q = 0; q < 4; ++q) {
            e.node[q] = m.node(corner[q][0], corner[q][1]);
            cx[q] = m.node_x(corner[q][0], corner[q][1]) - reference;
            cz[q] = m.node_z(corner[q][0], corner[q][1]);
        }
        gaussian_interpolation_nodes(table, index, cx[0], cz[0], cx[1], cz[1], cx[2], cz[2], cx[3],
                                     cz[3]);
    } else if (off_x || off_z) {
        const double d1 = off_x ? std::fabs(dx) : std::fabs(dz);
        const double d2 =
            off_x ? std::fabs(m.column_x[c2 - 1] - x) : std::fabs(m.node_z(c, r2) - z);
        e.count = 2;
        e.node[1] = off_x ? m.node(c2, r) : m.node(c, r2);
        e.weight[0] = float(d2 / (d1 + d2));
        e.weight[1] = float(d1 / (d1 + d2));
    }
}

// Places borehole electrode `index`: the nearest node is moved onto it (snap), unless the
// electrode lies within 0.01 of it, or the node already carries an electrode (then, as without
// snapping, the electrode is spread over its cell).
void place_borehole_electrode(ElectrodeNode* table, int index, Mesh& m, float reference, bool snap,
                              unsigned char* carries) {
    ElectrodeNode& e = table[index];
    const float x = e.x + reference, z = e.z;
    model::trace("checking node location %d\n", index + 1);
    if (snap) {
        int best = 1;
        double best_d2 = -1.0;
        for (int v = 1; v <= m.nx * m.nz; ++v) {
            const double ddx = double(m.x[v - 1]) - x, ddz = double(m.z[v - 1]) - z;
            const double d2 = ddx * ddx + ddz * ddz;
            if (best_d2 < 0.0 || d2 < best_d2) {
                best = v;
                best_d2 = d2;
            }
        }
        if (best_d2 <= 0.0001 || !carries[best - 1]) {
            if (best_d2 > 0.0001) {
                model::trace("modifying node %d\n", best);
                m.x[best - 1] = x;
                m.z[best - 1] = z;
            }
            single_node(e, best);
        } else {
            model::trace("node %d carries an electrode: electrode %d spread over its cell\n", best,
                         index + 1);
            spread_electrode(table, index, m, reference);
        }
    } else {
        spread_electrode(table, index, m, reference);
    }
    for (int q = 0; q < e.count; ++q)
        carries[e.node[q] - 1] = 1;
    model::trace("%3d %4d   %1d  %4d,%5.2f  %4d,%5.2f  %4d,%5.2f  %4d,%5.2f\n", index + 1,
                 e.node[0], e.count, e.node[0], double(e.weight[0]), e.node[1], double(e.weight[1]),
                 e.node[2], double(e.weight[2]), e.node[3], double(e.weight[3]));
}

// Weighted value of a solution (in the new numbering) at electrode e.
double electrode_value(const ElectrodeNode& e, const double* solution, const int* new_of_old) {
    double v = 0.0;
    for (int q = 0; q < e.count; ++q)
        v += double(e.weight[q]) * solution[new_of_old[e.node[q] - 1] - 1];
    return v;
}

// Current of electrode e into a cleared right-hand side; returns its first row.
int inject(const ElectrodeNode& e, double* rhs, const int* new_of_old, int n) {
    int first = n;
    for (int q = 0; q < e.count; ++q) {
        const int row = new_of_old[e.node[q] - 1];
        rhs[row - 1] += double(e.weight[q]);
        first = std::min(first, row);
    }
    return first;
}

// Adds the element matrices of every cell and the boundary terms of wavenumber k; a matrix
// failure after the message.
model::SolverResult assemble(const Mesh& m, const float* cells, double k, double x0, double z0,
                             SparseWork& w) {
    const int* xlnz = w.xlnz.get();
    const int* xnzsub = w.xnzsub.get();
    const int* nzsub = w.nzsub.get();
    const int* invp = w.new_of_old.get();
    double* lnz = w.lnz.get();
    double* diag = w.diag.get();
    const double k2 = k * k;
    for (int c = 1; c < m.nx; ++c)
        for (int r = 1; r < m.nz; ++r) {
            const int n[4] = {m.node(c, r), m.node(c + 1, r), m.node(c, r + 1),
                              m.node(c + 1, r + 1)};
            double t[10];
            quad_element_matrix_dbl(cells[2 * index2d(c, r, m.nx - 1)], k2, m.x[n[0] - 1],
                                    m.x[n[1] - 1], m.x[n[2] - 1], m.x[n[3] - 1], m.z[n[0] - 1],
                                    m.z[n[1] - 1], m.z[n[2] - 1], m.z[n[3] - 1], t);
            int code[10], failed = 0;
            for (int a = 1; a <= 4; ++a)
                for (int b = a; b <= 4; ++b) {
                    const int p = quad_term_index(a, b);
                    code[p] = add_sparse_entry_dbl(t[p], lnz, n[a - 1], n[b - 1], diag, xlnz, nzsub,
                                                   xnzsub, invp);
                    failed |= code[p];
                }
            if (failed)
                return fe::report_error(
                    model::SolverStatus::matrix,
                    "Error 1 in matrix allocation %d/%d  %d/%d\n%d %d %d %d %d %d %d %d %d %d", c,
                    m.nx - 1, r, m.nz - 1, code[0], code[1], code[2], code[3], code[4], code[5],
                    code[6], code[7], code[8], code[9]);
        }
    const int segments = 2 * (m.nz - 1) + (m.nx - 1);
    int segment = 0;
    const int failed = fe::add_mixed_boundary(
        fe::BoundaryRatio::bessel_dbl, m.nx, m.nz, k, x0, z0,
        [&m](int v) { return double(m.x[v - 1]); }, [&m](int v) { return double(m.z[v - 1]); },
        cells,
        [&](int a, int b, double f) {
            ++segment;
            const int ca = add_sparse_entry_dbl(2 * f, lnz, a, a, diag, xlnz, nzsub, xnzsub, invp);
            const int cb = add_sparse_entry_dbl(2 * f, lnz, b, b, diag, xlnz, nzsub, xnzsub, invp);
            const int cab = add_sparse_entry_dbl(f, lnz, a, b, diag, xlnz, nzsub, xnzsub, invp);
            if (ca == 0 && cb == 0 && cab == 0) return 0;
            fe::report_error(model::SolverStatus::matrix,
                             "Error in third matrix allocation %d/%d\n%d %d %d\n%d %d", segment,
                             segments, ca, cb, cab, a, b);
            return 1;
        });
    return failed ? model::SolverResult::failure(model::SolverStatus::matrix)
                  : model::SolverResult{};
}

} // namespace

model::SolverResult calresfem_l_dbl(const fe::Inputs& in) {
    using model::SolverStatus;
    ModelSettings& settings = *in.settings;
    const int nx = in.nx, nz = in.nz, nelec = in.nelec, nky = in.nky;
    const int margin_columns = in.margin_columns, nodes_per_spacing = in.nodes_per_spacing;
    const std::int32_t* electrode_water = in.electrode_water;
    const float* cells = in.cells;
    const float* node_col_x = in.node_col_x;
    const int N = in.nelec_total;
    if (model::SolverResult r = fe::check_mesh_and_electrodes(in, nky, 2); !r.ok()) return r;
    if (!(in.ky_min > 0.0f && in.ky_max > in.ky_min))
        return fe::report_error(SolverStatus::bad_input,
                                "The wavenumbers must be positive and increasing (%g to %g).",
                                double(in.ky_min), double(in.ky_max));
    if (N - nelec != settings.nborehole_nodes && settings.nborehole_nodes > 0)
        return fe::report_error(SolverStatus::bad_input,
                                "The model has %d electrodes, but %d surface\nand %d borehole "
                                "electrodes.",
                                N, nelec, settings.nborehole_nodes);
    Mesh mesh{nx, nz, in.node_x, in.node_z, node_col_x};
    model::trace("calresfem_l_dbl xnode %8.3f %8.3f %8.3f znode %8.3f %8.3f %8.3f\n",
                 double(mesh.x[0]), double(mesh.x[nz]), double(mesh.x[nx * nz - 1]),
                 double(mesh.z[0]), double(mesh.z[nz]), double(mesh.z[nx * nz - 1]));
    model::trace("checking memory\n");

    // Set-up: wavenumbers, tables, the ordering and its structure.
    const int n = nx * nz;
    const long long npairs = fe::pair_count(N);
    const bool remote = in.remote_electrodes == 1;
    const int stride = 2 * N + 1;
    SparseWork w;
    bool ok = w.k.allocate(nky) && w.pairs.allocate(std::size_t(npairs) * nky) &&
              w.last.allocate(N) && w.carries.allocate(n);
    for (auto& v : w.rhs)
        ok = ok && v.allocate(n + 1);
    if (remote) ok = ok && w.remote.allocate(std::size_t(stride) * nky);
    if (!ok) return fe::report_no_memory();
    double* k = w.k.get();
    log_spaced_values_dbl(nky, k, in.ky_min, in.ky_max);

    int nsub = 0;
    const int maxlnz = fem_order_setup(nx, nz, settings.nodes_file, &nsub);
    if (maxlnz <= 0)
        return fe::report_error(SolverStatus::ordering,
                                "Insufficient memory for finite-element model!.");
    ok = w.old_of_new.allocate(n + 1) && w.new_of_old.allocate(n + 1) && w.xlnz.allocate(n + 1) &&
         w.xnzsub.allocate(n + 1) && w.nzsub.allocate(nsub + 1) && w.diag.allocate(n + 1) &&
         w.lnz.allocate(std::size_t(maxlnz) + 1) && w.link.allocate(n + 1) &&
         w.first.allocate(n + 1) && w.temp.allocate(n + 1);
    if (!ok) return fe::report_no_memory();
    if (read_arrays_file(1, n, w.old_of_new.get(), w.new_of_old.get(), w.xlnz.get(), w.xnzsub.get(),
                         w.nzsub.get(), nsub, settings.nodes_file) != 0)
        return fe::report_error(SolverStatus::ordering, "Error in reading file\n%s",
                                settings.nodes_file);
    const int* new_of_old = w.new_of_old.get();

    // Reference point of the boundary terms and the electrode nodes.
    const double x0 = node_col_x[nx / 2];
    const double z0 = mesh.node_z(1, electrode_water[0] + 1);
    ElectrodeNode* table = settings.electrode_table;
    model::trace("Surface electrode nodes %d %d\n", nelec, settings.shift_nodes);
    for (int e = 0; e < nelec; ++e) {
        const int v = electrode_water[e] + (margin_columns - 1 + e * nodes_per_spacing) * nz + 1;
        single_node(table[e], v);
        w.carries[v - 1] = 1;
    }
    model::trace("Borehole electrode nodes %d\n", N - nelec);
    const float reference = node_col_x[margin_columns - 1];
    for (int e = nelec; e < N; ++e)
        place_borehole_electrode(table, e, mesh, reference, settings.shift_nodes != 0,
                                 w.carries.get());
    model::trace("Potential nodes %d %d\n", N, n);
    for (int i = 1; i <= N; ++i) {
        int lowest = n;
        for (int j = i + 1; j <= N; ++j)
            for (int q = 0; q < table[j - 1].count; ++q)
                lowest = std::min(lowest, new_of_old[table[j - 1].node[q] - 1]);
        w.last[i - 1] = i == N ? 1 : lowest;
        model::trace("%2d %4d %4d\n", i, table[i - 1].node[0], w.last[i - 1]);
    }
    model::trace("End setting nodes\n");

    fe::RemoteElectrodes remote_nodes{in.c2_x, in.c2_y, in.p2_x, in.p2_y};
    if (remote)
        fe::place_remote_electrodes(settings, nodes_per_spacing, nelec, margin_columns, nz, nx,
                                    node_col_x, remote_nodes);
    model::trace("nyk %d\n", nky);
    for (int i = 0; i < nky; ++i)
        model::trace("%2d %10.7f\n", i + 1, k[i]);

    for (int iky = 0; iky < nky; ++iky) {
        model::trace("iky %d\n", iky);
        fe::report_progress("Finite-Element calculations - %5.1f%% completed", iky, nky);
        std::fill(w.diag.get(), w.diag.get() + n + 1, 0.0);
        std::fill(w.lnz.get(), w.lnz.get() + maxlnz + 1, 0.0);
        if (model::SolverResult r = assemble(mesh, cells, k[iky], x0, z0, w); !r.ok()) return r;
        if (int failed =
                fact_sparse_dbl(n, w.xlnz.get(), w.lnz.get(), w.xnzsub.get(), w.nzsub.get(),
                                w.diag.get(), w.link.get(), w.first.get(), w.temp.get()))
            return fe::report_factor_failure(w.old_of_new[failed - 1]);
        double* const pair_block = w.pairs.get() + std::size_t(iky) * npairs;

        // Sources 1..N-1, four at a time: each solve stops at the lowest row a later electrode
        // needs.
        for (int i = 1; i < N; i += 4) {
            const int group = std::min(4, N - i);
            int first[4] = {1, 1, 1, 1}, stop[4] = {n, n, n, n};
            for (int g = 0; g < group; ++g) {
                std::fill(w.rhs[g].get(), w.rhs[g].get() + n, 0.0);
                first[g] = inject(table[i + g - 1], w.rhs[g].get(), new_of_old, n);
                stop[g] = w.last[i + g - 1];
            }
            for (int g = group; g < 4; ++g) {
                std::fill(w.rhs[g].get(), w.rhs[g].get() + n, 0.0);
                first[g] = n;
            }
            solve4_sparse_dbl(first[0], stop[0], first[1], stop[1], first[2], stop[2], first[3],
                              stop[3], n, w.xlnz.get(), w.lnz.get(), w.xnzsub.get(), w.nzsub.get(),
                              w.diag.get(), w.rhs[0].get(), w.rhs[1].get(), w.rhs[2].get(),
                              w.rhs[3].get());
            for (int g = 0; g < group; ++g)
                for (int j = i + g + 1; j <= N; ++j)
                    pair_block[fe::pair_position(N, i + g, j)] =
                        electrode_value(table[j - 1], w.rhs[g].get(), new_of_old);
        }

        if (remote) {
            double* row = w.remote.get() + std::size_t(iky) * stride;
            std::fill(row, row + stride, 0.0);
            for (int source = 0; source < 2; ++source) {
                const int count = source == 0 ? remote_nodes.c2_count : remote_nodes.p2_count;
                if (count == 0) continue;
                const int* rn = source == 0 ? remote_nodes.c2_node : remote_nodes.p2_node;
                const float* rw = source == 0 ? remote_nodes.c2_weight : remote_nodes.p2_weight;
                double* b = w.rhs[source].get();
                std::fill(b, b + n, 0.0);
                int first = n;
                for (int q = 0; q < count; ++q) {
                    b[new_of_old[rn[q] - 1] - 1] += rw[q];
                    first = std::min(first, new_of_old[rn[q] - 1]);
                }
                solve_sparse_dbl(first, 1, n, w.xlnz.get(), w.lnz.get(), w.xnzsub.get(),
                                 w.nzsub.get(), w.diag.get(), b);
                for (int e = 0; e < N; ++e)
                    row[source * N + e] = electrode_value(table[e], b, new_of_old);
            }
            if (remote_nodes.c2_count > 0 && remote_nodes.p2_count > 0)
                for (int q = 0; q < remote_nodes.c2_count; ++q)
                    row[2 * N] += remote_nodes.c2_weight[q] *
                                  w.rhs[1][new_of_old[remote_nodes.c2_node[q] - 1] - 1];
        }
    }

    update_status("Calculating potentials", 0);
    if (inverse_fourier_pair_potentials_dbl(in.electrode_offset_ratio, w.pairs.get(), in.table_a,
                                            in.table_b, N, nky, k, 4, int(npairs), in.lead,
                                            in.array_type) != 0)
        return fe::report_no_memory();
    if (remote && !fe::transform_remote_values(remote_nodes, table, N, nelec, w.remote.get(), nky,
                                               k, in.remote_table))
        return fe::report_no_memory();
    return {};
}
