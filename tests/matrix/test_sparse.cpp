// Compressed-subscript sparse Cholesky: assembly, factorisation and solves against a dense
// reference, row ranges, four right-hand sides, and the non-positive pivot.
#include "matrix/gridgraph.h"
#include "matrix/ordering.h"
#include "matrix/path_chains.h"
#include "matrix/sparse.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

using mxtest::Dense;
using mxtest::Graph;
using mxtest::SparseSystem;

namespace {

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

// Orders, assembles and factors s with the matrix m of its graph.
testing::AssertionResult factored(SparseSystem& s, const Dense& m) {
    if (!s.ordered) return testing::AssertionFailure() << "not ordered";
    if (!s.assemble(m)) return testing::AssertionFailure() << "an entry outside the structure";
    if (const int column = s.factor(); column != 0)
        return testing::AssertionFailure() << "pivot of column " << column;
    return testing::AssertionSuccess();
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
        const Dense m = mxtest::random_spd_on_graph(c.graph, 3);
        ASSERT_TRUE(factored(s, m)) << c.name;
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
        const Dense m = mxtest::random_spd_on_graph(c.graph, 4);
        ASSERT_TRUE(factored(s, m)) << c.name;
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

// Solutions wanted at a few rows only, as the potential solvers read them at the electrodes:
// unit sources (a forward pass along their tree paths) and a back pass over the wanted rows
// and their ancestors give the values of the complete solve, bit for bit.
TEST(SparseCholesky, SolvesForWantedRowsEqualCompleteSolves) {
    for (SparseCase& c : sparse_cases()) {
        SparseSystem s(c.graph);
        const Dense m = mxtest::random_spd_on_graph(c.graph, 5);
        ASSERT_TRUE(factored(s, m)) << c.name;
        const int n = s.n;
        std::vector<int> parent(n);
        sparse_tree_parents(n, s.xlnz.data(), s.xnzsub.data(), s.nzsub.data(), parent.data());
        // Five sources (four lanes and one more), each a unit value at one row.
        const int count = 5;
        std::vector<std::vector<double>> rhs(count, std::vector<double>(n, 0.0)), full = rhs;
        int first = n;
        for (int r = 0; r < count; ++r) {
            const int row = 1 + (r * 7 + 3) % n;
            rhs[r][row - 1] = full[r][row - 1] = 1.0;
            first = std::min(first, row);
            solve_sparse_dbl(1, 1, n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                             s.diag.data(), full[r].data());
        }
        // Rows read: the first, the last and two in between (the root is an ancestor of all).
        const std::vector<int> reads = {1, n, std::max(1, n / 3), std::max(1, (2 * n) / 3)};
        std::vector<unsigned char> needed(n, 0);
        mark_tree_ancestors(int(reads.size()), reads.data(), parent.data(), needed.data());
        for (int row : reads)
            for (int k = row; k != 0; k = parent[k - 1])
                EXPECT_TRUE(needed[k - 1]) << c.name << " ancestor " << k << " of " << row;
        double* lanes[count];
        for (int r = 0; r < count; ++r)
            lanes[r] = rhs[r].data();
        solve_sparse_rows_dbl(count, first, n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(),
                              s.nzsub.data(), s.diag.data(), needed.data(), lanes);
        for (int r = 0; r < count; ++r)
            for (int row : reads)
                EXPECT_EQ(rhs[r][row - 1], full[r][row - 1])
                    << c.name << " source " << r << " row " << row;
    }
}

// Entries of the inverse between a few rows, from the columns of the factor's inverse along
// their tree paths, against complete solves for unit right-hand sides.
TEST(SparseCholesky, InverseEntriesBetweenRowsMatchCompleteSolves) {
    for (SparseCase& c : sparse_cases()) {
        SparseSystem s(c.graph);
        const Dense m = mxtest::random_spd_on_graph(c.graph, 6);
        ASSERT_TRUE(factored(s, m)) << c.name;
        const int n = s.n;
        std::vector<int> parent(n), rows;
        sparse_tree_parents(n, s.xlnz.data(), s.xnzsub.data(), s.nzsub.data(), parent.data());
        for (int row = 1; row <= n; row += std::max(1, n / 7))
            rows.push_back(row);
        rows.push_back(n); // the root, on every path
        const int count = int(rows.size());
        std::vector<double> packed(std::size_t(count) * (count - 1) / 2, -1.0);
        const std::size_t capacity = std::size_t(count) * sparse_tree_height(n, parent.data());
        std::vector<int> path_rows(capacity);
        std::vector<double> path_values(capacity), work(4 * std::size_t(n), 0.0);
        auto entries = [&](std::size_t room) {
            return sparse_inverse_entries_dbl(count, rows.data(), n, s.xlnz.data(), s.lnz.data(),
                                              s.xnzsub.data(), s.nzsub.data(), s.diag.data(),
                                              parent.data(), packed.data(), room, path_rows.data(),
                                              path_values.data(), work.data());
        };
        ASSERT_EQ(entries(0), 1) << c.name; // no room for the paths: nothing written
        ASSERT_EQ(packed, std::vector<double>(packed.size(), -1.0)) << c.name;
        ASSERT_EQ(entries(capacity), 0);
        EXPECT_EQ(work, std::vector<double>(4 * std::size_t(n), 0.0))
            << c.name; // ready for the next call
        std::size_t q = 0;
        for (int j = 1; j < count; ++j) {
            std::vector<double> x(n, 0.0);
            x[rows[j] - 1] = 1.0;
            solve_sparse_dbl(1, 1, n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                             s.diag.data(), x.data());
            for (int i = 0; i < j; ++i, ++q) {
                const double expected = x[rows[i] - 1];
                EXPECT_NEAR(packed[q], expected, 1e-12 * std::fabs(x[rows[j] - 1]))
                    << c.name << " rows " << rows[i] << ", " << rows[j];
            }
        }
    }
}

// The same entries from the steps two threads share: the paths of two halves of the rows at
// once, each with its own work vector, then the pairs split at several outer rows.
TEST(SparseCholesky, InverseEntriesInStepsOnTwoThreadsEqualOneCall) {
    for (SparseCase& c : sparse_cases()) {
        SparseSystem s(c.graph);
        ASSERT_TRUE(factored(s, mxtest::random_spd_on_graph(c.graph, 7))) << c.name;
        const int n = s.n;
        std::vector<int> parent(n);
        sparse_tree_parents(n, s.xlnz.data(), s.xnzsub.data(), s.nzsub.data(), parent.data());
        // A few rows far apart, and rows close enough for many to share each chain of their
        // paths (four by four).
        for (int step : {std::max(1, n / 9), std::max(1, n / 40)}) {
            std::vector<int> rows;
            for (int row = 1; row <= n; row += step)
                rows.push_back(row);
            const int count = int(rows.size());
            const std::size_t capacity = std::size_t(count) * sparse_tree_height(n, parent.data());
            std::vector<int> path_rows(capacity);
            std::vector<double> path_values(capacity), work(4 * std::size_t(n), 0.0),
                other(4 * std::size_t(n), 0.0);
            std::vector<double> once(std::size_t(count) * (count - 1) / 2);
            ASSERT_EQ(sparse_inverse_entries_dbl(count, rows.data(), n, s.xlnz.data(), s.lnz.data(),
                                                 s.xnzsub.data(), s.nzsub.data(), s.diag.data(),
                                                 parent.data(), once.data(), capacity,
                                                 path_rows.data(), path_values.data(), work.data()),
                      0);
            std::vector<std::size_t> begin;
            ASSERT_FALSE(mx::inverse_paths(count, rows.data(), parent.data(), 0, begin)) << c.name;
            ASSERT_TRUE(mx::inverse_paths(count, rows.data(), parent.data(), capacity, begin));
            const mx::TreeFactor f{s.xlnz.data(),  s.lnz.data(),  s.xnzsub.data(),
                                   s.nzsub.data(), s.diag.data(), parent.data()};
            std::fill(path_values.begin(), path_values.end(), 0.0);
            std::thread second([&] {
                mx::inverse_columns(count / 2, count, rows.data(), f, begin.data(),
                                    path_rows.data(), path_values.data(), other.data());
            });
            mx::inverse_columns(0, count / 2, rows.data(), f, begin.data(), path_rows.data(),
                                path_values.data(), work.data());
            second.join();
            EXPECT_EQ(work, std::vector<double>(4 * std::size_t(n), 0.0)) << c.name;
            EXPECT_EQ(other, std::vector<double>(4 * std::size_t(n), 0.0)) << c.name;
            for (int middle : {1, count / 2, count - 1, count}) {
                std::vector<double> split(once.size(), -1.0);
                std::thread upper([&] {
                    mx::inverse_products(middle, count, begin.data(), path_rows.data(),
                                         path_values.data(), split.data());
                });
                mx::inverse_products(1, middle, begin.data(), path_rows.data(), path_values.data(),
                                     split.data());
                upper.join();
                EXPECT_EQ(split, once) << c.name << " split at " << middle;
            }
            // The paths worked chain by chain, all paths through a chain at once, give the same
            // entries bit for bit, whole and split, from work of any content, and the same again
            // with the forward pass in its parts on two threads; the diagonal is the walks' and
            // that of complete solves.
            mx::PathChains chains;
            ASSERT_TRUE(chains.plan(count, rows.data(), n, s.xlnz.data(), s.xnzsub.data(),
                                    s.nzsub.data(), parent.data()));
            std::vector<double> values(chains.value_count()), parted(chains.value_count()),
                chain_work(chains.work_count(), std::nan(""));
            chains.columns(f, values.data(), chain_work.data());
            std::fill(chain_work.begin(), chain_work.end(), std::nan(""));
            std::thread part([&] { chains.columns(1, f, parted.data(), chain_work.data()); });
            chains.columns(0, f, parted.data(), chain_work.data());
            part.join();
            chains.columns(2, f, parted.data(), chain_work.data());
            EXPECT_EQ(parted, values) << c.name;
            std::vector<double> diagonal(count, -1.0), walked(count, 0.0);
            for (int middle : {1, count / 2, count - 1, count}) {
                std::vector<double> known(once.size(), -1.0);
                std::thread upper([&] {
                    chains.products(middle, count, values.data(), known.data(), diagonal.data());
                });
                chains.products(1, middle, values.data(), known.data(), diagonal.data());
                upper.join();
                EXPECT_EQ(known, once) << c.name << " split at " << middle;
            }
            for (int i = 0; i < count; ++i)
                for (std::size_t a = begin[i + 1]; a > begin[i]; --a)
                    walked[i] += path_values[a - 1] * path_values[a - 1];
            EXPECT_EQ(diagonal, walked) << c.name;
            for (int i = 0; i < count; ++i) {
                std::vector<double> x(n, 0.0);
                x[rows[i] - 1] = 1.0;
                solve_sparse_dbl(1, 1, n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(),
                                 s.nzsub.data(), s.diag.data(), x.data());
                EXPECT_NEAR(diagonal[i], x[rows[i] - 1], 1e-12 * std::fabs(x[rows[i] - 1]))
                    << c.name;
            }
        }
    }
}

TEST(SparseCholesky, NonPositivePivotReturnsItsColumnAndTheNextFactorisationIsClean) {
    Graph g = grid_graph(6, 5);
    SparseSystem s(g);
    ASSERT_TRUE(s.ordered);
    Dense good = mxtest::random_spd_on_graph(g, 8);
    for (int column : {1, 4, 17, s.n}) {
        SCOPED_TRACE(testing::Message() << "column " << column);
        // Make the leading minor of order `column` (new numbering) singular: shrink that
        // diagonal entry until its pivot is no longer positive.
        ASSERT_TRUE(s.assemble(good));
        ASSERT_EQ(s.factor(), 0);
        const double pivot = s.diag[column - 1];
        Dense bad = good;
        const int node = s.perm[column - 1];
        bad(node, node) -= pivot * pivot * 1.5;
        ASSERT_TRUE(s.assemble(bad));
        EXPECT_EQ(s.factor(), column);
        // Columns before it are final.
        std::vector<double> lnz_bad = s.lnz, diag_bad = s.diag;
        ASSERT_TRUE(s.assemble(good));
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
    ASSERT_TRUE(s.assemble(nan));
    EXPECT_EQ(s.factor(), s.invp[2]);
}

TEST(SparseCholesky, EntriesOutsideTheStructureAreRefused) {
    Graph g = grid_graph(4, 4);
    SparseSystem s(g);
    ASSERT_TRUE(s.ordered);
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

// ---- Single-precision kernels --------------------------------------------------------------

// The five-point matrix of an nx x nz node grid (node (i, j) = (j - 1) nx + i) with uneven
// spacings, blocks of contrasting conductivity and the wavenumber term lumped on the corners:
// the matrix of a finite-difference solve at wavenumber k, without boundary terms.
struct GridEntry {
    int i, j;
    double value;
};
std::vector<GridEntry> five_point_matrix(int nx, int nz, double k) {
    auto dx = [](int i) { return 1.0 + 0.25 * (i % 3); };
    auto dz = [](int j) { return 0.5 * std::pow(1.1, j); };
    auto sigma = [](int i, int j) { return (i / 6 + j / 4) % 3 == 0 ? 10.0 : 0.05 + 0.01 * i; };
    auto node = [nx](int i, int j) { return (j - 1) * nx + i; };
    std::vector<GridEntry> entries;
    for (int j = 1; j <= nz; ++j)
        for (int i = 1; i <= nx; ++i) {
            double diagonal = 0.0, left = 0.0, upper = 0.0;
            for (int ci : {i - 1, i})
                for (int cj : {j - 1, j}) {
                    if (ci < 1 || ci >= nx || cj < 1 || cj >= nz) continue;
                    const double s = sigma(ci, cj);
                    const double h = s * dz(cj) / (2 * dx(ci)), v = s * dx(ci) / (2 * dz(cj));
                    diagonal += h + v + 0.25 * s * k * k * dx(ci) * dz(cj);
                    if (ci == i - 1) left -= h;
                    if (cj == j - 1) upper -= v;
                }
            entries.push_back({node(i, j), node(i, j), diagonal});
            if (i > 1) entries.push_back({node(i, j), node(i - 1, j), left});
            if (j > 1) entries.push_back({node(i, j), node(i, j - 1), upper});
        }
    return entries;
}

// A float factor of a grid matrix under the ordering of a double system: the diagonal set in
// place, the off-diagonals added through add_compressed_entry_dbl (under the old-to-new vector)
// into a double array first.
struct FloatFactor {
    std::vector<double> assembled;
    std::vector<float> lnz, diag, temp;
    std::vector<int> link, first;
    int flag = -1;
    // The results of add_compressed_entry_dbl other than 0, one per refused entry.
    int refused = 0;
    FloatFactor(const SparseSystem& s, const std::vector<GridEntry>& entries)
        : assembled(s.lnz.size(), 0.0), diag(s.n, 0.0f) {
        for (const GridEntry& e : entries) {
            if (e.i == e.j) {
                diag[s.invp[e.i - 1] - 1] = float(e.value);
                continue;
            }
            refused += add_compressed_entry_dbl(assembled.data(), e.i, e.j, e.value, s.xlnz.data(),
                                                s.nzsub.data(), s.xnzsub.data(), s.invp.data());
        }
        lnz.assign(assembled.begin(), assembled.end());
    }
    void factor(const SparseSystem& s) {
        temp.assign(s.n, 0.0f);
        link.assign(s.n, 0);
        first.assign(s.n, 0);
        compressed_cholesky_float(s.n, s.xlnz.data(), lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                                  diag.data(), link.data(), first.data(), temp.data(), &flag);
    }
};

TEST(CompressedFloat, GridFactorAndSolvesAgreeWithTheDoubleFactor) {
    const int nx = 40, nz = 20;
    SparseSystem s(grid_graph(nx, nz));
    ASSERT_TRUE(s.ordered);
    // The double matrix through add_sparse_entry_dbl, the float one beside it.
    const std::vector<GridEntry> entries = five_point_matrix(nx, nz, 0.3);
    for (const GridEntry& e : entries)
        ASSERT_EQ(add_sparse_entry_dbl(e.value, s.lnz.data(), e.i, e.j, s.diag.data(),
                                       s.xlnz.data(), s.nzsub.data(), s.xnzsub.data(),
                                       s.invp.data()),
                  0);
    FloatFactor f(s, entries);
    EXPECT_EQ(f.refused, 0);
    EXPECT_EQ(f.assembled, s.lnz);
    f.factor(s);
    ASSERT_EQ(f.flag, 0);
    ASSERT_EQ(s.factor(), 0);

    const int n = s.n;
    // (first row, last row): the complete solve, and a right-hand side that starts late with
    // the back substitution stopped early (rows above it keep their forward values).
    const int ranges[][2] = {{1, 1}, {n / 3, n / 2}, {n - 5, n - 40}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(testing::Message() << "first " << range[0] << " last " << range[1]);
        std::vector<double> rhs = mxtest::random_vector(n, 11);
        std::fill(rhs.begin(), rhs.begin() + (range[0] - 1), 0.0);
        std::vector<double> reference = rhs, complete = rhs, x = rhs;
        solve_sparse_dbl(range[0], range[1], n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(),
                         s.nzsub.data(), s.diag.data(), reference.data());
        solve_sparse_dbl(1, 1, n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                         s.diag.data(), complete.data());
        for (int k = range[1]; k <= n; ++k)
            ASSERT_EQ(reference[k - 1], complete[k - 1]) << k;

        compressed_solve_dbl_rhs(range[0], range[1], n, s.xlnz.data(), f.lnz.data(),
                                 s.xnzsub.data(), s.nzsub.data(), f.diag.data(), x.data());
        // Measured: about 2e-7 on this matrix.
        EXPECT_LT(mxtest::relative_difference(x, reference), 1e-6);
        std::vector<float> xf(rhs.begin(), rhs.end());
        compressed_solve_float(range[0], range[1], n, s.xlnz.data(), f.lnz.data(), s.xnzsub.data(),
                               s.nzsub.data(), f.diag.data(), xf.data());
        EXPECT_LT(mxtest::relative_difference(std::vector<double>(xf.begin(), xf.end()), reference),
                  1e-6);
        if (range[1] > 1) { // the rows above the last row are not the solution
            EXPECT_GT(mxtest::relative_difference(x, complete), 1e-3);
        }
    }
}

TEST(CompressedFloat, MissingEntriesAndTheFourthPivot) {
    const int nx = 6, nz = 5;
    SparseSystem s(grid_graph(nx, nz));
    ASSERT_TRUE(s.ordered);
    FloatFactor good(s, five_point_matrix(nx, nz, 0.5));
    EXPECT_EQ(good.refused, 0);
    std::vector<double> lnz = good.assembled;
    // Corner nodes 1 and 30 are never joined by a factor entry of this ordering, and the
    // diagonal is not handled here: both give 1 in either order and change nothing.
    ASSERT_EQ(mx::find_compressed_entry(std::max(s.invp[0], s.invp[29]),
                                        std::min(s.invp[0], s.invp[29]), s.xlnz.data(),
                                        s.nzsub.data(), s.xnzsub.data()),
              0);
    const std::vector<double> before = lnz;
    for (auto ij : {std::make_pair(1, 30), std::make_pair(30, 1), std::make_pair(7, 7)})
        EXPECT_EQ(add_compressed_entry_dbl(lnz.data(), ij.first, ij.second, 1.0, s.xlnz.data(),
                                           s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
                  1);
    EXPECT_EQ(lnz, before);

    FloatFactor bad = good;
    good.factor(s);
    ASSERT_EQ(good.flag, 0);
    bad.diag[3] = 0.0f;
    bad.factor(s);
    EXPECT_EQ(bad.flag, 4);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(bad.diag[k - 1], good.diag[k - 1]);
        for (int t = s.xlnz[k - 1]; t < s.xlnz[k]; ++t)
            EXPECT_EQ(bad.lnz[t - 1], good.lnz[t - 1]);
    }
}

TEST(CompressedFloat, FloatEntriesAndSolveMatchTheirDoubleTwins) {
    const int nx = 30, nz = 12;
    SparseSystem s(grid_graph(nx, nz));
    ASSERT_TRUE(s.ordered);
    std::vector<float> lnz(s.lnz.size(), 0.0f), diag(s.n, 0.0f);
    for (const GridEntry& e : five_point_matrix(nx, nz, 0.2)) {
        ASSERT_EQ(add_sparse_entry_dbl(e.value, s.lnz.data(), e.i, e.j, s.diag.data(),
                                       s.xlnz.data(), s.nzsub.data(), s.xnzsub.data(),
                                       s.invp.data()),
                  0);
        // Half the off-diagonal value from each side: (i, j) and (j, i) meet in one entry.
        const int sides = e.i == e.j ? 1 : 2;
        for (int side = 0; side < sides; ++side)
            ASSERT_EQ(add_sparse_entry_flt(lnz.data(), side ? e.j : e.i, side ? e.i : e.j,
                                           float(e.value / sides), diag.data(), s.xlnz.data(),
                                           s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
                      0);
    }
    // A pair the structure lacks changes nothing; a diagonal entry only the diagonal.
    const std::vector<float> lnz_before = lnz;
    EXPECT_EQ(add_sparse_entry_flt(lnz.data(), 1, s.n, 1.0f, diag.data(), s.xlnz.data(),
                                   s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
              1);
    EXPECT_EQ(add_sparse_entry_flt(lnz.data(), 5, 5, 0.0f, diag.data(), s.xlnz.data(),
                                   s.nzsub.data(), s.xnzsub.data(), s.invp.data()),
              0);
    EXPECT_EQ(lnz, lnz_before);

    std::vector<float> temp(s.n);
    std::vector<int> link(s.n), first(s.n);
    int flag = -1;
    compressed_cholesky_float(s.n, s.xlnz.data(), lnz.data(), s.xnzsub.data(), s.nzsub.data(),
                              diag.data(), link.data(), first.data(), temp.data(), &flag);
    ASSERT_EQ(flag, 0);
    ASSERT_EQ(s.factor(), 0);
    for (int start : {1, s.n / 2}) {
        std::vector<double> rhs = mxtest::random_vector(s.n, 5);
        std::fill(rhs.begin(), rhs.begin() + (start - 1), 0.0);
        std::vector<float> x(rhs.begin(), rhs.end());
        solve_sparse_dbl(start, 1, s.n, s.xlnz.data(), s.lnz.data(), s.xnzsub.data(),
                         s.nzsub.data(), s.diag.data(), rhs.data());
        ASSERT_EQ(sparse_cholesky_solve_flt(start, 1, s.n, s.xlnz.data(), lnz.data(),
                                            s.xnzsub.data(), s.nzsub.data(), diag.data(), x.data()),
                  0);
        EXPECT_LT(mxtest::relative_difference(std::vector<double>(x.begin(), x.end()), rhs), 1e-5)
            << start;
    }
}

TEST(CompressedFloat, PermuteFloatVector) {
    std::vector<float> vec = {1.5f, -2.0f, 4.0f}, work(3);
    const int identity[] = {1, 2, 3}, rotate[] = {3, 1, 2};
    permute_float_vector(work.data(), vec.data(), identity, 3);
    EXPECT_EQ(vec, (std::vector<float>{1.5f, -2.0f, 4.0f}));
    EXPECT_EQ(work, vec);
    permute_float_vector(work.data(), vec.data(), rotate, 3);
    EXPECT_EQ(vec, (std::vector<float>{-2.0f, 4.0f, 1.5f}));
}

} // namespace

namespace {

// The two halves of a factorisation, at once (each with its own link and temp) or one after
// the other on the same vectors, and the rest after them give the factor of one pass bit for
// bit.
TEST(SparseCholesky, FactorInTwoHalvesEqualsOnePass) {
    int split = 0;
    for (SparseCase& c : sparse_cases()) {
        SparseSystem s(c.graph);
        ASSERT_TRUE(s.ordered) << c.name;
        const Dense m = mxtest::random_spd_on_graph(c.graph, 3);
        ASSERT_TRUE(s.assemble(m)) << c.name;
        const std::vector<double> lnz0 = s.lnz, diag0 = s.diag;
        ASSERT_EQ(s.factor(), 0) << c.name;
        std::vector<int> parent(s.n);
        sparse_tree_parents(s.n, s.xlnz.data(), s.xnzsub.data(), s.nzsub.data(), parent.data());
        std::vector<unsigned char> part(s.n, 9);
        if (!mx::sparse_factor_parts(s.n, s.xlnz.data(), parent.data(), part.data())) continue;
        ++split;
        for (bool apart : {true, false}) {
            std::vector<double> lnz = lnz0, diag = diag0, temp(s.n), temp2(s.n);
            std::vector<int> link(s.n), link2(s.n), first(s.n);
            auto half = [&](int p, int* l, double* t, bool fresh) {
                return mx::sparse_factor_part(p, part.data(), s.n, s.xlnz.data(), lnz.data(),
                                              s.xnzsub.data(), s.nzsub.data(), diag.data(), l,
                                              first.data(), t, fresh);
            };
            ASSERT_EQ(half(1, link.data(), temp.data(), true), 0);
            if (apart)
                ASSERT_EQ(half(2, link2.data(), temp2.data(), true), 0);
            else
                ASSERT_EQ(half(2, link.data(), temp.data(), false), 0);
            ASSERT_EQ(mx::sparse_factor_rest(part.data(), s.n, s.xlnz.data(), lnz.data(),
                                             s.xnzsub.data(), s.nzsub.data(), diag.data(),
                                             link.data(), apart ? link2.data() : nullptr,
                                             first.data(), temp.data()),
                      0);
            EXPECT_EQ(lnz, s.lnz) << c.name << (apart ? " apart" : " in turn");
            EXPECT_EQ(diag, s.diag) << c.name << (apart ? " apart" : " in turn");
        }
    }
    EXPECT_GE(split, 2); // the grids branch
}

} // namespace
