// Cylinder models through the commands: the bundled homogeneous cylinder against its series
// solution, the refusals and a failing pass, the apparent values of another array, and the
// data file and the model file with results.
#include "fixture.h"

#include "cylinder/cylinder.h"
#include "forward/commands.h"
#include "forward/datafile.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "support/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <vector>

using namespace forward_test;

namespace {

// Transfer resistances of a homogeneous cylinder of radius 1 and 100 ohm-m with 16 electrodes
// at Wenner-alpha levels 1 to 5 and Wenner-gamma level 1, from its series solution.
const double wenner_alpha[5] = {45.766, 24.535, 16.022, 9.756, 2.8788};
constexpr double wenner_gamma = 30.998;

struct CylinderFixture : CommandFixture {
    explicit CylinderFixture(const std::string& path = example("cylinder_wenner.mod")) {
        read(path);
        EXPECT_EQ(r.m.model_read, 1) << h.output();
        EXPECT_EQ(r.m.cylinder_model, 1);
        h.take_output();
    }
    // Calculates the example and forms its dipole-dipole data from the same potentials.
    void calculate_dipole_dipole() {
        ASSERT_EQ(calculate(), 130);
        const int previous = r.m.array_type;
        r.m.array_type = 5;
        calappmod(r.m, r.limits, r.p, 0, &previous);
    }
    // Largest relative deviation of the level values from the series, and of the IP from 50.
    void check_homogeneous(int code, const double* series, double tolerance) {
        const ModelSettings& m = r.m;
        int d = 0;
        for (int level = 1; d < m.ndata; ++level)
            for (int t = 0; t < m.level_counts[level - 1]; ++t, ++d) {
                EXPECT_NEAR(m.app_resistivity[d] / series[level - 1] - 1.0, 0.0, tolerance)
                    << code << " level " << level << " datum " << t;
                // Measured at most 0.043 mV/V off: the IP pass is a second single-precision
                // solve, whose transfer values differ from the first by a few parts in 1e5.
                EXPECT_NEAR(m.app_ip[d], 50.0, 0.08) << d;
                EXPECT_EQ(m.datum_gfactor[d], 1.0f);
            }
    }
};

// Measured: +0.31 % at level 1 to +0.58 % at level 5 for Wenner alpha, +0.35 % for gamma.
TEST(Cylinder, HomogeneousExampleMatchesTheSeriesSolution) {
    CylinderFixture f;
    ModelSettings& m = f.r.m;
    // The work-file and double-precision variants are never chosen.
    m.jacob = 1;
    m.cyl_double_variant = 1;
    EXPECT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1) << f.h.output();
    EXPECT_EQ(m.pot_values_present, 1);
    EXPECT_EQ(m.jacob, 0);
    EXPECT_EQ(m.cyl_double_variant, 0);
    // Only the closing box: no beep on this path, no other message.
    const std::string shown = f.h.take_output();
    EXPECT_EQ(shown.rfind("BOX [Message] Calculations completed.\\nTime taken was ", 0), 0u)
        << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
    EXPECT_EQ(m.ndata, 14 + 11 + 8 + 5 + 2);
    f.check_homogeneous(1, wenner_alpha, 0.007);

    // Another array from the same potentials.
    const int previous = m.array_type;
    m.array_type = 3;
    calappmod(m, f.r.limits, f.r.p, 1, &previous);
    EXPECT_EQ(f.h.take_output(), "");
    EXPECT_EQ(m.ndata, 14 + 11 + 8 + 5 + 2);
    EXPECT_NEAR(m.app_resistivity[0] / wenner_gamma - 1.0, 0.0, 0.006);
    EXPECT_EQ(m.cyl_elec_c2[0], 3.0f);
}

// The single-precision twin of the apparent values, on the solver's tables (whose values are
// floats), gives every list of the double one with the IP switch on, bit for bit.
TEST(Cylinder, SinglePrecisionApparentValuesAreThoseOfTheDoubleTwin) {
    CylinderFixture f(std::string(VELDARIN_TEST_DATA) + "/fixtures/spectral_cylinder.mod");
    ModelSettings& m = f.r.m;
    ASSERT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1);
    const int lead = f.r.limits.max_electrodes;
    const std::size_t size = std::size_t(lead) * lead;
    const std::vector<float> dc(m.potential_table_a, m.potential_table_a + size),
        ip(m.potential_table_a_ip, m.potential_table_a_ip + size);
    auto lists = [&] {
        const int n = m.ndata;
        std::vector<std::vector<float>> v;
        for (const float* list : {m.app_resistivity, m.app_ip, m.datum_n, m.cyl_elec_c1,
                                  m.cyl_elec_p2, m.sip_inphase, m.datum_tau, m.datum_cexp})
            v.emplace_back(list, list + n);
        v.emplace_back(m.app_res_grid, m.app_res_grid + lead);
        v.emplace_back(m.app_ip_grid, m.app_ip_grid + lead);
        return v;
    };
    const int nfreq = m.nfreq;
    const int count = calc_apparent_cole_cole(m, f.r.limits, f.r.p, 1, nfreq, m.potential_table_a,
                                              m.app_resistivity, nullptr);
    const auto twin = lists();
    std::fill(m.app_ip, m.app_ip + count, -7.0f);
    std::fill(m.datum_tau, m.datum_tau + count, -7.0f);
    EXPECT_EQ(calc_apparent_cole_cole_flt(m, f.r.limits, f.r.p, nfreq, dc.data(), ip.data(),
                                          m.app_resistivity, nullptr),
              count);
    EXPECT_EQ(lists(), twin);
    EXPECT_GT(count, 10);
    EXPECT_GT(m.app_ip[0], 1.0f);
}

TEST(Cylinder, ArraysTheRingCannotFormAreRefused) {
    CylinderFixture f;
    ModelSettings& m = f.r.m;
    // Before any calculation the array change has no potentials to use.
    int previous = 1;
    m.array_type = 5;
    calappmod(m, f.r.limits, f.r.p, 0, &previous);
    EXPECT_TRUE(f.h.showed("[Error Message] You must first calculate the potential values"));
    EXPECT_EQ(m.array_type, 1);
    ASSERT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1);
    f.h.take_output();
    for (int code : {4, 6, 8, 9, 10, 11, 15}) {
        previous = 1;
        m.array_type = code;
        calappmod(m, f.r.limits, f.r.p, 1, &previous);
        EXPECT_EQ(f.h.take_output(),
                  "BEEP\nBOX [Error Message] This array is not supported for a cylindrical "
                  "symmetry\n")
            << code;
        EXPECT_EQ(m.array_type, 1) << code;
    }
}

// What must stop a calculation: each ends with its own message, forms no values and leaves the
// flags clear.
TEST(Cylinder, RefusalsAndAFailingPassFormNoValues) {
    struct Case {
        const char* name;
        std::function<void(ModelSettings&)> set;
        const char* message;
    };
    const Case cases[] = {
        {"pole-pole", [](ModelSettings& m) { m.array_type = 4; },
         "[Error Message] This array is not supported for a cylindrical symmetry"},
        {"gradient", [](ModelSettings& m) { m.array_type = 9; },
         "[Error Message] This array is not supported for a cylindrical symmetry"},
        {"innermost radius 0", [](ModelSettings& m) { m.depth_lines[m.ne - 1] = 0.0f; },
         "[Error Message] Error in radius of grid lines!\\nThe innermost radius must be greater "
         "than 0."},
        // A chargeability above 1 gives negative IP conductivities: the IP pass fails.
        {"IP pass", [](ModelSettings& m) { m.model_chargeabilities[0] = 2.0f; },
         "[Error Message] error in envfac"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CylinderFixture f;
        ModelSettings& m = f.r.m;
        c.set(m);
        EXPECT_EQ(f.calculate(), 130);
        const std::string shown = f.h.take_output();
        EXPECT_NE(shown.find(c.message), std::string::npos) << shown;
        EXPECT_EQ(shown.find("Calculations completed"), std::string::npos) << shown;
        EXPECT_EQ(m.data_ready, 0);
        EXPECT_EQ(m.pot_values_present, 0);
        f.h.answer("file " + f.home.file("refused.dat"));
        save_results_command(Progdisplay, m, 1);
        EXPECT_TRUE(f.h.showed("There are no calculated results to save."));
        EXPECT_EQ(test_support::read_file(f.home.file("refused.dat")), "");
    }
}

// A frequency pass that fails stops the calculation as the real passes do: three quarters of
// the memory of a whole calculation hold the real passes (they need 0.64 of it, measured) but not
// the complex one, whose matrix is complex.
TEST(Cylinder, FailingFrequencyPassFormsNoValues) {
    // On one thread, where a short budget cannot be met with fewer workers instead.
    const test_support::PoolThreads one(1);
    CylinderFixture f(std::string(VELDARIN_TEST_DATA) + "/fixtures/spectral_cylinder.mod");
    ModelSettings& m = f.r.m;
    const long long start = sys::page_bytes_in_use();
    sys::reset_page_peak();
    ASSERT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1);
    const long long need = sys::page_bytes_peak() - start;
    f.h.take_output();

    const int n = f.r.limits.max_electrodes;
    m.potential_table_a_ip[index2d(1, 2, n)] = -7.0;
    sys::set_page_budget(start + need * 3 / 4);
    EXPECT_EQ(f.calculate(), 130);
    sys::set_page_budget(-1);
    EXPECT_EQ(sys::page_bytes_in_use(), start);
    EXPECT_NE(m.potential_table_a_ip[index2d(1, 2, n)], -7.0) << "the IP pass did not run";
    const std::string shown = f.h.take_output();
    EXPECT_NE(shown.find("[Error Message] Insufficient memory!."), std::string::npos) << shown;
    EXPECT_NE(shown.find("No apparent values were formed."), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Calculations completed"), std::string::npos) << shown;
    EXPECT_EQ(m.data_ready, 0);
    EXPECT_EQ(m.pot_values_present, 0);
}

// The data file of the example is written again the same, and the model file with results
// reads back to the same model.
TEST(Cylinder, SavedFilesAreStable) {
    CylinderFixture f;
    ModelSettings& m = f.r.m;
    ASSERT_EQ(f.calculate(), 130);
    const std::string first = f.home.file("first.dat"), second = f.home.file("second.dat");
    for (const std::string& path : {first, second}) {
        f.h.answer("file " + path + "\ndialog NoiseDiaBox click 503 ok");
        save_results_command(Progdisplay, m, 1);
        EXPECT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written);
    }
    EXPECT_EQ(test_support::read_file(first), test_support::read_file(second));

    const std::string model_path = f.home.file("cylinder.mod");
    f.h.answer("file " + model_path);
    save_results_command(Progdisplay, m, 0);
    ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written);
    const int le = m.le, ne = m.ne, nresis = m.nresis, nip = m.nip;
    const float radius = m.cylinder_radius;
    const std::vector<float> radii(m.depth_lines, m.depth_lines + ne);
    const std::vector<std::int32_t> codes(m.resistivity_codes, m.resistivity_codes + le * ne);
    const std::vector<std::int32_t> ip_codes(m.ip_codes, m.ip_codes + le * ne);
    const float rho = m.model_resistivities[0], charge = m.model_chargeabilities[0];
    f.read(model_path);
    ASSERT_EQ(m.model_read, 1) << f.h.output();
    EXPECT_EQ(m.cylinder_model, 1);
    EXPECT_EQ(m.le, le);
    EXPECT_EQ(m.ne, ne);
    EXPECT_EQ(m.cylinder_radius, radius);
    EXPECT_EQ(std::vector<float>(m.depth_lines, m.depth_lines + ne), radii);
    EXPECT_EQ(std::vector<std::int32_t>(m.resistivity_codes, m.resistivity_codes + le * ne), codes);
    EXPECT_EQ(std::vector<std::int32_t>(m.ip_codes, m.ip_codes + le * ne), ip_codes);
    EXPECT_EQ(m.nresis, nresis);
    EXPECT_EQ(m.nip, nip);
    EXPECT_EQ(m.model_resistivities[0], rho);
    EXPECT_EQ(m.model_chargeabilities[0], charge);
    EXPECT_EQ(m.array_type, 1);
}

// Dipole-dipole adds its fractional-n rows (the transfer value of each, no factor); a
// normalised run divides by a homogeneous cylinder of unit conductivity, which gives this
// homogeneous model 100 ohm-m, and writes the factors.
TEST(Cylinder, DataFileRowsOfDipoleDipoleAndOfANormalisedRun) {
    CylinderFixture f;
    ModelSettings& m = f.r.m;
    f.calculate_dipole_dipole();
    ASSERT_GT(m.ndata, 0);
    auto save = [&](const std::string& name) {
        f.h.answer("file " + f.home.file(name) + "\ndialog NoiseDiaBox click 503 ok");
        save_results_command(Progdisplay, m, 1);
        return test_support::read_file(f.home.file(name));
    };
    std::string text = save("dd.dat");
    const std::size_t rows = text.find("Additional measurements\n");
    ASSERT_NE(rows, std::string::npos);
    // b = 2 .. 4 on 16 electrodes: 66 + 45 + 28 rows; the first is C2 1, C1 3, P1 4, P2 6.
    const std::size_t end = text.find("0\n0\n0\n0\n0\n\n", rows);
    EXPECT_EQ(std::count(text.begin() + rows, text.begin() + end, '\n'), 1 + 139);
    const int n = f.r.limits.max_electrodes;
    auto P = [&](int i, int j) { return m.potential_table_a[index2d(i, j, n)]; };
    const double v = (P(4, 3) - P(4, 1)) - (P(6, 3) - P(6, 1));
    char first[128];
    std::snprintf(first, sizeof first, "     2.500      2.000   0.5000 %13.8f ", float(v));
    EXPECT_EQ(text.substr(rows + 24, std::strlen(first)), first);
    EXPECT_EQ(text.find("Geometric factors"), std::string::npos);

    m.array_type = 1;
    m.normalise = 1;
    ASSERT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1);
    // Two single-precision solves: measured at most 1.1e-4 apart (level 5).
    for (int d = 0; d < m.ndata; ++d) {
        EXPECT_NEAR(m.app_resistivity[d], 100.0, 0.02) << d;
        EXPECT_GT(m.datum_gfactor[d], 0.0f) << d;
    }
    text = save("normalised.dat");
    EXPECT_NE(text.find("use resistance for now\n0\n"), std::string::npos);
    const std::size_t factors = text.find("Geometric factors for cylinder model\n");
    ASSERT_NE(factors, std::string::npos);
    char line[64];
    std::snprintf(line, sizeof line, "   1,0    4,0    2,0    3,0 %8.3f\n",
                  1.0f / m.datum_gfactor[0]);
    EXPECT_EQ(text.substr(factors + 37, std::strlen(line)), line);
    m.normalise = 0;
}

// A cylinder of 1e-30 ohm-m: its transfer values, fractional-n rows and geometric factors keep
// their size (fixed eight decimals would write every one as 0.00000000).
TEST(Cylinder, TinyValuesKeepTheirSize) {
    CylinderFixture f;
    ModelSettings& m = f.r.m;
    f.calculate_dipole_dipole();
    ASSERT_GT(m.ndata, 0);
    // The results of the same ring at 1e-30 of the resistivity: every potential and value
    // scales with it.
    const int n = f.r.limits.max_electrodes;
    for (int i = 1; i <= m.nelec; ++i)
        for (int j = 1; j <= m.nelec; ++j)
            m.potential_table_a[index2d(i, j, n)] *= 1e-30;
    for (int d = 0; d < m.ndata; ++d) {
        m.app_resistivity[d] *= 1e-30f;
        m.datum_gfactor[d] = 1e7f;
    }
    f.h.answer("file " + f.home.file("tiny.dat") + "\ndialog NoiseDiaBox click 503 ok");
    save_results_command(Progdisplay, m, 1);
    const std::string text = test_support::read_file(f.home.file("tiny.dat"));
    // The first datum: x, spacing, n, value, IP.
    const std::size_t first = text.find("Type of measurement");
    ASSERT_NE(first, std::string::npos);
    double x, spacing, n_factor, value, ip;
    ASSERT_EQ(std::sscanf(text.c_str() + text.find('\n', text.find('\n', first) + 1) + 1,
                          "%lf %lf %lf %lf %lf", &x, &spacing, &n_factor, &value, &ip),
              5);
    EXPECT_NEAR(value / m.app_resistivity[0], 1.0, 5e-6);
    EXPECT_NEAR(ip, m.app_ip[0], 1e-6);
    // The first fractional-n row: C2 1, C1 3, P1 4, P2 6.
    auto P = [&](int i, int j) { return m.potential_table_a[index2d(i, j, n)]; };
    const double v = (P(4, 3) - P(4, 1)) - (P(6, 3) - P(6, 1));
    const std::size_t rows = text.find("Additional measurements\n");
    ASSERT_NE(rows, std::string::npos);
    ASSERT_EQ(
        std::sscanf(text.c_str() + rows + 24, "%lf %lf %lf %lf", &x, &spacing, &n_factor, &value),
        4);
    EXPECT_NEAR(value / v, 1.0, 5e-6);
    // A factor of 1e-7 in the "%8.6f" of the smallest factors.
    const std::size_t factors = text.find("Geometric factors for cylinder model\n");
    ASSERT_NE(factors, std::string::npos);
    EXPECT_EQ(text.substr(factors + 37, 37), "   2,0    1,0    3,0    4,0    1e-07\n");
}

// A spectral cylinder: every datum's spectrum has the Cole-Cole phase of the medium at each
// frequency and fits back to its tau and c; the data file carries the spectra.
TEST(Cylinder, SpectralModelFitsItsColeColeParameters) {
    // A uniform Cole-Cole medium of rho0 100, m 0.1, tau 0.01 and c 0.5 at 1, 10 and 100 Hz, on a
    // coarse mesh (2 sectors a spacing, 8 radii): the phase of a uniform medium does not depend
    // on the mesh.
    CylinderFixture f(std::string(VELDARIN_TEST_DATA) + "/fixtures/spectral_cylinder.mod");
    ModelSettings& m = f.r.m;
    ASSERT_EQ(m.ntau, 1);
    ASSERT_EQ(m.nfreq, 3);
    EXPECT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1) << f.h.output();
    ASSERT_EQ(m.ndata, 40);
    const double phases[3] = {12.72, 21.305, 17.683}; // mrad of the medium
    const std::size_t block = std::size_t(f.r.limits.max_data_points);
    // Measured: IP within 0.036 mV/V, tau and c within 4e-4 (the single-precision noise of the
    // small transfer values of the upper levels), phases within 2.7e-3 mrad of the medium's
    // (the rounding of these figures).
    for (int d = 0; d < m.ndata; ++d) {
        EXPECT_NEAR(m.app_ip[d], 100.0, 0.08) << d;
        EXPECT_NEAR(m.datum_tau[d] / 0.01, 1.0, 1e-3) << d;
        EXPECT_NEAR(m.datum_cexp[d] / 0.5, 1.0, 1e-3) << d;
        for (int k = 0; k < 3; ++k) {
            const double re = m.sip_inphase[d + k * block], im = m.sip_quadrature[d + k * block];
            EXPECT_NEAR(-1000.0 * std::atan(im / re), phases[k], 5e-3) << d << " " << k;
        }
    }
    f.h.answer("file " + f.home.file("spectral.dat") + "\ndialog NoiseDiaBox click 503 ok");
    save_results_command(Progdisplay, m, 1);
    const std::string text = test_support::read_file(f.home.file("spectral.dat"));
    EXPECT_NE(text.find("\n2\nInphase and outphase components used\nNumber of frequencies\n3\n"
                        "Frequency values\n1.0000\n10.0000\n100.0000\nCylinder radius\n"),
              std::string::npos)
        << text.substr(0, 400);

    // Dipole-dipole: its fractional-n rows carry the spectrum the header announces (they wrote
    // one IP value), each frequency's transfer values over the row's own value those of the
    // medium, 98.3061 -1.2506, 95.6760 -2.0387 and 92.5604 -1.6369 per 100 ohm-m.
    m.array_type = 5;
    EXPECT_EQ(f.calculate(), 130);
    ASSERT_EQ(m.data_ready, 1) << f.h.output();
    f.h.answer("file " + f.home.file("spectral_dd.dat") + "\ndialog NoiseDiaBox click 503 ok");
    save_results_command(Progdisplay, m, 1);
    const std::string dd = test_support::read_file(f.home.file("spectral_dd.dat"));
    const std::size_t rows = dd.find("Additional measurements\n");
    ASSERT_NE(rows, std::string::npos);
    const double medium[6] = {0.983061, -0.012506, 0.956760, -0.020387, 0.925604, -0.016369};
    std::istringstream in(dd.substr(rows + 24, dd.find("0\n0\n0\n0\n0\n\n", rows) - rows - 24));
    int count = 0;
    double worst = 0.0;
    for (std::string line; std::getline(in, line); ++count) {
        std::istringstream fields(line);
        std::vector<double> v;
        for (double x; fields >> x;)
            v.push_back(x);
        ASSERT_EQ(v.size(), 10u) << line;
        for (int k = 0; k < 6; ++k)
            worst = std::max(worst, std::fabs(v[4 + k] / v[3] / medium[k] - 1.0));
    }
    EXPECT_EQ(count, 139);
    // Measured 3.5e-4 at most, in the small quadrature values of single-precision solves.
    EXPECT_LT(worst, 5e-4);
}

} // namespace
