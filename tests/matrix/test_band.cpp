// Band Cholesky: factorisation and solves against a dense reference, row ranges, the
// four-right-hand-side forms and the non-positive pivot.
#include "matrix/band.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using mxtest::Dense;

namespace {

template <class T> std::vector<T> band_storage(const Dense& m, int bw) {
    std::vector<T> a(std::size_t(m.n) * (bw + 1), T(0));
    for (int i = 1; i <= m.n; ++i)
        for (int j = i; j <= std::min(m.n, i + bw); ++j)
            a[sym_band_index(i, j, bw + 1)] = T(m(i, j));
    return a;
}

// The reference solution of a right-hand side whose rows before `first` are zero.
std::vector<double> rhs_from(int n, int first, unsigned seed) {
    std::vector<double> b = mxtest::random_vector(n, seed);
    for (int i = 1; i < first; ++i)
        b[i - 1] = 0.0;
    return b;
}

struct BandCase {
    int n, bw;
    unsigned seed;
};

const BandCase band_cases[] = {
    {1, 0, 1}, {2, 1, 2}, {5, 4, 3}, {40, 3, 4}, {200, 17, 5}, {64, 63, 6}, {97, 1, 7},
};

TEST(BandCholesky, SolvesMatchDenseReferenceOverRowRanges) {
    for (const BandCase& c : band_cases) {
        Dense m = mxtest::random_band_spd(c.n, c.bw, c.seed);
        std::vector<double> u = band_storage<double>(m, c.bw);
        std::vector<float> uf = band_storage<float>(m, c.bw);
        ASSERT_EQ(band_cholesky(c.n, u.data(), c.bw), 0) << "n " << c.n;
        ASSERT_EQ(band_cholesky_float(c.n, uf.data(), c.bw), 0) << "n " << c.n;
        const int ranges[][2] = {
            {1, 1}, {c.n / 2 + 1, 1}, {1, c.n / 2 + 1}, {c.n, c.n}, {c.n / 3 + 1, 2 * c.n / 3 + 1}};
        for (const auto& range : ranges) {
            const int first = range[0], last = range[1];
            SCOPED_TRACE(testing::Message() << "n " << c.n << " bw " << c.bw << " first " << first
                                            << " last " << last);
            std::vector<double> b = rhs_from(c.n, first, c.seed + 100);
            std::vector<double> expected = mxtest::dense_solve(m, b);

            std::vector<double> x = b;
            band_cholesky_solve(u.data(), c.n, x.data(), c.bw, first, last);
            EXPECT_LT(mxtest::relative_difference(x, expected, last), 1e-10);

            std::vector<float> xf(b.begin(), b.end());
            band_cholesky_solve_float(uf.data(), c.n, xf.data(), c.bw, first, last);
            EXPECT_LT(mxtest::relative_difference(std::vector<double>(xf.begin(), xf.end()),
                                                  expected, last),
                      1e-5);
            std::vector<float> xf2(b.begin(), b.end());
            band_cholesky_solve_float_2(uf.data(), c.n, xf2.data(), c.bw, first, last);
            EXPECT_EQ(xf2, xf);
        }
    }
}

// The matrix of a case and its factor, with the rows the multi-system tests solve from and to.
struct Factored {
    Dense m;
    std::vector<double> u;
    int first, last;
    bool ok;
    explicit Factored(const BandCase& c)
        : m(mxtest::random_band_spd(c.n, c.bw, c.seed)), u(band_storage<double>(m, c.bw)),
          first((c.n + 2) / 3), last(std::max(1, c.n / 2)),
          ok(band_cholesky(c.n, u.data(), c.bw) == 0) {}
};

TEST(BandCholesky, FourRightHandSidesEqualFourSingleSolves) {
    for (const BandCase& c : band_cases) {
        Factored f(c);
        ASSERT_TRUE(f.ok);
        const Dense& m = f.m;
        const std::vector<double>& u = f.u;
        const int first = f.first, last = f.last;
        SCOPED_TRACE(testing::Message() << "n " << c.n << " bw " << c.bw);

        std::vector<std::vector<double>> singles(4), expected(4);
        std::vector<double> block(4 * std::size_t(c.n));
        for (int r = 0; r < 4; ++r) {
            singles[r] = rhs_from(c.n, first, c.seed * 10 + r);
            expected[r] = mxtest::dense_solve(m, singles[r]);
            for (int k = 1; k <= c.n; ++k)
                block[4 * (k - 1) + r] = singles[r][k - 1];
        }
        std::vector<double> block4 = block;
        band_cholesky_solve_4rhs(u.data(), c.n, block.data(), c.bw, first, last);
        band_cholesky_solve_block4(u.data(), c.n, block4.data(), c.bw, first, last);
        for (int r = 0; r < 4; ++r) {
            std::vector<double> one = singles[r];
            band_cholesky_solve(u.data(), c.n, one.data(), c.bw, first, last);
            std::vector<double> lane(c.n), lane4(c.n);
            for (int k = 1; k <= c.n; ++k) {
                lane[k - 1] = block[4 * (k - 1) + r];
                lane4[k - 1] = block4[4 * (k - 1) + r];
            }
            EXPECT_EQ(lane, one) << "system " << r;
            EXPECT_LT(mxtest::relative_difference(lane4, expected[r], last), 1e-10);
        }

        // Separate vectors, each with its own range.
        std::vector<std::vector<double>> v(4);
        int firsts[4], lasts[4];
        for (int r = 0; r < 4; ++r) {
            firsts[r] = 1 + r * (c.n - 1) / 4;
            lasts[r] = std::max(1, c.n - r * c.n / 4);
            v[r] = rhs_from(c.n, firsts[r], c.seed * 20 + r);
            expected[r] = mxtest::dense_solve(m, v[r]);
        }
        band_cholesky_solve_4vec(u.data(), c.n, v[0].data(), v[1].data(), v[2].data(), v[3].data(),
                                 c.bw, firsts[0], lasts[0], firsts[1], lasts[1], firsts[2],
                                 lasts[2], firsts[3], lasts[3]);
        for (int r = 0; r < 4; ++r)
            EXPECT_LT(mxtest::relative_difference(v[r], expected[r], lasts[r]), 1e-10);
    }
}

// Blocks of 2, 8 (the eight-lane kernel) and 16 systems side by side give each system the single
// solve's result bit for bit; the forward sweep alone gives the inverse's entries as products.
TEST(BandCholesky, LaneBlocksEqualSingleSolves) {
    for (const BandCase& c : band_cases) {
        Factored f(c);
        ASSERT_TRUE(f.ok);
        const Dense& m = f.m;
        std::vector<double>& u = f.u;
        const int first = f.first, last = f.last;
        for (int lanes : {2, 8, 16}) {
            SCOPED_TRACE(testing::Message() << "n " << c.n << " bw " << c.bw << " lanes " << lanes);
            std::vector<std::vector<double>> singles(lanes);
            std::vector<double> block(std::size_t(lanes) * c.n);
            for (int r = 0; r < lanes; ++r) {
                singles[r] = rhs_from(c.n, first, c.seed * 30 + r);
                for (int k = 1; k <= c.n; ++k)
                    block[std::size_t(lanes) * (k - 1) + r] = singles[r][k - 1];
            }
            if (lanes == 8)
                bandsolve8_dbl_sse(u.data(), c.n, block.data(), c.bw, first, last);
            else
                band_solve_lanes_dbl(u.data(), c.n, block.data(), lanes, c.bw, first, last);
            for (int r = 0; r < lanes; ++r) {
                band_cholesky_solve(u.data(), c.n, singles[r].data(), c.bw, first, last);
                for (int k = 1; k <= c.n; ++k)
                    ASSERT_EQ(block[std::size_t(lanes) * (k - 1) + r], singles[r][k - 1])
                        << "system " << r << " row " << k;
            }
        }
        // Unit sources at rows a < b: y_a . y_b over rows b..n is entry (a, b) of the inverse.
        const int a = std::max(1, c.n / 4), b = c.n;
        std::vector<double> y(2 * std::size_t(c.n), 0.0), e(c.n, 0.0);
        y[2 * (a - 1)] = y[2 * (b - 1) + 1] = e[b - 1] = 1.0;
        band_forward_lanes_dbl(u.data(), c.n, y.data(), 2, c.bw, a);
        double product = 0.0;
        for (int k = b; k <= c.n; ++k)
            product += y[2 * (k - 1)] * y[2 * (k - 1) + 1];
        EXPECT_NEAR(product, mxtest::dense_solve(m, e)[a - 1], 1e-10) << "n " << c.n;
    }
}

TEST(BandCholesky, FourEqualColumnsGiveFourCopies) {
    Dense m = mxtest::random_band_spd(30, 5, 11);
    std::vector<double> u = band_storage<double>(m, 5);
    ASSERT_EQ(band_cholesky(30, u.data(), 5), 0);
    std::vector<double> b = mxtest::random_vector(30, 12), block(120);
    for (int k = 1; k <= 30; ++k)
        for (int r = 0; r < 4; ++r)
            block[4 * (k - 1) + r] = b[k - 1];
    band_cholesky_solve(u.data(), 30, b.data(), 5, 1, 1);
    band_cholesky_solve_4rhs(u.data(), 30, block.data(), 5, 1, 1);
    for (int k = 1; k <= 30; ++k)
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(block[4 * (k - 1) + r], b[k - 1]);
}

TEST(BandCholesky, NonPositivePivotReturnsItsRowAndLeavesLaterRowsUntouched) {
    const int n = 8, bw = 2;
    struct Case {
        int row;
        double value; // the diagonal that makes this row's pivot fail
    };
    const Case cases[] = {{1, 0.0}, {3, -1.0}, {8, std::numeric_limits<double>::quiet_NaN()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row);
        Dense m = mxtest::random_band_spd(n, bw, 21);
        // The pivot of row r is a(r,r) minus the squares of the factor entries above it: make
        // the diagonal just that (or negative) so the pivot is zero, negative or NaN.
        std::vector<double> good = band_storage<double>(m, bw);
        ASSERT_EQ(band_cholesky(n, good.data(), bw), 0);
        double above = 0.0;
        for (int r = std::max(1, c.row - bw); r < c.row; ++r)
            above += std::pow(good[sym_band_index(r, c.row, bw + 1)], 2);
        m(c.row, c.row) = std::isnan(c.value) ? c.value : above + c.value;
        std::vector<double> a = band_storage<double>(m, bw);
        const std::vector<double> original = a;
        EXPECT_EQ(band_cholesky(n, a.data(), bw), c.row);
        std::vector<float> af = band_storage<float>(m, bw);
        EXPECT_EQ(band_cholesky_float(n, af.data(), bw), c.row);
        for (int r = 1; r < c.row; ++r)
            for (int j = r; j <= std::min(n, r + bw); ++j)
                EXPECT_NEAR(a[sym_band_index(r, j, bw + 1)], good[sym_band_index(r, j, bw + 1)],
                            1e-14);
        for (std::size_t e = std::size_t(c.row) * (bw + 1); e < a.size(); ++e)
            EXPECT_EQ(a[e], original[e]);
    }
    // Nothing is kept between calls: the next matrix factors and solves normally.
    Dense m = mxtest::random_band_spd(n, bw, 22);
    std::vector<double> u = band_storage<double>(m, bw);
    ASSERT_EQ(band_cholesky(n, u.data(), bw), 0);
    std::vector<double> b = mxtest::random_vector(n, 23), x = b;
    band_cholesky_solve(u.data(), n, x.data(), bw, 1, 1);
    EXPECT_LT(mxtest::relative_difference(x, mxtest::dense_solve(m, b)), 1e-10);
}

TEST(BandCholesky, IndexAndSmallestCases) {
    EXPECT_EQ(sym_band_index(1, 1, 7), 0);
    EXPECT_EQ(sym_band_index(3, 5, 7), 2 * 7 + 2);
    EXPECT_EQ(sym_band_index(5, 3, 7), 2 * 7 + 2);

    // n = 1: the factor is the root of a(1,1); the solve divides by it twice.
    double a = 4.0, b = 10.0;
    ASSERT_EQ(band_cholesky(1, &a, 0), 0);
    EXPECT_EQ(a, 2.0);
    band_cholesky_solve(&a, 1, &b, 0, 1, 1);
    EXPECT_EQ(b, 2.5);

    // first > n: no forward rows; the back substitution still divides row n.
    Dense m = mxtest::random_band_spd(4, 1, 31);
    std::vector<double> u = band_storage<double>(m, 1);
    ASSERT_EQ(band_cholesky(4, u.data(), 1), 0);
    std::vector<double> x = {1.0, 2.0, 3.0, 8.0};
    band_cholesky_solve(u.data(), 4, x.data(), 1, 5, 4);
    EXPECT_EQ(x[3], 8.0 / u[sym_band_index(4, 4, 2)]);
    EXPECT_EQ(x[0], 1.0);
}

} // namespace
