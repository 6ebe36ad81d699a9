// Complex symmetric band factorisation and solves: the principal root of the pivots, the factor
// against the matrix, solves over row ranges against a dense complex LU, and the failing pivots.
#include "matrix/band.h"
#include "matrix/band_lanes.h"
#include "matrix/complex_root.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

using C = std::complex<long double>;

TEST(PrincipalRoot, RootsOfPivotsInEveryQuadrant) {
    const double s2 = std::sqrt(2.0);
    const double cases[][4] = {
        {4, 0, 2, 0}, {0, 4, s2, s2}, {3, 4, 2, 1}, {-4, 0, 0, 2}, {-3, 4, 1, 2}, {-3, -4, 1, -2},
    };
    for (const auto& t : cases) {
        double re, im;
        mx::principal_root(t[0], t[1], re, im);
        EXPECT_NEAR(re, t[2], 1e-15) << t[0] << " " << t[1];
        EXPECT_NEAR(im, t[3], 1e-15) << t[0] << " " << t[1];
        float fr, fi;
        mx::principal_root(float(t[0]), float(t[1]), fr, fi);
        EXPECT_NEAR(fr, t[2], 1e-6);
        EXPECT_NEAR(fi, t[3], 1e-6);
    }
}

// A dense complex symmetric matrix with half-bandwidth bw, 1-based.
struct Matrix {
    int n, bw;
    std::vector<C> a;
    Matrix(int order, int width) : n(order), bw(width), a(std::size_t(order) * order) {}
    C& operator()(int i, int j) { return a[std::size_t(i - 1) * n + (j - 1)]; }
    C operator()(int i, int j) const { return a[std::size_t(i - 1) * n + (j - 1)]; }
};

// Off-diagonal entries in [-1, 1] (real and imaginary), diagonals of modulus above the row sum;
// every third diagonal has a negative real part, so that pivots fall in the left half-plane.
Matrix random_matrix(int n, int bw, unsigned seed, bool real_spd) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix m(n, bw);
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= std::min(n, i + bw); ++j)
            m(i, j) = m(j, i) = C(u(rng), real_spd ? 0.0 : u(rng));
    for (int i = 1; i <= n; ++i) {
        const long double size = 2.0L * bw + 1.0L + u(rng);
        if (real_spd)
            m(i, i) = size;
        else
            m(i, i) = i % 3 == 0 ? C(-size, 0.3L * size) : C(size, -0.5L * size);
    }
    return m;
}

template <class T> struct Split { std::vector<T> re, im; };
template <class T> Split<T> band_of(const Matrix& m) {
    Split<T> s{std::vector<T>(std::size_t(m.n) * (m.bw + 1)),
               std::vector<T>(std::size_t(m.n) * (m.bw + 1))};
    for (int i = 1; i <= m.n; ++i)
        for (int j = i; j <= std::min(m.n, i + m.bw); ++j) {
            s.re[sym_band_index(i, j, m.bw + 1)] = T(m(i, j).real());
            s.im[sym_band_index(i, j, m.bw + 1)] = T(m(i, j).imag());
        }
    return s;
}

// ||UᵀU - A|| / ||A|| in the Frobenius norm.
template <class T> double factor_error(const Matrix& m, const Split<T>& u) {
    auto U = [&](int i, int j) {
        if (j < i || j > i + m.bw) return C(0);
        const int k = sym_band_index(i, j, m.bw + 1);
        return C(u.re[k], u.im[k]);
    };
    long double diff = 0, norm = 0;
    for (int i = 1; i <= m.n; ++i)
        for (int j = i; j <= std::min(m.n, i + m.bw); ++j) {
            C sum = 0;
            for (int k = std::max(1, j - m.bw); k <= i; ++k)
                sum += U(k, i) * U(k, j);
            diff += std::norm(sum - m(i, j));
            norm += std::norm(m(i, j));
        }
    return double(std::sqrt(diff / norm));
}

// LU with partial pivoting in long double (rows interchange within the band, so the upper factor
// reaches 2 bw past the diagonal): the reference solution.
std::vector<C> dense_solve(Matrix m, std::vector<C> b) {
    const int n = m.n;
    for (int k = 1; k <= n; ++k) {
        int p = k;
        const int below = std::min(n, k + m.bw), right = std::min(n, k + 2 * m.bw);
        for (int i = k + 1; i <= below; ++i)
            if (std::abs(m(i, k)) > std::abs(m(p, k))) p = i;
        for (int j = k; j <= right; ++j)
            std::swap(m(k, j), m(p, j));
        std::swap(b[k - 1], b[p - 1]);
        for (int i = k + 1; i <= below; ++i) {
            const C f = m(i, k) / m(k, k);
            for (int j = k; j <= right; ++j)
                m(i, j) -= f * m(k, j);
            b[i - 1] -= f * b[k - 1];
        }
    }
    for (int i = n; i >= 1; --i) {
        for (int j = i + 1; j <= std::min(n, i + 2 * m.bw); ++j)
            b[i - 1] -= m(i, j) * b[j - 1];
        b[i - 1] /= m(i, i);
    }
    return b;
}

template <class T>
double solve_error(const Matrix& m, const Split<T>& u, int first, int last, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<C> b(m.n);
    for (int i = first; i <= m.n; ++i)
        b[i - 1] = C(d(rng), d(rng));
    const std::vector<C> x = dense_solve(m, b);
    std::vector<T> re(m.n), im(m.n);
    for (int i = 0; i < m.n; ++i) {
        re[i] = T(b[i].real());
        im[i] = T(b[i].imag());
    }
    if constexpr (sizeof(T) == sizeof(double)) {
        band_solve_cmplx_dbl(u.re.data(), u.im.data(), m.n, re.data(), im.data(), m.bw, first,
                             last);
    } else {
        band_solve_cmplx_flt(u.re.data(), u.im.data(), m.n, re.data(), im.data(), m.bw, first,
                             last);
    }
    long double diff = 0, norm = 0;
    for (int i = last; i <= m.n; ++i) {
        diff += std::norm(C(re[i - 1], im[i - 1]) - x[i - 1]);
        norm += std::norm(x[i - 1]);
    }
    return double(std::sqrt(diff / norm));
}

TEST(ComplexBand, FactorAndSolvesMatchTheMatrixInBothPrecisions) {
    const int cases[][3] = {{1, 0, 1}, {2, 1, 2}, {7, 6, 3}, {40, 3, 4}, {200, 17, 5}, {97, 1, 6}};
    for (const auto& c : cases) {
        const int n = c[0], bw = c[1];
        SCOPED_TRACE(testing::Message() << "n " << n << " bw " << bw);
        const Matrix m = random_matrix(n, bw, unsigned(c[2]), false);
        Split<double> u = band_of<double>(m);
        Split<float> uf = band_of<float>(m);
        ASSERT_EQ(band_factor_cmplx_dbl(n, u.re.data(), u.im.data(), bw), 0);
        ASSERT_EQ(band_factor_cmplx_flt(n, uf.re.data(), uf.im.data(), bw), 0);
        EXPECT_LT(factor_error(m, u), 1e-12);
        EXPECT_LT(factor_error(m, uf), 1e-5);
        // Diagonals with a negative real part get roots with an imaginary part.
        if (n >= 3) {
            EXPECT_GT(std::fabs(u.im[sym_band_index(3, 3, bw + 1)]), 0.1);
        }
        const int ranges[][2] = {
            {1, 1}, {n / 2 + 1, 1}, {1, n / 2 + 1}, {n, n}, {n / 3 + 1, 2 * n / 3 + 1}};
        for (const auto& r : ranges) {
            SCOPED_TRACE(testing::Message() << "first " << r[0] << " last " << r[1]);
            EXPECT_LT(solve_error(m, u, r[0], r[1], unsigned(c[2] + 50)), 1e-12);
            EXPECT_LT(solve_error(m, uf, r[0], r[1], unsigned(c[2] + 50)), 1e-5);
        }
    }
}

TEST(ComplexBand, RealPositiveDefiniteMatrixGivesTheRealFactor) {
    const Matrix m = random_matrix(60, 5, 9, true);
    Split<double> u = band_of<double>(m);
    std::vector<double> real = u.re;
    ASSERT_EQ(band_factor_cmplx_dbl(60, u.re.data(), u.im.data(), 5), 0);
    ASSERT_EQ(band_cholesky(60, real.data(), 5), 0);
    for (std::size_t k = 0; k < real.size(); ++k) {
        EXPECT_EQ(u.im[k], 0.0) << k;
        EXPECT_NEAR(u.re[k], real[k], 1e-14 * std::fabs(real[k]) + 1e-300) << k;
    }
    std::vector<double> bre(60, 0.0), bim(60, 0.0);
    bre[20] = 1.0;
    std::vector<double> b = bre;
    band_solve_cmplx_dbl(u.re.data(), u.im.data(), 60, bre.data(), bim.data(), 5, 21, 1);
    band_cholesky_solve(real.data(), 60, b.data(), 5, 21, 1);
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(bim[i], 0.0);
        EXPECT_NEAR(bre[i], b[i], 1e-15);
    }
}

TEST(ComplexBand, PivotOfModulusZeroOrRealPartZeroFails) {
    // Pivots as the second row meets them: a22 - a12² with a11 = 1, a12 = 1.
    struct Case {
        double a22_re, a22_im;
        int result;
    };
    const Case cases[] = {
        {5, 0, 0},  // 4: root 2
        {1, 4, 2},  // 4i: real part exactly 0
        {1, 0, 2},  // 0
        {-3, 0, 0}, // -4: root 2i
        {-2, 4, 0}, // -3 + 4i: root 1 + 2i
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a22_re << " " << c.a22_im);
        double re[] = {1, 1, c.a22_re, 0}, im[] = {0, 0, c.a22_im, 0};
        float fre[] = {1, 1, float(c.a22_re), 0}, fim[] = {0, 0, float(c.a22_im), 0};
        EXPECT_EQ(band_factor_cmplx_dbl(2, re, im, 1), c.result);
        EXPECT_EQ(band_factor_cmplx_flt(2, fre, fim, 1), c.result);
        if (c.result == 0) {
            const C p = C(c.a22_re - 1, c.a22_im);
            const C root(re[2], im[2]);
            EXPECT_NEAR(double(std::abs(root * root - p)), 0.0, 1e-14);
            EXPECT_GE(re[2], 0.0);
        }
    }
    double re[] = {0, 0}, im[] = {1, 0};
    EXPECT_EQ(band_factor_cmplx_dbl(1, re, im, 1), 1);
}

// Many systems at once, each with its own first and last row: every system's needed rows hold
// exactly the one-system solve's values, in both precisions and in both layouts.
template <class T> void check_lanes(const Matrix& m, int systems) {
    Split<T> u = band_of<T>(m);
    ASSERT_EQ(mx::band_factor_cmplx_quiet(m.n, u.re.data(), u.im.data(), m.bw), 0);
    const int G = mx::band_lane_group, lanes = (systems + G - 1) / G * G, n = m.n;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<int> first(lanes, n), last(lanes, n);
    std::vector<T> bre(std::size_t(n) * lanes), bim(bre.size());
    std::vector<std::vector<T>> one_re(systems), one_im(systems);
    for (int l = 0; l < systems; ++l) {
        first[l] = 1 + l * (n - 1) / systems;
        last[l] = l % 3 == 0 ? 1 : l % 3 == 1 ? std::min(n, first[l] + 7) : (first[l] + 1) / 2;
        one_re[l].assign(n, T(0));
        one_im[l].assign(n, T(0));
        for (int k = first[l]; k <= n; ++k) {
            one_re[l][k - 1] = bre[std::size_t(k - 1) * lanes + l] = T(d(rng));
            one_im[l][k - 1] = bim[std::size_t(k - 1) * lanes + l] = T(d(rng));
        }
        if constexpr (sizeof(T) == sizeof(double)) {
            band_solve_cmplx_dbl(u.re.data(), u.im.data(), n, one_re[l].data(), one_im[l].data(),
                                 m.bw, first[l], last[l]);
        } else {
            band_solve_cmplx_flt(u.re.data(), u.im.data(), n, one_re[l].data(), one_im[l].data(),
                                 m.bw, first[l], last[l]);
        }
    }
    // The padded layout: the same factor and the same solutions.
    const int row = mx::band_padded_row_length(m.bw, int(sizeof(T)));
    Split<T> p{std::vector<T>(std::size_t(n) * row), std::vector<T>(std::size_t(n) * row)};
    const Split<T> a = band_of<T>(m);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c <= m.bw; ++c) {
            p.re[std::size_t(i) * row + c] = a.re[std::size_t(i) * (m.bw + 1) + c];
            p.im[std::size_t(i) * row + c] = a.im[std::size_t(i) * (m.bw + 1) + c];
        }
    ASSERT_EQ(mx::band_factor_cmplx_quiet(n, p.re.data(), p.im.data(), m.bw, row), 0);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c <= m.bw; ++c) {
            ASSERT_EQ(p.re[std::size_t(i) * row + c], u.re[std::size_t(i) * (m.bw + 1) + c]);
            ASSERT_EQ(p.im[std::size_t(i) * row + c], u.im[std::size_t(i) * (m.bw + 1) + c]);
        }
    for (bool padded : {false, true}) {
        std::vector<T> xre = bre, xim = bim;
        mx::band_solve_cmplx_lanes(padded ? p.re.data() : u.re.data(),
                                   padded ? p.im.data() : u.im.data(), n, m.bw, lanes, xre.data(),
                                   xim.data(), first.data(), last.data(), padded ? row : 0);
        for (int l = 0; l < systems; ++l)
            for (int k = last[l]; k <= n; ++k) {
                ASSERT_EQ(xre[std::size_t(k - 1) * lanes + l], one_re[l][k - 1]) << l << " " << k;
                ASSERT_EQ(xim[std::size_t(k - 1) * lanes + l], one_im[l][k - 1]) << l << " " << k;
            }
    }
}

TEST(ComplexBand, ManySystemsAtOnceGiveTheOneSystemValues) {
    const int cases[][3] = {{300, 17, 40}, {64, 3, 16}, {20, 25, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c[0] << " bw " << c[1]);
        const Matrix m = random_matrix(c[0], c[1], unsigned(c[2]), false);
        check_lanes<double>(m, c[2]);
        check_lanes<float>(m, c[2]);
    }
}

} // namespace
