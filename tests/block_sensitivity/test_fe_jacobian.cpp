// The block Jacobian of a finite-element run over a homogeneous half-space: against the change of
// the calculated apparent resistivities when one block's resistivity is perturbed, and against
// the closed-form 2-D sensitivity of the arrays integrated over the blocks.
#include "fesolve/fesolve.h"
#include "forward/apparent.h"
#include "forward/mesh_reach.h"
#include "forward/solver_chain.h"
#include "model/globals.h"
#include "model/mesh_nodes.h"
#include "model/utilities.h"
#include "sensitivity/block_sensitivity.h"
#include "sensitivity/electrode_jacobian.h"
#include "sensitivity/kernels.h"
#include "support/fe_mesh.h"
#include "support/files.h"
#include "support/layered_earth.h"
#include "support/model_records.h"
#include "support/recording_backend.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int nelec = 12, margin = 20, max_rows = 40;
constexpr double rho = 10.0;

// The half-space of the benchmarks on a line of 12 electrodes with p node columns a spacing, its
// work files in a fresh folder.
class HalfSpaceJacobian : public testing::Test {
  protected:
    explicit HalfSpaceJacobian(int p = 2)
        : per_spacing(p), records{test_support::bench_limits(nelec, max_rows, p)} {}
    void SetUp() override {
        ui::install_backend(&backend);
        model::set_work_file_paths(m, Modelresolution, dir.path);
        test_support::lay_out_bench_mesh(m, nelec, margin, per_spacing, max_rows, rho);
        m.ngrid_rows = 10;
        m.unit_spacing = 1.0f;
    }
    void TearDown() override { ui::install_backend(nullptr); }

    // The datum list of array `code`: spacings 1 to 3 (Wenner alpha, code 1) or factors 1 and 2
    // of spacing 1 (pole-dipole, code 6), every first electrode that fits.
    void data(int code) {
        m.array_type = code;
        int d = 0;
        for (int level = 1; level <= (code == 1 ? 3 : 2); ++level) {
            const int a = code == 1 ? level : 1;
            const float n = code == 1 ? 1.0f : float(level);
            const int length = code == 1 ? 3 * a : level + 1;
            for (int x = 1; x + length <= nelec; ++x, ++d)
                m.datum_first_electrode[d] = x, m.datum_a[d] = a, m.datum_n[d] = n;
        }
        m.ndata = d;
    }
    // The forward run (with the sensitivity work files when jacob is 1) and the apparent
    // resistivities of the datum list; false when either failed.
    bool calculate(int jacob) {
        m.jacob = jacob;
        const fe::Inputs in = fe::make_inputs(m, Proglim, m.driver_cells_2x, m.potential_table_a,
                                              m.potential_table_b, Potentialtables.fe_vector_a);
        if (calresfem_sym_dbl(in).code() != 0) return false;
        calappres_arrays(m, Proglim);
        for (int d = 0; d < m.ndata; ++d)
            if (!datum_formed(m, d)) return false;
        m.data_ready = 1;
        return true;
    }
    std::vector<double> apparent() const {
        return std::vector<double>(m.app_resistivity, m.app_resistivity + m.ndata);
    }
    // The Jacobian in datum order: ndata rows of sens_nblocks values.
    std::vector<float> jacobian() {
        m.calc_resolution = 0;
        m.jacobian_by_datum = 1;
        EXPECT_EQ(calculate_sensitivity_resolution(m), 0);
        const std::string bytes = test_support::read_file(m.grfile_file);
        std::vector<float> j(bytes.size() / 4);
        std::memcpy(j.data(), bytes.data(), j.size() * 4);
        return j;
    }
    // d ln(rho_a) / d ln(rho_b) of every datum by central differences: block b's cells at
    // resistivity rho (1 +- 2 %).
    std::vector<double> perturbed(int b) {
        const std::vector<float> cells(m.driver_cells_2x,
                                       m.driver_cells_2x + 2 * m.nx_cells * m.nz_cells);
        std::vector<double> ln[2];
        const double factors[2] = {1.02, 0.98};
        for (int side = 0; side < 2; ++side) {
            for (int c = m.sens_col_left[b]; c < m.sens_col_right[b]; ++c)
                for (int r = m.sens_row_top[b]; r < m.sens_row_bottom[b]; ++r)
                    for (int t = 0; t < 2; ++t)
                        m.driver_cells_2x[2 * index2d(c, r, m.nx_cells) + t] =
                            float(1.0 / (rho * factors[side]));
            EXPECT_TRUE(calculate(0));
            for (double v : apparent())
                ln[side].push_back(std::log(v));
            std::copy(cells.begin(), cells.end(), m.driver_cells_2x);
        }
        std::vector<double> j;
        for (int d = 0; d < m.ndata; ++d)
            j.push_back((ln[0][d] - ln[1][d]) / std::log(1.02 / 0.98));
        return j;
    }

    const int per_spacing;
    test_support::TempDir dir{"vd_fejac"};
    test_support::GlobalRecords records;
    test_support::RecordingBackend backend;
    ModelSettings& m = Modelsettings;
};

// The Jacobian is the derivative of the apparent resistivities the program calculates: a block
// perturbed by 2 % changes them as J says, for the four-electrode Wenner data and for the
// pole-dipole data (C1, P1, P2), which must not be taken for pole-pole.
TEST_F(HalfSpaceJacobian, IsTheDerivativeOfTheCalculatedApparentResistivity) {
    for (const int code : {1, 6}) {
        SCOPED_TRACE(testing::Message() << "array " << code);
        data(code);
        ASSERT_TRUE(calculate(1));
        const std::vector<float> j = jacobian();
        ASSERT_EQ(j.size(), std::size_t(m.ndata) * m.sens_nblocks);
        // Blocks at the surface and deeper, under the data and beside them, at the end of the line.
        const int cols = m.sens_ncols;
        double worst = 0.0;
        for (const int b : {5, 3 * cols + 5, 7 * cols + 2, 1 * cols + 0}) {
            const std::vector<double> fd = perturbed(b);
            double scale = 0.0;
            for (int d = 0; d < m.ndata; ++d)
                scale = std::max(scale, std::fabs(fd[d]));
            for (int d = 0; d < m.ndata; ++d) {
                const double error = std::fabs(j[std::size_t(d) * m.sens_nblocks + b] - fd[d]);
                worst = std::max(worst, error / scale);
                EXPECT_LT(error, 1e-3 * scale)
                    << "block " << b << " datum " << d << ": J "
                    << j[std::size_t(d) * m.sens_nblocks + b] << ", perturbation " << fd[d];
            }
        }
        std::printf("array %d: worst difference %.2e of the block's largest value\n", code, worst);
    }
}

// The integral of f over [x0, x1] x [z0, z1] by 8 x 8 Gauss-Legendre points.
template <class F> double block_integral(F f, double x0, double x1, double z0, double z1) {
    static const double node[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                                   0.9602898564975363};
    static const double weight[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                     0.1012285362903763};
    double sum = 0.0;
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 8; ++k) {
            const double u = (i < 4 ? -1 : 1) * node[i % 4], v = (k < 4 ? -1 : 1) * node[k % 4];
            const double x = 0.5 * (x0 + x1) + 0.5 * (x1 - x0) * u;
            const double z = 0.5 * (z0 + z1) + 0.5 * (z1 - z0) * v;
            sum += weight[i % 4] * weight[k % 4] * f(x, z);
        }
    return 0.25 * (x1 - x0) * (z1 - z0) * sum;
}

// On a solver mesh padded beyond the model's (the calculation widens it for the widest datum),
// the work files hold the model's own cells and nodes: the Jacobian is still the derivative of
// the apparent resistivities of that padded run (a block perturbed by 2 %; within 0.1 % of the
// datum's largest value, as on the model's own mesh).
TEST_F(HalfSpaceJacobian, OfAPaddedRunIsTheDerivativeOfItsData) {
    data(1);
    const float span = 4.0f * float(nelec);
    const auto padded_run = [&](int jacob) {
        m.jacob = jacob;
        const model::SolverResult r = forward::run_solver(
            m, Proglim, forward::Solver::fe_band, span, m.cell_conductivity, m.potential_table_a,
            m.potential_table_b, Potentialtables.fe_vector_a);
        calappres_arrays(m, Proglim);
        m.data_ready = 1;
        return r.code();
    };
    ASSERT_TRUE(forward::SolverMesh(m, forward::reach_for_span(span), 60, false).padded());
    ASSERT_EQ(padded_run(1), 0);
    const std::vector<float> j = jacobian();
    const std::vector<float> cells(m.cell_conductivity,
                                   m.cell_conductivity + m.nx_cells * m.nz_cells);
    for (const int b : {5, 3 * m.sens_ncols + 2}) {
        std::vector<double> ln[2];
        const double factors[2] = {1.02, 0.98};
        for (int side = 0; side < 2; ++side) {
            for (int c = m.sens_col_left[b]; c < m.sens_col_right[b]; ++c)
                for (int r = m.sens_row_top[b]; r < m.sens_row_bottom[b]; ++r)
                    m.cell_conductivity[index2d(c, r, m.nx_cells)] =
                        float(1.0 / (rho * factors[side]));
            ASSERT_EQ(padded_run(1), 0);
            for (double v : apparent())
                ln[side].push_back(std::log(v));
            std::copy(cells.begin(), cells.end(), m.cell_conductivity);
        }
        double scale = 0.0;
        std::vector<double> fd;
        for (int d = 0; d < m.ndata; ++d) {
            fd.push_back((ln[0][d] - ln[1][d]) / std::log(1.02 / 0.98));
            scale = std::max(scale, std::fabs(fd.back()));
        }
        for (int d = 0; d < m.ndata; ++d)
            EXPECT_NEAR(j[std::size_t(d) * m.sens_nblocks + b], fd[d], 1e-3 * scale)
                << "block " << b << " datum " << d;
    }
}

// The closed-form 2-D sensitivity of the Wenner data integrated over a block, times the
// geometric factor (the sensitivity of the whole half-space is 1), is the finite-element
// Jacobian for the blocks two spacings or more from every electrode of the datum: within 10 %
// (measured 6.7 %) where it is at least 1 % of the datum's largest, and within 0.3 % of the
// largest elsewhere (measured 0.08 %; there the pair terms of the datum nearly cancel and the
// mesh's error in them shows, up to 17 % of the block's own value).
TEST_F(HalfSpaceJacobian, MatchesTheClosedFormSensitivityOverTheBlocks) {
    data(1);
    ASSERT_TRUE(calculate(1));
    const std::vector<float> j = jacobian();
    const float x0 = m.node_col_x[m.margin_columns - 1];
    double worst = 0.0, worst_small = 0.0;
    int compared = 0;
    for (int d = 0; d < m.ndata; ++d) {
        const float* row = j.data() + std::size_t(d) * m.sens_nblocks;
        double largest = 0.0;
        for (int b = 0; b < m.sens_nblocks; ++b)
            largest = std::max(largest, double(std::fabs(row[b])));
        // Electrode e stands at x = e - 1.
        const float c1 = float(m.datum_c1[d] - 1), c2 = float(m.datum_c2[d] - 1);
        const float p1 = float(m.datum_p1[d] - 1), p2 = float(m.datum_p2[d] - 1);
        const auto S = [&](double x, double z) {
            const float u = float(x), w = float(z);
            return sens2d_pole_pole(u - c1, w, p1 - c1) - sens2d_pole_pole(u - c1, w, p2 - c1) -
                   sens2d_pole_pole(u - c2, w, p1 - c2) + sens2d_pole_pole(u - c2, w, p2 - c2);
        };
        for (int b = 0; b < m.sens_nblocks; ++b) {
            const double xa = m.node_col_x[m.sens_col_left[b] - 1] - x0;
            const double xb = m.node_col_x[m.sens_col_right[b] - 1] - x0;
            const double za = m.depth_lines[m.sens_row_top[b] - 1];
            const double zb = m.depth_lines[m.sens_row_bottom[b] - 1];
            bool far = true;
            for (const double e : {c1, c2, p1, p2})
                far = far && std::hypot(std::max({xa - e, e - xb, 0.0}), za) >= 2.0;
            if (!far) continue;
            ++compared;
            const double kernel = m.datum_gfactor[d] * block_integral(S, xa, xb, za, zb);
            const double error = std::fabs(row[b] - kernel);
            if (std::fabs(kernel) >= 0.01 * largest) {
                worst = std::max(worst, error / std::fabs(kernel));
                EXPECT_LT(error, 0.1 * std::fabs(kernel))
                    << "datum " << d << " block " << b << ": finite elements " << row[b]
                    << ", kernels " << kernel;
            } else {
                worst_small = std::max(worst_small, error / largest);
                EXPECT_LT(error, 0.003 * largest) << "datum " << d << " block " << b;
            }
        }
    }
    EXPECT_GT(compared, 500);
    std::printf("%d blocks and data compared: worst difference %.1f %% of the kernels' value, "
                "%.2f %% of the datum's largest where that is below 1 %%\n",
                compared, 100 * worst, 100 * worst_small);
}

// The electrode-position Jacobian of the program's own run against the change of the apparent
// resistivities when electrode 1 or 2 is moved by +-0.01 spacings (along the line, then up) and
// the potentials calculated again: over the half-space, and over 10 ohm-m on 100 ohm-m below 1.5
// spacings, with the model files' usual 4 node columns a spacing.
class PositionJacobianPhysics : public HalfSpaceJacobian {
  protected:
    explicit PositionJacobianPhysics(int per_spacing = 4) : HalfSpaceJacobian(per_spacing) {}
    // The mesh under the surface with electrode e (0-based) moved by (dx, dz).
    void place_nodes(int e, float dx, float dz) {
        m.elec_x[e] = float(e) + dx;
        m.elec_z[e] = dz;
        float bottom = 0.0f;
        set_fe_node_spacing(m, m.margin_columns, m.node_col_dx, m.nodes_per_spacing, m.nx_nodes,
                            m.node_col_x);
        Set_Topo_Grid_Nodes(&bottom, m.nelec, m.nx_nodes, m.nz_nodes, m.margin_columns,
                            m.nodes_per_spacing, m.tflag, m.node_col_x, m.depth_lines,
                            m.node_col_dx, m.node_row_dz, m.node_x, m.node_z, m.elec_x, m.elec_z);
    }
    // d rho_a / d(x or z) of electrode e for every datum, by central differences.
    std::vector<double> moved(int e, int component) {
        const float h = 0.01f;
        std::vector<double> side[2];
        for (int s = 0; s < 2; ++s) {
            const float step = s == 0 ? h : -h;
            place_nodes(e, component == 0 ? step : 0.0f, component == 1 ? step : 0.0f);
            EXPECT_TRUE(calculate(0));
            side[s] = apparent();
        }
        place_nodes(e, 0.0f, 0.0f);
        std::vector<double> j;
        for (int d = 0; d < m.ndata; ++d)
            j.push_back((side[0][d] - side[1][d]) / (2.0 * h));
        return j;
    }
    void set_lower_layer(double depth, double lower) {
        for (int r = 1; r <= m.nz_cells; ++r)
            for (int c = 1; c <= m.nx_cells; ++c)
                for (int t = 0; t < 2; ++t)
                    m.driver_cells_2x[2 * index2d(c, r, m.nx_cells) + t] =
                        float(1.0 / (m.depth_lines[r - 1] >= depth ? lower : rho));
    }
};

// Within 1 % of the column's largest value for every datum (measured 0.7 %), the data beside
// the electrode as those across the line; the vertical shifts change sign along the wavenumbers
// over the layers, which the transform must keep.
TEST_F(PositionJacobianPhysics, IsTheChangeOfTheDataWhenAnElectrodeMoves) {
    data(1);
    for (const double lower : {rho, 100.0}) {
        SCOPED_TRACE(testing::Message() << "lower resistivity " << lower);
        set_lower_layer(1.5, lower);
        ASSERT_TRUE(calculate(1));
        int view = 0;
        Calculate_Jacobian_Elec_Position(view, m);
        const std::string bytes = test_support::read_file(m.grfile_elec_file);
        const int n = m.ndata, positions = m.n_elec_positions;
        ASSERT_EQ(bytes.size(), 4u * 2 * positions * n);
        std::vector<float> j(bytes.size() / 4);
        std::memcpy(j.data(), bytes.data(), bytes.size());
        for (int p = 0; p < positions; ++p)
            for (int component = 0; component < 2; ++component) {
                const std::vector<double> fd = moved(p, component);
                double scale = 0.0, worst = 0.0;
                for (int d = 0; d < n; ++d)
                    scale = std::max(scale, std::fabs(fd[d]));
                for (int d = 0; d < n; ++d) {
                    const double value = j[std::size_t(component * positions + p) * n + d];
                    worst = std::max(worst, std::fabs(value - fd[d]) / scale);
                    EXPECT_NEAR(value, fd[d], 0.01 * scale)
                        << "electrode " << p + 1 << (component ? " z" : " x") << " datum " << d;
                }
                std::printf("electrode %d %c: largest %.4g, worst difference %.2e of it\n", p + 1,
                            component ? 'z' : 'x', scale, worst);
            }
    }
}

// On 2 node columns a spacing the samples of the last wavenumbers are noise, and electrode 1 at
// x = 0.009 to 0.01 brings the last two samples of pair (1, 3) within 1 % of each other: the
// exponential end through them made that potential jump by 15 % in a move of 0.0005 over the
// half-space, by 1.6 % over 10 ohm-m on 100 ohm-m below 1 spacing (the layer series of equal
// resistivities is the half-space's). Every pair potential of electrode 1 must change as the
// analytic one does, within 0.025 % of its value a step (measured 0.017 %, pair (1, 2), whose
// end is noise too), and stay within 0.5 % of it (measured 0.43 % and 0.47 %).
class PositionOnACoarseMesh : public PositionJacobianPhysics {
  protected:
    PositionOnACoarseMesh() : PositionJacobianPhysics(2) {}
};

TEST_F(PositionOnACoarseMesh, AMoveOfAnElectrodeChangesThePotentialsAsTheAnalyticOnes) {
    data(1);
    const int lead = Proglim.max_electrodes;
    for (const double lower : {rho, 100.0}) {
        set_lower_layer(1.0, lower);
        std::vector<double> pot, exact, pot_before, exact_before;
        for (int step = 0; step <= 8; ++step) {
            const float x = 0.008f + 0.0005f * float(step);
            place_nodes(0, x, 0.0f);
            ASSERT_TRUE(calculate(0));
            pot.clear();
            exact.clear();
            for (int b = 2; b <= nelec; ++b) {
                pot.push_back(m.potential_table_a[index2d(1, b, lead)]);
                exact.push_back(
                    test_support::two_layer_potential(rho, lower, 1.0, b - 1 - double(x)));
                EXPECT_NEAR(pot.back(), exact.back(), 0.005 * exact.back())
                    << "lower " << lower << " x " << x << " pair 1-" << b;
            }
            for (std::size_t i = 0; step > 0 && i < pot.size(); ++i)
                EXPECT_NEAR(pot[i] - pot_before[i], exact[i] - exact_before[i], 2.5e-4 * pot[i])
                    << "lower " << lower << " x " << x << " pair 1-" << i + 2;
            pot_before = pot;
            exact_before = exact;
        }
    }
}

} // namespace

namespace {

// A line long enough that the node-potential tables of its last electrodes start past 2^24
// floats into a wavenumber's block of the potentials file: 1201 electrodes one node column
// apart over 13 node rows (15,847 nodes a table, an odd count, so that every other start is
// odd; a float holds only the even counts between 2^24 and 2^25). Two wavenumbers keep the
// files at 150 MB.
class LongLineJacobian : public testing::Test {
  protected:
    static constexpr int n = 1201, rows = 13, margin = 10;
    LongLineJacobian() : records{test_support::bench_limits(n, rows + 2, 1)} {}
    void SetUp() override {
        ui::install_backend(&backend);
        model::set_work_file_paths(m, Modelresolution, dir.path);
        m.depth_lines[0] = 0.0f;
        for (int r = 1; r < rows; ++r) {
            m.node_row_dz[r - 1] = 0.5f * float(r);
            m.depth_lines[r] = m.depth_lines[r - 1] + m.node_row_dz[r - 1];
        }
        test_support::lay_out_fe_mesh(m, n, margin, 1, rows, 10.0);
        for (int c = 0; c < m.nx_cells * m.nz_cells; ++c)
            m.cell_conductivity[c] = 0.1f;
        m.ngrid_rows = 10;
        m.unit_spacing = 1.0f;
        m.nky = 2;
    }
    void TearDown() override { ui::install_backend(nullptr); }

    test_support::TempDir dir{"vd_longjac"};
    test_support::GlobalRecords records;
    test_support::RecordingBackend backend;
    ModelSettings& m = Modelsettings;
};

// On homogeneous ground the Jacobian of a datum at the right end of the line is the mirror image
// of that of the mirrored datum at the left end: the tables of the right-end electrodes are
// read where the solver wrote them, not a node beside.
TEST_F(LongLineJacobian, IsMirrorSymmetricAtTheEndsOfTheLine) {
    ASSERT_GT(std::int64_t(n - 1) * m.nx_nodes * m.nz_nodes, std::int64_t(1) << 24);
    ASSERT_EQ(m.nx_nodes * m.nz_nodes % 2, 1);
    // Pole-pole and Wenner at the left end, then their mirror images at the right end.
    m.array_type = 1;
    const int c1[4] = {2, 1, n - 1, n}, p1[4] = {3, 2, n - 2, n - 1}, p2[4] = {0, 3, 0, n - 2};
    const int c2[4] = {0, 4, 0, n - 3};
    m.ndata = 4;
    for (int d = 0; d < 4; ++d) {
        m.datum_c1[d] = c1[d], m.datum_c2[d] = c2[d], m.datum_p1[d] = p1[d], m.datum_p2[d] = p2[d];
        m.datum_nelec[d] = 2;
        m.datum_gfactor[d] = float(2.0 * M_PI);
        m.app_resistivity[d] = 10.0f;
    }
    m.jacob = 1;
    m.n_elec_positions = 0;
    const fe::Inputs in = fe::make_inputs(m, Proglim, m.driver_cells_2x, m.potential_table_a,
                                          m.potential_table_b, Potentialtables.fe_vector_a);
    ASSERT_EQ(calresfem_sym_dbl(in).code(), 0);
    for (int e = 1; e <= n; ++e)
        ASSERT_EQ(m.jacob_electrode[e - 1], std::int64_t(e - 1) * m.nx_nodes * m.nz_nodes);
    m.calc_resolution = 0;
    m.jacobian_by_datum = 1;
    ASSERT_EQ(calculate_sensitivity_resolution(m), 0);
    const std::string bytes = test_support::read_file(m.grfile_file);
    ASSERT_EQ(bytes.size(), 4u * 4 * std::size_t(m.sens_nblocks));
    std::vector<float> j(bytes.size() / 4);
    std::memcpy(j.data(), bytes.data(), bytes.size());
    const int cols = m.sens_ncols;
    for (int d = 0; d < 2; ++d) {
        const float* left = j.data() + std::size_t(d) * m.sens_nblocks;
        const float* right = j.data() + std::size_t(d + 2) * m.sens_nblocks;
        double largest = 0.0, worst = 0.0;
        for (int b = 0; b < m.sens_nblocks; ++b)
            largest = std::max(largest, double(std::fabs(left[b])));
        ASSERT_GT(largest, 0.0);
        for (int b = 0; b < m.sens_nblocks; ++b) {
            const int mirror = (b / cols) * cols + (cols - 1 - b % cols);
            worst = std::max(worst, std::fabs(double(right[mirror]) - left[b]) / largest);
        }
        EXPECT_LT(worst, 1e-4) << "datum " << d;
    }
}

} // namespace
