// Apparent values of spectral IP models from analytic tables: a Cole-Cole half-space whose
// pair potentials are P(r) rho_CC(f) / rho0 at every frequency gives its own spectrum, with the
// surface and the exact underwater factors and with remote electrodes; and the refused arrays.
#include "fixture.h"

#include "forward/apparent.h"
#include "forward/commands.h"
#include "ipsolve/colecole.h"
#include "model/utilities.h"

#include <cmath>
#include <complex>

using namespace forward_test;

namespace {

constexpr double pi = 3.14159265358979323846;
const float frequencies[] = {1.0f, 10.0f, 100.0f};
constexpr double rho0 = 100.0, charge = 0.1, tau = 0.01, cexp = 0.5;

std::complex<double> cole_cole(double f) {
    const std::complex<double> z = std::pow(std::complex<double>(0, 2 * pi * f * tau), cexp);
    return rho0 * (1.0 - charge * (1.0 - 1.0 / (1.0 + z)));
}

// Spectral blocks and the remote values of every frequency scaled from the real tables.
void fill_spectra(Records& r, const PairPotential& potential, const double* remote_at_dc,
                  int remote_count) {
    ModelSettings& m = r.m;
    const int n = r.limits.max_electrodes;
    const std::size_t block = std::size_t(n) * n, remote_block = 2 * (2 * std::size_t(n) + 1);
    m.nfreq = 3;
    for (int f = 0; f < 3; ++f) {
        m.frequencies[f] = frequencies[f];
        const std::complex<double> scale = cole_cole(frequencies[f]) / rho0;
        for (int i = 1; i <= m.nelec; ++i)
            for (int j = 1; j <= m.nelec; ++j) {
                if (i == j) continue;
                const double p = potential(std::abs(i - j));
                r.p.spectral_table_a[f * block + index2d(i, j, n)] = p * scale.real();
                r.p.spectral_table_b[f * block + index2d(i, j, n)] = p * scale.imag();
            }
        for (int k = 0; k < remote_count; ++k) {
            r.p.spectral_remote[f * remote_block + k] = remote_at_dc[k] * scale.real();
            r.p.spectral_remote[f * remote_block + remote_block / 2 + k] =
                remote_at_dc[k] * scale.imag();
        }
    }
}

struct Variant {
    const char* name;
    float zwater; // exact underwater factor with image tables
    bool remote;  // remote C2 and P2 (pole-pole and pole-dipole)
};

TEST(SpectralApparentValues, AnalyticTablesGiveTheColeColeSpectrumOfEveryDatum) {
    const Variant variants[] = {
        {"surface", 0.0f, false}, {"underwater", 0.5f, false}, {"remote electrodes", 0.0f, true}};
    Records r;
    test_support::Headless h;
    ModelSettings& m = r.m;
    for (const Variant& v : variants)
        for (int code = 1; code <= 7; ++code) {
            if (v.remote && code != 4 && code != 6) continue;
            SCOPED_TRACE(testing::Message() << v.name << " code " << code);
            m.remote_electrodes = 0;
            set_line(m, r.limits, 16, code);
            ASSERT_GT(m.ndata, 3);
            m.nelec_total = m.nelec;
            m.nip = m.ntau = m.ncip = 1;
            m.zwatermax = v.zwater;
            m.geometric_factor_type = v.zwater > 0 ? 1 : 0;
            const double z = v.zwater;
            // Electrodes at the floor of the water: the potential with its image in the surface.
            const PairPotential potential = [z](double d) {
                return rho0 / (4 * pi) * (1 / d + 1 / std::sqrt(d * d + 4 * z * z));
            };
            fill_tables(m, r.limits, potential, 0.0, charge);
            // Remote C2 at x = 40, P2 at x = -30 (unit spacings from electrode 1).
            const double c2 = 40, p2 = -30;
            double remote[2 * 16 + 1] = {};
            if (v.remote) {
                m.remote_electrodes = 1;
                for (int e = 1; e <= 16; ++e) {
                    remote[e - 1] = potential(std::fabs(c2 - (e - 1)));
                    remote[16 + e - 1] = potential(std::fabs(p2 - (e - 1)));
                }
                remote[32] = potential(c2 - p2);
                for (int k = 0; k < 33; ++k) {
                    r.p.fe_vector_a[k] = remote[k];
                    r.p.fe_vector_b[k] = remote[k] / (1 - charge);
                }
            }
            fill_spectra(r, potential, remote, 33);
            ASSERT_EQ(calappres_ip(m, r.limits, r.p, nullptr), m.ndata);
            const std::size_t stride = std::size_t(r.limits.max_data_points);
            for (int d = 0; d < m.ndata; ++d) {
                SCOPED_TRACE(testing::Message() << "datum " << d);
                ASSERT_NE(m.datum_nelec[d], 0);
                // The expected apparent resistivity: rho, or with remote electrodes the true
                // potential difference times the array's own factor.
                double rho = rho0;
                if (v.remote) {
                    const int c1 = m.datum_c1[d], p1 = m.datum_p1[d], q2 = m.datum_p2[d];
                    double dv = potential(std::abs(p1 - c1)) - potential(std::fabs(c2 - (p1 - 1)));
                    if (code == 4)
                        dv += -potential(std::fabs(p2 - (c1 - 1))) + potential(c2 - p2);
                    else
                        dv += -potential(std::abs(q2 - c1)) + potential(std::fabs(c2 - (q2 - 1)));
                    rho = m.datum_gfactor[d] * dv;
                }
                EXPECT_NEAR(m.app_resistivity[d], rho, 1e-6 * rho);
                EXPECT_NEAR(m.app_ip[d], 1000 * charge, 1e-3);
                for (int f = 0; f < 3; ++f) {
                    const std::complex<double> expected = rho * cole_cole(frequencies[f]) / rho0;
                    EXPECT_NEAR(m.sip_inphase[d + f * stride], expected.real(), 1e-5 * rho) << f;
                    EXPECT_NEAR(m.sip_quadrature[d + f * stride], expected.imag(), 1e-5 * rho) << f;
                }
                if (!v.remote) {
                    EXPECT_NEAR(m.datum_tau[d], tau, 0.02 * tau);
                    EXPECT_NEAR(m.datum_cexp[d], cexp, 0.02 * cexp);
                }
            }
        }
    EXPECT_EQ(h.output(), "");
}

TEST(SpectralApparentValues, ZeroPotentialDifferencesMarkTheDatum) {
    Records r;
    ModelSettings& m = r.m;
    set_line(m, r.limits, 12, 1);
    m.nelec_total = m.nelec;
    m.nip = m.ntau = 1;
    const PairPotential potential = [](double d) { return rho0 / (2 * pi * d); };
    fill_tables(m, r.limits, potential, 0.0, charge);
    fill_spectra(r, potential, nullptr, 0);
    // Datum 0 (electrodes 1..4) sees no potential difference at the second frequency.
    const int n = r.limits.max_electrodes;
    const std::size_t block = std::size_t(n) * n;
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j)
            r.p.spectral_table_a[block + index2d(i, j, n)] = 0.0;
    calappres_ip(m, r.limits, r.p, nullptr);
    EXPECT_FALSE(datum_formed(m, 0));
    EXPECT_EQ(m.app_resistivity[0], 0.0f);
    EXPECT_TRUE(datum_formed(m, 1));
}

TEST(SpectralApparentValues, ArraysWithoutSpectraAreRefusedAndTheArrayKept) {
    Records r;
    test_support::Headless h;
    ModelSettings& m = r.m;
    set_line(m, r.limits, 12, 1);
    m.nip = m.ntau = 1;
    m.nfreq = 3;
    m.pot_values_present = 1;
    for (int code : {8, 9, 10, 15}) {
        SCOPED_TRACE(code);
        const int previous = 1;
        m.array_type = code;
        calappmod(m, r.limits, r.p, 1, &previous);
        EXPECT_EQ(m.array_type, 1);
        EXPECT_NE(h.output().find("BOX [Error Message] This array is not supported for a "
                                  "spectral IP model"),
                  std::string::npos);
    }
    // Without frequencies the equatorial dipole-dipole has no spectra to refuse.
    m.nfreq = 0;
    m.array_type = 8;
    EXPECT_TRUE(forward::spectral_array_supported(m));
}

} // namespace
