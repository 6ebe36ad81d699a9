// The blocked dense kernels against the plain loops they stand for, bit for bit, on one thread
// and on several: the Gram matrix, the panel inversion and the rank-one resolution diagonals.
#include "matrix/dense.h"
#include "matrix/packed.h"

#include "platform/sys/thread_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Restores the machine's thread count when a test ends.
struct Threads {
    explicit Threads(int count) { sys::set_pool_threads(count); }
    ~Threads() { sys::set_pool_threads(0); }
};

std::vector<float> random_rows(int n, int m, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> j(std::size_t(n) * std::size_t(m));
    for (float& v : j)
        v = u(rng);
    return j;
}

// H = J^T J of rows of m data (packed lower by rows), plus `damping` on the diagonal: with fewer
// data than parameters, as in a resolution matrix, only the damping keeps it definite.
std::vector<double> normal_matrix(const std::vector<float>& j, int n, int m, double damping) {
    std::vector<double> h;
    for (int p = 0; p < n; ++p)
        for (int q = 0; q <= p; ++q) {
            double s = 0.0;
            for (int d = 0; d < m; ++d)
                s += double(j[std::size_t(p) * m + d]) * j[std::size_t(q) * m + d];
            h.push_back(p == q ? s + damping : s);
        }
    return h;
}

bool same_bits(const void* a, const void* b, std::size_t bytes) {
    return std::memcmp(a, b, bytes) == 0;
}

TEST(PanelInversion, EqualsTheCompactSchemeBitForBit) {
    // Whole and partial panels, one panel and several; conditioned as resolution matrices are.
    for (int n : {64, 65, 127, 130, 200, 257, 600}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        const std::vector<double> a =
            normal_matrix(random_rows(n, n / 2, unsigned(n)), n, n / 2, 0.01);
        std::vector<double> compact = a;
        ASSERT_EQ(invert_packed_symmetric_compact(n, compact.data()), 0);
        for (int threads : {1, 4}) {
            const Threads forced(threads);
            std::vector<double> panels = a;
            ASSERT_EQ(invert_packed_symmetric(n, panels.data()), 0);
            EXPECT_TRUE(same_bits(panels.data(), compact.data(), a.size() * sizeof(double)))
                << threads << " threads";
        }
    }
}

TEST(PanelInversion, APivotThatIsNotPositiveGivesTheSameStep) {
    // Definite but for unknown 100 (in the second panel), whose own value is far below zero.
    const int n = 150;
    std::vector<double> a = normal_matrix(random_rows(n, 2 * n, 5), n, 2 * n, 0.0);
    a[mx::packed_position(101, 101) - 1] = -1e6;
    std::vector<double> compact = a, panels = a;
    const int step = invert_packed_symmetric_compact(n, compact.data());
    EXPECT_EQ(step, n - 100);
    EXPECT_EQ(invert_packed_symmetric(n, panels.data()), step);
}

TEST(GramMatrix, EqualsOneDotProductPerEntryInChunksOfAnySize) {
    struct Case {
        int n, m;
        std::vector<int> chunks; // data per call of add()
    } cases[] = {
        {1, 3, {3}}, {17, 300, {300}}, {17, 300, {7, 257, 36}}, {40, 600, {256, 344}}, {33, 0, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " parameters, " << c.m << " data");
        const std::vector<float> j = random_rows(c.n, c.m, unsigned(c.n + c.m));
        for (int threads : {1, 3}) {
            const Threads forced(threads);
            mx::GramMatrix gram(c.n);
            ASSERT_TRUE(gram.ok());
            int d0 = 0;
            for (int size : c.chunks) {
                gram.add(j.data() + d0, std::size_t(c.m), size);
                d0 += size;
            }
            for (int p = 0; p < c.n; ++p)
                for (int q = p; q < c.n; ++q) {
                    double s = 0.0;
                    for (int d = 0; d < c.m; ++d)
                        s += double(j[std::size_t(p) * c.m + d]) *
                             double(j[std::size_t(q) * c.m + d]);
                    ASSERT_TRUE(same_bits(&gram.upper_row(p)[q - p], &s, sizeof s))
                        << p << ", " << q << " on " << threads << " threads";
                }
        }
    }
}

// r = diag((C - c y y^T)(H + s s^T)) as the one-candidate evaluation forms it.
std::vector<float> plain_diagonal(int n, const std::vector<double>& c, const std::vector<double>& h,
                                  const float* s) {
    std::vector<double> updated(c.size()), shifted(h.size());
    EXPECT_EQ(sherman_morrison_update_packed(n, c.data(), updated.data(), s), 0);
    std::size_t p = 0;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k <= i; ++k, ++p)
            shifted[p] = h[p] + double(s[i]) * s[k];
    std::vector<float> r(static_cast<std::size_t>(n));
    packed_product_diagonal_rowwise(r.data(), updated.data(), shifted.data(), n);
    return r;
}

TEST(RankOneDiagonals, EqualTheOneCandidateEvaluationBitForBit) {
    for (int n : {1, 9, 40}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        const std::vector<double> h = normal_matrix(random_rows(n, 2 * n, 3), n, 2 * n, 0.0);
        std::vector<double> c = h;
        add_damping_to_packed_diagonal(n, 0.01f, c.data());
        ASSERT_EQ(invert_packed_symmetric(n, c.data()), 0);
        const std::vector<float> s = random_rows(mx::RankOneDiagonals::lanes, n, 4);
        const mx::RankOneDiagonals diagonals(n, c.data(), h.data());
        mx::RankOneDiagonals::Work work(n);
        ASSERT_TRUE(diagonals.ok() && work.ok());
        // A full set of lanes, and five (the rest of a table), after the full set.
        for (int count : {mx::RankOneDiagonals::lanes, 5}) {
            std::vector<const float*> rows;
            for (int l = 0; l < count; ++l)
                rows.push_back(s.data() + std::size_t(l) * n);
            std::vector<float> out(std::size_t(count) * n);
            diagonals.evaluate(rows.data(), count, out.data(), work);
            for (int l = 0; l < count; ++l) {
                const std::vector<float> r = plain_diagonal(n, c, h, rows[std::size_t(l)]);
                EXPECT_TRUE(
                    same_bits(out.data() + std::size_t(l) * n, r.data(), r.size() * sizeof(float)))
                    << "lane " << l << " of " << count;
            }
        }
    }
}

} // namespace
