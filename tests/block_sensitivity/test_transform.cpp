// Inverse transform of the wavenumber-domain Jacobian: exponential integration between the
// wavenumbers, the zero and negative first values, rising intervals.
#include "sensitivity/jacobian_transform.h"

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

TEST(JacobianTransform, ZeroAndNegativeFirstValues) {
    ModelSettings s;
    s.n_elec_positions = 1;
    s.ndata = 2; // blocks of 2 P N = 4 values
    const float k[2] = {1.0f, 2.0f};
    // Index 0: decaying; 1: zero first value; 2: negated decay; 3: negative, then positive.
    const float e1 = std::exp(-1.0f), e2 = std::exp(-2.0f);
    const float input[8] = {e1, 0.0f, -e1, -1.0f, e2, 5.0f, -e2, 1.0f};
    float out[4] = {9, 9, 9, 9};
    Inverse_Fourier_Transform_Jacobian_X_Z(s, 2, k, input, out);
    const double decay = std::exp(-1.0) + (std::exp(-1.0) - std::exp(-2.0)); // 1 x e1 + interval
    EXPECT_NEAR(out[0], decay, 1e-6);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_NEAR(out[2], -decay, 1e-6);
    EXPECT_FLOAT_EQ(out[3], -1.0f); // negated: 1 then -1, the interval adds nothing
}

} // namespace
