// Inverse transform of the wavenumber-domain Jacobian: the exponential integration between the
// wavenumbers with its rising intervals, and the transform of series of either sign.
#include "sensitivity/jacobian_transform.h"

#include "fdsolve/spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(WavenumberIntegration, ExponentialDecayIntegratesExactly) {
    const std::vector<float> k = {0.05f, 0.2f, 0.6f, 1.5f, 3.0f, 6.0f};
    std::vector<float> v;
    for (float x : k)
        v.push_back(std::exp(-x));
    const double k0 = k[0], kn = k.back();
    const double exact = k0 * std::exp(-k0) + std::exp(-k0) - std::exp(-kn);
    EXPECT_NEAR(integrate_wavenumbers_exp(int(k.size()), k.data(), v.data()), exact, 1e-6);
}

TEST(WavenumberIntegration, RisingAndSignChangingIntervals) {
    const float k[3] = {1.0f, 2.0f, 4.0f};
    const float rising[2] = {1.0f, 2.0f}; // 1 x 1, then the trapezoid 1.5
    EXPECT_FLOAT_EQ(integrate_wavenumbers_exp(2, k, rising), 2.5f);
    const float crossing[3] = {1.0f, -1.0f, -2.0f}; // only the first interval from 0 counts
    EXPECT_FLOAT_EQ(integrate_wavenumbers_exp(3, k, crossing), 1.0f);
}

// The derivative of a half-space's potential with respect to the distance r has the wavenumber
// series k K1(k r), whose integral is pi / (2 r^2). Differences of such series change sign
// along k, and a zero at the first wavenumber says nothing of the others: the transform keeps
// every interval, on the solvers' twelve wavenumbers.
TEST(JacobianTransform, IntegratesSeriesOfEitherSign) {
    ModelSettings s;
    s.n_elec_positions = 1;
    s.ndata = 2; // blocks of 2 P N = 4 values
    constexpr int nk = 12;
    double kd[nk];
    log_spaced_values_dbl(nk, kd, 0.002f, 8.0f);
    float k[nk], input[4 * nk];
    const double pi = 3.14159265358979;
    for (int i = 0; i < nk; ++i) {
        k[i] = float(kd[i]);
        const double near = k[i] * std::cyl_bessel_k(1.0, double(k[i]));      // r = 1
        const double far = k[i] * std::cyl_bessel_k(1.0, 2.0 * double(k[i])); // r = 2
        input[4 * i] = float(near - 6.0 * far); // negative below k = 0.9, positive above
        input[4 * i + 1] = float(-near);
        input[4 * i + 2] = i == 0 ? 0.0f : float(near);
        input[4 * i + 3] = 0.0f;
    }
    float out[4] = {9, 9, 9, 9};
    Inverse_Fourier_Transform_Jacobian_X_Z(s, nk, k, input, out);
    // Measured: 0.0095 and 0.0064 off (the spline between wavenumbers a factor 2.1 apart).
    EXPECT_NEAR(out[0], pi / 2 - 6.0 * pi / 8, 0.012);
    EXPECT_NEAR(out[1], -pi / 2, 0.008);
    EXPECT_NEAR(out[2], pi / 2, 0.008); // the zero takes away only its own share
    EXPECT_EQ(out[3], 0.0f);
}

} // namespace
