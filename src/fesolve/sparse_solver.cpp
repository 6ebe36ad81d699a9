// The sparse finite-element solver of block models: compressed-subscript storage under the
// nested-dissection ordering of the node grid, for meshes with topography, boreholes and
// remote electrodes.
#include "fesolve/fesolve.h"

#include "fdsolve/spline.h"
#include "fesolve/boundary.h"
#include "fesolve/electrode_map.h"
#include "fesolve/element.h"
#include "fesolve/workers.h"
#include "matrix/chunkfile.h"
#include "matrix/gridorder.h"
#include "matrix/row_groups.h"
#include "matrix/sparse.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"
#include "platform/sys/verify.h"
#include "platform/sys/workers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using sys::PageArray;

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

// What the wavenumbers share, set up once before the loop and only read inside it: the
// wavenumbers, the ordering, the compressed-subscript structure with its elimination tree and
// the places of the cells' terms in it, the electrode records, the rows they (and the remote
// electrodes) spread over, and the remote-electrode nodes.
struct SparseSetup {
    int N = 0;    ///< electrodes, surface and borehole
    int n = 0;    ///< nx nz matrix rows
    int nsub = 0; ///< subscripts of the structure
    int maxlnz = 0;
    long long npairs = 0;
    int stride = 0; ///< remote values a wavenumber (2N + 1)
    bool remote = false;
    double x0 = 0, z0 = 0; ///< reference point of the boundary terms
    Mesh mesh{};
    ElectrodeNode* table = nullptr; ///< the record's electrode table (nodes and weights)
    PageArray<double> k;            ///< nky wavenumbers
    PageArray<int> old_of_new, new_of_old, xlnz, xnzsub, nzsub; ///< n + 1, nsub + 1 entries
    PageArray<int> parent;            ///< n parents in the elimination tree
    PageArray<int> cell_entries;      ///< 10 a cell: lnz position (> 0), or -(diagonal row)
    PageArray<int> last;              ///< N lowest rows a solve of each source would need
    PageArray<unsigned char> carries; ///< n flags: 1 for a node that carries an electrode
    PageArray<unsigned char> part;    ///< the factor's halves (split only)
    bool split = false;               ///< whether a factorisation can be shared in halves
    mx::RowGroups groups;             ///< electrodes 0 .. N-1, then C2 and P2 with nodes
    int c2_group = -1, p2_group = -1;
    fe::RemoteElectrodes remote_nodes;
    long long worker_bytes = 0; ///< what one worker's arrays take
};

// The work arrays of one wavenumber's assemble, factor and potentials.
struct SparseWork {
    PageArray<double> diag, lnz, temp, temp2;   ///< n + 1, maxlnz + 1, n + 1, n + 1
    PageArray<int> link, link2, first;          ///< n + 1 each
    PageArray<double> path_values, path_work;   ///< the distinct rows' paths and their work
    PageArray<double> packed, inverse_diagonal; ///< the distinct rows' inverse entries
};

// The wavenumber-domain values of every wavenumber: wavenumber iky owns the slice at iky.
struct SparseValues {
    PageArray<double> pairs, remote; ///< npairs and stride values a wavenumber
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

// The places in the factor storage of the ten terms of every cell (cells down the columns), found
// once: an lnz position, or minus the row of a diagonal entry. False, with the text of the
// failure in `failure`, when a term lies outside the structure.
bool find_cell_entries(const Mesh& m, SparseSetup& setup, std::string& failure) {
    const int* invp = setup.new_of_old.get();
    int* entries = setup.cell_entries.get();
    for (int c = 1; c < m.nx; ++c)
        for (int r = 1; r < m.nz; ++r) {
            const int v[4] = {m.node(c, r), m.node(c + 1, r), m.node(c, r + 1),
                              m.node(c + 1, r + 1)};
            int code[10], failed = 0;
            for (int a = 1; a <= 4; ++a)
                for (int b = a; b <= 4; ++b) {
                    const int p = quad_term_index(a, b);
                    const int i = invp[v[a - 1] - 1], j = invp[v[b - 1] - 1];
                    const int t = i == j ? -i
                                         : mx::find_compressed_entry(
                                               std::max(i, j), std::min(i, j), setup.xlnz.get(),
                                               setup.nzsub.get(), setup.xnzsub.get());
                    entries[p] = t;
                    code[p] = t == 0 ? 1 : 0;
                    failed |= code[p];
                }
            if (failed) {
                char text[256];
                std::snprintf(text, sizeof text,
                              "Error 1 in matrix allocation %d/%d  %d/%d\n%d %d %d %d %d %d %d %d "
                              "%d %d",
                              c, m.nx - 1, r, m.nz - 1, code[0], code[1], code[2], code[3], code[4],
                              code[5], code[6], code[7], code[8], code[9]);
                failure = text;
                return false;
            }
            entries += 10;
        }
    return true;
}

// Adds the element matrices of every cell and the boundary terms of wavenumber k; false with
// the text of the failure in `failure` (reported by the caller: a worker reports nothing).
bool assemble(const Mesh& m, const float* cells, double k, double x0, double z0,
              const SparseSetup& setup, SparseWork& w, std::string& failure) {
    const int* xlnz = setup.xlnz.get();
    const int* xnzsub = setup.xnzsub.get();
    const int* nzsub = setup.nzsub.get();
    const int* invp = setup.new_of_old.get();
    double* lnz = w.lnz.get();
    double* diag = w.diag.get();
    const double k2 = k * k;
    const int* entries = setup.cell_entries.get();
    for (int c = 1; c < m.nx; ++c)
        for (int r = 1; r < m.nz; ++r, entries += 10) {
            const int n[4] = {m.node(c, r), m.node(c + 1, r), m.node(c, r + 1),
                              m.node(c + 1, r + 1)};
            double t[10];
            quad_element_matrix_dbl(cells[2 * index2d(c, r, m.nx - 1)], k2, m.x[n[0] - 1],
                                    m.x[n[1] - 1], m.x[n[2] - 1], m.x[n[3] - 1], m.z[n[0] - 1],
                                    m.z[n[1] - 1], m.z[n[2] - 1], m.z[n[3] - 1], t);
            for (int p = 0; p < 10; ++p) {
                const int e = entries[p];
                (e > 0 ? lnz[e - 1] : diag[-e - 1]) += t[p];
            }
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
            char text[256];
            std::snprintf(text, sizeof text,
                          "Error in third matrix allocation %d/%d\n%d %d %d\n%d %d", segment,
                          segments, ca, cb, cab, a, b);
            failure = text;
            return 1;
        });
    return failed == 0;
}

model::SolverResult check_inputs(const fe::Inputs& in) {
    using model::SolverStatus;
    if (model::SolverResult r = fe::check_mesh_and_electrodes(in, in.nky, 2); !r.ok()) return r;
    if (!(in.ky_min > 0.0f && in.ky_max > in.ky_min))
        return fe::report_error(SolverStatus::bad_input,
                                "The wavenumbers must be positive and increasing (%g to %g).",
                                double(in.ky_min), double(in.ky_max));
    const int boreholes = in.settings->nborehole_nodes;
    if (in.nelec_total - in.nelec != boreholes && boreholes > 0)
        return fe::report_error(SolverStatus::bad_input,
                                "The model has %d electrodes, but %d surface\nand %d borehole "
                                "electrodes.",
                                in.nelec_total, in.nelec, boreholes);
    return {};
}

// One worker's work arrays; false when the memory is refused.
bool allocate_work(const SparseSetup& setup, SparseWork& w) {
    const int n = setup.n;
    const std::size_t rows = setup.groups.rows().size();
    return w.diag.allocate(n + 1) && w.lnz.allocate(std::size_t(setup.maxlnz) + 1) &&
           w.link.allocate(n + 1) && w.first.allocate(n + 1) && w.temp.allocate(n + 1) &&
           (!setup.split || (w.link2.allocate(n + 1) && w.temp2.allocate(n + 1))) &&
           w.path_values.allocate(setup.groups.paths().value_count()) &&
           w.path_work.allocate(setup.groups.paths().work_count()) &&
           w.packed.allocate(rows * (rows - 1) / 2) && w.inverse_diagonal.allocate(rows);
}

// The wavenumbers and the tables of the values, then the ordering, its structure file and the
// work arrays of the factorisation.
model::SolverResult allocate(const fe::Inputs& in, SparseSetup& setup, SparseValues& values) {
    using model::SolverStatus;
    const int n = setup.n, nky = in.nky;
    bool ok = setup.k.allocate(nky) && values.pairs.allocate(std::size_t(setup.npairs) * nky) &&
              setup.last.allocate(setup.N) && setup.carries.allocate(n);
    if (setup.remote) ok = ok && values.remote.allocate(std::size_t(setup.stride) * nky);
    if (!ok) return fe::report_no_memory();
    log_spaced_values_dbl(nky, setup.k.get(), in.ky_min, in.ky_max);

    const char* nodes_file = in.settings->nodes_file;
    setup.maxlnz = fem_order_setup(in.nx, in.nz, nodes_file, &setup.nsub);
    if (setup.maxlnz <= 0)
        return fe::report_error(SolverStatus::ordering,
                                "Insufficient memory for finite-element model!.");
    ok = setup.old_of_new.allocate(n + 1) && setup.new_of_old.allocate(n + 1) &&
         setup.xlnz.allocate(n + 1) && setup.xnzsub.allocate(n + 1) &&
         setup.nzsub.allocate(setup.nsub + 1) && setup.parent.allocate(n) &&
         setup.cell_entries.allocate(std::size_t(in.nx - 1) * (in.nz - 1) * 10);
    if (!ok) return fe::report_no_memory();
    if (read_arrays_file(1, n, setup.old_of_new.get(), setup.new_of_old.get(), setup.xlnz.get(),
                         setup.xnzsub.get(), setup.nzsub.get(), setup.nsub, nodes_file) != 0)
        return fe::report_error(SolverStatus::ordering, "Error in reading file\n%s", nodes_file);
    sparse_tree_parents(n, setup.xlnz.get(), setup.xnzsub.get(), setup.nzsub.get(),
                        setup.parent.get());
    // On more than one thread a factorisation may share its halves with an idle worker.
    setup.split =
        sys::pool_threads() > 1 && setup.part.allocate(n) &&
        mx::sparse_factor_parts(n, setup.xlnz.get(), setup.parent.get(), setup.part.get());
    return {};
}

// The node records of every electrode (the borehole ones may move a node), and the lowest row
// each source's solve needs: that of the later electrodes' nodes.
void place_electrode_nodes(const fe::Inputs& in, SparseSetup& setup) {
    const int nz = in.nz, N = setup.N, nelec = in.nelec;
    ElectrodeNode* table = setup.table;
    model::trace("Surface electrode nodes %d %d\n", nelec, in.settings->shift_nodes);
    for (int e = 0; e < nelec; ++e) {
        const int v =
            in.electrode_water[e] + (in.margin_columns - 1 + e * in.nodes_per_spacing) * nz + 1;
        single_node(table[e], v);
        setup.carries[v - 1] = 1;
    }
    model::trace("Borehole electrode nodes %d\n", N - nelec);
    const float reference = in.node_col_x[in.margin_columns - 1];
    for (int e = nelec; e < N; ++e)
        place_borehole_electrode(table, e, setup.mesh, reference, in.settings->shift_nodes != 0,
                                 setup.carries.get());
    for (int e = 0; e < N; ++e)
        VERIFY(table[e].count >= 1 && table[e].count <= 4, table[e].count);
    model::trace("Potential nodes %d %d\n", N, setup.n);
    const int* new_of_old = setup.new_of_old.get();
    for (int i = 1; i <= N; ++i) {
        int lowest = setup.n;
        for (int j = i + 1; j <= N; ++j)
            for (int q = 0; q < table[j - 1].count; ++q)
                lowest = std::min(lowest, new_of_old[table[j - 1].node[q] - 1]);
        setup.last[i - 1] = i == N ? 1 : lowest;
        model::trace("%2d %4d %4d\n", i, table[i - 1].node[0], setup.last[i - 1]);
    }
    model::trace("End setting nodes\n");
}

// The rows every electrode spreads over (its nodes with their weights), then those of C2 and
// P2 when they have nodes, and the paths of the rows in the elimination tree; false when the
// memory for them is refused.
bool group_electrode_rows(SparseSetup& setup) {
    const int* invp = setup.new_of_old.get();
    for (int e = 0; e < setup.N; ++e) {
        setup.groups.add_group();
        const ElectrodeNode& r = setup.table[e];
        for (int q = 0; q < r.count; ++q)
            setup.groups.add(invp[r.node[q] - 1], double(r.weight[q]));
    }
    for (int which = 0; setup.remote && which < 2; ++which) {
        const fe::RemoteElectrodes::Source s = setup.remote_nodes.source(which);
        if (s.count == 0) continue;
        (which == 0 ? setup.c2_group : setup.p2_group) = setup.groups.add_group();
        for (int q = 0; q < s.count; ++q)
            setup.groups.add(invp[s.node[q] - 1], double(s.weight[q]));
    }
    return setup.groups.plan(setup.n, setup.xlnz.get(), setup.xnzsub.get(), setup.nzsub.get(),
                             setup.parent.get());
}

// Factors worker w's matrix: with `halves`, the two halves of the elimination tree below its
// first branching as two items of the board (each with its own link and temp vectors, here or
// on a worker that helps), then the rest here; the factor is the same bit for bit. Returns 0 or
// the column of a non-positive pivot.
int factor(const SparseSetup& setup, int w, std::vector<SparseWork>& work, fe::ItemBoard& board,
           bool halves) {
    SparseWork& m = work[std::size_t(w)];
    const int n = setup.n;
    const int *xlnz = setup.xlnz.get(), *xnzsub = setup.xnzsub.get(), *nzsub = setup.nzsub.get();
    if (!halves || !setup.split)
        return fact_sparse_dbl(n, xlnz, m.lnz.get(), xnzsub, nzsub, m.diag.get(), m.link.get(),
                               m.first.get(), m.temp.get());
    const unsigned char* part = setup.part.get();
    int failed[2] = {0, 0};
    board.share(
        w, 2,
        [&](int, int half) {
            failed[half] =
                mx::sparse_factor_part(half + 1, part, n, xlnz, m.lnz.get(), xnzsub, nzsub,
                                       m.diag.get(), (half == 0 ? m.link : m.link2).get(),
                                       m.first.get(), (half == 0 ? m.temp : m.temp2).get(), true);
        },
        [] { return true; });
    // One thread would have stopped at the lower of the two.
    const int r =
        failed[0] != 0 && (failed[1] == 0 || failed[0] < failed[1]) ? failed[0] : failed[1];
    if (r != 0) return r;
    return mx::sparse_factor_rest(part, n, xlnz, m.lnz.get(), xnzsub, nzsub, m.diag.get(),
                                  m.link.get(), m.link2.get(), m.first.get(), m.temp.get());
}

// Items of the board over `count` things of growing cost: item k of `items` starts at
// bound(k), so that the work of the items is about equal when thing j costs about j; the
// bounds are multiples of four, the pairs' tiles (the last bound is count).
int triangle_bound(int count, int items, int k) {
    if (k >= items) return count;
    const double at = count * std::sqrt(double(k) / items) / 4.0;
    return std::clamp(4 * int(std::lround(at)), 0, count);
}

// The entries of the inverse between the distinct rows of worker w's factor (its packed entries
// and diagonal): the paths of the rows, then their products, in items of the board when the
// wavenumber is `shared` with the workers that have left, else in one pass over the paths.
// False when `keep_going` said no.
bool inverse_entries(const SparseSetup& setup, int w, std::vector<SparseWork>& work,
                     fe::ItemBoard& board, bool shared, const std::function<bool()>& keep_going) {
    SparseWork& m = work[std::size_t(w)];
    const mx::PathChains& paths = setup.groups.paths();
    const int count = int(setup.groups.rows().size());
    const mx::TreeFactor f{setup.xlnz.get(),  m.lnz.get(),  setup.xnzsub.get(),
                           setup.nzsub.get(), m.diag.get(), setup.parent.get()};
    if (shared) {
        // The forward pass's two parts side by side (each on this worker's arrays), then the
        // chains above them.
        if (!board.share(
                w, 2,
                [&](int, int part) {
                    paths.columns(part, f, m.path_values.get(), m.path_work.get());
                },
                keep_going))
            return false;
        paths.columns(2, f, m.path_values.get(), m.path_work.get());
    } else {
        paths.columns(f, m.path_values.get(), m.path_work.get());
    }
    if (!keep_going()) return false;
    // Items of some 32 rows each: enough for the workers that help, few enough to cost nothing.
    const int items = shared ? std::clamp(count / 32, 1, 16) : 1;
    return board.share(
        w, items,
        [&](int, int k) {
            paths.products(std::max(1, triangle_bound(count, items, k)),
                           triangle_bound(count, items, k + 1), m.path_values.get(), m.packed.get(),
                           m.inverse_diagonal.get());
        },
        keep_going);
}

// The pair values of every source at the later electrodes, and with remote electrodes the
// values of C2 and P2, from the inverse entries of worker w.
void electrode_potentials(const SparseSetup& setup, const SparseWork& m, double* pair_block,
                          double* remote_row) {
    const int N = setup.N;
    const auto potential = [&](int a, int b) {
        return setup.groups.potential(a, b, m.packed.get(), m.inverse_diagonal.get());
    };
    for (int i = 1; i < N; ++i)
        for (int j = i + 1; j <= N; ++j)
            pair_block[fe::pair_position(N, i, j)] = potential(i - 1, j - 1);
    if (!setup.remote) return;
    std::fill(remote_row, remote_row + setup.stride, 0.0);
    const int remote[2] = {setup.c2_group, setup.p2_group};
    for (int which = 0; which < 2; ++which)
        if (remote[which] >= 0)
            for (int e = 0; e < N; ++e)
                remote_row[which * N + e] = potential(remote[which], e);
    if (remote[0] >= 0 && remote[1] >= 0) remote_row[2 * N] = potential(remote[1], remote[0]);
}

// What stopped a wavenumber, reported by the caller: a matrix failure with its text, or the
// node of a non-positive pivot.
struct WavenumberFailure {
    std::string matrix;
    int pivot_node = 0;
};

// Whether wavenumber l (0-based) of nk on `workers` shares its factorisation: those of a last
// round that leaves at least half of the workers idle.
bool shares_factor(int l, int nk, int workers) {
    const int last = nk % workers;
    return workers > 1 && nk > workers && last > 0 && 2 * last <= workers && l >= nk - last;
}

// Assembles and factors wavenumber iky on worker w and forms the potentials between its
// electrodes from the inverse's entries: its pair values into values.pairs and its remote
// values into values.remote, at slice iky. Reads only `in` and `setup`; writes the worker's
// arrays (and the helpers' path work vectors), the slice iky and `failure`, and reports nothing
// (it may run on a worker thread).
int solve_wavenumber(const fe::Inputs& in, const SparseSetup& setup, int iky, int w,
                     std::vector<SparseWork>& work, SparseValues& values,
                     WavenumberFailure& failure, fe::ItemBoard& board,
                     const std::function<bool()>& stopping) {
    SparseWork& m = work[std::size_t(w)];
    const int n = setup.n;
    if (stopping()) return sys::step_stopped;
    model::PhaseTimer timer(model::Phase::assembly);
    std::fill(m.diag.get(), m.diag.get() + n + 1, 0.0);
    std::fill(m.lnz.get(), m.lnz.get() + setup.maxlnz + 1, 0.0);
    if (!assemble(setup.mesh, in.cells, setup.k[iky], setup.x0, setup.z0, setup, m, failure.matrix))
        return 1;
    if (stopping()) return sys::step_stopped;
    timer.stop(model::Phase::factor);
    const bool halves = shares_factor(iky, in.nky, int(work.size()));
    if (int failed = factor(setup, w, work, board, halves)) {
        failure.pivot_node = setup.old_of_new[failed - 1];
        return 1;
    }
    timer.stop(model::Phase::solves);
    if (!inverse_entries(setup, w, work, board, halves, [&] { return !stopping(); }))
        return sys::step_stopped;
    electrode_potentials(setup, m, values.pairs.get() + std::size_t(iky) * setup.npairs,
                         setup.remote ? values.remote.get() + std::size_t(iky) * setup.stride
                                      : nullptr);
    return sys::step_done;
}

// The once-per-run phases before the wavenumber loop, the arrays of the first worker included.
model::SolverResult set_up(const fe::Inputs& in, SparseSetup& setup, SparseWork& work,
                           SparseValues& values) {
    if (model::SolverResult r = check_inputs(in); !r.ok()) return r;
    const int nx = in.nx, nz = in.nz;
    setup.mesh = Mesh{nx, nz, in.node_x, in.node_z, in.node_col_x};
    const Mesh& m = setup.mesh;
    model::trace("calresfem_l_dbl xnode %8.3f %8.3f %8.3f znode %8.3f %8.3f %8.3f\n",
                 double(m.x[0]), double(m.x[nz]), double(m.x[nx * nz - 1]), double(m.z[0]),
                 double(m.z[nz]), double(m.z[nx * nz - 1]));
    model::trace("checking memory\n");
    setup.N = in.nelec_total;
    setup.n = nx * nz;
    setup.npairs = fe::pair_count(setup.N);
    setup.remote = in.remote_electrodes == 1;
    setup.stride = 2 * setup.N + 1;
    setup.table = in.settings->electrode_table;
    if (model::SolverResult r = allocate(in, setup, values); !r.ok()) return r;
    std::string failure;
    if (!find_cell_entries(m, setup, failure))
        return fe::report_error(model::SolverStatus::matrix, "%s", failure.c_str());
    setup.x0 = in.node_col_x[nx / 2];
    setup.z0 = m.node_z(1, in.electrode_water[0] + 1);
    place_electrode_nodes(in, setup);
    setup.remote_nodes = fe::RemoteElectrodes{in.c2_x, in.c2_y, in.p2_x, in.p2_y};
    if (setup.remote)
        fe::place_remote_electrodes(*in.settings, in.nodes_per_spacing, in.nelec, in.margin_columns,
                                    nz, nx, in.node_col_x, setup.remote_nodes);
    if (!group_electrode_rows(setup)) return fe::report_no_memory();
    auto take_first = [&] {
        return sys::take_counting(setup.worker_bytes, [&] { return allocate_work(setup, work); });
    };
    bool had = take_first();
    if (!had && setup.split) {
        // The halves' vectors only speed a shared factorisation up: without them when short.
        setup.split = false;
        setup.part.release();
        work = SparseWork{};
        had = take_first();
    }
    if (!had) return fe::report_no_memory();
    fe::trace_wavenumbers(in.nky, setup.k.get());
    return {};
}

} // namespace

model::SolverResult calresfem_l_dbl(const fe::Inputs& in) {
    SparseSetup setup;
    std::vector<SparseWork> work(1);
    SparseValues values;
    model::PhaseTimer setup_timer(model::Phase::setup);
    if (model::SolverResult r = set_up(in, setup, work[0], values); !r.ok()) return r;
    // As many workers as the solver threads whose arrays the free memory holds.
    sys::take_workers(work, std::min(sys::pool_threads(), in.nky), setup.worker_bytes,
                      [&](SparseWork& w) { return allocate_work(setup, w); });
    setup_timer.stop();
    std::vector<WavenumberFailure> failures(std::size_t(in.nky));
    fe::ItemBoard board(in.nky);
    bool aborted = false;
    const sys::StepsOutcome outcome = fe::run_wavenumbers(
        in.nky, int(work.size()),
        [&](int w, int iky, const std::atomic<bool>& stop) {
            fe::StopTest stopping(stop, work.size() == 1, aborted);
            const int code =
                solve_wavenumber(in, setup, iky, w, work, values, failures[std::size_t(iky)], board,
                                 [&] { return stopping(); });
            board.close();
            return code;
        },
        "Finite-Element calculations - %5.1f%% completed",
        [&](int w, const std::atomic<bool>& stop) { board.help(w, stop); });
    work.clear();
    if (outcome.aborted || aborted)
        return model::SolverResult::failure(model::SolverStatus::user_abort);
    if (outcome.failed >= 0) {
        const WavenumberFailure& f = failures[std::size_t(outcome.failed)];
        if (f.pivot_node > 0) return fe::report_factor_failure(f.pivot_node);
        return fe::report_error(model::SolverStatus::matrix, "%s", f.matrix.c_str());
    }
    update_status("Calculating potentials", 0);
    model::PhaseTimer timer(model::Phase::transform);
    if (!fe::transform_pair_values(in, setup.N, values.pairs.get(), in.nky, setup.k.get(),
                                   setup.npairs))
        return fe::report_no_memory();
    if (setup.remote && !fe::transform_remote_values(
                            setup.remote_nodes, setup.table, setup.N, in.nelec, values.remote.get(),
                            in.nky, setup.k.get(), 1.0 / in.nodes_per_spacing, in.remote_table))
        return fe::report_no_memory();
    return {};
}
