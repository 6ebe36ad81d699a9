// Envelope storage: the index of an ordering, factorisation and solves against a dense
// reference, and the documented small cases.
#include "matrix/envelope.h"
#include "matrix/envelope_lanes.h"
#include "matrix/gridgraph.h"
#include "matrix/ordering.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <complex>
#include <cstring>
#include <random>

using mxtest::Dense;
using mxtest::Graph;

namespace {

template <class T> struct EnvelopeSystem {
    int n;
    std::vector<int> perm, invp, xenv;
    std::vector<T> env, diag;
    int bandwidth = -1;

    EnvelopeSystem(Graph& g, const Dense& m) : n(g.n), perm(n), invp(n), xenv(n + 1), diag(n) {
        EXPECT_EQ(mx::rcm_order(n, g.xadj.data(), g.adjncy.data(), perm.data(), invp.data()), 0);
        int size = find_envelope(n, g.xadj.data(), g.adjncy.data(), perm.data(), invp.data(),
                                 xenv.data(), &bandwidth);
        env.assign(size + 1, T(0));
        // Row i (new) holds columns i - width .. i - 1.
        for (int i = 1; i <= n; ++i) {
            diag[i - 1] = T(m(perm[i - 1], perm[i - 1]));
            int width = xenv[i] - xenv[i - 1];
            for (int w = 1; w <= width; ++w)
                env[xenv[i] - 1 - w] = T(m(perm[i - 1], perm[i - w - 1]));
        }
    }
    std::vector<T> to_new(const std::vector<double>& old) const {
        std::vector<T> v(n);
        for (int k = 1; k <= n; ++k)
            v[invp[k - 1] - 1] = T(old[k - 1]);
        return v;
    }
    std::vector<double> to_old(const std::vector<T>& v) const {
        std::vector<double> old(n);
        for (int i = 1; i <= n; ++i)
            old[perm[i - 1] - 1] = v[i - 1];
        return old;
    }
};

Graph grid_6pt(int ncol, int nrow) {
    return mxtest::grid_graph(ncol, nrow, 6, set_adj_2d_6pt);
}

template <class T> void check_solves(Graph g, unsigned seed, double tolerance) {
    Dense m = mxtest::random_spd_on_graph(g, seed);
    EnvelopeSystem<T> s(g, m);
    ASSERT_EQ(envelope_factor(s.n, s.xenv.data(), s.env.data(), s.diag.data()), 0);
    for (int last : {1, s.n / 2 + 1, s.n}) {
        SCOPED_TRACE(testing::Message() << "n " << s.n << " last row " << last);
        std::vector<double> b = mxtest::random_vector(s.n, seed + 1);
        std::vector<T> x = s.to_new(b);
        envelope_lower_solve(s.n, s.xenv.data(), s.env.data(), s.diag.data(), x.data());
        envelope_upper_solve(s.n, s.xenv.data(), s.env.data(), s.diag.data(), x.data(), last);
        std::vector<T> expected = s.to_new(mxtest::dense_solve(m, b));
        EXPECT_LT(mxtest::relative_difference(std::vector<double>(x.begin(), x.end()),
                                              std::vector<double>(expected.begin(), expected.end()),
                                              last),
                  tolerance);
    }
}

TEST(Envelope, SolvesMatchDenseReference) {
    const std::pair<int, int> grids[] = {{1, 1}, {2, 2}, {7, 5}, {40, 9}, {9, 40}};
    for (auto grid : grids) {
        check_solves<float>(grid_6pt(grid.first, grid.second), 3, 1e-5);
        check_solves<double>(grid_6pt(grid.first, grid.second), 4, 1e-10);
    }
    for (unsigned seed = 1; seed <= 5; ++seed) {
        check_solves<float>(mxtest::random_graph(50, 0.08, seed), seed, 1e-5);
        check_solves<double>(mxtest::random_graph(50, 0.08, seed), seed, 1e-10);
    }
}

TEST(Envelope, SmallCases) {
    // A diagonal matrix: envelope size 0, xenv all 1, bandwidth 0.
    Graph empty = mxtest::random_graph(4, 0.0, 1);
    std::vector<int> perm = {1, 2, 3, 4}, invp = {1, 2, 3, 4}, xenv(5);
    int bandwidth = -1;
    EXPECT_EQ(find_envelope(4, empty.xadj.data(), empty.adjncy.data(), perm.data(), invp.data(),
                            xenv.data(), &bandwidth),
              0);
    EXPECT_EQ(xenv, (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(bandwidth, 0);

    // An all-zero right-hand side leaves both solves without change.
    Graph g = grid_6pt(5, 4);
    Dense m = mxtest::random_spd_on_graph(g, 5);
    EnvelopeSystem<float> s(g, m);
    ASSERT_EQ(envelope_factor(s.n, s.xenv.data(), s.env.data(), s.diag.data()), 0);
    std::vector<float> zero(s.n, 0.0f);
    envelope_lower_solve(s.n, s.xenv.data(), s.env.data(), s.diag.data(), zero.data());
    envelope_upper_solve(s.n, s.xenv.data(), s.env.data(), s.diag.data(), zero.data(), 1);
    EXPECT_EQ(zero, std::vector<float>(s.n, 0.0f));
}

TEST(Envelope, NonPositivePivotReturnsItsRow) {
    Graph g = grid_6pt(4, 4);
    Dense m = mxtest::random_spd_on_graph(g, 6);
    for (int row : {1, 3, 16}) {
        EnvelopeSystem<float> good(g, m);
        ASSERT_EQ(envelope_factor(good.n, good.xenv.data(), good.env.data(), good.diag.data()), 0);
        Dense bad = m;
        int node = good.perm[row - 1];
        bad(node, node) -= 1.5 * double(good.diag[row - 1]) * good.diag[row - 1];
        EnvelopeSystem<float> s(g, bad);
        EnvelopeSystem<float> blocks = s;
        EXPECT_EQ(envelope_factor(s.n, s.xenv.data(), s.env.data(), s.diag.data()), row);
        std::vector<double> work(mx::envelope_factor_work(s.n, false));
        EXPECT_EQ(mx::envelope_factor_blocks(s.n, s.xenv.data(), blocks.env.data(),
                                             blocks.diag.data(), work.data()),
                  row);
    }
}

// The same bits: the blocks and lanes must give exactly the one-row and one-system values.
template <class T> bool same_bits(const T* a, const T* b, std::size_t count) {
    return std::memcmp(a, b, count * sizeof(T)) == 0;
}

using Complex = std::complex<float>;

// A complex symmetric matrix on the envelope of s: its entries with imaginary parts added.
EnvelopeSystem<Complex> complex_system(Graph& g, const Dense& m, unsigned seed) {
    EnvelopeSystem<Complex> c(g, m);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-0.3f, 0.3f);
    for (Complex& v : c.env)
        v = Complex(v.real(), v.real() * u(rng));
    for (Complex& v : c.diag)
        v = Complex(v.real(), 0.5f * v.real() * u(rng));
    return c;
}

template <class T> void check_blocks_and_lanes(EnvelopeSystem<T> s, unsigned seed) {
    const int n = s.n;
    EnvelopeSystem<T> blocks = s;
    ASSERT_EQ(envelope_factor(n, s.xenv.data(), s.env.data(), s.diag.data()), 0);
    std::vector<double> work(mx::envelope_factor_work(n, !std::is_floating_point<T>::value));
    ASSERT_EQ(mx::envelope_factor_blocks(n, blocks.xenv.data(), blocks.env.data(),
                                         blocks.diag.data(), work.data()),
              0);
    EXPECT_TRUE(same_bits(s.env.data(), blocks.env.data(), s.env.size()));
    EXPECT_TRUE(same_bits(s.diag.data(), blocks.diag.data(), s.diag.size()));
    // Systems from rows spread over the matrix, read whole, from half-way or from near the end.
    const int systems = 21, lanes = 24;
    std::vector<int> first(lanes, n), last(lanes, n);
    std::vector<std::vector<T>> one(systems);
    std::vector<T> b(std::size_t(n) * lanes, T(0));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int l = 0; l < systems; ++l) {
        first[l] = 1 + l * (n - 1) / systems;
        last[l] = l % 3 == 0 ? 1 : l % 3 == 1 ? (first[l] + 1) / 2 : std::min(n, first[l] + 3);
        one[l].assign(n, T(0));
        for (int i = first[l]; i <= n; i += 1 + l % 4)
            one[l][i - 1] = b[std::size_t(i - 1) * lanes + l] = T(u(rng));
        envelope_lower_solve(n, s.xenv.data(), s.env.data(), s.diag.data(), one[l].data());
        envelope_upper_solve(n, s.xenv.data(), s.env.data(), s.diag.data(), one[l].data(), last[l]);
    }
    std::vector<T> got(b.size());
    if constexpr (std::is_floating_point<T>::value) {
        mx::envelope_solve_lanes(n, s.xenv.data(), s.env.data(), s.diag.data(), lanes, b.data(),
                                 first.data(), last.data());
        got = b;
    } else {
        std::vector<float> re(b.size()), im(b.size());
        for (std::size_t k = 0; k < b.size(); ++k) {
            re[k] = b[k].real();
            im[k] = b[k].imag();
        }
        mx::envelope_solve_lanes(n, s.xenv.data(), s.env.data(), s.diag.data(), lanes, re.data(),
                                 im.data(), first.data(), last.data());
        for (std::size_t k = 0; k < b.size(); ++k)
            got[k] = T(re[k], im[k]);
    }
    for (int l = 0; l < systems; ++l)
        for (int i = last[l]; i <= n; ++i)
            ASSERT_TRUE(same_bits(&got[std::size_t(i - 1) * lanes + l], &one[l][i - 1], 1))
                << "system " << l << " row " << i;
}

TEST(Envelope, BlocksOfRowsAndLanesOfSystemsGiveTheOneRowAndOneSystemValues) {
    struct Case {
        Graph g;
        unsigned seed;
    };
    Case cases[] = {{grid_6pt(40, 9), 1},
                    {grid_6pt(9, 40), 2},
                    {mxtest::random_graph(300, 0.02, 3), 3},
                    {mxtest::random_graph(70, 0.2, 4), 4},
                    {grid_6pt(3, 2), 5}};
    for (Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.g.n);
        const Dense m = mxtest::random_spd_on_graph(c.g, c.seed);
        check_blocks_and_lanes(EnvelopeSystem<float>(c.g, m), c.seed);
        check_blocks_and_lanes(EnvelopeSystem<double>(c.g, m), c.seed);
        check_blocks_and_lanes(complex_system(c.g, m, c.seed), c.seed);
    }
}

} // namespace
