// The finite-element solver on tree-partitioned block storage: every cell split into two linear
// triangles with their own conductivities, the node grid ordered once by one-way dissection,
// the matrix factored block by block in single precision at every wavenumber.
#include "fesolve/fesolve.h"

#include "fdsolve/transform.h"
#include "fesolve/boundary.h"
#include "fesolve/element.h"
#include "fesolve/workers.h"
#include "matrix/blockorder.h"
#include "matrix/blockstore.h"
#include "matrix/gridgraph.h"
#include "model/model_settings.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/workers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using sys::PageArray;

// The ordering, kept for every wavenumber and shared by the workers.
struct BlockOrdering {
    int n = 0, nblks = 0, envelope = 0, offblock = 0;
    PageArray<int> perm, invp, xblk, father, xenv, xnonz, nzsubs;
    // Row of mesh node v in the new numbering (0-based, for the right-hand side).
    int row(int v) const { return invp[v - 1] - 1; }
};

// One worker's values of the block storage and its right-hand side.
struct BlockValues {
    PageArray<float> diag, env, nonz, rhs;

    bool allocate(const BlockOrdering& o) {
        return diag.allocate(o.n) && env.allocate(o.envelope) && nonz.allocate(o.offblock) &&
               rhs.allocate(o.n);
    }
    int add(const BlockOrdering& o, int i, int j, float value) {
        return add_block_sparse_entry(i, j, value, o.invp.get(), diag.get(), o.xenv.get(),
                                      env.get(), o.xnonz.get(), o.nzsubs.get(), nonz.get());
    }
    void clear() {
        std::fill(diag.get(), diag.get() + diag.size(), 0.0f);
        std::fill(env.get(), env.get() + env.size(), 0.0f);
        std::fill(nonz.get(), nonz.get() + nonz.size(), 0.0f);
    }
};

struct BlockSetup {
    int n = 0, nk = 0, stride = 0;
    long long npairs = 0;
    bool remote = false;
    float xs = 0, zs = 0; // reference point of the boundary terms
    PageArray<float> k;
    PageArray<int> node;
    fe::RemoteElectrodes remote_nodes;
};

// The wavenumber-domain values of every wavenumber: wavenumber m owns the slice at m.
struct BlockTables {
    PageArray<float> pairs;   // npairs per wavenumber
    PageArray<double> remote; // stride per wavenumber
};

// What stopped a wavenumber, reported by the caller: a status with its text, or for a pivot the
// mesh node.
struct BlockFailure {
    model::SolverStatus status = model::SolverStatus::ok;
    std::string text;
    int node = 0;
    template <class... Values> int set(model::SolverStatus s, const char* format, Values... v) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, format, v...);
        status = s;
        text = buffer;
        return 1;
    }
};

// One-way dissection of the six-neighbour graph of the triangulated grid and the storage it
// gives; the ordering's own work arrays are freed on return.
model::SolverResult order_grid(int nx, int nz, BlockOrdering& s) {
    const int n = nx * nz;
    s.n = n;
    PageArray<int> xadj(n + 1), adjncy(6 * std::size_t(n)), mask(n), xls(n + 1), ls(n), bnum(n);
    if (!xadj.ok() || !adjncy.ok() || !mask.ok() || !xls.ok() || !ls.ok() || !bnum.ok() ||
        !s.perm.allocate(n) || !s.invp.allocate(n) || !s.xblk.allocate(n + 1) ||
        !s.xenv.allocate(n + 1) || !s.xnonz.allocate(n + 1) || !s.nzsubs.allocate(adjncy.size()))
        return fe::report_no_memory();
    set_adj_2d(xadj.get(), adjncy.get(), nz, nx);
    s.nblks = one_way_dissection_partition(n, xadj.get(), adjncy.get(), mask.get(), s.xblk.get(),
                                           s.perm.get(), xls.get(), ls.get());
    number_blocks_rcm(xadj.get(), adjncy.get(), s.perm.get(), s.nblks, s.xblk.get(), bnum.get(),
                      mask.get(), ls.get(), xls.get());
    for (int k = 1; k <= n; ++k)
        s.invp[s.perm[k - 1] - 1] = k;
    if (!s.father.allocate(s.nblks)) return fe::report_no_memory();
    find_tree_adjacency_1wd(xadj.get(), adjncy.get(), s.perm.get(), s.nblks, s.xblk.get(),
                            s.father.get(), bnum.get());
    s.envelope = find_tree_envelope_1wd(xadj.get(), adjncy.get(), s.perm.get(), s.invp.get(),
                                        s.nblks, s.xblk.get(), s.xenv.get(), mask.get(), ls.get());
    const int capacity = int(s.nzsubs.size());
    s.offblock =
        find_off_block_nonzeros_1wd(xadj.get(), adjncy.get(), s.perm.get(), s.invp.get(), s.nblks,
                                    s.xblk.get(), s.xnonz.get(), s.nzsubs.get(), capacity);
    if (s.offblock > capacity)
        return fe::report_error(model::SolverStatus::ordering,
                                "The block ordering needs %d off-block entries,\nmore than the "
                                "%d it was given.",
                                s.offblock, capacity);
    return {};
}

model::SolverResult allocate(BlockSetup& setup, BlockTables& tables) {
    const bool ok = setup.k.allocate(setup.nk) && setup.node.allocate(setup.n) &&
                    tables.pairs.allocate(std::size_t(setup.npairs) * setup.nk) &&
                    (!setup.remote || tables.remote.allocate(std::size_t(setup.stride) * setup.nk));
    return ok ? model::SolverResult{} : fe::report_no_memory();
}

// The two triangles of every cell, each with its own conductivity; 0, or 1 with the failure.
int add_cells(const fe::Inputs& in, float w, const BlockOrdering& o, BlockValues& s,
              BlockFailure& failure) {
    const int nx = in.nx, nz = in.nz;
    auto add = [&](int i, int j, double value) { return s.add(o, i, j, float(value)); };
    for (int c = 1; c < nx; ++c)
        for (int r = 1; r < nz; ++r) {
            int code[6], v[3];
            const int t =
                add_cell_triangles(c, r, nx, nz, w, in.cells, in.node_x, in.node_z, add, code, v);
            if (t != 0)
                return failure.set(
                    model::SolverStatus::matrix,
                    t == 1 ? "Error in first matrix allocation %d/%d  %d/%d\n%d %d %d %d %d "
                             "%d\n%d %d %d"
                           : "Error in second matrix allocation %d/%d  %d/%d\n%d %d %d %d %d "
                             "%d\n%d %d %d",
                    c, nx - 1, r, nz - 1, code[0], code[1], code[2], code[3], code[4], code[5],
                    v[0], v[1], v[2]);
        }
    return 0;
}

// The mixed boundary terms of the left, bottom and right edges; 0, or 1 with the failure.
int add_boundary(const fe::Inputs& in, const BlockSetup& setup, double k, const BlockOrdering& o,
                 BlockValues& s, BlockFailure& failure) {
    const int nx = in.nx, nz = in.nz;
    int edge = 0;
    const int code = fe::add_mixed_boundary(
        fe::BoundaryRatio::bessel_flt, nx, nz, k, setup.xs, setup.zs,
        [&](int v) { return double(in.node_x[v - 1]); },
        [&](int v) { return double(in.node_z[v - 1]); }, in.cells,
        [&](int a, int b, double f) {
            ++edge;
            const int r1 = s.add(o, a, a, float(2 * f)), r2 = s.add(o, b, b, float(2 * f)),
                      r3 = s.add(o, a, b, float(f));
            if (!(r1 || r2 || r3)) return 0;
            if (edge < nz)
                failure.set(model::SolverStatus::matrix,
                            "Error in 3rd matrix allocation  %d/%d\n%d %d %d\n%d %d", edge, nz - 1,
                            r1, r2, r3, a, b);
            else if (edge < nz + nx - 1)
                failure.set(model::SolverStatus::matrix,
                            "Error in 4th matrix allocation  %d/%d\n%d %d %d\n%d %d",
                            edge - (nz - 1), nx - 1, r1, r2, r3, a, b);
            else
                failure.set(model::SolverStatus::matrix,
                            "Error in 5th matrix allocation  %d/%d\n%d %d %d\n%d %d",
                            edge - (nz - 1) - (nx - 1), nz - 1, r1, r2, r3, a, b);
            return r1 + r2 + r3;
        });
    return code ? 1 : 0;
}

// Solves the worker's right-hand side in place; false when the solve's work memory is refused.
bool solve(const BlockOrdering& o, BlockValues& s) {
    return block_sparse_solve(o.nblks, o.xblk.get(), s.diag.get(), o.xenv.get(), s.env.get(),
                              o.xnonz.get(), s.nonz.get(), o.nzsubs.get(), s.rhs.get()) == 0;
}

// Every source but the last, then the remote electrodes, into slice m of the tables; 0, or 1
// (no memory) with the failure, or sys::step_stopped.
int solve_sources(const BlockSetup& setup, const BlockOrdering& o, BlockValues& s,
                  BlockTables& tables, int m, BlockFailure& failure,
                  const std::function<bool()>& stopping) {
    const int n = setup.n;
    float* rhs = s.rhs.get();
    float* pair_block = tables.pairs.get() + std::size_t(m) * setup.npairs;
    const auto no_memory = [&] {
        failure.status = model::SolverStatus::no_memory;
        return 1;
    };
    for (int i = 1; i < n; ++i) {
        if (stopping()) return sys::step_stopped;
        std::fill(rhs, rhs + o.n, 0.0f);
        rhs[o.row(setup.node[i - 1])] = 1.0f;
        if (!solve(o, s)) return no_memory();
        for (int j = i + 1; j <= n; ++j)
            pair_block[fe::pair_position(n, i, j)] = rhs[o.row(setup.node[j - 1])];
    }
    if (!setup.remote) return 0;
    const fe::RemoteElectrodes& r = setup.remote_nodes;
    double* row = tables.remote.get() + std::size_t(m) * setup.stride;
    std::fill(row, row + setup.stride, 0.0);
    for (int source = 0; source < 2; ++source) {
        const fe::RemoteElectrodes::Source remote = r.source(source);
        if (remote.count == 0) continue;
        std::fill(rhs, rhs + o.n, 0.0f);
        for (int q = 0; q < remote.count; ++q)
            rhs[o.row(remote.node[q])] += remote.weight[q];
        if (!solve(o, s)) return no_memory();
        for (int e = 0; e < n; ++e)
            row[source * n + e] = rhs[o.row(setup.node[e])];
        if (source == 1 && r.c2_count > 0)
            for (int q = 0; q < r.c2_count; ++q)
                row[2 * n] += r.c2_weight[q] * rhs[o.row(r.c2_node[q])];
    }
    return 0;
}

// Assembles, factors and solves wavenumber m on one worker's values. Reads only `in`, `setup`
// and the ordering; writes the worker's values, slice m of the tables and `failure`, and reports
// nothing (it may run on a worker thread).
int solve_wavenumber(const fe::Inputs& in, const BlockSetup& setup, const BlockOrdering& o, int m,
                     BlockValues& s, BlockTables& tables, BlockFailure& failure,
                     const std::function<bool()>& stopping) {
    if (stopping()) return sys::step_stopped;
    const double k = setup.k[m];
    s.clear();
    if (add_cells(in, float(k * k), o, s, failure) != 0) return 1;
    if (add_boundary(in, setup, k, o, s, failure) != 0) return 1;
    int flag = 0;
    const int row =
        block_sparse_factor(o.nblks, o.xblk.get(), o.father.get(), s.diag.get(), o.xenv.get(),
                            s.env.get(), o.xnonz.get(), s.nonz.get(), o.nzsubs.get(), &flag);
    if (flag < 0) {
        failure.status = model::SolverStatus::no_memory;
        return 1;
    }
    if (flag > 0) {
        failure.status = model::SolverStatus::pivot;
        failure.node = o.perm[o.xblk[flag - 1] + row - 2];
        return 1;
    }
    return solve_sources(setup, o, s, tables, m, failure, stopping);
}

model::SolverResult write_outputs(const fe::Inputs& in, const BlockSetup& setup,
                                  const BlockTables& values) {
    if (inverse_fourier_pair_potentials(in.electrode_offset_ratio, values.pairs.get(), in.table_a,
                                        in.table_b, setup.n, setup.nk, setup.k.get(), 4,
                                        int(setup.npairs), in.lead) != 0)
        return fe::report_no_memory();
    if (!setup.remote) return {};
    std::vector<double> k(setup.k.get(), setup.k.get() + setup.nk);
    if (!fe::transform_remote_values(setup.remote_nodes, in.settings->electrode_table, setup.n,
                                     in.nelec, values.remote.get(), setup.nk, k.data(),
                                     1.0 / in.nodes_per_spacing, in.remote_table))
        return fe::report_no_memory();
    return {};
}

model::SolverResult set_up(const fe::Inputs& in, BlockSetup& setup, BlockOrdering& ordering,
                           BlockTables& tables) {
    if (model::SolverResult r = fe::check_mesh_and_electrodes(in, in.nky, 2); !r.ok()) return r;
    if (!(in.ky_min > 0.0f && in.ky_max > in.ky_min))
        return fe::report_error(model::SolverStatus::bad_input,
                                "The wavenumbers must be positive and increasing (%g to %g).",
                                double(in.ky_min), double(in.ky_max));
    setup.n = in.nelec_total;
    setup.nk = in.nky;
    setup.npairs = fe::pair_count(setup.n);
    setup.stride = 2 * setup.n + 1;
    setup.remote = in.remote_electrodes > 0;
    if (model::SolverResult r = order_grid(in.nx, in.nz, ordering); !r.ok()) return r;
    if (model::SolverResult r = allocate(setup, tables); !r.ok()) return r;
    block_wavenumbers(in.ky_min, in.ky_max, setup.nk, setup.k.get());
    if (model::SolverResult r =
            fe::place_electrodes(in.nboreholes, in.issbor, in.borehole_columns, in.borehole_z,
                                 setup.n, in.margin_columns, in.nodes_per_spacing, in.nelec, in.nx,
                                 in.nz, in.node_z, in.electrode_water, setup.node.get());
        !r.ok())
        return r;
    setup.xs = in.node_x[(in.nx / 2 - 1) * in.nz];
    setup.zs = in.node_z[in.electrode_water[0]];
    if (setup.remote) return fe::place_remote_electrodes(in, setup.remote_nodes);
    return {};
}

} // namespace

void block_wavenumbers(float kmin, float kmax, int nk, float* k) {
    const float l1 = std::log(kmin), step = (std::log(kmax) - l1) / float(nk - 1);
    k[0] = kmin;
    for (int i = 2; i < nk; ++i)
        k[i - 1] = std::exp(l1 + float(i - 1) * step);
    k[nk - 1] = kmax;
}

model::SolverResult calc_potentials_fem_wavenumbers(const fe::Inputs& in) {
    BlockSetup setup;
    BlockOrdering ordering;
    BlockTables tables;
    if (model::SolverResult r = set_up(in, setup, ordering, tables); !r.ok()) return r;
    std::vector<BlockValues> work(1);
    long long worker_bytes = 0;
    if (!sys::take_counting(worker_bytes, [&] { return work[0].allocate(ordering); }))
        return fe::report_no_memory();
    sys::take_workers(work, std::min(sys::pool_threads(), setup.nk), worker_bytes,
                      [&](BlockValues& w) { return w.allocate(ordering); });
    std::vector<BlockFailure> failures(std::size_t(setup.nk));
    bool aborted = false;
    const sys::StepsOutcome outcome = fe::run_wavenumbers(
        setup.nk, int(work.size()),
        [&](int w, int m, const std::atomic<bool>& stop) {
            fe::StopTest stopping(stop, work.size() == 1, aborted);
            return solve_wavenumber(in, setup, ordering, m, work[std::size_t(w)], tables,
                                    failures[std::size_t(m)], [&] { return stopping(); });
        },
        "Finite-Element Calculations - %5.1f%% completed");
    work.clear();
    if (outcome.aborted || aborted)
        return model::SolverResult::failure(model::SolverStatus::user_abort);
    if (outcome.failed >= 0) {
        const BlockFailure& f = failures[std::size_t(outcome.failed)];
        if (f.status == model::SolverStatus::pivot)
            return fe::report_factor_failure_at_wave(f.node, outcome.failed + 1);
        if (f.status == model::SolverStatus::no_memory) return fe::report_no_memory();
        return fe::report_error(f.status, "%s", f.text.c_str());
    }
    update_status("Calculating Potentials", 0);
    return write_outputs(in, setup, tables);
}
