// The elliptic integral and the 2-D sensitivity kernels against published values and against
// quadrature of the defining strike integral.
#include "quadrature.h"

#include "sensitivity/kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using sens_test::integral_over_line;
using sens_test::strike_integral;

TEST(EllipticIntegral, FirstAndSecondKindAndTheGeneralForm) {
    const struct {
        double k, K, E;
    } cases[] = {{0.5, 1.685750354812596, 1.467462209339427},
                 {0.9, 2.280549138422770, 1.171697052781614},
                 {0.0, M_PI / 2, M_PI / 2}};
    for (const auto& c : cases) {
        double K = 0.0;
        EXPECT_NEAR(elliptic_integrals_k(c.k, &K), c.E, 1e-12) << c.k;
        EXPECT_NEAR(K, c.K, 1e-12) << c.k;
    }
    int error = -1;
    EXPECT_NEAR(complete_elliptic_integral(0.8, 0.5, 1.0, 1.0, error), 2.523900708449, 1e-11);
    EXPECT_EQ(error, 0);
    EXPECT_NEAR(complete_elliptic_integral(0.8, 2.0, 1.0, 1.0, error), 1.214665855455, 1e-11);
    // kc = 0 is flagged; a value that is no number ends instead of iterating for ever.
    EXPECT_TRUE(std::isinf(complete_elliptic_integral(0.0, 1.0, 1.0, 1.0, error)));
    EXPECT_EQ(error, 1);
    EXPECT_TRUE(std::isnan(complete_elliptic_integral(std::numeric_limits<double>::quiet_NaN(), 1.0,
                                                      1.0, 1.0, error)));
}

TEST(SurfaceKernel, ClosedFormMatchesTheStrikeIntegral) {
    const struct {
        float x, z, a;
        double value;
    } cases[] = {{0.3f, 0.2f, 1.0f, -0.0687899},
                 {1.5f, 0.5f, 1.0f, 0.0275204},
                 {-0.5f, 0.4f, 1.0f, 0.0326112},
                 {0.2f, 0.05f, 1.0f, -0.2350194},
                 {0.3f, 0.2f, -1.0f, 0.0847204}};
    for (const auto& c : cases) {
        const double F = sens2d_pole_pole(c.x, c.z, c.a);
        EXPECT_NEAR(F, c.value, 1e-6) << c.x << " " << c.z << " " << c.a;
        EXPECT_NEAR(F, strike_integral(c.x, c.z, 0.0, 0.0, c.a, 0.0), 1e-6);
        // Reciprocity: the potential pole as the origin (x - a rounded to float).
        EXPECT_NEAR(sens2d_pole_pole(c.x - c.a, c.z, -c.a), F, 5e-7 * std::fabs(F));
    }
}

// On and near the perpendicular bisector of the poles the closed form would subtract nearly
// equal terms; the value must still be the integral's, to 1e-6 of its scale C pi / (2 r^3).
TEST(SurfaceKernel, HoldsItsDigitsAtTheBisector) {
    for (const float x : {0.5f, 0.5f - 1e-8f, 0.5f - 1e-6f})
        EXPECT_NEAR(sens2d_pole_pole(x, 0.3f, 1.0f), -0.0206600, 1e-7) << x;

    double worst = 0.0;
    for (const double a : {1.0, -1.0, 1.0 / 3.0, 10.0})
        for (const double depth : {0.01, 0.1, 0.5, 1.0, 3.0, 30.0, 1000.0})
            for (const double offset : {-1e-3, -1e-4, -2e-5, -1e-6, -1e-8, 0.0, 1e-7, 3e-5, 1e-3}) {
                const float x = float(a / 2 + offset * std::fabs(a));
                const float z = float(depth * std::fabs(a)), af = float(a);
                const double dx1 = x, dx2 = double(x) - af, dz = z;
                const double r2 = 0.5 * (dx1 * dx1 + dx2 * dx2) + dz * dz;
                const double scale = sens_test::kernel_c * 3.141593 / (2.0 * r2 * std::sqrt(r2));
                const double error =
                    std::fabs(sens2d_pole_pole(x, z, af) - strike_integral(x, z, 0, 0, af, 0));
                worst = std::max(worst, error / scale);
                EXPECT_LT(error, 1e-6 * scale) << a << " " << depth << " " << offset;
            }
    std::printf("bisector table: worst error %.2e of C pi / (2 r^3)\n", worst);
}

// Integrated along the line the kernel is smooth except at the bisector, where a wrong branch
// shows at once: split there, the integral is that of the exact kernel.
TEST(SurfaceKernel, IntegralAlongTheLine) {
    const struct {
        float z;
        double integral;
    } cases[] = {{0.1f, 0.0600247}, {0.5f, 0.1125395}, {1.0f, 0.0569410}};
    for (const auto& c : cases) {
        const auto half = [&](double sign) {
            // x = 1/2 + sign e^u over u in (-inf, inf): each half of the line.
            return integral_over_line(
                [&](double u) {
                    const double e = std::exp(u);
                    if (e > 1e6) return 0.0;
                    return sens2d_pole_pole(float(0.5 + sign * e), c.z, 1.0f) * e;
                },
                0.0, 1.0);
        };
        EXPECT_NEAR(half(1.0) + half(-1.0), c.integral, 1e-5) << c.z;
    }
}

TEST(BuriedKernel, MatchesTheStrikeIntegralAndItsImages) {
    const float k = sens2d_buried_pole(0.4f, 0.8f, 0.0f, 0.5f, 1.0f, 0.3f);
    EXPECT_NEAR(k, 0.0112296, 1e-6);
    EXPECT_NEAR(k, strike_integral(0.4, 0.8, 0.0, 0.5, 1.0, 0.3), 1e-6);
    EXPECT_EQ(sens2d_buried_pole(0.4f, 0.8f, 1.0f, 0.3f, 0.0f, 0.5f), k);
    EXPECT_NEAR(sens2d_buried_pole_images(0.4f, 0.8f, 0.0f, 0.5f, 1.0f, 0.3f), 0.0167435, 1e-6);

    // (0.56, 0.70) is as far from both poles: the closed form of the two branches loses its
    // digits there.
    EXPECT_NEAR(sens2d_buried_pole(0.56f, 0.70f, 0.0f, 0.5f, 1.0f, 0.3f), -0.0194796, 1e-6);
    EXPECT_NEAR(strike_integral(0.56, 0.70, 0.0, 0.5, 1.0, 0.3), -0.0194796, 1e-6);

    EXPECT_EQ(sens2d_buried_pole(0.0f, 0.5f, 0.0f, 0.5f, 1.0f, 0.3f), 999.0f);
    EXPECT_EQ(sens2d_buried_pole(1.0f, 0.3f, 0.0f, 0.5f, 1.0f, 0.3f), 999.0f);

    // Both poles on the surface: the image sum is the surface kernel.
    for (const float x : {-0.7f, 0.3f, 0.5f, 1.9f})
        for (const float z : {0.05f, 0.4f, 2.0f})
            EXPECT_NEAR(sens2d_buried_pole_images(x, z, 0.25f, 0.0f, 1.25f, 0.0f),
                        sens2d_pole_pole(x - 0.25f, z, 1.0f),
                        2e-6 * std::fabs(sens2d_pole_pole(x - 0.25f, z, 1.0f)) + 1e-9)
                << x << " " << z;
}

TEST(ArrayKernelSum, StandardArraysOnALineOfUnitLength) {
    const sens::Electrodes unused;
    const struct {
        float x, z, value;
    } alpha[] = {{0.5f, 0.1f, 2.80186f},
                 {0.2f, 0.1f, -0.43315f},
                 {0.8f, 0.1f, -0.43315f},
                 {0.5f, 0.3f, 0.53181f}};
    for (const auto& c : alpha)
        EXPECT_NEAR(sens::array_kernel_sum(sens::wenner_alpha, 1.0f, unused, c.x, c.z), c.value,
                    1e-5)
            << c.x << " " << c.z;

    // The symmetric arrays are their own mirror image about x = 1/2.
    const struct {
        int code;
        float n;
    } symmetric[] = {{sens::wenner_alpha, 1.0f},        {sens::wenner_beta, 1.0f},
                     {sens::dipole_dipole, 1.0f},       {sens::dipole_dipole, 3.0f},
                     {sens::wenner_schlumberger, 1.0f}, {sens::wenner_schlumberger, 4.0f}};
    for (const auto& s : symmetric)
        for (const float x : {-0.6f, 0.05f, 0.27f, 0.44f})
            for (const float z : {0.03f, 0.2f, 0.9f}) {
                const float left = sens::array_kernel_sum(s.code, s.n, unused, x, z);
                const float right = sens::array_kernel_sum(s.code, s.n, unused, 1.0f - x, z);
                EXPECT_NEAR(left, right, 1e-4f * std::fabs(left) + 1e-6f)
                    << s.code << " n " << s.n << " at " << x << " " << z;
            }

    // The general array at the Wenner positions, and the borehole array with its electrodes on
    // the surface, are the Wenner alpha section.
    sens::Electrodes wenner;
    for (const float x : {-0.3f, 0.1f, 0.6f})
        for (const float z : {0.05f, 0.5f}) {
            const float a = sens::array_kernel_sum(sens::wenner_alpha, 1.0f, unused, x, z);
            EXPECT_NEAR(sens::array_kernel_sum(sens::general_array, 1.0f, wenner, x, z), a,
                        1e-5f * std::fabs(a));
            EXPECT_NEAR(sens::array_kernel_sum(sens::borehole_array, 1.0f, wenner, x, z), a,
                        1e-5f * std::fabs(a) + 1e-6f);
        }
    // Any other code is the pole-pole array.
    EXPECT_EQ(sens::array_kernel_sum(9, 1.0f, unused, 0.3f, 0.2f),
              float(sens2d_pole_pole(0.3f, 0.2f, 1.0f)));
}

TEST(KernelWrappers, AreSignedSumsOfThePolePoleKernel) {
    // Lengths scale the kernel by 1 / L^3.
    EXPECT_NEAR(sens2d_wenner_alpha(1.5f, 0.3f, 1.0f) * 27.0,
                sens::array_kernel_sum(sens::wenner_alpha, 1.0f, {}, 0.5f, 0.1f), 1e-5);
    EXPECT_NEAR(sens2d_wenner_beta(0.7f, 0.4f, 1.0f / 3.0f),
                sens::array_kernel_sum(sens::wenner_beta, 1.0f, {}, 0.7f, 0.4f), 1e-4);
    EXPECT_NEAR(sens2d_pole_dipole(0.2f, 0.3f, 0.5f, 1.0f),
                sens::array_kernel_sum(sens::pole_dipole, 1.0f, {}, 0.2f, 0.3f), 1e-6);
    EXPECT_FLOAT_EQ(min_electrode_distance(0.4f, 0.0f, 1.0f, 0.5f, -2.0f), 0.1f);
    EXPECT_NEAR(sens2d_line_term(0.5f, 1.0f), 1.0 / (3.1416 * std::pow(2.0, 1.5)), 1e-7);
}

} // namespace
