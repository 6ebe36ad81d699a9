// Median depths of investigation against the half-space root, the depth-factor tables and their
// interpolation, and the equatorial depth curve.
#include "model/depth_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The median depth as the exact root of the half-space condition: the layer below z carries
// half the signal, sum s_i / sqrt(r_i^2 + 4 z^2) = half of sum s_i / r_i.
double exact_median_depth(const double (&r)[4], int count) {
    auto signal = [&](double z) {
        double g = 1 / std::sqrt(r[0] * r[0] + 4 * z * z) - 1 / std::sqrt(r[1] * r[1] + 4 * z * z);
        if (count == 4)
            g += -1 / std::sqrt(r[2] * r[2] + 4 * z * z) + 1 / std::sqrt(r[3] * r[3] + 4 * z * z);
        return g;
    };
    const double half = 0.5 * signal(0);
    double lo = 0, hi = 10 * std::fmax(std::fmax(r[0], r[1]), std::fmax(r[2], r[3]));
    for (int i = 0; i < 200; ++i) {
        const double z = 0.5 * (lo + hi);
        (signal(z) > half ? lo : hi) = z;
    }
    return 0.5 * (lo + hi);
}

struct MedianCase {
    const char* array;
    double r[4];
    int count;
};

TEST(MedianDepth, MatchesHalfSpaceRoot) {
    const MedianCase cases[] = {
        {"Wenner alpha a=1", {1, 2, 2, 1}, 4},          {"Wenner alpha a=10", {10, 20, 20, 10}, 4},
        {"Wenner beta a=1", {1, 2, 2, 3}, 4},           {"Wenner gamma a=1", {1, 3, 1, 1}, 4},
        {"dipole-dipole n=6", {6, 7, 7, 8}, 4},         {"Schlumberger n=3", {3, 4, 4, 3}, 4},
        {"pole-dipole n=1", {1, 2, 0, 0}, 3},           {"pole-dipole n=9", {9, 10, 0, 0}, 3},
        {"pole-dipole a=2.5 n=4", {10, 12.5, 0, 0}, 3},
    };
    for (const MedianCase& c : cases) {
        const float z = median_depth_of_investigation(float(c.r[0]), float(c.r[1]), float(c.r[2]),
                                                      float(c.r[3]), c.count);
        EXPECT_NEAR(z, exact_median_depth(c.r, c.count), 2e-5 * std::fmax(1.0, c.r[0])) << c.array;
    }
}

TEST(MedianDepth, WorkedNumbers) {
    EXPECT_NEAR(median_depth_of_investigation(1, 2, 2, 1, 4), 0.519, 5e-4);  // Wenner alpha
    EXPECT_NEAR(median_depth_of_investigation(1, 2, 2, 3, 4), 0.416, 5e-4);  // dipole-dipole
    EXPECT_FLOAT_EQ(median_depth_of_investigation(10, 0, 0, 0, 2), 8.4133f); // pole-pole
}

TEST(MedianDepth, RemoteElectrodeInFourElectrodeFormPinsToBracketBottom) {
    // The current pole 100000 spacings away: the signal condition holds over the whole bracket.
    const float z = median_depth_of_investigation(1, 2, 100000, 100001, 4);
    EXPECT_NEAR(z, 0.001 * 100001, 0.01);
}

TEST(DepthFactors, PoleDipoleTableIsTheThreeElectrodeMedian) {
    DepthFactorTable table{};
    set_depth_factors_pole_dipole(table);
    // The tabulated values drift below the computed median by up to 4e-4 of it at n = 16.
    for (int n = 1; n <= 16; ++n) {
        const float median = median_depth_of_investigation(n, n + 1, 0, 0, 3);
        EXPECT_NEAR(table[n - 1], median, 5e-4 * median) << "n = " << n;
    }
}

TEST(DepthFactors, FirstDipoleDipoleEntriesAreTheFourElectrodeMedian) {
    DepthFactorTable table{};
    set_depth_factors_dipole_dipole(table);
    for (int n = 1; n <= 9; ++n)
        EXPECT_NEAR(table[n - 1], median_depth_of_investigation(n, n + 1, n + 1, n + 2, 4), 1.5e-3)
            << "n = " << n;
}

TEST(DepthFactors, TablesGrowByTheLastStepAndEndWithFractionalLevels) {
    DepthFactorTable dd{}, pd{}, ws{};
    set_depth_factors_dipole_dipole(dd);
    set_depth_factors_pole_dipole(pd);
    set_depth_factors_pole_dipole_2(ws);
    EXPECT_FLOAT_EQ(dd[16], 4.08f);
    EXPECT_NEAR(dd[depth_factor_max_n - 1], 3.9 + 54 * 0.18, 1e-3);
    EXPECT_NEAR(pd[16], 6.31541 + 0.36309, 1e-5);
    EXPECT_FLOAT_EQ(dd[depth_factor_max_n], 0.153f);
    EXPECT_FLOAT_EQ(dd[depth_factor_max_n + 1], 0.254f);
    EXPECT_FLOAT_EQ(pd[depth_factor_max_n], 0.17f);
    EXPECT_FLOAT_EQ(pd[depth_factor_max_n + 1], 0.298f);
    EXPECT_EQ(pd, ws);
}

TEST(InterpDepthFactor, NearestLevelSegments) {
    DepthFactorTable t{};
    set_depth_factors_dipole_dipole(t);
    const int q = depth_factor_max_n, h = depth_factor_max_n + 1;
    const struct {
        float n;
        float expected;
    } cases[] = {
        {1.0f, t[0]},
        {2.0f, t[1]},
        {1.25f, t[0] + 0.25f * (t[1] - t[0])},
        {1.5f, t[1] - 0.5f * (t[2] - t[1])}, // halves go to the upper level
        {1.7f, t[1] - 0.3f * (t[2] - t[1])},
        {0.5f, t[h]},
        {0.75f, t[h] + (t[0] - t[h]) * 0.5f},
        {0.25f, t[q]},
        {0.4f, t[q] + (t[h] - t[q]) * 0.6f},
        {69.0f, t[68]},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(interp_depth_factor(t, c.n), c.expected) << c.n;
}

TEST(InterpDepthFactor, ExtrapolatesBeyondTheTableWithItsLastStep) {
    DepthFactorTable t{};
    set_depth_factors_dipole_dipole(t);
    const float last = t[depth_factor_max_n - 1];
    const float step = t[depth_factor_max_n - 1] - t[depth_factor_max_n - 2];
    for (float n : {69.5f, 70.0f, 70.4f, 71.0f, 90.0f, 500.0f})
        EXPECT_NEAR(interp_depth_factor(t, n), last + (n - depth_factor_max_n) * step, 1e-5 * n)
            << n;
    // No jump where the nearest level reaches the end of the table.
    EXPECT_NEAR(interp_depth_factor(t, 69.4999f), interp_depth_factor(t, 69.5f), 1e-3);
    // The fractional-level entries after the table never take part.
    EXPECT_GT(interp_depth_factor(t, 70.2f), last);
}

TEST(RatioTableFunction, PiecewiseLinearCurveTimesOffset) {
    const struct {
        float a, b, expected;
    } cases[] = {
        {2, 1, 0.809f},
        {3, 2, 2 * (0.451f + 0.5f * 0.358f)},
        {0.5f, 1, 0.27f},
        {1, 1, 0.451f},
        {6, 1, 2.315f},
        {0.25f, 1, 0.162f},
        {0.1f, 1, 0.162f - 0.15f * 0.432f},
        {8, 1, 2.315f + 2 * 0.38125f},
        {4.5f, 0.5f, 0.5f * (2.315f + 3 * 0.38125f)},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(ratio_table_function(c.a, c.b), c.expected, 1e-5) << c.a << "/" << c.b;
}

} // namespace
