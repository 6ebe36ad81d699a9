// Electrodes mapped onto mesh nodes: node columns of remote electrodes with linear weights, and
// Gaussian weights over the corners of a cell.
#include "fdsolve/electrode_nodes.h"
#include "fesolve/electrode_map.h"
#include "model/model_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// 41 node columns 0.25 apart; five survey electrodes in the 0-based columns 8, 12, .., 24
// (x = 2 .. 6), the first at the reference x = 2.
struct Columns {
    std::vector<float> x;
    Columns() {
        for (int c = 0; c <= 40; ++c)
            x.push_back(0.25f * float(c));
    }
};

TEST(Mapping, FindElectrodeNodesOnAndBetweenColumns) {
    const struct Case {
        float x; // relative to the first electrode
        int count, c1, c2;
        float w1;
        const char* what;
    } cases[] = {
        {0.25f, 1, 9, 0, 1.0f, "on a column"},
        {0.30f, 1, 9, 0, 1.0f, "within 0.1 of a column"},
        {1.62f, 2, 14, 15, 0.52f, "between two columns"},
        {1.625f, 2, 14, 15, 0.5f, "half way: the lower column is the nearest"},
        {0.0f, 1, 9, 0, 1.0f, "on a survey column, moved to its right"},
        {-0.05f, 1, 7, 0, 1.0f, "near a survey column on its left, moved left"},
        {0.86f, 1, 11, 0, 1.0f, "between a column and a survey column: the other one alone"},
        {-1.6f, 0, 0, 0, 0.0f, "below column 3: left out"},
        {7.5f, 1, 38, 0, 1.0f, "on the last column kept"},
        {7.75f, 0, 0, 0, 0.0f, "beyond the last column kept: left out"},
    };
    Columns columns;
    for (const Case& c : cases) {
        int list[3] = {-1, -1, -1};
        float w[2] = {-1, -1};
        find_electrode_nodes(9, 4, 5, 40, c.x, columns.x[8], columns.x.data(), list, w);
        ASSERT_EQ(list[0], c.count) << c.what;
        if (c.count >= 1) {
            EXPECT_EQ(list[1], c.c1) << c.what;
            EXPECT_NEAR(w[0], c.w1, 1e-5) << c.what;
        }
        if (c.count == 2) {
            EXPECT_EQ(list[2], c.c2) << c.what;
            EXPECT_NEAR(w[0] + w[1], 1.0, 1e-6) << c.what;
        }
    }
}

TEST(Mapping, RemoteElectrodeNodeNumbers) {
    Columns columns;
    int list[6] = {}, na = -1, nb = -1;
    float w[4] = {};
    get_electrode_node_numbers(4, 5, 9, 10, 41, columns.x.data(), 0.25f, 1.62f, list, w, &na, &nb);
    EXPECT_EQ(na, 1);
    EXPECT_EQ(nb, 2);
    const int expected[5] = {1, 9 * 10 + 1, 2, 14 * 10 + 1, 15 * 10 + 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list[i], expected[i]) << i;
    EXPECT_FLOAT_EQ(w[0], 1.0f);
    EXPECT_NEAR(w[1], 0.52f, 1e-5);
    EXPECT_NEAR(w[1] + w[2], 1.0f, 1e-6);
    // An electrode far beyond the mesh has no node.
    get_electrode_node_numbers(4, 5, 9, 10, 41, columns.x.data(), -1000.0f, 2000.0f, list, w, &na,
                               &nb);
    EXPECT_EQ(na, 0);
    EXPECT_EQ(nb, 0);
}

TEST(Mapping, GaussianWeightsSumToOne) {
    const struct Case {
        float ex, ez;
        float corner[4][2];
        const char* what;
    } cases[] = {
        {0.5f, 0.5f, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, "centre of a square"},
        {0.1f, 0.2f, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, "near corner 1"},
        {3.3f,
         2.9f,
         {{3, 3}, {3.5f, 3}, {3.5f, 2.6f}, {3, 2.6f}},
         "slot order of the sparse solver"},
        {0.5f, 0.5f, {{0, 0}, {1, 1}, {1, 0}, {0, 1}}, "corners whose differences cancel"},
    };
    for (const Case& c : cases) {
        ElectrodeNode table[2] = {};
        table[1].x = c.ex;
        table[1].z = c.ez;
        gaussian_interpolation_nodes(table, 1, c.corner[0][0], c.corner[0][1], c.corner[1][0],
                                     c.corner[1][1], c.corner[2][0], c.corner[2][1], c.corner[3][0],
                                     c.corner[3][1]);
        double sum = 0.0;
        int nearest = 0;
        auto d2 = [&](int n) {
            const float dx = c.ex - c.corner[n][0], dz = c.ez - c.corner[n][1];
            return dx * dx + dz * dz;
        };
        for (int n = 0; n < 4; ++n) {
            ASSERT_TRUE(std::isfinite(table[1].weight[n])) << c.what;
            sum += table[1].weight[n];
            if (d2(n) < d2(nearest)) nearest = n;
        }
        EXPECT_NEAR(sum, 1.0, 1e-6) << c.what;
        for (int n = 0; n < 4; ++n)
            EXPECT_LE(table[1].weight[n], table[1].weight[nearest]) << c.what;
        EXPECT_EQ(table[0].weight[0], 0.0f); // only the electrode's own record is written
    }
    ElectrodeNode centre[1] = {};
    centre[0].x = centre[0].z = 0.5f;
    gaussian_interpolation_nodes(centre, 0, 0, 0, 1, 0, 0, 1, 1, 1);
    for (float w : centre[0].weight)
        EXPECT_FLOAT_EQ(w, 0.25f);
}

TEST(Mapping, ExtendedCountForDistance) {
    EXPECT_EQ(extended_count_for_distance(0, -100.0f, 5.0f, 10), 12);
    EXPECT_EQ(extended_count_for_distance(1, 5.0f, 6.0f, 10), 12);  // both on the line
    EXPECT_EQ(extended_count_for_distance(1, -3.0f, 6.0f, 10), 12); // 2.78 < 3 < 4.05
    EXPECT_EQ(extended_count_for_distance(1, -10.0f, 5.0f, 10), 15);
    EXPECT_EQ(extended_count_for_distance(1, 2.0f, 1.0e6f, 10), 26);
}

} // namespace
