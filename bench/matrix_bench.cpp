// Sparse Cholesky benchmark: the five-point matrix of a block mesh for 48, 161 and 601
// electrodes (4 node columns per electrode spacing), ordered by nested dissection, factored and
// solved for 161 right-hand sides. Prints times, fill and peak page memory; with CHOLMOD
// available at build time the same matrices are also factored by it, as a reference. Then the
// nested dissection alone on 1, 2, 4 and 8 solver threads, on the block meshes and on the
// finite-difference grids of the 301- and 601-electrode lines of lines_bench (25 x 1253 and
// 25 x 2453 nodes).
#include "matrix/gridgraph.h"
#include "matrix/ordering.h"
#include "matrix/sparse.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"

#include "platform/sys/sys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#ifdef VELDARIN_HAVE_CHOLMOD
#include <cholmod.h>
#endif

namespace {

constexpr int nodes_per_spacing = 4;
constexpr int margin_columns = 20;
constexpr int right_hand_sides = 161;

// The mesh of a survey line: node columns as the model reader lays them out, rows down to a
// depth that grows with the line length.
struct Mesh {
    int nelec, nx, nz;
    std::vector<double> dx, dz;       // spacings between node columns / rows
    std::vector<double> conductivity; // per cell, (nx - 1) x (nz - 1), column by column
};

Mesh block_mesh(int nelec) {
    Mesh m;
    m.nelec = nelec;
    m.nx = 2 * margin_columns + (nelec - 1) * nodes_per_spacing - 1;
    m.nz = 16 + nelec / 6;
    m.dx.assign(m.nx - 1, 1.0 / nodes_per_spacing);
    for (int i = margin_columns - 4; i >= 1; --i) {
        m.dx[i - 1] = m.dx[i] * 1.25;
        m.dx[m.nx - 1 - i] = m.dx[i - 1];
    }
    m.dz.resize(m.nz - 1);
    double step = 0.25;
    for (double& d : m.dz) {
        d = step;
        step *= 1.08;
    }
    // Blocks of one electrode spacing by two rows with random resistivities.
    std::mt19937 rng(nelec);
    std::uniform_real_distribution<double> log_sigma(-2.0, 0.0);
    std::vector<double> blocks((m.nx / nodes_per_spacing + 1) * (m.nz / 2 + 1));
    for (double& b : blocks)
        b = std::pow(10.0, log_sigma(rng));
    m.conductivity.resize(std::size_t(m.nx - 1) * (m.nz - 1));
    for (int i = 0; i < m.nx - 1; ++i)
        for (int j = 0; j < m.nz - 1; ++j)
            m.conductivity[std::size_t(i) * (m.nz - 1) + j] =
                blocks[(i / nodes_per_spacing) * (m.nz / 2 + 1) + j / 2];
    return m;
}

double cell(const Mesh& m, int i, int j) { // 1-based cell, 0 outside the mesh
    if (i < 1 || j < 1 || i > m.nx - 1 || j > m.nz - 1) return 0.0;
    return m.conductivity[std::size_t(i - 1) * (m.nz - 1) + (j - 1)];
}

// Adds the five-point coupling of every node (node (i, j) = (j-1)·nx + i) at wavenumber k;
// calls add(value, row, column) for the lower triangle and the diagonal.
template <class Add> void five_point_matrix(const Mesh& m, double k, Add add) {
    auto h = [](const std::vector<double>& d, int a) {
        return a >= 1 && a <= int(d.size()) ? d[a - 1] : 0.0;
    };
    for (int j = 1; j <= m.nz; ++j)
        for (int i = 1; i <= m.nx; ++i) {
            const int v = (j - 1) * m.nx + i;
            const double w = h(m.dx, i - 1), e = h(m.dx, i), up = h(m.dz, j - 1), dn = h(m.dz, j);
            const double s_nw = cell(m, i - 1, j - 1), s_ne = cell(m, i, j - 1);
            const double s_sw = cell(m, i - 1, j), s_se = cell(m, i, j);
            double diagonal = 0.0;
            if (i < m.nx) {
                double c = (s_ne * up + s_se * dn) / (2.0 * e);
                add(-c, v + 1, v);
                diagonal += c;
            }
            if (i > 1) diagonal += (s_nw * up + s_sw * dn) / (2.0 * w);
            if (j < m.nz) {
                double c = (s_sw * w + s_se * e) / (2.0 * dn);
                add(-c, v + m.nx, v);
                diagonal += c;
            }
            if (j > 1) diagonal += (s_nw * w + s_ne * e) / (2.0 * up);
            const double area = (s_nw * w * up + s_ne * e * up + s_sw * w * dn + s_se * e * dn) / 4;
            add(diagonal + k * k * area, v, v);
        }
}

// Surface nodes of the sources: spread evenly over the electrode line.
std::vector<int> source_nodes(const Mesh& m) {
    std::vector<int> nodes;
    const int span = (m.nelec - 1) * nodes_per_spacing;
    for (int s = 0; s < right_hand_sides; ++s)
        nodes.push_back(margin_columns +
                        int(std::lround(double(s) * span / (right_hand_sides - 1))));
    return nodes;
}

struct Figures {
    double order_s = 0, factor_s = 0, solve_s = 0;
    long long fill = 0;
    long long peak_bytes = 0;
    double check = 0; // sum of the source potentials, to compare the two solvers
};

Figures run_library(const Mesh& m, double k) {
    Figures f;
    sys::reset_page_peak();
    const long long base = sys::page_bytes_in_use();
    const int n = m.nx * m.nz;
    sys::PageArray<int> xadj(n + 1), adjncy(4 * std::size_t(n)), perm(n + 1), invp(n + 1);
    sys::PageArray<int> xlnz(n + 1), xnzsub(n + 1), nzsub(8 * std::size_t(n));
    if (!xadj.ok() || !adjncy.ok() || !perm.ok() || !invp.ok() || !xlnz.ok() || !xnzsub.ok() ||
        !nzsub.ok()) {
        std::printf("  not enough memory for the structure\n");
        return f;
    }
    double t0 = sys::wall_seconds();
    grid_adjacency_5pt(xadj.get(), adjncy.get(), m.nx, m.nz);
    int maxlnz = 0, maxsub = 8 * n;
    if (nd_order_and_symbolic_factorisation(maxlnz, n, xadj.get(), adjncy.get(), xlnz.get(),
                                            xnzsub.get(), nzsub.get(), perm.get(), invp.get(),
                                            maxsub) != 0) {
        std::printf("  ordering failed\n");
        return f;
    }
    f.order_s = sys::wall_seconds() - t0;
    adjncy.release();
    xadj.release();

    sys::PageArray<double> lnz(std::size_t(maxlnz) + 1), diag(n + 1), temp(n + 1);
    sys::PageArray<int> link(n + 1), first(n + 1);
    sys::PageArray<double> rhs(4 * std::size_t(n));
    if (!lnz.ok() || !diag.ok() || !temp.ok() || !link.ok() || !first.ok() || !rhs.ok()) {
        std::printf("  not enough memory for the factor\n");
        return f;
    }
    five_point_matrix(m, k, [&](double value, int i, int j) {
        add_sparse_entry_dbl(value, lnz.get(), i, j, diag.get(), xlnz.get(), nzsub.get(),
                             xnzsub.get(), invp.get());
    });
    t0 = sys::wall_seconds();
    int failed = fact_sparse_dbl(n, xlnz.get(), lnz.get(), xnzsub.get(), nzsub.get(), diag.get(),
                                 link.get(), first.get(), temp.get());
    f.factor_s = sys::wall_seconds() - t0;
    if (failed) std::printf("  factorisation failed at %d\n", failed);
    f.fill = maxlnz + n;

    const std::vector<int> sources = source_nodes(m);
    t0 = sys::wall_seconds();
    for (std::size_t s = 0; s < sources.size(); s += 4) {
        const int count = int(std::min<std::size_t>(4, sources.size() - s));
        double* b[4];
        int rows[4];
        for (int r = 0; r < 4; ++r) {
            b[r] = rhs.get() + std::size_t(r) * n;
            std::fill(b[r], b[r] + n, 0.0);
            rows[r] = invp[sources[s + std::min(r, count - 1)] - 1];
            b[r][rows[r] - 1] = 1.0;
        }
        if (count == 4) {
            solve4_sparse_dbl(rows[0], 1, rows[1], 1, rows[2], 1, rows[3], 1, n, xlnz.get(),
                              lnz.get(), xnzsub.get(), nzsub.get(), diag.get(), b[0], b[1], b[2],
                              b[3]);
        } else {
            for (int r = 0; r < count; ++r)
                solve_sparse_dbl(rows[r], 1, n, xlnz.get(), lnz.get(), xnzsub.get(), nzsub.get(),
                                 diag.get(), b[r]);
        }
        for (int r = 0; r < count; ++r)
            f.check += b[r][rows[r] - 1];
    }
    f.solve_s = sys::wall_seconds() - t0;
    f.peak_bytes = sys::page_bytes_peak() - base;
    return f;
}

#ifdef VELDARIN_HAVE_CHOLMOD
Figures run_cholmod(const Mesh& m, double k) {
    Figures f;
    const int n = m.nx * m.nz;
    cholmod_common common;
    cholmod_start(&common);
    // Lower triangle by columns: gather the entries, then count and place them.
    std::vector<std::vector<std::pair<int, double>>> columns(n);
    five_point_matrix(m, k, [&](double value, int i, int j) {
        columns[j - 1].push_back({i - 1, value});
    });
    std::size_t nnz = 0;
    for (auto& c : columns) {
        std::sort(c.begin(), c.end());
        nnz += c.size();
    }
    cholmod_sparse* a = cholmod_allocate_sparse(n, n, nnz, 1, 1, -1, CHOLMOD_REAL, &common);
    int* p = static_cast<int*>(a->p);
    int* rows = static_cast<int*>(a->i);
    double* x = static_cast<double*>(a->x);
    std::size_t at = 0;
    for (int j = 0; j < n; ++j) {
        p[j] = int(at);
        for (auto& e : columns[j]) {
            rows[at] = e.first;
            x[at++] = e.second;
        }
    }
    p[n] = int(at);
    columns.clear();

    double t0 = sys::wall_seconds();
    cholmod_factor* l = cholmod_analyze(a, &common);
    f.order_s = sys::wall_seconds() - t0;
    t0 = sys::wall_seconds();
    cholmod_factorize(a, l, &common);
    f.factor_s = sys::wall_seconds() - t0;
    f.fill = static_cast<long long>(common.lnz);

    const std::vector<int> sources = source_nodes(m);
    cholmod_dense* b = cholmod_zeros(n, sources.size(), CHOLMOD_REAL, &common);
    double* bx = static_cast<double*>(b->x);
    for (std::size_t s = 0; s < sources.size(); ++s)
        bx[s * n + (sources[s] - 1)] = 1.0;
    t0 = sys::wall_seconds();
    cholmod_dense* sol = cholmod_solve(CHOLMOD_A, l, b, &common);
    f.solve_s = sys::wall_seconds() - t0;
    double* sx = static_cast<double*>(sol->x);
    for (std::size_t s = 0; s < sources.size(); ++s)
        f.check += sx[s * n + (sources[s] - 1)];
    f.peak_bytes = static_cast<long long>(common.memory_usage);
    cholmod_free_dense(&sol, &common);
    cholmod_free_dense(&b, &common);
    cholmod_free_factor(&l, &common);
    cholmod_free_sparse(&a, &common);
    cholmod_finish(&common);
    return f;
}
#endif

// The best of `repeat` timings of the nested dissection of an nx x nz five-point grid on each
// thread count, in milliseconds.
void time_dissection(int nx, int nz, int repeat) {
    const int n = nx * nz;
    std::vector<int> xadj(n + 1), adjncy(4 * std::size_t(n) + 1), perm(n), invp(n);
    grid_adjacency_5pt(xadj.data(), adjncy.data(), nx, nz);
    std::printf("%6d %5d %9d", nx, nz, n);
    for (int threads : {1, 2, 4, 8}) {
        sys::set_pool_threads(threads);
        double best = 1e30;
        for (int r = 0; r < repeat; ++r) {
            const double t0 = sys::wall_seconds();
            if (mx::nested_dissection(n, xadj.data(), adjncy.data(), perm.data(), invp.data()) !=
                0) {
                std::printf("  ordering failed\n");
                return;
            }
            best = std::min(best, sys::wall_seconds() - t0);
        }
        std::printf(" %9.3f", 1e3 * best);
    }
    sys::set_pool_threads(0);
    std::printf("\n");
}

} // namespace

int main() {
    std::printf("Sparse Cholesky of the five-point block-mesh matrix, nested dissection, %d "
                "right-hand sides\n",
                right_hand_sides);
    std::printf("%6s %6s %5s %9s %9s %9s %9s %12s %10s\n", "elec", "nx", "nz", "nodes", "order s",
                "factor s", "solve s", "fill (nnz L)", "peak MiB");
    const double k = 0.05;
    for (int nelec : {48, 161, 601}) {
        Mesh m = block_mesh(nelec);
        Figures f = run_library(m, k);
        std::printf("%6d %6d %5d %9d %9.3f %9.3f %9.3f %12lld %10.1f\n", nelec, m.nx, m.nz,
                    m.nx * m.nz, f.order_s, f.factor_s, f.solve_s, f.fill,
                    f.peak_bytes / 1048576.0);
#ifdef VELDARIN_HAVE_CHOLMOD
        Figures c = run_cholmod(m, k);
        std::printf("%6s %6s %5s %9s %9.3f %9.3f %9.3f %12lld %10.1f   CHOLMOD\n", "", "", "", "",
                    c.order_s, c.factor_s, c.solve_s, c.fill, c.peak_bytes / 1048576.0);
        std::printf("%6s ratio ours/CHOLMOD: factor %.2f, solve %.2f, fill %.2f; potentials "
                    "agree to %.1e\n",
                    "", f.factor_s / c.factor_s, f.solve_s / c.solve_s, double(f.fill) / c.fill,
                    std::fabs(f.check - c.check) / std::fabs(c.check));
#endif
    }
#ifndef VELDARIN_HAVE_CHOLMOD
    std::printf("(CHOLMOD not found at build time: no reference figures)\n");
#endif
    std::printf("\nNested dissection alone, best of 20, ms on 1, 2, 4 and 8 threads\n");
    std::printf("%6s %5s %9s %9s %9s %9s %9s\n", "nx", "nz", "nodes", "1", "2", "4", "8");
    for (int nelec : {48, 161, 601}) {
        const Mesh m = block_mesh(nelec);
        time_dissection(m.nx, m.nz, 20);
    }
    for (int nelec : {301, 601})
        time_dissection((nelec - 1) * 4 + 53, 25, 20);
    return 0;
}
