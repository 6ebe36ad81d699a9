// The complex transforms on the wavenumber-domain potential of a homogeneous half-space,
// K0(k d)/pi, whose space-domain value is 1/(2 pi d), and on values that meet the limits of the
// interval models.
#include "ipsolve/transform_cmplx.h"

#include "fdsolve/spline.h"
#include "model/utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

// The solvers' default wavenumbers: 12 from 0.002 to 8 at equal steps of ln k.
std::vector<float> wavenumbers() {
    std::vector<double> k(12);
    log_spaced_values_dbl(12, k.data(), 0.002f, 8.0f);
    return std::vector<float>(k.begin(), k.end());
}

double k0_over_pi(double k, double d) {
    return std::cyl_bessel_k(0.0, k * d) / pi;
}

TEST(PairTransform, HalfSpacePairsWithinTheFirstIntervalError) {
    const std::vector<float> k = wavenumbers();
    const int np = 11, nw = 12, npairs = np * (np - 1) / 2, lead = 16;
    std::vector<float> re(std::size_t(npairs) * nw), im(re.size());
    for (int i = 1; i < np; ++i)
        for (int j = i + 1; j <= np; ++j)
            for (int w = 0; w < nw; ++w) {
                const long long p = (long long)(i - 1) * (2 * np - i) / 2 + (j - i - 1);
                re[p + w * npairs] = float(k0_over_pi(k[w], j - i));
                // An imaginary part of the opposite sign and a tenth of the size.
                im[p + w * npairs] = -0.1f * re[p + w * npairs];
            }
    for (int type : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        std::vector<double> tre(lead * lead, 7.0), tim = tre, sre = tre, sim = tre;
        ASSERT_EQ(sortfemcmplx(type, 1.0f, re.data(), im.data(), tre.data(), tim.data(), sre.data(),
                               sim.data(), np, nw, k.data(), 4, npairs, lead),
                  0);
        for (int d : {1, 3, 10}) {
            SCOPED_TRACE(testing::Message() << "d " << d);
            const int ij = index2d(1, 1 + d, lead), ji = index2d(1 + d, 1, lead);
            const double exact = 1 / (2 * pi * d);
            // The rectangle below k1 misses about k1/pi² of the integral (-1.3 % at d = 10);
            // the spline adds its own error of a few tenths of a per cent.
            EXPECT_NEAR(tre[ij], exact - k[0] / (pi * pi), 0.004 * exact);
            // The offset transform: the first interval's logarithm enters the cosine integral
            // and not the plain one, which costs a constant k1/pi.
            const double offset_exact = (1 / (2 * pi)) * (1.0 / d - 1 / std::hypot(d, 1.0));
            EXPECT_NEAR(sre[ij], offset_exact - k[0] / pi, 0.01 * exact);
            // The spline of the logarithms scales; so do the simple rules of type 1.
            EXPECT_NEAR(tim[ij], -0.1 * tre[ij], 1e-5 * exact);
            if (type == 1) {
                EXPECT_NEAR(sim[ij], -0.1 * sre[ij], 1e-5 * exact);
            }
            EXPECT_EQ(tre[ij], tre[ji]);
            EXPECT_EQ(tim[ij], tim[ji]);
            EXPECT_EQ(sre[ij], sre[ji]);
            EXPECT_EQ(sim[ij], sim[ji]);
        }
        EXPECT_EQ(tre[index2d(3, 3, lead)], 7.0); // the diagonal is not written
    }
}

TEST(RemoteTransform, HalfSpaceErrorsOfTheIntervalModels) {
    // Relative errors of the interval models against 1/(2 pi r), r = sqrt(d² + y²).
    struct Case {
        double d, y, error;
    };
    const Case cases[] = {{1, 0, 0.0081}, {10, 0, -0.0034}, {1, 1, 0.0123}, {10, 1, 0.0367}};
    const std::vector<float> k = wavenumbers();
    for (int mode : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " d " << c.d << " y " << c.y);
            const float r = float(std::hypot(c.d, c.y));
            std::vector<float> re(12), im(12);
            for (int w = 0; w < 12; ++w) {
                re[w] = float(k0_over_pi(k[w], c.d));
                im[w] = -0.5f * re[w];
            }
            double x = c.y, second = 0, third = 0;
            ASSERT_EQ(inverse_fourier_transform_cmplx_flt(mode, &r, re.data(), im.data(), &x,
                                                          &second, &third, 1, 12, k.data(), 1),
                      0);
            const double exact = 1 / (2 * pi * r);
            EXPECT_NEAR((x - exact) / exact, c.error, 0.001);
            if (mode == 0) {
                EXPECT_EQ(second, x);
            } else if (c.y == 0) {
                // No offset: the in-line value less itself.
                EXPECT_EQ(second, 0.0);
                EXPECT_EQ(third, 0.0);
            } else {
                // The piecewise-linear rules scale with the values.
                EXPECT_GT(second, 0.0);
                EXPECT_NEAR(third, -0.5 * second, 1e-6 * second);
            }
        }
    }
}

TEST(RemoteTransform, EqualNeighboursAndZeroOffsetTakeTheLimits) {
    const std::vector<float> k = wavenumbers();
    const double k1 = k[0], kn = k[11];
    // Constant values: every logarithmic interval has B = 0, every exponential one alpha = 0,
    // and their limits integrate the constant exactly. Negative values have no exponential
    // intervals at all.
    const float v = 2.0f;
    const std::vector<float> re(12, v), im(12, -v);
    for (float r : {0.05f, 1000.0f}) { // every interval logarithmic; every one exponential
        for (double offset : {0.0, 0.01, 0.5}) {
            SCOPED_TRACE(testing::Message() << "r " << r << " x " << offset);
            double x = offset, second = 0, third = 0;
            ASSERT_EQ(inverse_fourier_transform_cmplx_flt(0, &r, re.data(), im.data(), &x, &second,
                                                          &third, 1, 12, k.data(), 1),
                      0);
            // The first interval adds the integral of -ln(k/k1): k1 plain, Si(k1 x)/x with x.
            const bool all_log = r < 1.0f;
            double positive, negative;
            if (offset <= 0.02) {
                positive = v * kn;
                negative = all_log ? -v * kn : -v * k1;
            } else {
                const double z = k1 * offset, si = z - z * z * z / 18;
                positive = (v * std::sin(kn * offset) + si) / offset;
                negative = all_log ? (-v * std::sin(kn * offset) + si) / offset
                                   : (-v * std::sin(z) + si) / offset;
            }
            EXPECT_NEAR(x, positive / pi, 1e-5 * std::fabs(positive / pi) + 1e-7);
            EXPECT_NEAR(third, negative / pi, 1e-5 * std::fabs(negative / pi) + 1e-7);
        }
    }
    // The pair form: two equal values at each end take the same limits, and zero imaginary
    // parts give zeros with the simple rules.
    std::vector<float> pair_re(12, 1.0f), pair_im(12, 0.0f);
    std::vector<double> t(16, 0), ti = t, s = t, si = t;
    for (int type : {0, 1}) {
        ASSERT_EQ(sortfemcmplx(type, 0.0f, pair_re.data(), pair_im.data(), t.data(), ti.data(),
                               s.data(), si.data(), 2, 12, k.data(), 4, 1, 4),
                  0);
        EXPECT_TRUE(std::isfinite(t[index2d(1, 2, 4)]) && std::isfinite(s[index2d(1, 2, 4)]));
        if (type == 1) {
            EXPECT_EQ(ti[index2d(1, 2, 4)], 0.0);
            EXPECT_EQ(si[index2d(1, 2, 4)], 0.0);
        }
    }
}

TEST(RemoteTransform, PlainIntegralsOfTheSimpleRules) {
    const float k[] = {1, 2, 4};
    const float f[] = {3, 1, 1};
    EXPECT_FLOAT_EQ(trapezoid_integral_flt(k, f, 3), 3 + 2 + 2);
    // At r -> 0 the cosine transform tends to the trapezoid rule.
    EXPECT_FLOAT_EQ(cosine_transform_linear_flt(0.0f, k, f, 3), 7.0f);
    EXPECT_NEAR(cosine_transform_linear_flt(1e-3f, k, f, 3), 7.0f, 1e-3);
}

} // namespace
