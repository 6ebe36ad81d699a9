// The data set of a ring: the datum tables of every array code, the transfer values and the
// apparent IP of analytic potential tables, and what is left alone.
#include "fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace cyl_test {
namespace {

// Tables and lists of one call, with the ring potential P(i | j) = 1 / chord(i, j) and the IP
// potential P / (1 - m).
struct RingData {
    int N;
    std::vector<double> dc, ip, spec_re, spec_im;
    std::vector<float> level_values, level_ip, values, ip_values, n, c1, c2, p1, p2, sre, sim, tau,
        cexp, freqs{1.0f, 10.0f};
    std::vector<std::int32_t> counts, spacing, first;
    cyl::ApparentInputs in;
    cyl::ApparentOutputs out;

    RingData(int electrodes, int code, int levels, double m = 0.1)
        : N(electrodes), dc(std::size_t(N) * N), ip(dc.size()), spec_re(2 * dc.size(), 0.0),
          spec_im(2 * dc.size(), 0.0), level_values(160 * N, -7.0f), level_ip(160 * N, -7.0f),
          values(4000, -7.0f), ip_values(4000, -7.0f), n(4000), c1(4000), c2(4000), p1(4000),
          p2(4000), sre(2 * 4000, -7.0f), sim(2 * 4000, -7.0f), tau(4000, -7.0f), cexp(4000, -7.0f),
          counts(161, -7), spacing(4000), first(4000) {
        const double pi = 3.14159265358979;
        for (int i = 1; i <= N; ++i)
            for (int j = 1; j <= N; ++j) {
                const int steps = std::min(std::abs(i - j), N - std::abs(i - j));
                const double chord = 2.0 * std::sin(pi * steps / N);
                const double p = i == j ? 9.0 : 1.0 / chord;
                dc[std::size_t(i - 1) + std::size_t(N) * (j - 1)] = p;
                ip[std::size_t(i - 1) + std::size_t(N) * (j - 1)] = p / (1.0 - m);
            }
        in.ip = 1;
        in.dc = dc.data();
        in.ip_table = ip.data();
        in.lead = N;
        in.spectral_re = spec_re.data();
        in.spectral_im = spec_im.data();
        in.frequencies = freqs.data();
        in.levels = levels;
        in.nelec = N;
        in.array_type = code;
        in.max_data = 4000;
        in.level_stride = 160;
        in.max_level_rows = 161;
        in.max_positions = N;
        out.level_values = level_values.data();
        out.level_ip = level_ip.data();
        out.level_counts = counts.data();
        out.values = values.data();
        out.ip_values = ip_values.data();
        out.n_factor = n.data();
        out.spacing = spacing.data();
        out.first = first.data();
        out.c1 = c1.data();
        out.c2 = c2.data();
        out.p1 = p1.data();
        out.p2 = p2.data();
        out.spectrum_re = sre.data();
        out.spectrum_im = sim.data();
        out.tau = tau.data();
        out.cexp = cexp.data();
    }
    int run() { return cyl::apparent_values(in, out); }
    std::vector<int> electrodes(int g) const {
        return {int(c1[g]), int(c2[g]), int(p1[g]), int(p2[g])};
    }
};

TEST(ApparentValues, DatumTablesOfEveryArrayCode) {
    struct Case {
        int code, N, levels, count;
        std::vector<int> first, last; // C1, C2, P1, P2
    };
    const Case cases[] = {
        {1, 12, 1, 10, {1, 4, 2, 3}, {10, 1, 11, 12}},
        {2, 12, 1, 10, {2, 1, 3, 4}, {11, 10, 12, 1}},
        {3, 12, 1, 10, {1, 3, 2, 4}, {10, 12, 11, 1}},
        {5, 12, 1, 12, {2, 1, 3, 4}, {1, 12, 2, 3}},
        {7, 12, 1, 10, {1, 4, 2, 3}, {10, 1, 11, 12}},
        // Level 2 of code 1 on 12 electrodes: 12 + 1 - 6 data; code 7 with N = 2d: none.
        {1, 12, 2, 10 + 7, {1, 4, 2, 3}, {7, 1, 9, 11}},
        {7, 8, 4, 6 + 4 + 2, {1, 4, 2, 3}, {2, 1, 5, 6}},
        {5, 6, 5, 6 + 6 + 6, {2, 1, 3, 4}, {1, 6, 4, 5}},
    };
    for (const Case& c : cases) {
        RingData r(c.N, c.code, c.levels);
        ASSERT_EQ(r.run(), c.count) << c.code << " " << c.N;
        EXPECT_EQ(r.electrodes(0), c.first) << c.code;
        EXPECT_EQ(r.electrodes(c.count - 1), c.last) << c.code;
        EXPECT_EQ(r.first[0], 1);
        int sum = 0;
        for (int d = 0; d < c.levels; ++d)
            sum += r.counts[d];
        EXPECT_EQ(sum, c.count) << c.code;
    }
    // Code 5 holds N data on every level with d + 3 <= N and none above; its n factor is the
    // level, its spacing 1.
    RingData dd(6, 5, 4);
    EXPECT_EQ(dd.run(), 18);
    EXPECT_EQ(dd.counts[2], 6);
    EXPECT_EQ(dd.counts[3], 0);
    EXPECT_EQ(dd.n[17], 3.0f);
    EXPECT_EQ(dd.spacing[17], 1);
    EXPECT_EQ(dd.first[17], 6);
    // Codes without a ring form give no data.
    for (int code : {4, 6, 8, 9, 10, 11, 15}) {
        RingData none(12, code, 3);
        EXPECT_EQ(none.run(), 0) << code;
        EXPECT_EQ(none.values[0], -7.0f) << code;
    }
}

TEST(ApparentValues, TransferValueAndApparentIp) {
    const double m = 0.08;
    RingData r(12, 1, 3, m);
    const int count = r.run();
    ASSERT_EQ(count, 10 + 7 + 4);
    for (int g = 0; g < count; ++g) {
        const auto e = r.electrodes(g);
        auto P = [&](int i, int j) { return r.dc[std::size_t(i - 1) + 12 * std::size_t(j - 1)]; };
        const double dv = P(e[2], e[0]) - P(e[2], e[1]) - P(e[3], e[0]) + P(e[3], e[1]);
        EXPECT_FLOAT_EQ(r.values[g], float(dv)) << g;
        EXPECT_NEAR(r.ip_values[g], 1000.0 * m, 1e-4 * 1000.0 * m) << g;
    }
    // The level tables hold the same values at (level, datum number).
    EXPECT_EQ(r.level_values[(2 - 1) + 160 * (3 - 1)], r.values[10 + 2]);
    EXPECT_EQ(r.level_ip[(2 - 1) + 160 * (3 - 1)], r.ip_values[10 + 2]);
    // Without frequencies no spectrum is written and no fit runs.
    EXPECT_EQ(r.sre[0], -7.0f);
    EXPECT_EQ(r.tau[0], -7.0f);
}

// Wenner gamma on four electrodes is symmetric: its IP transfer value is 0, so it has no
// apparent IP (not a division by zero).
TEST(ApparentValues, SymmetricDatumHasNoApparentIp) {
    RingData r(4, 3, 1);
    ASSERT_EQ(r.run(), 2);
    for (int g = 0; g < 2; ++g) {
        EXPECT_EQ(r.values[g], 0.0f);
        EXPECT_EQ(r.ip_values[g], 0.0f);
    }
    // Without the IP switch the IP list is left alone.
    RingData no_ip(12, 1, 1);
    no_ip.in.ip = 0;
    no_ip.in.ip_table = nullptr;
    ASSERT_EQ(no_ip.run(), 10);
    EXPECT_EQ(no_ip.ip_values[0], -7.0f);
}

} // namespace
} // namespace cyl_test
