// Apparent values of every array from analytic potential tables, the geometric factors, and the
// data that cannot be formed.
#include "fixture.h"

#include "forward/apparent.h"
#include "model/datum_points.h"
#include "model/utilities.h"

#include <cmath>

using namespace forward_test;
using namespace test_support;

namespace {

struct ArrayCase {
    int code;
    int reverse; ///< pole-dipole direction
    const char* name;
};
const ArrayCase all_arrays[] = {{1, 0, "Wenner Alpha"},        {2, 0, "Wenner Beta"},
                                {3, 0, "Wenner Gamma"},        {4, 0, "Pole-Pole"},
                                {5, 0, "Dipole-Dipole"},       {6, 0, "Pole-Dipole"},
                                {6, 1, "reverse Pole-Dipole"}, {7, 0, "Wenner-Schlumberger"},
                                {8, 0, "Equatorial"},          {9, 0, "Gradient"},
                                {10, 0, "Offset Pole-Dipole"}, {15, 0, "Multiple Gradient"}};

// Forms the data of `c` on 41 electrodes from `potential` and checks rho_a = rho within 1e-6
// for every datum that has distinct electrodes on the line. Returns the number formed.
int check_rho(Records& r, const ArrayCase& c, const PairPotential& potential, double rho,
              double offset, double chargeability) {
    ModelSettings& m = r.m;
    m.pole_dipole_reverse = c.reverse;
    set_line(m, r.limits, 41, c.code);
    m.electrode_offset_ratio = float(offset);
    fill_tables(m, r.limits, potential, offset, chargeability);
    calappres_arrays(m, r.limits);
    EXPECT_GT(m.ndata, 10) << c.name;
    int formed = 0;
    for (int d = 0; d < m.ndata; ++d) {
        EXPECT_TRUE(std::isfinite(m.app_resistivity[d]) && std::isfinite(m.app_ip[d]));
        if (!datum_formed(m, d)) {
            // Only the gradient array has data whose potential electrode meets a current one.
            EXPECT_EQ(c.code, 9) << c.name << " datum " << d;
            EXPECT_TRUE(m.datum_p1[d] == 1 || m.datum_p2[d] == m.nelec) << d;
            continue;
        }
        ++formed;
        EXPECT_NEAR(m.app_resistivity[d] / rho, 1.0, 1e-6) << c.name << " datum " << d;
        if (m.nip > 0) {
            EXPECT_NEAR(m.app_ip[d], 1000.0 * chargeability, 1e-4 * 1000.0 * chargeability)
                << c.name << " datum " << d;
        }
    }
    EXPECT_GT(formed, m.ndata / 2) << c.name;
    return formed;
}

} // namespace

TEST(ApparentValues, HalfSpaceGivesItsResistivityAndChargeabilityForEveryArray) {
    Records r;
    r.m.nip = 1;
    for (const ArrayCase& c : all_arrays) {
        SCOPED_TRACE(c.name);
        check_rho(r, c, half_space(100.0), 100.0, 1.5, 0.05);
    }
    // The complex IP model gives 1000 dVip / dV.
    r.m.complex_ip_model = 1;
    r.m.array_type = 1;
    set_line(r.m, r.limits, 41, 1);
    fill_tables(r.m, r.limits, half_space(30.0), 0.0, 0.2);
    calappres_arrays(r.m, r.limits);
    EXPECT_NEAR(r.m.app_ip[0], 1000.0 / 0.8, 1e-3);
}

// Electrodes at the floor of water of thickness z below an insulating surface: the potential
// of each pair carries the image term, and the exact factor gives back the resistivity.
TEST(ApparentValues, ExactUnderwaterFactorGivesTheResistivity) {
    Records r;
    const double z = 0.7, rho = 25.0;
    const PairPotential underwater = [=](double d) {
        return rho / (4.0 * M_PI) * (1.0 / d + 1.0 / std::sqrt(d * d + 4.0 * z * z));
    };
    r.m.zwatermax = float(z);
    r.m.geometric_factor_type = 1;
    for (const ArrayCase& c : all_arrays) {
        SCOPED_TRACE(c.name);
        check_rho(r, c, underwater, rho, 1.5, 0.0);
    }
}

TEST(ApparentValues, LineElectrodesUseTheTwoDimensionalFactor) {
    Records r;
    const double rho = 40.0;
    const PairPotential line = [=](double d) { return -rho / M_PI * std::log(d); };
    r.m.electrode_type = 1;
    for (const ArrayCase& c : all_arrays) {
        if (c.code == 4 || c.code == 6 || c.code == 8 || c.code == 10) continue;
        SCOPED_TRACE(c.name);
        check_rho(r, c, line, rho, 0.0, 0.0);
    }
    EXPECT_NEAR(line_electrode_geometric_factor(0, 6, 2, 4), M_PI / std::log(4.0), 1e-9);
}

TEST(ApparentValues, GeometricFactorsOfUnitSpacing) {
    Records r;
    struct Case {
        int code;
        float n;
        double k;
    };
    const Case cases[] = {{1, 1, 6.283186},  {2, 1, 18.849558}, {3, 1, 9.424779},
                          {4, 1, 6.283186},  {5, 1, 18.849558}, {5, 2, 75.398232},
                          {5, 3, 188.49558}, {6, 1, 12.566372}, {6, 2, 37.699116},
                          {6, 3, 75.398232}, {6, -2, 37.699116}};
    ModelSettings& m = r.m;
    m.nelec = 20;
    fill_tables(m, r.limits, half_space(10.0), 0.0, 0.0);
    for (const Case& c : cases) {
        m.array_type = c.code;
        m.ndata = 1;
        m.datum_first_electrode[0] = 5;
        m.datum_a[0] = 1;
        m.datum_n[0] = c.n;
        calappres_arrays(m, r.limits);
        EXPECT_NEAR(m.datum_gfactor[0], c.k, 1e-6 * c.k) << c.code << " n " << c.n;
        EXPECT_NEAR(m.app_resistivity[0], 10.0, 1e-5) << c.code << " n " << c.n;
    }
    // Reverse pole-dipole n = -2 at x = 5: P2 5, P1 6, C1 8.
    EXPECT_EQ(m.datum_p2[0], 5);
    EXPECT_EQ(m.datum_p1[0], 6);
    EXPECT_EQ(m.datum_c1[0], 8);
    EXPECT_EQ(m.datum_c2[0], 0);
    EXPECT_EQ(m.datum_nelec[0], 2);
}

// The underwater factor of the equatorial dipole-dipole must become its surface factor when the
// water vanishes (it used to become half of it).
TEST(ApparentValues, EquatorialUnderwaterFactorReducesToTheSurfaceFactor) {
    for (float d : {0.5f, 1.0f, 3.0f})
        for (int a : {1, 2, 5}) {
            const double t = std::sqrt(double(a) * a + double(d) * d);
            const double surface = 6.283186 * a * t / (t - a);
            EXPECT_NEAR(image_geometric_factor(8, d, 4, 1 + a, 1, 0, 0, 1e-4f) / surface, 1.0, 1e-4)
                << "d " << d << " a " << a;
            EXPECT_NEAR(image_geometric_factor(8, d, 4, 1 + a, 1, 0, 0, 0.0f) / surface, 1.0, 1e-6);
        }
    // With z = 0 every code's exact factor is its surface factor.
    EXPECT_NEAR(image_geometric_factor(1, 0, 4, 2, 1, 3, 4, 0), 6.283186, 1e-5);
    EXPECT_NEAR(image_geometric_factor(6, 0, 3, 3, 1, 4, 0, 0), 2 * 3.141593 * 2 * 3, 1e-4);
}

TEST(ApparentValues, DataThatCannotBeFormedAreMarked) {
    Records r;
    ModelSettings& m = r.m;
    m.nip = 1;
    set_line(m, r.limits, 21, 1);
    fill_tables(m, r.limits, half_space(100.0), 0.0, 0.1);
    m.datum_first_electrode[0] = 19; // C2 at 22, beyond the 21 electrodes
    m.datum_first_electrode[1] = 0;  // C1 at 0
    m.datum_a[2] = 0;                // every electrode at one place
    // A datum over a line whose potentials are all 0 (nothing calculated there).
    const int n = r.limits.max_electrodes;
    for (int j = 1; j <= m.nelec; ++j)
        for (int i : {3, 4, 5, 6})
            m.potential_table_a[index2d(i, j, n)] = m.potential_table_a[index2d(j, i, n)] = 0.0;
    m.datum_first_electrode[3] = 3;
    m.datum_a[3] = 1;
    calappres_arrays(m, r.limits);
    for (int d = 0; d < 4; ++d) {
        EXPECT_FALSE(datum_formed(m, d)) << d;
        EXPECT_EQ(m.app_resistivity[d], 0.0f) << d;
        EXPECT_EQ(m.app_ip[d], 0.0f) << d;
        EXPECT_EQ(m.datum_nelec[d], 0) << d;
    }
    EXPECT_TRUE(datum_formed(m, 4));
    EXPECT_NEAR(m.app_resistivity[4], 100.0, 1e-4);
    // Without IP values the IP tables are not read: no IP value from a stale table.
    m.nip = 0;
    calappres_arrays(m, r.limits);
    EXPECT_EQ(m.app_ip[4], 0.0f);
}
