// The pole-pole kernel against the strike integral, the block rules, the array sensitivities
// against the half-space integral, and the discretisation and array sets of the defaults.
#include "fixture.h"

#include "optimise/arrays.h"
#include "optimise/pole_pole.h"
#include "optimise/resolution.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace {

// The strike integral of grad(1/r_j) . grad(1/r_i) at (a, y, z), poles j at 0 and i at d on
// the surface, by the midpoint rule after y = tan t.
double strike_integral(double a, double d, double z) {
    const double pi = 3.14159265358979323846;
    const int n = 20000;
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const double t = -pi / 2 + (k + 0.5) * pi / n, y = std::tan(t);
        const double rj2 = a * a + y * y + z * z, ri2 = (a - d) * (a - d) + y * y + z * z;
        sum += (a * (a - d) + y * y + z * z) / std::pow(rj2 * ri2, 1.5) / std::pow(std::cos(t), 2);
    }
    return sum * pi / n;
}

TEST(PolePoleKernel, ClosedAndEllipticFormsAgainstTheStrikeIntegral) {
    struct Case {
        double a, d, z, value;
    } cases[] = {
        {1, 2, 0.7, -0.0057963}, // equidistant: the closed form
        {0.3, 2, 0.5, 0.03238368},
        {-1, 3, 1.2, 0.06921313},
        {4, 1, 0.3, 0.03677666},
    };
    for (const Case& c : cases) {
        const double f = opt::pole_pole_kernel(c.a, c.d, c.z);
        EXPECT_NEAR(f, c.value, 5e-8) << c.a << " " << c.d << " " << c.z;
        EXPECT_NEAR(f, strike_integral(c.a, c.d, c.z), 2e-7) << c.a << " " << c.d << " " << c.z;
    }
}

TEST(PolePoleKernel, ALimitValueTakesTheCoarserRule) {
    struct Case {
        float d2;
        int nx, nz;
    } cases[] = {{0.0f, 8, 7},  {0.48f, 8, 7}, {0.49f, 4, 3}, {0.98f, 4, 3},
                 {0.99f, 3, 3}, {2.98f, 3, 3}, {2.99f, 2, 2}, {40.0f, 2, 2}};
    for (const Case& c : cases) {
        int nx = 0, nz = 0;
        opt::quadrature_orders(c.d2, nx, nz);
        EXPECT_EQ(nx, c.nx) << c.d2;
        EXPECT_EQ(nz, c.nz) << c.d2;
    }
}

// Sum over the blocks of an array's sensitivities: the half-space integral of the Frechet
// derivative is 1; the blocks end at the model's depth and sides, and the coarse rules of the
// distant blocks leave the rest (1 % for the short arrays, 2 % for dipole-dipole n = 3).
TEST(ArraySensitivity, BlocksSumToTheHalfSpaceIntegral) {
    opt_test::Workspace space(22);
    opt::Run run(*space.settings);
    opt::build_grid(*space.settings, run.grid);
    ASSERT_TRUE(run.table.allocate(opt::pole_pole_table_size(run.grid)));
    ASSERT_EQ(opt::pole_pole_table(run.grid, space.settings->work_files[2], run.table.get()), 0);
    struct Case {
        const char* name;
        std::int32_t e[4]; // C1 C2 P1 P2 from electrode 11, the middle of the line
        double sum;
    } cases[] = {
        {"dipole-dipole n = 1", {12, 11, 13, 14}, 1.003},
        {"Wenner alpha", {11, 14, 12, 13}, 0.996},
        {"dipole-dipole n = 3", {12, 11, 15, 16}, 1.020},
    };
    std::vector<float> s(std::size_t(run.nblocks()));
    for (const Case& c : cases) {
        opt::array_sensitivities(run.grid, run.table.get(), c.e, s.data());
        const double sum = std::accumulate(s.begin(), s.end(), 0.0);
        EXPECT_NEAR(sum, c.sum, 5e-4) << c.name;
    }
}

TEST(Discretisation, DefaultsWithTenAndTwentyTwoElectrodes) {
    struct Case {
        int electrodes, layers, blocks, comprehensive, base;
    } cases[] = {{10, 4, 36, 392, 25}, {22, 7, 147, 13593, 85}};
    for (const Case& c : cases) {
        ModelResolution settings;
        settings.opt_nelec = c.electrodes;
        opt::Grid grid;
        opt::build_grid(settings, grid);
        EXPECT_EQ(grid.nlayers, c.layers);
        EXPECT_EQ(grid.nblocks, c.blocks);
        opt::ArrayList comprehensive, base;
        ASSERT_TRUE(opt::generate_arrays(settings, grid, comprehensive, base));
        EXPECT_EQ(comprehensive.count, c.comprehensive);
        EXPECT_EQ(base.count, c.base);
    }
}

// The four-cable line: the 41 inner electrodes first (shifted onto 11..51), then the arrays that
// need the long cable, on its electrodes only.
TEST(Discretisation, FourCableLongPassUsesTheLongCableOnly) {
    ModelResolution settings;
    settings.cable_layout = 2;
    opt::Grid grid;
    opt::build_grid(settings, grid);
    EXPECT_EQ(grid.nelec, 61);
    EXPECT_FLOAT_EQ(grid.position(11), 20.0f);
    EXPECT_FLOAT_EQ(grid.position(51), 60.0f);
    EXPECT_FLOAT_EQ(grid.position(61), 80.0f);
    opt::ArrayList comprehensive, base;
    ASSERT_TRUE(opt::generate_arrays(settings, grid, comprehensive, base));
    const auto outer = [](int e) { return e < 11 || e > 51; };
    int k = 0;
    for (; k < comprehensive.count; ++k) {
        const std::int32_t* e = comprehensive.at(k);
        if (outer(e[0]) || outer(e[1]) || outer(e[2]) || outer(e[3])) break;
    }
    ASSERT_GT(k, 0);
    ASSERT_LT(k, comprehensive.count);
    bool found = false;
    for (; k < comprehensive.count; ++k) {
        const std::int32_t* e = comprehensive.at(k);
        bool any_outer = false;
        for (int i = 0; i < 4; ++i) {
            any_outer = any_outer || outer(e[i]);
            EXPECT_FALSE(e[i] > 11 && e[i] < 51 && e[i] % 2 == 0) << "electrode " << e[i];
        }
        EXPECT_TRUE(any_outer) << "array " << k;
        found = found || (e[0] == 11 && e[1] == 9 && e[2] == 13 && e[3] == 15);
    }
    EXPECT_TRUE(found) << "beta array on 9, 11, 13, 15";
    for (int b = 0; b < base.count; ++b)
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(base.at(b)[i] >= 1 && base.at(b)[i] <= 61);
}

} // namespace
