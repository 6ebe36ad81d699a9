// The "Dey & Morrison original" node matrix against one built cell by cell and segment by
// segment, a uniform grid's interior node in closed form, and the failure results; solved at
// the fixed wavenumbers, the potential of a half-space.
#include "fdsolve/bessel.h"
#include "fdsolve/dey_morrison.h"
#include "fdsolve/spare.h"

#include "matrix/gridgraph.h"
#include "matrix/ordering.h"
#include "matrix/sparse.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A grid with its five-point structure under the nested-dissection ordering.
struct Grid {
    int nx, nz, n;
    std::vector<float> dx, dz, cond;
    std::vector<int> perm, invp, xlnz, xnzsub, nzsub;
    std::vector<double> diag, lnz, depths;
    int maxlnz = 0;

    Grid(std::vector<float> column_dx, std::vector<float> row_dz)
        : nx(int(column_dx.size()) + 1), nz(int(row_dz.size()) + 1), n(nx * nz),
          dx(std::move(column_dx)), dz(std::move(row_dz)), cond(std::size_t(nx - 1) * (nz - 1)),
          perm(n), invp(n), xlnz(n + 1), xnzsub(n + 1), nzsub(8 * n), diag(n), depths(nz) {
        std::vector<int> xadj(n + 1), adjncy(4 * n);
        grid_adjacency_5pt(xadj.data(), adjncy.data(), nx, nz);
        int maxsub = int(nzsub.size());
        EXPECT_EQ(nd_order_and_symbolic_factorisation(maxlnz, n, xadj.data(), adjncy.data(),
                                                      xlnz.data(), xnzsub.data(), nzsub.data(),
                                                      perm.data(), invp.data(), maxsub),
                  0);
        lnz.assign(maxlnz, 0.0);
    }
    int node(int i, int j) const { return (j - 1) * nx + i; }
    float& sigma(int i, int j) { return cond[index2d(i, j, nx - 1)]; }
    int assemble(double k) {
        return assemble_matrix_dm(n, diag.data(), depths.data(), nx, nz, k, cond.data(), dx.data(),
                                  dz.data(), lnz.data(), xlnz.data(), nzsub.data(), xnzsub.data(),
                                  invp.data());
    }
    // Entry (v, w) of the assembled matrix in the old numbering; 0 outside the structure.
    double entry(int v, int w) const {
        const int a = invp[v - 1], b = invp[w - 1];
        if (a == b) return diag[a - 1];
        const int t = mx::find_compressed_entry(std::max(a, b), std::min(a, b), xlnz.data(),
                                                nzsub.data(), xnzsub.data());
        return t == 0 ? 0.0 : lnz[t - 1];
    }
};

// The matrix put together the other way round: every cell scatters its terms onto its corners
// and edges, every boundary segment its term onto its two end nodes.
std::vector<double> reference(Grid& g, double k) {
    std::vector<double> a(std::size_t(g.n) * g.n, 0.0), x(g.nx + 1), z(g.nz + 1);
    for (int i = 2; i <= g.nx; ++i)
        x[i] = x[i - 1] + g.dx[i - 2];
    for (int j = 2; j <= g.nz; ++j)
        z[j] = z[j - 1] + g.dz[j - 2];
    auto at = [&](int v, int w) -> double& { return a[std::size_t(v - 1) * g.n + (w - 1)]; };
    auto couple = [&](int v, int w, double value) {
        at(v, w) += value;
        at(w, v) += value;
    };
    for (int ci = 1; ci < g.nx; ++ci)
        for (int cj = 1; cj < g.nz; ++cj) {
            const double s = g.sigma(ci, cj), w = g.dx[ci - 1], t = g.dz[cj - 1];
            const double h = s * t / (2 * w), v = s * w / (2 * t), m = s * k * k * w * t;
            for (int di : {0, 1})
                for (int dj : {0, 1})
                    at(g.node(ci + di, cj + dj), g.node(ci + di, cj + dj)) += h + v + m / 4;
            for (int dj : {0, 1})
                couple(g.node(ci, cj + dj), g.node(ci + 1, cj + dj), -h);
            for (int di : {0, 1})
                couple(g.node(ci + di, cj), g.node(ci + di, cj + 1), -v);
        }
    const double x0 = x[g.nx / 2];
    auto term = [&](double x1, double depth, double s, double length, bool side) {
        double d = 0, r = 0;
        const double ratio = bessel_ratio_k1_k0_dbl(x0, x1, depth, &d, &r, k);
        return 0.5 * s * ratio * (side ? d : depth) / r * length;
    };
    for (int c : {1, g.nx})
        for (int j = 1; j < g.nz; ++j) {
            const double e = term(x[c], z[j], g.sigma(c == 1 ? 1 : g.nx - 1, j), g.dz[j - 1], true);
            at(g.node(c, j), g.node(c, j)) += e;
            at(g.node(c, j + 1), g.node(c, j + 1)) += e;
        }
    for (int i = 1; i < g.nx; ++i) {
        const double e = term(x[i], z[g.nz], g.sigma(i, g.nz - 1), g.dx[i - 1], false);
        at(g.node(i, g.nz), g.node(i, g.nz)) += e;
        if (i + 1 < g.nx) at(g.node(i + 1, g.nz), g.node(i + 1, g.nz)) += e;
    }
    // The last bottom segment once more, evaluated at the corner it ends in.
    at(g.node(g.nx, g.nz), g.node(g.nx, g.nz)) +=
        term(x[g.nx], z[g.nz], g.sigma(g.nx - 1, g.nz - 1), g.dx[g.nx - 2], false);
    return a;
}

TEST(DeyMorrisonMatrix, EqualsTheMatrixBuiltCellByCell) {
    Grid g({1.0f, 0.5f, 0.5f, 0.75f, 1.25f, 2.0f, 3.5f}, {0.25f, 0.35f, 0.6f, 1.1f, 2.0f});
    for (int i = 1; i < g.nx; ++i)
        for (int j = 1; j < g.nz; ++j)
            g.sigma(i, j) = 0.01f * float(1 + (3 * i + 5 * j) % 7) * (j == 3 ? 40.0f : 1.0f);
    for (double k : {0.005, 0.3, 4.0}) {
        SCOPED_TRACE(testing::Message() << "k " << k);
        std::fill(g.lnz.begin(), g.lnz.end(), 9.0); // stale values from an earlier wavenumber
        ASSERT_EQ(g.assemble(k), 0);
        const std::vector<double> a = reference(g, k);
        for (int v = 1; v <= g.n; ++v) {
            const double scale = a[std::size_t(v - 1) * g.n + (v - 1)];
            for (int w = 1; w <= v; ++w)
                ASSERT_NEAR(g.entry(v, w), a[std::size_t(v - 1) * g.n + (w - 1)], 1e-12 * scale)
                    << v << " " << w;
        }
        double depth = 0.0;
        for (int j = 1; j <= g.nz; ++j) {
            EXPECT_EQ(g.depths[j - 1], depth);
            if (j < g.nz) depth += g.dz[j - 1];
        }
    }
}

TEST(DeyMorrisonMatrix, UniformInteriorNode) {
    // dx = dz = h, conductivity s: the diagonal 4 s + s k^2 h^2, the couplings -s.
    const float h = 0.5f, s = 0.02f;
    Grid g(std::vector<float>(6, h), std::vector<float>(4, h));
    std::fill(g.cond.begin(), g.cond.end(), s);
    const double k = 0.7;
    ASSERT_EQ(g.assemble(k), 0);
    const int v = g.node(3, 3);
    EXPECT_NEAR(g.entry(v, v), 4 * s + s * k * k * h * h, 1e-15);
    for (int w : {v - 1, v + 1, v - g.nx, v + g.nx})
        EXPECT_NEAR(g.entry(v, w), -s, 1e-15);
}

TEST(DeyMorrisonMatrix, RefusedStoreAndStructuresThatDoNotFit) {
    Grid g(std::vector<float>(5, 1.0f), std::vector<float>(3, 1.0f));
    std::fill(g.cond.begin(), g.cond.end(), 0.1f);
    std::fill(g.diag.begin(), g.diag.end(), -3.0);

    const long long before = sys::page_bytes_in_use();
    sys::set_page_budget(before);
    EXPECT_EQ(g.assemble(0.2), 1);
    sys::set_page_budget(-1);
    EXPECT_EQ(sys::page_bytes_in_use(), before);
    EXPECT_EQ(g.diag, std::vector<double>(g.n, -3.0)); // nothing changed

    // A structure of the diagonal alone has no place for the couplings.
    std::vector<int> bare(g.n + 1, 1);
    EXPECT_EQ(assemble_matrix_dm(g.n, g.diag.data(), g.depths.data(), g.nx, g.nz, 0.2,
                                 g.cond.data(), g.dx.data(), g.dz.data(), g.lnz.data(), bare.data(),
                                 g.nzsub.data(), bare.data(), g.invp.data()),
              2);
    EXPECT_EQ(assemble_matrix_dm(g.n - 1, g.diag.data(), g.depths.data(), g.nx, g.nz, 0.2,
                                 g.cond.data(), g.dx.data(), g.dz.data(), g.lnz.data(),
                                 g.xlnz.data(), g.nzsub.data(), g.xnzsub.data(), g.invp.data()),
              2);
    EXPECT_EQ(sys::page_bytes_in_use(), before);
    EXPECT_EQ(g.assemble(0.2), 0);
}

// A point source of unit strength on a half-space of conductivity s: the matrix of each fixed
// wavenumber, factored and solved, gives the potentials V(k, r) of the line source, and the
// weights sum them to the potential of the point source of the drivers' scaling,
// sum g_i V(k_i, r) = 1 / (pi s r). A grid of quarter spacings 10 spacings either side of the
// source (the boundary's reference point), margins and rows growing by 1.25 to some 100
// spacings.
TEST(InverseFourier, HalfSpacePotentialFromTheFixedWavenumbers) {
    std::vector<float> dx, dz;
    for (int i = 20; i >= 1; --i)
        dx.push_back(0.25f * std::pow(1.25f, float(i)));
    dx.insert(dx.end(), 80, 0.25f);
    for (int i = 1; i <= 20; ++i)
        dx.push_back(0.25f * std::pow(1.25f, float(i)));
    for (int j = 0; j < 26; ++j)
        dz.push_back(0.25f * std::pow(1.25f, float(std::max(j - 3, 0))));
    Grid g(dx, dz);
    const float s = 0.01f;
    std::fill(g.cond.begin(), g.cond.end(), s);
    const int source = g.node(g.nx / 2, 1);
    std::vector<int> link(g.n), first(g.n);
    std::vector<double> temp(g.n), rhs(g.n);

    InverseFourier set;
    for (int count : {4, 8}) {
        if (count == 8) set.use_eight();
        std::vector<double> v(11, 0.0); // v[r], r spacings from the source
        for (int i = 0; i < set.count; ++i) {
            ASSERT_EQ(g.assemble(set.wavenumbers[i]), 0);
            ASSERT_EQ(fact_sparse_dbl(g.n, g.xlnz.data(), g.lnz.data(), g.xnzsub.data(),
                                      g.nzsub.data(), g.diag.data(), link.data(), first.data(),
                                      temp.data()),
                      0);
            std::fill(rhs.begin(), rhs.end(), 0.0);
            rhs[g.invp[source - 1] - 1] = 1.0;
            solve_sparse_dbl(1, 1, g.n, g.xlnz.data(), g.lnz.data(), g.xnzsub.data(),
                             g.nzsub.data(), g.diag.data(), rhs.data());
            for (int r = 1; r <= 10; ++r)
                v[r] += set.weights[i] * rhs[g.invp[source + 4 * r - 1] - 1];
        }
        // Measured: 0.92 % with the four (r = 3), 0.64 % with the eight (r = 1), the mesh's
        // own error mostly.
        for (int r = 1; r <= 10; ++r)
            EXPECT_NEAR(v[r] * 3.141592653589793 * s * r, 1.0, count == 4 ? 0.01 : 0.007)
                << count << " wavenumbers, r = " << r;
    }
}

} // namespace
