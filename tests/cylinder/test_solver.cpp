// The real cylinder solver: a homogeneous cylinder against its series solution, the symmetry
// and scaling of the transfer potentials, progress, and every failure with its message.
#include "fixture.h"

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "support/cylinder_series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace cyl_test {
namespace {

using Solver = Records;

// Transfer resistances of a homogeneous cylinder of radius 1 and 100 ohm-m with 16 electrodes,
// from the series (1 / (2 pi sigma)) [I0(kr) / (k I1(k)) + 2 sum cos(m phi) I_m(kr) /
// (k I_m'(k))] on the rim, transformed with 1 / pi (the m = 0 term cancels in four-electrode
// data).
constexpr double wenner_alpha = 45.766, wenner_beta = 14.768, wenner_gamma = 30.998;

// The reference itself: the series gives the values above, and as the electrodes crowd on the
// rim the cylinder looks more and more like a half-space to them, whose Wenner value is
// rho / (2 pi a) with the chord a between neighbours.
TEST(Series, GivesTheReferenceValuesAndTendsToTheHalfSpace) {
    const double pi = 3.14159265358979, rho = 100.0;
    auto D = [&](int N, int d1, int d2) {
        return rho * test_support::cylinder_series_difference(2 * pi * d1 / N, 2 * pi * d2 / N);
    };
    EXPECT_NEAR(2.0 * D(16, 1, 2), wenner_alpha, 1e-3);
    EXPECT_NEAR(D(16, 1, 2) - D(16, 2, 3), wenner_beta, 1e-3);
    EXPECT_NEAR(D(16, 1, 3), wenner_gamma, 1e-3);
    // Measured: +12.199 % at 16 electrodes, +0.849 % at 256.
    const struct {
        int N;
        double excess;
    } cases[] = {{16, 0.12199}, {256, 0.00849}};
    for (const auto& c : cases) {
        const double half_space = rho / (2 * pi * 2 * std::sin(pi / c.N));
        EXPECT_NEAR(2.0 * D(c.N, 1, 2) / half_space - 1.0, c.excess, 1e-4) << c.N;
    }
}

// Measured with twelve radii and 4 sectors a spacing: +0.32 %, +0.24 % and +0.35 % for the
// three Wenner arrays (2 sectors a spacing: up to 2.4 %).
TEST_F(Solver, HomogeneousCylinderMatchesItsSeriesSolution) {
    Ring ring(16, 4, test_radii(12), 100.0);
    ASSERT_TRUE(ring.solve().ok());
    EXPECT_TRUE(backend.boxes.empty());
    struct Case {
        int c1, c2, p1, p2;
        double expected;
    };
    // Level 1 of codes 1, 2, 3 and 5 starting at electrode 1.
    const Case cases[] = {{1, 4, 2, 3, wenner_alpha},
                          {2, 1, 3, 4, wenner_beta},
                          {1, 3, 2, 4, wenner_gamma},
                          {2, 1, 3, 4, wenner_beta}};
    for (const Case& c : cases) {
        const double v = ring.transfer(c.c1, c.c2, c.p1, c.p2);
        EXPECT_NEAR(v / c.expected - 1.0, 0.0, 0.006) << c.c1 << c.c2 << c.p1 << c.p2 << " " << v;
    }
}

// The level of P(i|j) is the cylinder's mean potential, which the single-precision element
// matrices and factor carry to a few parts in 1e5 at the lowest wavenumber (measured 2.8e-5;
// 2.8e-5 also with a double factor); four-electrode values, where that level cancels, agree
// to 1.3e-5.
TEST_F(Solver, HomogeneousRingDependsOnlyOnTheDistance) {
    const int N = 16;
    Ring ring(N, 4, test_radii(8), 100.0);
    ASSERT_TRUE(ring.solve().ok());
    for (int d = 1; d < N; ++d) {
        const double first = ring.P(1, 1 + d);
        // Mirror symmetry: d and N - d electrodes apart are the same distance round the ring.
        EXPECT_NEAR(ring.P(1, 1 + (N - d)), first, 6e-5 * std::fabs(first)) << d;
        for (int i = 2; i <= N; ++i) {
            const int j = (i - 1 + d) % N + 1;
            EXPECT_NEAR(ring.P(i, j), first, 6e-5 * std::fabs(first)) << i << " " << j;
            EXPECT_EQ(ring.P(i, j), ring.P(j, i));
        }
    }
    const double wenner = ring.transfer(1, 4, 2, 3);
    for (int i = 2; i <= N; ++i) {
        auto e = [&](int k) { return (i + k - 1) % N + 1; };
        EXPECT_NEAR(ring.transfer(e(0), e(3), e(1), e(2)), wenner, 3e-5 * wenner) << i;
    }
}

// The potentials scale as rho / radius: a quarter of the resistivity gives a quarter, twice the
// radius half.
TEST_F(Solver, PotentialsScaleWithResistivityAndRadius) {
    Ring base(16, 4, test_radii(8), 100.0), low(16, 4, test_radii(8), 25.0),
        wide(16, 4, test_radii(8), 100.0);
    ASSERT_TRUE(base.solve().ok());
    ASSERT_TRUE(low.solve().ok());
    ASSERT_TRUE(wide.solve(2.0f).ok());
    for (int j = 2; j <= 16; ++j) {
        EXPECT_NEAR(low.P(1, j), 0.25 * base.P(1, j), 1e-5 * std::fabs(base.P(1, j))) << j;
        EXPECT_NEAR(wide.P(1, j), 0.5 * base.P(1, j), 1e-5 * std::fabs(base.P(1, j))) << j;
    }
    EXPECT_NEAR(low.transfer(1, 4, 2, 3), 0.25 * base.transfer(1, 4, 2, 3),
                1e-5 * base.transfer(1, 4, 2, 3));
}

TEST_F(Solver, TwoElectrodesGiveOneSymmetricPair) {
    Ring ring(2, 4, test_radii(5), 10.0);
    ring.table = {-7.0, -7.0, -7.0, -7.0};
    {
        const test_support::PoolThreads one(1);
        ASSERT_TRUE(ring.solve().ok());
    }
    EXPECT_GT(ring.P(1, 2), 0.0);
    EXPECT_EQ(ring.P(1, 2), ring.P(2, 1));
    EXPECT_EQ(ring.P(1, 1), -7.0);
    EXPECT_EQ(ring.P(2, 2), -7.0);
    // On one thread the last progress step is 14 of 15.
    EXPECT_STREQ(Statuswind.text, "Finite-Element Calculations -  93.3% completed");
    EXPECT_EQ(Statuswind.bar_length, 187);
}

TEST_F(Solver, ElementMatricesKeptOrRecomputedGiveTheSameTable) {
    Ring kept(8, 2, test_radii(6), 30.0), again(8, 2, test_radii(6), 30.0);
    for (std::size_t c = 0; c < kept.sigma.size(); ++c)
        kept.sigma[c] = again.sigma[c] = float(0.01 * (1 + c % 7));
    ASSERT_TRUE(kept.solve().ok());
    cyl::SolverInputs in = again.inputs();
    in.element_matrices_once = false;
    ASSERT_TRUE(cyl::solve_transfer_potentials(in).ok());
    EXPECT_EQ(kept.table, again.table);
}

TEST_F(Solver, FailuresLeaveTheTableAndSayWhy) {
    Ring ring(8, 2, test_radii(5), 10.0);
    ring.table.assign(ring.table.size(), -7.0);
    const std::vector<double> before = ring.table;

    // A cell of negative conductivity makes a pivot negative.
    ring.sigma[3] = -50.0f;
    const model::SolverResult pivot = ring.solve();
    EXPECT_EQ(pivot.status, model::SolverStatus::pivot);
    EXPECT_GT(pivot.row, 0);
    EXPECT_EQ(ring.table, before);
    EXPECT_EQ(ring.nodes[1], 2 * 4 + 2 + 2 * 14);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].line(), "Error Message: error in envfac");
    ring.sigma[3] = 0.1f;

    // A mesh whose sectors do not fit the electrodes.
    backend.boxes.clear();
    cyl::SolverInputs in = ring.inputs();
    in.nodes_per_spacing = 3;
    EXPECT_EQ(cyl::solve_transfer_potentials(in).status, model::SolverStatus::bad_input);
    EXPECT_EQ(backend.boxes.size(), 1u);

    // Every allocation is checked: the message, no memory kept, the table as it was (on one
    // thread, where no budget leaves fewer workers instead).
    auto solve = [&] {
        ring.table = before;
        return ring.solve();
    };
    const test_support::PoolThreads one(1);
    const int refused = refuse_memory(
        30, solve, [&](long long budget) { EXPECT_EQ(ring.table, before) << budget; });
    EXPECT_GT(refused, 20);
}

// Reserved work arrays cost nothing until they are written, so every worker is counted against
// the free memory before it is taken: where that is short, fewer workers give the table of one
// thread; where not one fits, the message and the table as it was.
TEST_F(Solver, WorkersAreCountedAgainstTheFreeMemory) {
    for (bool complex : {false, true}) {
        SCOPED_TRACE(complex ? "complex" : "real");
        Ring one(12, 2, test_radii(7), 10.0), two(12, 2, test_radii(7), 10.0),
            none(12, 2, test_radii(7), 10.0);
        auto solve = [&](Ring& ring) { return complex ? ring.solve_complex() : ring.solve(); };
        const long long before = sys::page_bytes_in_use();
        // The peak page memory above `before` of a run on `threads` threads.
        auto peak_of = [&](Ring& ring, int threads) {
            const test_support::PoolThreads pool(threads);
            sys::reset_page_peak();
            EXPECT_TRUE(solve(ring).ok());
            return sys::page_bytes_peak() - before;
        };
        const long long one_peak = peak_of(one, 1), eight_peak = peak_of(two, 8);
        const long long worker = (eight_peak - one_peak) / 7;
        ASSERT_GT(worker, 0);
        sys::set_free_memory_override(2 * worker + worker / 2);
        EXPECT_EQ(peak_of(two, 8), one_peak + worker);
        EXPECT_EQ(two.table, one.table);
        EXPECT_EQ(two.table_im, one.table_im);
        EXPECT_TRUE(backend.boxes.empty());

        none.table.assign(none.table.size(), -7.0);
        const std::vector<double> kept = none.table;
        sys::set_free_memory_override(worker - 1);
        const test_support::PoolThreads pool(8);
        EXPECT_EQ(solve(none).status, model::SolverStatus::no_memory);
        sys::set_free_memory_override(-1);
        EXPECT_EQ(none.table, kept);
        EXPECT_EQ(sys::page_bytes_in_use(), before);
        ASSERT_EQ(backend.boxes.size(), 1u);
        EXPECT_EQ(backend.boxes[0].line(), "Error Message: Insufficient memory!.");
        backend.boxes.clear();
    }
}

} // namespace
} // namespace cyl_test
