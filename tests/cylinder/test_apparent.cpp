// The data set of a ring: the datum tables of every array code, the transfer values and the
// apparent IP of analytic potential tables, and what is left alone.
#include "fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace cyl_test {
namespace {

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
// apparent IP (not a division by zero) and its spectrum no fit. Without the IP switch there is
// no chargeability to fit either: the IP list is left alone and tau and c are 0.
TEST(ApparentValues, DataWithoutApparentIpGetNoFit) {
    const float freqs[2] = {1.0f, 10.0f};
    auto with_spectra = [&](RingData& r, std::vector<double>& re, std::vector<double>& im) {
        for (int f = 0; f < 2; ++f)
            for (double p : r.dc) {
                re.push_back(p);
                im.push_back(-0.01 * (f + 1) * p);
            }
        r.in.nfreq = 2;
        r.in.frequencies = freqs;
        r.in.spectral_re = re.data();
        r.in.spectral_im = im.data();
    };
    RingData r(4, 3, 1);
    std::vector<double> re, im;
    with_spectra(r, re, im);
    ASSERT_EQ(r.run(), 2);
    for (int g = 0; g < 2; ++g) {
        EXPECT_EQ(r.values[g], 0.0f);
        EXPECT_EQ(r.ip_values[g], 0.0f);
        EXPECT_EQ(r.tau[g], 0.0f);
        EXPECT_EQ(r.cexp[g], 0.0f);
    }
    RingData no_ip(12, 1, 1);
    std::vector<double> re2, im2;
    with_spectra(no_ip, re2, im2);
    no_ip.in.ip = 0;
    no_ip.in.ip_table = nullptr;
    ASSERT_EQ(no_ip.run(), 10);
    EXPECT_EQ(no_ip.ip_values[0], -7.0f);
    EXPECT_EQ(no_ip.tau[0], 0.0f);
    EXPECT_EQ(no_ip.cexp[0], 0.0f);
    EXPECT_NE(no_ip.sre[0], -7.0f);
}

} // namespace
} // namespace cyl_test
