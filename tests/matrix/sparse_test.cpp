// Compressed-subscript sparse Cholesky: assembly, factorisation and solves against a dense
// reference, row ranges, four right-hand sides, and the non-positive pivot.
#include "matrix/gridgraph.h"
#include "matrix/ordering.h"
#include "matrix/sparse.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <limits>

using mxtest::Dense;
using mxtest::Graph;

namespace {

// An ordered graph with its symbolic factorisation and room for the values.
struct SparseSystem {
    int n = 0;
    std::vector<int> perm, invp, xlnz, xnzsub, nzsub;
    std::vector<double> lnz, diag;
    std::vector<int> link, first;
    std::vector<double> temp;

    explicit SparseSystem(Graph g) : n(g.n) {
        perm.resize(n + 1);
        invp.resize(n + 1);
        xlnz.resize(n + 1);
        xnzsub.resize(n + 1);
        nzsub.resize(std::size_t(n) * n + 1);
        int maxlnz = 0, maxsub = int(nzsub.size());
        EXPECT_EQ(nd_order_and_symbolic_factorisation(maxlnz, n, g.xadj.data(), g.adjncy.data(),
                                                      xlnz.data(), xnzsub.data(), nzsub.data(),
                                                      perm.data(), invp.data(), maxsub),
                  0);
        lnz.resize(maxlnz + 1);
        diag.resize(n);
        link.resize(n);
        first.resize(n);
        temp.resize(n);
    }

    // Clears the values and adds every entry of m (old numbering) through the assembly routine.
    void assemble(const Dense& m) {
        std::fill(lnz.begin(), lnz.end(), 0.0);
        std::fill(diag.begin(), diag.end(), 0.0);
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= i; ++j) {
                if (m(i, j) == 0.0) continue;
                ASSERT_EQ(add_sparse_entry_dbl(m(i, j), lnz.data(), i, j, diag.data(), xlnz.data(),
                                               nzsub.data(), xnzsub.data(), invp.data()),
                          0);
            }
    }
    int factor() {
        return fact_sparse_dbl(n, xlnz.data(), lnz.data(), xnzsub.data(), nzsub.data(), diag.data(),
                               link.data(), first.data(), temp.data());
    }
    std::vector<double> to_new(const std::vector<double>& old) const {
        std::vector<double> v(n);
        for (int k = 1; k <= n; ++k)
            v[invp[k - 1] - 1] = old[k - 1];
        return v;
    }
    std::vector<double> to_old(const std::vector<double>& v) const {
        std::vector<double> old(n);
        for (int i = 1; i <= n; ++i)
            old[perm[i - 1] - 1] = v[i - 1];
        return old;
    }
};

Graph grid_graph(int nx, int nz) {
    return mxtest::grid_graph(nx, nz, 4, grid_adjacency_5pt);
}

struct SparseCase {
    const char* name;
    Graph graph;
};

std::vector<SparseCase> sparse_cases() {
    return {{"grid 1 x 1", grid_graph(1, 1)},
            {"grid 9 x 7", grid_graph(9, 7)},
            {"grid 30 x 12", grid_graph(30, 12)},
            {"random 60", mxtest::random_graph(60, 0.06, 5)},
            {"random 25 dense", mxtest::random_graph(25, 0.4, 6)}};
}

// A right-hand side in the new numbering that is zero before row `first`, and its reference
// solution in the new numbering.
void problem(const SparseSystem& s, const Dense& m, int first, unsigned seed,
             std::vector<double>& rhs, std::vector<double>& expected) {
    rhs = mxtest::random_vector(s.n, seed);
    for (int i = 1; i < first; ++i)
        rhs[i - 1] = 0.0;
    std::vector<double> old(s.n);
    for (int i = 1; i <= s.n; ++i)
        old[s.perm[i - 1] - 1] = rhs[i - 1];
    expected = s.to_new(mxtest::dense_solve(m, old));
}

TEST(SparseCholesky, SolvesMatchDenseReferenceOverRowRanges) {
    for (SparseCase& c : sparse_cases()) {
        SparseSystem s(c.graph);
        Dense m = mxtest::random_spd_on_graph(c.graph, 3);
        s.assemble(m);
        ASSERT_EQ(s.factor(), 0) << c.name;
        // The same factor in single precision for the float solve.
        std::vector<float> lnzf(s.lnz.begin(), s.lnz.end()), diagf(s.diag.begin(), s.diag.end());
        const int n = s.n;
        const int ranges[][2] = {{1, 1}, {n / 2 + 1, 1}, {1, n / 2 + 1}, {n, n}, {n / 3 + 1, n}};
        for (const auto& range : ranges) {
            SCOPED_TRACE(testing::Message()
                         << c.name << " first " << range[0] << " stop " << range[1]);
            std::vector<double> rhs, expected;
            problem(s, m, range[0], 7, rhs, expected);
            std::vector<double> x = rhs;
            solve_sparse_dbl(range[0], range[1], n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(),
                             s.nzsub.data(), s.diag.data(), x.data());
            EXPECT_LT(mxtest::relative_difference(x, expected, range[1]), 1e-10);

            std::vector<float> xf(rhs.begin(), rhs.end());
            ASSERT_EQ(solve_sparse_flt(range[0], range[1], n, s.xlnz.data(), lnzf.data(),
                                       s.xnzsub.data(), s.nzsub.data(), diagf.data(), xf.data()),
                      0);
            EXPECT_LT(mxtest::relative_difference(std::vector<double>(xf.begin(), xf.end()),
                                                  expected, range[1]),
                      1e-5);
        }
    }
}

TEST(SparseCholesky, FourRightHandSidesEqualFourSingleSolves) {
    for (SparseCase& c : sparse_cases()) {
        SparseSystem s(c.graph);
        Dense m = mxtest::random_spd_on_graph(c.graph, 4);
        s.assemble(m);
        ASSERT_EQ(s.factor(), 0) << c.name;
        const int n = s.n;
        int firsts[4], stops[4];
        std::vector<double> rhs[4], single[4], expected[4];
        for (int r = 0; r < 4; ++r) {
            firsts[r] = 1 + r * (n - 1) / 4;
            stops[r] = std::max(1, n - r * n / 3);
            problem(s, m, firsts[r], 20 + r, rhs[r], expected[r]);
            single[r] = rhs[r];
            solve_sparse_dbl(firsts[r], stops[r], n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(),
                             s.nzsub.data(), s.diag.data(), single[r].data());
        }
        solve4_sparse_dbl(firsts[0], stops[0], firsts[1], stops[1], firsts[2], stops[2], firsts[3],
                          stops[3], n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                          s.diag.data(), rhs[0].data(), rhs[1].data(), rhs[2].data(),
                          rhs[3].data());
        for (int r = 0; r < 4; ++r) {
            SCOPED_TRACE(testing::Message() << c.name << " system " << r);
            for (int k = stops[r]; k <= n; ++k)
                EXPECT_EQ(rhs[r][k - 1], single[r][k - 1]);
            EXPECT_LT(mxtest::relative_difference(rhs[r], expected[r], stops[r]), 1e-10);
        }
    }
}

TEST(SparseCholesky, NonPositivePivotReturnsItsColumnAndTheNextFactorisationIsClean) {
    Graph g = grid_graph(6, 5);
    SparseSystem s(g);
    Dense good = mxtest::random_spd_on_graph(g, 8);
    for (int column : {1, 4, 17, s.n}) {
        SCOPED_TRACE(testing::Message() << "column " << column);
        // Make the leading minor of order `column` (new numbering) singular: shrink that
        // diagonal entry until its pivot is no longer positive.
        s.assemble(good);
        ASSERT_EQ(s.factor(), 0);
        const double pivot = s.diag[column - 1];
        Dense bad = good;
        const int node = s.perm[column - 1];
        bad(node, node) -= pivot * pivot * 1.5;
        s.assemble(bad);
        EXPECT_EQ(s.factor(), column);
        // Columns before it are final.
        std::vector<double> lnz_bad = s.lnz, diag_bad = s.diag;
        s.assemble(good);
        ASSERT_EQ(s.factor(), 0);
        for (int k = 1; k < column; ++k) {
            EXPECT_NEAR(diag_bad[k - 1], s.diag[k - 1], 1e-12);
            for (int t = s.xlnz[k - 1]; t < s.xlnz[k]; ++t)
                EXPECT_NEAR(lnz_bad[t - 1], s.lnz[t - 1], 1e-12);
        }
        // The good matrix factored with the same work vectors after the failure solves right.
        std::vector<double> rhs, expected;
        problem(s, good, 1, 9, rhs, expected);
        solve_sparse_dbl(1, 1, s.n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                         s.diag.data(), rhs.data());
        EXPECT_LT(mxtest::relative_difference(rhs, expected), 1e-10);
    }
    // A pivot that is not a number fails as well.
    Dense nan = good;
    nan(3, 3) = std::numeric_limits<double>::quiet_NaN();
    s.assemble(nan);
    EXPECT_EQ(s.factor(), s.invp[2]);
}

TEST(SparseCholesky, EntriesOutsideTheStructureAreRefused) {
    Graph g = grid_graph(4, 4);
    SparseSystem s(g);
    // Nodes 1 and 16 are opposite corners: no factor entry joins them under any ordering
    // of a 4 x 4 grid unless fill does; find a pair the structure lacks.
    int outside_i = 0, outside_j = 0;
    for (int i = 1; i <= s.n && !outside_i; ++i)
        for (int j = 1; j < i && !outside_i; ++j) {
            int a = s.invp[i - 1], b = s.invp[j - 1];
            if (mx::find_compressed_entry(std::max(a, b), std::min(a, b), s.xlnz.data(),
                                          s.nzsub.data(), s.xnzsub.data()) == 0) {
                outside_i = i;
                outside_j = j;
            }
        }
    ASSERT_NE(outside_i, 0);
    const std::vector<double> lnz = s.lnz, diag = s.diag;
    for (auto ij : {std::make_pair(outside_i, outside_j), std::make_pair(outside_j, outside_i)})
        EXPECT_EQ(add_sparse_entry_dbl(2.0, s.lnz.data(), ij.first, ij.second, s.diag.data(),
                                       s.xlnz.data(), s.nzsub.data(), s.xnzsub.data(),
                                       s.invp.data()),
                  1);
    EXPECT_EQ(s.lnz, lnz);
    EXPECT_EQ(s.diag, diag);

    // A diagonal entry changes the diagonal alone; a neighbour pair lands in lnz.
    EXPECT_EQ(add_sparse_entry_dbl(3.0, s.lnz.data(), 6, 6, s.diag.data(), s.xlnz.data(),
                                   s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
              0);
    EXPECT_EQ(s.diag[s.invp[5] - 1], 3.0);
    EXPECT_EQ(s.lnz, lnz);

    std::vector<float> diagf(s.n), lnzf(s.lnz.size());
    EXPECT_EQ(set_compressed_entry(1.5f, 6, 7, diagf.data(), lnzf.data(), s.xlnz.data(),
                                   s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
              1);
    EXPECT_EQ(set_compressed_entry(2.5f, 6, 6, diagf.data(), lnzf.data(), s.xlnz.data(),
                                   s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
              0);
    EXPECT_EQ(set_compressed_entry(1.5f, outside_i, outside_j, diagf.data(), lnzf.data(),
                                   s.xlnz.data(), s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
              2);
}

} // namespace
