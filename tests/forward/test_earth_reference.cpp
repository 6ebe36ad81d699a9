// The analytic references of the road table against each other: the image series against the
// Hankel integral and the shared layered-earth reference, their limits, the geometric factors of
// the off-line arrays in closed form, Seigel's chargeability against its first order, and the
// Cole-Cole resistivity at its limits.
#include "earth_reference.h"

#include "support/layered_earth.h"

#include <gtest/gtest.h>

#include <cmath>

using reference::Complex;
using reference::Earth;
using reference::Electrodes;
using reference::Point;

namespace {

constexpr double pi = 3.14159265358979323846;

const Earth earths[] = {{20.0, 200.0, 2.5},
                        {200.0, 20.0, 2.5},
                        {10.0, 100.0, 0.7},
                        {Complex(100.0, 3.0), Complex(10.0, 0.1), 4.0},
                        {reference::cole_cole(50.0, 0.1, 0.01, 0.5, 10.0),
                         reference::cole_cole(500.0, 0.05, 1.0, 0.3, 10.0), 1.0}};

TEST(EarthReference, ImageSeriesIsTheHankelIntegral) {
    for (const Earth& e : earths)
        for (double r : {0.1, 0.5, 1.0, 2.5, 7.0, 20.0, 60.0, 150.0}) {
            const Complex images = reference::potential(e, r);
            const Complex hankel = reference::potential_hankel(e, r);
            EXPECT_LT(std::abs(images - hankel) / std::abs(images), 1e-9)
                << e.rho1 << " " << e.rho2 << " h " << e.h << " r " << r;
        }
}

TEST(EarthReference, LayersAgreeWithTheSharedReferenceAndTheirLimits) {
    for (double r : {0.3, 2.0, 9.0, 40.0}) {
        const double shared = test_support::two_layer_potential(20.0, 200.0, 2.5, r);
        EXPECT_NEAR(reference::potential({20.0, 200.0, 2.5}, r).real(), shared, 1e-12 * shared);
        const double half = 100.0 / (2.0 * pi * r);
        EXPECT_NEAR(reference::potential({100.0, 100.0, 2.5}, r).real(), half, 1e-14 * half);
        EXPECT_NEAR(reference::potential({100.0, 7.0, 0.0}, r).real(), half, 1e-14 * half);
    }
    // Far below the layer's thickness the top layer with the first order of its images,
    // rho1 (1 - (r / h) ln(1 - k)); far beyond it the base alone.
    const Earth thick{20.0, 200.0, 1000.0}, thin{20.0, 200.0, 0.001};
    const double k = 180.0 / 220.0;
    EXPECT_NEAR(reference::potential(thick, 1.0).real() * 2.0 * pi,
                20.0 * (1.0 - 0.001 * std::log(1.0 - k)), 1e-5);
    EXPECT_NEAR(reference::potential(thin, 1000.0).real() * 2.0 * pi * 1000.0, 200.0, 0.5);
}

TEST(EarthReference, OffLineGeometricFactorsAndAnyArrayOverAHalfSpace) {
    const double a = 2.5, d = 3.75, t = std::hypot(a, d);
    // Equatorial dipole-dipole: pi a t / (t - a); offset pole-dipole: 2 pi / (1/R1 - 1/R2).
    const Electrodes equatorial{Point{0, 0}, Point{0, d}, Point{a, 0}, Point{a, d}};
    EXPECT_NEAR(reference::geometric_factor(equatorial), pi * a * t / (t - a), 1e-12);
    const Electrodes offset{Point{1, 2.5}, std::nullopt, Point{6, 0}, Point{8.5, 0}};
    const double r1 = std::hypot(5.0, 2.5), r2 = std::hypot(7.5, 2.5);
    EXPECT_NEAR(reference::geometric_factor(offset), 2.0 * pi / (1.0 / r1 - 1.0 / r2), 1e-12);
    for (const Electrodes& e :
         {equatorial, offset, Electrodes{Point{0, 0}, Point{7.5, 0}, Point{2.5, 0}, Point{5, 0}}}) {
        EXPECT_NEAR(reference::apparent_resistivity({70.0, 70.0, 0.0}, e).real(), 70.0, 1e-10);
        // Reciprocity: current and potential electrodes exchanged, the same value.
        const Electrodes swapped{e.p1, e.p2, e.c1, e.c2};
        const Earth layers{20.0, 200.0, 2.5};
        EXPECT_NEAR(reference::apparent_resistivity(layers, swapped).real(),
                    reference::apparent_resistivity(layers, e).real(), 1e-10);
    }
}

TEST(EarthReference, SeigelChargeabilityAndItsFirstOrder) {
    const Electrodes wenner{Point{0, 0}, Point{7.5, 0}, Point{2.5, 0}, Point{5, 0}};
    // A uniform chargeability m raises every resistivity alike: m_a = m exactly.
    EXPECT_NEAR(reference::seigel_chargeability(20.0, 200.0, 0.03, 0.03, 2.5, wenner), 30.0, 1e-9);
    EXPECT_NEAR(reference::seigel_linear(20.0, 200.0, 0.03, 0.03, 2.5, wenner), 30.0, 1e-6);
    // Layer by layer they part only at second order in m.
    for (double scale : {1.0, 0.1}) {
        const double m1 = 0.01 * scale, m2 = 0.05 * scale;
        const double exact = reference::seigel_chargeability(20.0, 200.0, m1, m2, 2.5, wenner);
        const double linear = reference::seigel_linear(20.0, 200.0, m1, m2, 2.5, wenner);
        EXPECT_GT(exact, 1000.0 * m1);
        EXPECT_LT(exact, 1000.0 * m2);
        EXPECT_NEAR(exact, linear, 0.05 * scale * scale * linear);
    }
}

TEST(EarthReference, ColeColeLimits) {
    EXPECT_NEAR(std::abs(reference::cole_cole(100.0, 0.2, 0.01, 0.5, 1e-9) - 100.0), 0.0, 1e-3);
    EXPECT_NEAR(std::abs(reference::cole_cole(100.0, 0.2, 0.01, 0.5, 1e12) - 80.0), 0.0, 1e-3);
    // c = 1: rho0 (1 - m i w tau / (1 + i w tau)); the quadrature is largest at w tau = 1.
    const double f = 1.0 / (2.0 * pi * 0.01);
    const Complex debye = reference::cole_cole(100.0, 0.2, 0.01, 1.0, f);
    EXPECT_NEAR(debye.real(), 90.0, 1e-12);
    EXPECT_NEAR(debye.imag(), -10.0, 1e-12);
}

} // namespace
