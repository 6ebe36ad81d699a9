// Block sensitivity and resolution on synthetic work files: the Jacobian against the bilinear
// form worked by hand, the wavenumber weights, side blocks, the two file orders, the resolution
// of known Jacobians, and the failures that must stop the run.
#include "block_fixture.h"

#include "fdsolve/transform.h"
#include "matrix/matrixfile.h"
#include "sensitivity/block_sensitivity.h"
#include "sensitivity/sensitivity_table.h"

#include "platform/sys/sys.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace block_test {
namespace {

// The datum factor divides by pi in double and the geometric factor is pi in float: the values
// come within a few parts in 1e6 of the literals.
void expect_values(const std::vector<float>& actual, const std::vector<float>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 4e-6 * std::fabs(expected[i])) << "entry " << i;
}

// Unit terms on the diagonal and constant fields give, per cell, s = -4 a b: pole-pole a = 2,
// b = 3 (s = -24); pole-dipole a = 2, b = 3 - 5 (s = 16). With the weights summing to 4 and
// the factor -pi / pi, J = -4 s / (rho_block rho_a): 48 / rho_block and -64 / rho_block.
TEST_F(SyntheticRun, JacobianEqualsTheBilinearFormByHand) {
    lay_out(3);
    write_work_files({1.0f, 2.0f, 4.0f});
    m.calc_resolution = 0;
    m.jacobian_by_datum = 1; // keep the file in datum order
    ASSERT_EQ(calculate_sensitivity_resolution(m), 0);
    EXPECT_EQ(m.sens_nrows, 2);
    EXPECT_EQ(m.sens_ncols, 2);
    expect_values(jacobian_file(), {48, 12, 48, 48, -64, -16, -64, -64});
    const float total[4] = {112, 28, 112, 112}, x[4] = {0.5f, 1.5f, 0.5f, 1.5f},
                z[4] = {0.25f, 0.25f, 0.75f, 0.75f}, rho[4] = {1, 4, 1, 1};
    for (int b = 0; b < 4; ++b) {
        SCOPED_TRACE(b);
        EXPECT_NEAR(m.sens_total[b], total[b], 4e-6 * total[b]);
        EXPECT_NEAR(m.sens_unit_area[b], total[b] / 0.5f, 8e-6 * total[b]);
        EXPECT_FLOAT_EQ(m.sens_block_x[b], x[b]);
        EXPECT_FLOAT_EQ(m.sens_block_z[b], z[b]);
        EXPECT_FLOAT_EQ(m.sens_block_resistivity[b], rho[b]);
    }
    EXPECT_EQ(m.sens_values_ready, 1);
    EXPECT_EQ(m.c1_z[0], 0.0f);
    EXPECT_EQ(m.p2_x[1], 2.0f);
    EXPECT_TRUE(backend.boxes.empty());
}

TEST_F(SyntheticRun, WavenumberWeights) {
    double w[3];
    const float k[3] = {1.0f, 2.0f, 4.0f};
    sensitivity_wavenumber_weights(k, 3, w);
    EXPECT_EQ(std::vector<double>(w, w + 3), (std::vector<double>{1.5, 1.5, 1.0}));
    sensitivity_wavenumber_weights(k + 1, 1, w); // a single wavenumber weighs k[0]
    EXPECT_EQ(w[0], 2.0);

    lay_out(3);
    write_work_files({2.0f});
    m.calc_resolution = 0;
    m.jacobian_by_datum = 1;
    ASSERT_EQ(calculate_sensitivity_resolution(m), 0);
    expect_values(jacobian_file(), {24, 6, 24, 24, -32, -8, -32, -32});
}

// The weights of a series of wavenumber-domain potentials are the derivatives of the wavenumber
// integral at the series: on the twelve logarithmic wavenumbers of a forward run they integrate
// potentials of the same shape to the exact K0 integrals, where the fixed weights overrate them.
TEST(PotentialWeights, IntegrateTheShapeOfThePotentialsAsTheTransformDoes) {
    float k[12];
    for (int i = 0; i < 12; ++i)
        k[i] = float(0.002 * std::pow(4000.0, i / 11.0));
    const auto K0 = [](double x) { return std::cyl_bessel_k(0.0, x); };
    // Pole-pole at r and Wenner alpha of spacing a: integrals pi / (2 r) and pi / (2 a).
    const struct {
        const char* name;
        std::function<double(double, double)> v; // potential at k of length scale L
        double integral_times_length;
    } shapes[] = {{"pole-pole", [&](double kk, double r) { return K0(kk * r); }, M_PI / 2},
                  {"Wenner",
                   [&](double kk, double a) { return 2 * K0(kk * a) - 2 * K0(2 * kk * a); },
                   M_PI / 2}};
    for (const auto& shape : shapes)
        for (const double length : {1.0, 4.0}) {
            SCOPED_TRACE(testing::Message() << shape.name << " length " << length);
            double v[12], w[12], fixed[12];
            for (int i = 0; i < 12; ++i)
                v[i] = shape.v(k[i], length);
            sensitivity_potential_weights(k, v, 12, w);
            sensitivity_wavenumber_weights(k, 12, fixed);
            double sum = 0.0;
            for (int i = 0; i < 12; ++i)
                sum += w[i] * v[i];
            double kd[12];
            std::copy(k, k + 12, kd);
            EXPECT_NEAR(sum, fd::potential_integral(kd, v, 12, 4), 1e-6 * sum);
            // A nearby shape (5 % longer): the change the weights predict is the integral's.
            const double longer = 1.05 * length;
            double predicted = 0.0, by_fixed = 0.0;
            for (int i = 0; i < 12; ++i) {
                predicted += w[i] * shape.v(k[i], longer);
                by_fixed += fixed[i] * shape.v(k[i], longer);
            }
            const double exact = shape.integral_times_length / longer;
            EXPECT_NEAR(predicted, exact, 0.01 * exact);
            std::printf("%s, length %.0f: datum weights %+.2f %%, fixed weights %+.2f %%\n",
                        shape.name, length, 100 * (predicted / exact - 1),
                        100 * (by_fixed / exact - 1));
        }

    // A negative datum has the weights of its negation. A last sample that does not fall is
    // left out, as the transform leaves it out; flat or zero potentials, whose integral has no
    // smooth form (the exponential end would have no limit), keep the fixed weights.
    double v[12], minus[12], w[12], wm[12], fixed[12];
    for (int i = 0; i < 12; ++i)
        v[i] = K0(k[i]), minus[i] = -v[i];
    sensitivity_potential_weights(k, v, 12, w);
    sensitivity_potential_weights(k, minus, 12, wm);
    EXPECT_EQ(std::vector<double>(w, w + 12), std::vector<double>(wm, wm + 12));
    v[11] = 2 * v[10];
    sensitivity_potential_weights(k, v, 12, w);
    EXPECT_EQ(w[11], 0.0);
    EXPECT_GT(w[10], 0.0);
    sensitivity_wavenumber_weights(k, 12, fixed);
    const std::vector<double> fixed_weights(fixed, fixed + 12);
    for (const double level : {0.0, 3.0}) {
        std::fill(v, v + 12, level);
        sensitivity_potential_weights(k, v, 12, w);
        EXPECT_EQ(std::vector<double>(w, w + 12), fixed_weights) << level;
    }
}

TEST_F(SyntheticRun, BlockOrderFileIsTheTransposeAndSumsAgree) {
    lay_out(3);
    write_work_files({1.0f, 2.0f, 4.0f});
    m.calc_resolution = 0;
    m.jacobian_by_datum = 0;
    ASSERT_EQ(calculate_sensitivity_resolution(m), 0);
    expect_values(jacobian_file(), {48, -64, 12, -16, 48, -64, 48, -64});
    EXPECT_NEAR(m.sens_total[1], 28.0f, 1e-4);
    EXPECT_FALSE(sys::file_exists(std::string(m.grfile_file) + ".part"));
}

TEST_F(SyntheticRun, SideBlocksChangeOnlyTheEndBlocks) {
    lay_out(4);
    write_work_files({1.0f, 2.0f, 4.0f});
    m.calc_resolution = 0;
    m.jacobian_by_datum = 1;
    m.extend_side_blocks = 0;
    ASSERT_EQ(calculate_sensitivity_resolution(m), 0);
    const std::vector<float> plain = jacobian_file();
    m.extend_side_blocks = 1;
    ASSERT_EQ(calculate_sensitivity_resolution(m), 0);
    const std::vector<float> wide = jacobian_file();
    ASSERT_EQ(m.sens_nblocks, 6);
    ASSERT_EQ(wide.size(), plain.size());
    for (int d = 0; d < 2; ++d)
        for (int b = 0; b < 6; ++b) {
            const bool end = b % 3 != 1;
            // The end blocks take two cells of the same value: their terms double.
            SCOPED_TRACE(testing::Message() << "datum " << d << " block " << b);
            EXPECT_EQ(wide[d * 6 + b], (end ? 2.0f : 1.0f) * plain[d * 6 + b]);
        }
    EXPECT_FLOAT_EQ(m.sens_block_area[0], 1.0f);
    EXPECT_FLOAT_EQ(m.sens_block_area[1], 0.5f);
}

TEST_F(SyntheticRun, FailuresStopTheRunWithTheirMessage) {
    struct Case {
        const char* name;
        int nz;
        const char* break_path; // work file to remove, or null
        const char* box;
    } cases[] = {
        {"too few node rows", 5, nullptr,
         "Message: The model has too few node rows for sensitivity blocks."},
        {"no wavenumber file", 7, "fourier_values.bin", "Error Message: Error in opening file\n"},
        {"no potentials", 7, "grfinite_r.bin", "Error Message: Error in opening file\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        backend.boxes.clear();
        lay_out(3, c.nz);
        write_work_files({1.0f, 2.0f});
        if (c.break_path) sys::delete_file(dir.path + c.break_path);
        EXPECT_NE(calculate_sensitivity_resolution(m), 0);
        ASSERT_EQ(backend.boxes.size(), 1u);
        EXPECT_EQ(backend.boxes[0].line().rfind(c.box, 0), 0u) << backend.boxes[0].line();
    }
    // Short coefficient and potential files: the last wavenumber's block is cut.
    const struct {
        const char* file;
        const char* box;
    } short_files[] = {{"jacob.bin", "Error Message: Error in reading coefficients file"},
                       {"grfinite_r.bin", "Error Message: Error in reading potentials file"}};
    for (const auto& c : short_files) {
        SCOPED_TRACE(c.file);
        backend.boxes.clear();
        lay_out(3);
        write_work_files({1.0f, 2.0f, 4.0f});
        const std::string path = dir.path + c.file;
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - 4);
        EXPECT_NE(calculate_sensitivity_resolution(m), 0);
        ASSERT_EQ(backend.boxes.size(), 1u);
        EXPECT_EQ(backend.boxes[0].line(), c.box);
    }
}

TEST_F(SyntheticRun, NoResolutionFromAFailedHessian) {
    lay_out(3);
    write_work_files({1.0f, 2.0f, 4.0f});
    m.calc_resolution = 1;
    std::snprintf(m.hessmatrix_file, sizeof m.hessmatrix_file, "%sno/such/hess.bin",
                  dir.path.c_str());
    EXPECT_NE(calculate_sensitivity_resolution(m), 0);
    EXPECT_FALSE(sys::file_exists(m.hessmatrix_row_file));
    for (int b = 0; b < m.sens_nblocks; ++b)
        EXPECT_EQ(m.resolution[b], 0.0f);
    EXPECT_NEAR(m.sens_total[0], 112.0f, 1e-3); // the sensitivities stand
}

// ---- Resolution of known Jacobians -----------------------------------------------------------

class Resolution : public SyntheticRun {
  protected:
    // Hessian row file of a Jacobian given parameter by parameter (n parameters, m data).
    std::string hessian_of(const std::vector<float>& j, int n, int data) {
        const std::string jac = dir.path + "j.bin", h = dir.path + "h.bin",
                          row = dir.path + "hr.bin";
        std::FILE* f = std::fopen(jac.c_str(), "wb");
        std::fwrite(j.data(), 4, j.size(), f);
        std::fclose(f);
        EXPECT_EQ(create_hessian_from_jacobian(jac.c_str(), n, data, h.c_str(), true), 0);
        EXPECT_EQ(update_hessian_file(h.c_str(), row.c_str(), n), 0);
        return row;
    }
};

TEST_F(Resolution, DiagonalJacobianGivesSquaredOverDamped) {
    const float s[3] = {0.5f, 1.0f, 3.0f};
    const float lambda = 0.01f;
    std::vector<float> j(9, 0.0f);
    for (int i = 0; i < 3; ++i)
        j[i * 3 + i] = s[i];
    const std::string row = hessian_of(j, 3, 3);
    float r[3];
    ASSERT_EQ(damped_resolution_diagonal(3, lambda, r, row.c_str()), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(r[i], s[i] * s[i] / (s[i] * s[i] + double(lambda)), 1e-6);
    std::vector<float> identity = {1, 0, 0, 1};
    ASSERT_EQ(damped_resolution_diagonal(2, 0.1f, r, hessian_of(identity, 2, 2).c_str()), 0);
    EXPECT_NEAR(r[0], 1.0 / 1.1, 1e-6);
    EXPECT_NEAR(r[1], 1.0 / 1.1, 1e-6);
}

TEST_F(Resolution, NotPositiveDefiniteShowsTheInversionBox) {
    const double indefinite[3] = {1.0, 2.0, 1.0}; // (1 2; 2 1) lower by rows
    const std::string row = dir.path + "bad.bin";
    std::FILE* f = std::fopen(row.c_str(), "wb");
    std::fwrite(indefinite, 8, 3, f);
    std::fclose(f);
    float r[2] = {7, 7};
    EXPECT_NE(damped_resolution_diagonal(2, 0.001f, r, row.c_str()), 0);
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].line(), "Message: Inversion error 1.\nDamping factor 0.0010");
    EXPECT_EQ(r[0], 0.0f);
    EXPECT_EQ(r[1], 0.0f);
}

// ---- Table -------------------------------------------------------------------------------

TEST_F(SyntheticRun, TableIsByteExactWithAndWithoutResolution) {
    std::snprintf(m.model_title, 256, "Two blocks");
    m.unit_spacing = 2.0f;
    m.sens_nblocks = 2;
    const float x[2] = {0.5f, 1.5f}, z[2] = {0.25f, 0.25f};
    for (int b = 0; b < 2; ++b) {
        m.sens_block_x[b] = x[b], m.sens_block_z[b] = z[b], m.sens_block_area[b] = 0.5f;
        m.sens_total[b] = 10.0f * (b + 1), m.sens_unit_area[b] = 20.0f * (b + 1);
        m.resolution[b] = 0.25f, m.resolution_normalized[b] = 0.125f;
        m.sens_block_resistivity[b] = 100.0f;
    }
    m.ndata = 1;
    m.c1_x[0] = 0.0f, m.c2_x[0] = -2.0f, m.p1_x[0] = 2.0f, m.p2_x[0] = 4.0f; // metres, a = 2
    m.c1_z[0] = m.c2_z[0] = m.p1_z[0] = m.p2_z[0] = 0.0f;
    m.app_resistivity[0] = 99.5f;
    const std::string data = "//  Apparent resistivity values\n"
                             "//  Data         C1          C2      P1      P2       App. Resis.\n"
                             "       1       0.000,     0.000       -2.000,     0.000       2.000,"
                             "     0.000       4.000,     0.000       99.5000\n";
    const std::string path = dir.path + "s.xyz";
    m.calc_resolution = 0;
    m.resolution[0] = 0.5f; // left from an earlier run: not shown
    ASSERT_EQ(write_sensitivity_file(m, path.c_str()), 0);
    EXPECT_EQ(
        test_support::read_file(path),
        "// Two blocks\n//  Sensitivity values\n"
        "//  Block        Block Center            Block Sensitivity\n"
        "// Number   x-location z-location        Total     Unit Area    Resistivity         Area\n"
        "       1       1.000      0.500        10.0000       20.0000       100.000         2.000\n"
        "       2       3.000      0.500        20.0000       40.0000       100.000         "
        "2.000\n" +
            data);
    m.calc_resolution = 1;
    ASSERT_EQ(write_sensitivity_file(m, path.c_str()), 0);
    EXPECT_EQ(
        test_support::read_file(path),
        "// Two blocks\n//  Sensitivity values\n"
        "//  Block        Block Center            Block Sensitivity           Block Resolution\n"
        "// Number   x-location z-location        Total     Unit Area         Total    Normalized  "
        " Resistivity          Area\n"
        "       1       1.000      0.500        10.0000       20.0000        0.5000        0.1250  "
        "     100.000         2.000\n"
        "       2       3.000      0.500        20.0000       40.0000        0.2500        0.1250  "
        "     100.000         2.000\n" +
            data);
    const std::string bad = dir.path + "no/such.xyz";
    EXPECT_EQ(write_sensitivity_file(m, bad.c_str()), 1);
    ASSERT_FALSE(backend.boxes.empty());
    EXPECT_EQ(backend.boxes.back().line(),
              "File opening error: Error in creating sensitivity file\n" + bad);
}

// Sensitivities, block resistivities and apparent resistivities too small for the table's
// decimals keep their size (each column against its largest value); the centres, areas and
// resolutions keep the table's format.
TEST_F(SyntheticRun, TableValuesTooSmallForItsDecimalsKeepTheirSize) {
    const struct {
        float total[2], unit_area[2], resistivity[2], apparent;
        const char* lines; // the two block lines and the datum line
    } cases[] = {
        // A model of 1e-30 ohm-m: every value was 0.0000 or 0.000.
        {{1e-30f, 2.5e-31f},
         {4e-30f, 1e-30f},
         {1e-30f, 2e-30f},
         1e-30f,
         "       1       1.000      0.500          1e-30         4e-30        "
         "0.2500        0.1250         1e-30         2.000\n"
         "       2       3.000      0.500        2.5e-31         1e-30        "
         "0.2500        0.1250         2e-30         2.000\n"
         "       1       0.000,     0.000       -2.000,     0.000       2.000,     0.000       "
         "4.000,     0.000         1e-30\n"},
        // Columns whose largest value had two or three digits; a value too small for its
        // column (1e-9 of its largest) stays as the column writes it.
        {{0.00123456f, 1.2e-12f},
         {0.0123456f, 0.0001f},
         {0.5f, 0.0125f},
         0.00987654f,
         "       1       1.000      0.500     0.00123456     0.0123456        "
         "0.2500        0.1250         0.500         2.000\n"
         "       2       3.000      0.500         0.0000        0.0001        "
         "0.2500        0.1250        0.0125         2.000\n"
         "       1       0.000,     0.000       -2.000,     0.000       2.000,     0.000       "
         "4.000,     0.000    0.00987654\n"},
    };
    m.unit_spacing = 2.0f;
    m.sens_nblocks = 2;
    m.calc_resolution = 1;
    m.ndata = 1;
    m.c1_x[0] = 0.0f, m.c2_x[0] = -2.0f, m.p1_x[0] = 2.0f, m.p2_x[0] = 4.0f;
    m.c1_z[0] = m.c2_z[0] = m.p1_z[0] = m.p2_z[0] = 0.0f;
    const std::string path = dir.path + "s.xyz";
    for (const auto& c : cases) {
        for (int b = 0; b < 2; ++b) {
            m.sens_block_x[b] = 0.5f + b, m.sens_block_z[b] = 0.25f, m.sens_block_area[b] = 0.5f;
            m.sens_total[b] = c.total[b], m.sens_unit_area[b] = c.unit_area[b];
            m.sens_block_resistivity[b] = c.resistivity[b];
            m.resolution[b] = 0.25f, m.resolution_normalized[b] = 0.125f;
        }
        m.app_resistivity[0] = c.apparent;
        ASSERT_EQ(write_sensitivity_file(m, path.c_str()), 0);
        // The block lines and the datum line, without the two header lines between them.
        std::string text = test_support::read_file(path);
        text.erase(0, text.find("       1 "));
        const std::size_t head = text.find("//");
        ASSERT_NE(head, std::string::npos);
        text.erase(head, text.find("Resis.\n") + 7 - head);
        EXPECT_EQ(text, c.lines);
    }
}

} // namespace
} // namespace block_test
