// The complex cylinder solver: complex envelope factors and solves against a dense reference,
// the principal root of a pivot, and a Cole-Cole cylinder whose transfer values carry the
// Cole-Cole phase and whose spectra fit back to its time constant and exponent.
#include "fixture.h"

#include "cylinder/element.h"
#include "cylinder/envelope.h"
#include "cylinder/mesh.h"
#include "ipsolve/colecole.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace cyl_test {
namespace {

using cfloat = std::complex<float>;
using cdouble = std::complex<double>;
using ComplexSolver = Records;

TEST(ComplexEnvelope, OneByOneFactors) {
    const int xenv[2] = {1, 1};
    const double s2 = std::sqrt(2.0);
    struct Case {
        cfloat pivot;
        int result;
        cdouble root;
    };
    // A pivot with a negative real part and a positive imaginary part gets its principal root
    // (1 + 2i squares to -3 + 4i); one with neither part positive stops the factorisation.
    const Case cases[] = {{{4, 0}, 0, {2, 0}},   {{0, 4}, 0, {s2, s2}}, {{-3, 4}, 0, {1, 2}},
                          {{3, -4}, 0, {2, -1}}, {{-3, -4}, 1, {0, 0}}, {{0, 0}, 1, {0, 0}},
                          {{-4, 0}, 1, {0, 0}}};
    for (const Case& c : cases) {
        cfloat env[1] = {}, diag[1] = {c.pivot};
        ASSERT_EQ(envelope_factor_cmplx(1, xenv, env, diag), c.result) << c.pivot;
        if (c.result != 0) {
            EXPECT_EQ(diag[0], c.pivot);
            continue;
        }
        EXPECT_NEAR(diag[0].real(), c.root.real(), 1e-6) << c.pivot;
        EXPECT_NEAR(diag[0].imag(), c.root.imag(), 1e-6) << c.pivot;
    }
}

// Solves a complex symmetric matrix densely (Gaussian elimination without pivoting, in double).
std::vector<cdouble> dense_complex_solve(std::vector<cdouble> a, int n, std::vector<cdouble> b) {
    for (int k = 0; k < n; ++k)
        for (int i = k + 1; i < n; ++i) {
            const cdouble f = a[std::size_t(i) * n + k] / a[std::size_t(k) * n + k];
            if (f == cdouble(0)) continue;
            for (int j = k; j < n; ++j)
                a[std::size_t(i) * n + j] -= f * a[std::size_t(k) * n + j];
            b[i] -= f * b[k];
        }
    for (int i = n - 1; i >= 0; --i) {
        for (int j = i + 1; j < n; ++j)
            b[i] -= a[std::size_t(i) * n + j] * b[j];
        b[i] /= a[std::size_t(i) * n + i];
    }
    return b;
}

// sigma (S + k^2 M) with complex cell conductivities on a polar mesh, in complex envelope
// storage and densely: the single-precision factor and solves agree to 1e-5.
TEST(ComplexEnvelope, AssembledPolarMatrixSolvesAsTheDenseReference) {
    const std::vector<float> radii = test_radii(4);
    cyl::PolarMesh mesh;
    ASSERT_EQ(cyl::build_polar_mesh(12, 4, 3, radii.data(), mesh), cyl::mesh_ok);
    const int N = mesh.nodes(), R = mesh.rings();
    const PolarEnvelope e(mesh);
    std::vector<cfloat> env(e.size + 1), diag(N);
    std::vector<cdouble> dense(std::size_t(N) * N);
    int outside = 0, position = 0;
    auto sigma = [](int s, int j) {
        return cfloat(0.5f + 0.1f * ((s * 7 + j * 3) % 11), 0.02f * ((s + j) % 5));
    };
    assemble_polar<cfloat>(mesh, 0.3f, sigma, cfloat(1.0f, 0.05f), [&](int i, int j, cfloat v) {
        outside += cyl::envelope_add(i, j, v, diag.data(), env.data(), e.perm.data(), e.xenv.data(),
                                     &position);
        dense[std::size_t(i - 1) * N + (j - 1)] += cdouble(v);
        if (i != j) dense[std::size_t(j - 1) * N + (i - 1)] += cdouble(v);
    });
    ASSERT_EQ(outside, 0);
    ASSERT_EQ(envelope_factor_cmplx(N, e.xenv.data(), env.data(), diag.data()), 0);
    for (int source : {2 * R + 2, N / 2, N}) {
        std::vector<cfloat> b(N);
        std::vector<cdouble> bd(N);
        b[source - 1] = 1.0f;
        bd[source - 1] = 1.0;
        const std::vector<cdouble> expected = dense_complex_solve(dense, N, bd);
        envelope_lower_solve_cmplx(N, e.xenv.data(), env.data(), diag.data(), b.data());
        envelope_upper_solve_cmplx(N, e.xenv.data(), env.data(), diag.data(), b.data(), 1);
        double worst = 0.0, largest = 0.0;
        for (int i = 0; i < N; ++i) {
            worst = std::max(worst, std::abs(cdouble(b[i]) - expected[i]));
            largest = std::max(largest, std::abs(expected[i]));
        }
        EXPECT_LT(worst, 1e-5 * largest) << source;
    }
}

// Without chargeability the conductivities are real: the complex solver gives the real
// solver's table on a cylinder of unequal cells, and no imaginary part.
TEST_F(ComplexSolver, RealConductivitiesGiveTheRealTable) {
    Ring real(12, 2, test_radii(6), 1.0), complex(12, 2, test_radii(6), 1.0);
    for (std::size_t c = 0; c < real.sigma.size(); ++c)
        real.sigma[c] = complex.sigma[c] = float(0.01 * (1 + (c * 5) % 9));
    ASSERT_TRUE(real.solve().ok());
    complex.table_im.assign(complex.table_im.size(), -7.0);
    ASSERT_TRUE(complex.solve_complex().ok());
    // Measured identical; a complex division may round otherwise than the real one.
    for (int i = 1; i <= 12; ++i)
        for (int j = 1; j <= 12; ++j) {
            if (i == j) continue;
            EXPECT_NEAR(complex.P(i, j), real.P(i, j), 1e-6 * std::fabs(real.P(i, j))) << i << j;
            EXPECT_EQ(complex.table_im[std::size_t(i - 1) + 12 * std::size_t(j - 1)], 0.0);
        }
}

// The Cole-Cole resistivity rho0 (1 - m (1 - 1 / (1 + (i 2 pi f tau)^c))).
cdouble cole_cole(double rho0, double m, double tau, double c, double f) {
    const cdouble iwt = std::pow(cdouble(0.0, 2.0 * 3.14159265358979 * f * tau), c);
    return rho0 * (1.0 - m * (1.0 - 1.0 / (1.0 + iwt)));
}

// A homogeneous Cole-Cole cylinder: every complex transfer value has the phase of the medium,
// and the data's spectra fit back to its tau and c. The phase of a uniform medium does not
// depend on the mesh, so a coarse one (2 sectors a spacing, 6 radii) serves.
TEST_F(ComplexSolver, ColeColeCylinderKeepsThePhaseAndFitsItsParameters) {
    const double rho0 = 100.0, m = 0.1, tau = 0.01, c = 0.5;
    const float freqs[3] = {1.0f, 10.0f, 100.0f};
    const double phases[3] = {12.72, 21.305, 17.683}; // mrad
    const int N = 16;
    Ring dc(N, 2, test_radii(6), rho0), ip(N, 2, test_radii(6), rho0 / (1.0 - m));
    ASSERT_TRUE(dc.solve().ok());
    ASSERT_TRUE(ip.solve().ok());
    std::vector<double> spec_re, spec_im;
    for (int f = 0; f < 3; ++f) {
        Ring ring(N, 2, test_radii(6), rho0);
        for (std::size_t k = 0; k < ring.sigma.size(); ++k) {
            float im = 0.0f, amplitude = 0.0f, phase = 0.0f;
            cole_cole_complex_resistivity(float(rho0), float(m), float(tau), float(c), freqs[f],
                                          &im, &amplitude, &phase, &ring.sigma[k],
                                          &ring.sigma_im[k]);
        }
        ASSERT_TRUE(ring.solve_complex().ok());
        const cdouble rho = cole_cole(rho0, m, tau, c, freqs[f]);
        const double expected = -1000.0 * std::atan(rho.imag() / rho.real());
        EXPECT_NEAR(expected, phases[f], 5e-3);
        // Measured at most 2.8e-5 relative.
        for (int d = 1; d <= 3; ++d)
            for (int a = 1; a + 3 * d <= N; a += 3) {
                const double re = ring.transfer(a, a + 3 * d, a + d, a + 2 * d);
                const double im = ring.transfer(a, a + 3 * d, a + d, a + 2 * d, true);
                EXPECT_NEAR(-1000.0 * std::atan(im / re), expected, 1e-4 * expected)
                    << freqs[f] << " Hz, level " << d << " at " << a;
            }
        spec_re.insert(spec_re.end(), ring.table.begin(), ring.table.end());
        spec_im.insert(spec_im.end(), ring.table_im.begin(), ring.table_im.end());
    }

    RingData r(N, 1, 2);
    r.in.nfreq = 3;
    r.in.frequencies = freqs;
    r.in.dc = dc.table.data();
    r.in.ip_table = ip.table.data();
    r.in.spectral_re = spec_re.data();
    r.in.spectral_im = spec_im.data();
    const int count = r.run();
    ASSERT_EQ(count, 14 + 11);
    EXPECT_FALSE(r.out.fit_refused);
    // Measured: IP within 0.017 mV/V, tau and c within 2.3e-4 relative.
    for (int g = 0; g < count; ++g) {
        EXPECT_NEAR(r.ip_values[g], 1000.0 * m, 0.05) << g;
        EXPECT_NEAR(r.tau[g] / tau, 1.0, 1e-3) << g;
        EXPECT_NEAR(r.cexp[g] / c, 1.0, 1e-3) << g;
    }
}

} // namespace
} // namespace cyl_test
