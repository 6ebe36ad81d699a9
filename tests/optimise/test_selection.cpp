// The four-lane kernels against plain loops, the three Compare R evaluations, the similarity
// of two arrays and the adding step.
#include "fixture.h"

#include "matrix/packed.h"
#include "optimise/lanes.h"
#include "optimise/resolution.h"
#include "optimise/selection.h"

#include "platform/sys/thread_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Element (i, k), 1-based, of a packed matrix, in either order.
double at(const std::vector<double>& packed, int i, int k) {
    return packed[mx::packed_position(i, k) - 1];
}

TEST(LaneKernels, EqualPlainLoopsAndKeepAZeroLane) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int n : {1, 2, 7, 100}) {
        const std::size_t size = mx::packed_size(n);
        // A symmetric positive-definite S and a symmetric V, shared by the lanes.
        std::vector<double> s(size), v(size);
        for (int i = 1; i <= n; ++i)
            for (int k = 1; k <= i; ++k) {
                s[mx::packed_position(i, k) - 1] = (i == k ? n + 1.0 : 0.0) + 0.5 * value(random);
                v[mx::packed_position(i, k) - 1] = value(random);
            }
        opt::FourLanes w(n), y(n), rank(size), update(size), diagonal(n);
        for (int e = 0; e < n; ++e)
            for (int l = 0; l < 4; ++l)
                w.get()[4 * e + l] = l == 2 ? 0.0 : value(random);
        symrank1_4_dbl_sse(n, v.data(), rank.get(), w.get());
        symmatvec4_dbl_sse(n, s.data(), update.get(), w.get(), y.get());
        symdiag4_dbl_sse(diagonal.get(), update.get(), rank.get(), n);
        for (int l = 0; l < 4; ++l) {
            const auto lane_w = [&](int e) { return w.get()[4 * (e - 1) + l]; };
            std::vector<double> sm(std::size_t(n) + 1, 0.0), up(size), rk(size);
            double d = 0.0;
            for (int i = 1; i <= n; ++i) {
                for (int k = 1; k <= n; ++k)
                    sm[i] += at(s, i, k) * lane_w(k);
                d += lane_w(i) * sm[i];
            }
            for (int i = 1; i <= n; ++i)
                for (int k = 1; k <= i; ++k) {
                    const std::size_t p = mx::packed_position(i, k) - 1;
                    rk[p] = v[p] + lane_w(i) * lane_w(k);
                    up[p] = s[p] - sm[i] * sm[k] / (1.0 + d);
                    EXPECT_NEAR(rank.get()[4 * p + l], rk[p], 1e-12) << n << " lane " << l;
                    EXPECT_NEAR(update.get()[4 * p + l], up[p], 1e-12) << n << " lane " << l;
                    if (l == 2) {
                        EXPECT_EQ(rank.get()[4 * p + l], v[p]);
                        EXPECT_EQ(update.get()[4 * p + l], s[p]);
                    }
                }
            for (int i = 1; i <= n; ++i) {
                double product = 0.0;
                for (int k = 1; k <= n; ++k)
                    product += at(up, i, k) * at(rk, i, k);
                EXPECT_NEAR(diagonal.get()[4 * (i - 1) + l], product, 1e-10 * n) << n;
            }
        }
    }
}

TEST(CompareR, EveryEvaluationGivesTheSameGoodnessBitForBit) {
    opt_test::Workspace space;
    opt_test::PreparedRun prepared(*space.settings);
    opt::Run& run = prepared.run;
    run.iteration = 1;
    // 392 candidates, then counts that leave one to three for the one-candidate procedure (and
    // part of a group of lanes for the blocked kernel); the blocked one on one and on 3 threads.
    struct Way {
        opt::Evaluation how;
        int threads;
    } ways[] = {{opt::Evaluation::kernels, 0},
                {opt::Evaluation::plain, 0},
                {opt::Evaluation::one_at_a_time, 0},
                {opt::Evaluation::blocked, 1},
                {opt::Evaluation::blocked, 3}};
    for (int count : {392, 391, 390, 389}) {
        run.candidates.count = count;
        std::vector<float> goodness[5];
        std::vector<std::int32_t> order[5];
        std::vector<std::int32_t> table(run.candidates.e.get(), run.candidates.e.get() + 4 * count);
        for (int w = 0; w < 5; ++w) {
            sys::set_pool_threads(ways[w].threads);
            std::copy(table.begin(), table.end(), run.candidates.e.get());
            ASSERT_EQ(opt::compare_r_goodness(run, ways[w].how), 0);
            goodness[w].assign(run.goodness.get(), run.goodness.get() + count);
            ASSERT_EQ(opt::rank_candidates(run, false), 0);
            order[w].assign(run.candidates.e.get(), run.candidates.e.get() + 4 * count);
        }
        sys::set_pool_threads(0);
        std::copy(table.begin(), table.end(), run.candidates.e.get());
        for (int w = 1; w < 5; ++w) {
            EXPECT_EQ(goodness[w], goodness[0]) << count << ", way " << w;
            EXPECT_EQ(order[w], order[0]) << count << ", way " << w;
        }
        // Adding a well-chosen array raises the resolution of every block: G > 1.
        for (int k = 0; k < count; ++k)
            ASSERT_GE(goodness[0][k], 1.0f) << k;
    }
}

TEST(Similarity, ParallelVectorsAreOneAndOrthogonalOnesZero) {
    const float s[] = {0.3f, -1.2f, 2.0f, 0.01f};
    const float minus[] = {-0.6f, 2.4f, -4.0f, -0.02f};
    const float orthogonal[] = {1.2f, 0.3f, 0.0f, 0.0f};
    EXPECT_NEAR(opt::similarity(s, s, 4), 1.0, 1e-15);
    EXPECT_NEAR(opt::similarity(s, minus, 4), 1.0, 1e-15);
    EXPECT_NEAR(opt::similarity(s, orthogonal, 4), 0.0, 1e-15);
}

// Each method adds m + 1 arrays, never two alike beyond its threshold, and takes them out of
// the candidates; the original ETH method also drops every array it examined, and compares a
// candidate with the leading ranked arrays but never with itself.
TEST(AddArrays, UpToMPlusOneDistinctArraysLeaveTheCandidates) {
    struct Case {
        int method, eth_type;
        double threshold;
    } cases[] = {{opt::bgs, 1, 0.95}, {opt::eth, 1, 0.98}, {opt::eth, 0, 0.98}};
    for (const Case& c : cases) {
        opt_test::Workspace space;
        space.settings->eth_type = c.eth_type;
        opt_test::PreparedRun prepared(*space.settings);
        opt::Run& run = prepared.run;
        run.method = c.method;
        run.iteration = 1;
        ASSERT_TRUE(run.comprehensive_mean.allocate(run.nblocks()));
        opt::mean_abs_sensitivity(run, run.candidates.e.get(), run.candidates.count,
                                  run.comprehensive_mean.get());
        ASSERT_EQ(opt::eth_bgs_goodness(run), 0);
        ASSERT_EQ(opt::rank_candidates(run, false), 0);
        const std::vector<std::int32_t> ranked(run.candidates.e.get(),
                                               run.candidates.e.get() + 4 * run.candidates.count);
        const int before = run.candidates.count;
        std::vector<std::int32_t> added;
        ASSERT_EQ(opt::add_arrays(run, false, added), 0);
        const int m = 2; // round(25 x 0.09)
        ASSERT_EQ(int(added.size()), 4 * (m + 1)) << c.method << c.eth_type;
        EXPECT_EQ(run.nchosen(), 25 + m + 1);
        // The best-ranked array always; the next ones from the top of the table.
        EXPECT_TRUE(std::equal(added.begin(), added.begin() + 4, ranked.begin()));
        int last = 0;
        for (int i = 1; i <= m; ++i)
            for (int p = 0; p < before; ++p)
                if (std::equal(&added[4 * i], &added[4 * i] + 4, &ranked[4 * p])) last = p;
        EXPECT_LT(last, 25) << c.method << c.eth_type;
        const int leave = c.eth_type == 0 ? last + 1 : m + 1;
        EXPECT_EQ(run.candidates.count, before - leave);
        std::vector<float> a(std::size_t(run.nblocks())), b(a.size());
        for (int i = 0; i < m + 1; ++i)
            for (int k = 0; k < i; ++k) {
                opt::array_sensitivities(run.grid, run.table.get(), &added[4 * i], a.data());
                opt::array_sensitivities(run.grid, run.table.get(), &added[4 * k], b.data());
                EXPECT_LT(opt::similarity(a.data(), b.data(), run.nblocks()), c.threshold);
            }
        for (int k = 0; k < run.candidates.count; ++k)
            for (int i = 0; i < m + 1; ++i)
                EXPECT_FALSE(std::equal(&added[4 * i], &added[4 * i] + 4, run.candidates.at(k)));
    }
}

} // namespace

namespace {

// The base arrays are not in the comprehensive set, so the chosen set can resolve a block
// better than it does (22 electrodes, defaults: 42 block lines of the report show a ratio
// above 1); BGS then gives that block no weight instead of the square root of a negative.
TEST(EthBgs, ABlockResolvedBeyondTheComprehensiveSetKeepsTheGoodnessFinite) {
    opt_test::Workspace space;
    opt_test::PreparedRun prepared(*space.settings);
    opt::Run& run = prepared.run;
    run.iteration = 1;
    for (int b = 0; b < run.nblocks(); b += 3)
        run.resolution[b] = 1.01f * run.comprehensive_resolution[b];
    for (int method : {opt::bgs, opt::eth}) {
        run.method = method;
        ASSERT_EQ(opt::eth_bgs_goodness(run), 0);
        for (int k = 0; k < run.candidates.count; ++k)
            ASSERT_TRUE(std::isfinite(run.goodness[k])) << method << " " << k;
    }
}

} // namespace
