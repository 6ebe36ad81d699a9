// The two-layer test model: its grids and wavenumbers, the wavenumber integral, the run against
// the half-space and the image series of a two-layer earth, a failed factorisation and refused
// memory.
#include "fe_fixture.h"

#include "fesolve/model2d.h"
#include "support/layered_earth.h"
#include "support/refusal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace fe_test {
namespace {

class TestModel : public Records {
  protected:
    std::string report() const {
        std::ifstream in(file("model2d_test.txt"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST(TestModelGrid, CountsGridsAndWavenumbers) {
    Model_2D_Electrical m;
    ASSERT_TRUE(m.allocated);
    EXPECT_EQ(m.nx_nodes, 299);
    EXPECT_EQ(m.nz_nodes, 50);
    EXPECT_EQ(m.nx_cells, 298);
    EXPECT_EQ(m.nz_cells, 49);
    EXPECT_EQ(m.x_grid[24], 0.0);
    EXPECT_NEAR(m.x_grid[276], 63.0, 1e-9);
    // Buffer intervals 0.25 four times, then growing by 1.2, on both sides.
    const double outward[] = {0.25, 0.25, 0.25, 0.25, 0.3, 0.36};
    for (int b = 0; b < 6; ++b) {
        EXPECT_NEAR(m.x_grid[24 - b] - m.x_grid[23 - b], outward[b], 1e-6) << b;
        EXPECT_NEAR(m.x_grid[277 + b] - m.x_grid[276 + b], outward[b], 1e-6) << b;
    }
    EXPECT_NEAR(m.z_grid[14], 4.734, 5e-4);
    const double k[] = {0.001,   0.00226, 0.00512, 0.0116,  0.02626, 0.05945,
                        0.13457, 0.30464, 0.68962, 1.56112, 3.53398, 8.0};
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(m.wavenumbers[i + 1], k[i], 5e-6) << i;
    EXPECT_EQ(m.wavenumbers[1], 0.001);
    EXPECT_EQ(m.wavenumbers[12], 8.0);
}

TEST(TestModelGrid, WavenumberIntegralIsExactForConstantAndExponential) {
    Model_2D_Electrical m;
    const double* k = m.wavenumbers.data();
    const int n = m.nwave;
    double constant[13], decaying[13], negative[13];
    for (int i = 1; i <= n; ++i) {
        constant[i] = 2.5;
        decaying[i] = std::exp(-k[i]);
        negative[i] = -1.0;
    }
    EXPECT_NEAR(model2d_integrate_wavenumbers(n, k, constant), k[1] * 2.5 + 2.5 * (k[n] - k[1]),
                1e-12);
    EXPECT_NEAR(model2d_integrate_wavenumbers(n, k, decaying),
                std::exp(-k[1]) * k[1] + std::exp(-k[1]) - std::exp(-k[n]), 1e-12);
    // Intervals with a sample <= 0 add nothing: only the first interval's k1 f1 is left.
    EXPECT_EQ(model2d_integrate_wavenumbers(n, k, negative), -k[1]);
}

// Pole-pole apparent resistivity over a layer of rho1 and thickness h on rho2.
double two_layer_pole_pole(double rho1, double rho2, double h, double r) {
    return 2.0 * 3.14159265358979 * r * test_support::two_layer_potential(rho1, rho2, h, r);
}

double apparent(const Model_2D_Electrical& m, int i, int j) {
    return 2.0 * 3.14159265358979 * (j - i) * m.resistance[index2d(i, j, m.max_electrodes)];
}

TEST_F(TestModel, HalfSpaceAndTwoLayerRuns) {
    Model_2D_Electrical m;
    ASSERT_TRUE(model2d_test_run(m, file("model2d_test.txt").c_str()).ok());
    double low = 1e9, high = 0;
    for (int i = 1; i < m.nelec; ++i)
        for (int j = i + 1; j <= m.nelec; ++j) {
            low = std::min(low, apparent(m, i, j));
            high = std::max(high, apparent(m, i, j));
        }
    EXPECT_GT(low, 96.0);
    EXPECT_LT(high, 104.0);
    const std::string text = report();
    EXPECT_NE(text.find("2D resistivity model\nNumber of Fourier Transform Values 12\n"),
              std::string::npos);
    EXPECT_NE(text.find("\nPotential values\n  I   J   Resistance  App. Resis.\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n  63   64 "), std::string::npos);
    EXPECT_NE(text.find("\nCalculation time "), std::string::npos);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].caption, "Message");
    EXPECT_EQ(backend.boxes[0].text.rfind("Time taken ", 0), 0u);

    // The electrodes stand 0.25 apart: separation j - i is r = 0.25 (j - i).
    m.set_layers(10.0, 100.0);
    ASSERT_TRUE(model2d_test_run(m, file("model2d_test.txt").c_str()).ok());
    const double h = m.z_grid[14];
    double error = 0;
    for (int i = 1; i < m.nelec; ++i)
        for (int j = i + 2; j <= m.nelec; ++j) {
            const double expected = two_layer_pole_pole(10.0, 100.0, h, 0.25 * (j - i));
            error = std::max(error, std::fabs(apparent(m, i, j) / expected - 1.0));
        }
    EXPECT_LT(error, 0.035);
}

TEST_F(TestModel, FailedFactorisationWritesItsLineAndNoTable) {
    Model_2D_Electrical m;
    m.set_layers(-100.0, -100.0);
    const model::SolverResult r = model2d_test_run(m, file("model2d_test.txt").c_str());
    EXPECT_EQ(r.status, model::SolverStatus::pivot);
    EXPECT_EQ(r.row, 1);
    const std::string text = report();
    EXPECT_NE(text.find("\nCap matrix 1, error fac 1\n"), std::string::npos);
    EXPECT_EQ(text.find("Potential values"), std::string::npos);
    ASSERT_FALSE(backend.boxes.empty());
    EXPECT_EQ(backend.boxes.back().line(), "Error Message: Cap matrix 1, error fac 1");

    // Every allocation refused in turn (all come before the first factorisation): the memory
    // message, nothing kept, neither the failure line nor a table.
    const int refused = test_support::refuse_memory_in_turn(
        backend, 20, "Error Message: Insufficient memory for finite-element subroutine!.",
        [&] { return model2d_test_run(m, file("model2d_test.txt").c_str()); },
        [&](long long budget) {
            const std::string written = report();
            EXPECT_EQ(written.find("Cap matrix"), std::string::npos) << budget;
            EXPECT_EQ(written.find("Potential values"), std::string::npos) << budget;
        });
    EXPECT_GT(refused, 10);
}

} // namespace
} // namespace fe_test
