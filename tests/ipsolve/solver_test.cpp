// The complex band solvers on the finite-element test mesh: a homogeneous half-space with a
// complex resistivity rho (1 + i m), whose potentials are rho (1 + i m) / (2 pi r) everywhere,
// with surface and borehole electrodes, and the failures.
#include "ipsolve/ipsolve.h"

#include "../fesolve/fe_fixture.h"
#include "fesolve/solver_common.h"
#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using fe_test::BlockModel;
using fe_test::pi;

class ComplexSolver : public fe_test::Records {
  protected:
    // Cells of complex resistivity rho (1 + i m); electrode x from the model's electrodes.
    ip::Inputs inputs(const BlockModel& model, double rho, double m) {
        ModelSettings& s = Modelsettings;
        const std::size_t cells = std::size_t(model.nx - 1) * (model.nz - 1);
        re_.assign(cells, float(1 / (rho * (1 + m * m))));
        im_.assign(cells, float(-m / (rho * (1 + m * m))));
        for (int e = 0; e < s.nelec_total; ++e)
            s.driver_elec_2[e] = float(model.x(e + 1));
        ip::Inputs in = ip::make_inputs(s, Proglim);
        in.sigma_re = re_.data();
        in.sigma_im = im_.data();
        return in;
    }
    ip::Outputs outputs() {
        ModelSettings& s = Modelsettings;
        Potentials& p = Potentialtables;
        return {s.potential_table_a,    s.potential_table_a_ip, s.potential_table_b,
                s.potential_table_b_ip, p.ip_vector_a,          p.ip_vector_b,
                p.ip_vector_c};
    }
    static double t_re(int i, int j) { return Modelsettings.potential_table_a[at(i, j)]; }
    static double t_im(int i, int j) { return Modelsettings.potential_table_a_ip[at(i, j)]; }
    static double s_im(int i, int j) { return Modelsettings.potential_table_b_ip[at(i, j)]; }
    static int at(int i, int j) { return index2d(i, j, Proglim.max_electrodes); }
    std::vector<float> re_, im_;
};

TEST_F(ComplexSolver, HomogeneousPairsCarryTheChargeabilityAsTheirPhase) {
    BlockModel model(12);
    for (int precision = 0; precision < 2; ++precision) {
        SCOPED_TRACE(precision == 0 ? "double" : "single");
        for (double m : {0.0, 0.1}) {
            SCOPED_TRACE(testing::Message() << "m " << m);
            const ip::Inputs in = inputs(model, 10.0, m);
            const model::SolverResult result =
                precision == 0 ? calresfemsipd(in, outputs()) : calresfem_cmplx_flt(in, outputs());
            ASSERT_TRUE(result.ok());
            for (int i = 1; i < 12; ++i)
                for (int j = i + 1; j <= 12; ++j) {
                    if (m == 0.0) {
                        ASSERT_EQ(t_im(i, j), 0.0) << i << " " << j;
                        if (precision == 0) {
                            ASSERT_EQ(s_im(i, j), 0.0) << i << " " << j;
                        }
                        continue;
                    }
                    EXPECT_NEAR(t_im(i, j) / t_re(i, j), m, 1e-5) << i << " " << j;
                    EXPECT_EQ(t_re(i, j), t_re(j, i));
                }
            // Wenner alpha a = 1, 2, 3 and dipole-dipole a = 1, n = 1..3 against rho.
            auto dv = [](int c1, int c2, int p1, int p2) {
                return (t_re(c1, p1) - t_re(c2, p1)) - (t_re(c1, p2) - t_re(c2, p2));
            };
            for (int a = 1; a <= 3; ++a)
                EXPECT_NEAR(2 * pi * a * dv(1, 1 + 3 * a, 1 + a, 1 + 2 * a), 10.0, 0.3) << a;
            for (int n = 1; n <= 3; ++n)
                EXPECT_NEAR(pi * n * (n + 1) * (n + 2) * dv(2, 1, 2 + n, 3 + n), 10.0, 0.3) << n;
        }
    }
}

TEST_F(ComplexSolver, BoreholeElectrodesOfOneOrThreeBoreholes) {
    for (int holes : {1, 3}) {
        SCOPED_TRACE(testing::Message() << holes << " boreholes");
        BlockModel model(10);
        const float xs[] = {2.0f, 5.0f, 7.0f};
        for (int b = 0; b < holes; ++b)
            model.add_borehole(xs[b], {1.0f, 1.735f}); // on node rows
        Modelsettings.nborehole_nodes = 2 * holes;
        const ip::Inputs in = inputs(model, 10.0, 0.05);
        ASSERT_EQ(in.nelec_total, 10 + 2 * holes);
        ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
        // Surface electrode 1 to each borehole electrode: the half-space with its image,
        // rho / (2 pi r) at the surface.
        for (int e = 11; e <= in.nelec_total; ++e) {
            const double r = std::hypot(model.x(e), model.z(e));
            EXPECT_NEAR(t_re(1, e), 10.0 / (2 * pi * r), 0.05 * 10.0 / (2 * pi * r)) << e;
            EXPECT_NEAR(t_im(1, e) / t_re(1, e), 0.05, 1e-5) << e;
        }
    }
}

TEST_F(ComplexSolver, FailuresAreReportedAndWriteNothing) {
    BlockModel model(8);
    ip::Inputs in = inputs(model, 10.0, 0.1);
    Modelsettings.potential_table_a[at(1, 2)] = 7.0;
    // A cell of conductivity that is not a number: the first pivot fails.
    re_[0] = NAN;
    const model::SolverResult pivot = calresfem_cmplx_flt(in, outputs());
    EXPECT_EQ(pivot.status, model::SolverStatus::pivot);
    EXPECT_GT(pivot.row, 0);
    ASSERT_FALSE(backend.boxes.empty());
    EXPECT_EQ(backend.boxes.back().text.rfind("Error at node", 0), 0u);
    re_[0] = re_[1];
    sys::set_page_budget(sys::page_bytes_in_use());
    EXPECT_EQ(calresfemsipd(in, outputs()).status, model::SolverStatus::no_memory);
    sys::set_page_budget(-1);
    EXPECT_EQ(backend.boxes.back().text, "Insufficient memory for finite-element subroutine!.");
    EXPECT_EQ(t_re(1, 2), 7.0);
}

} // namespace

namespace {

// Side columns take the code of the edge model column of their own row; the value grids hold
// the listed values of the codes.
TEST(CellValues, SideColumnsRepeatTheirRowsEdgeBlocks) {
    // 5 columns by 2 rows, model columns 2..4.
    std::int32_t tau_codes[] = {9, 0, 1, 0, 9, 9, 1, 0, 1, 9};
    std::int32_t cexp_codes[] = {9, 1, 1, 0, 9, 9, 0, 0, 1, 9};
    const float taus[] = {0.01f, 0.1f}, cexps[] = {0.25f, 0.5f};
    float tau[10], cexp[10];
    set_fem_cell_values(5, 2, taus, tau_codes, tau, 2, 4, cexp_codes, cexp, cexps);
    const std::int32_t tau_expected[] = {0, 0, 1, 0, 0, 1, 1, 0, 1, 1};
    const std::int32_t cexp_expected[] = {1, 1, 1, 0, 0, 0, 0, 0, 1, 1};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(tau_codes[k], tau_expected[k]) << k;
        EXPECT_EQ(cexp_codes[k], cexp_expected[k]) << k;
        EXPECT_EQ(tau[k], taus[tau_expected[k]]) << k;
        EXPECT_EQ(cexp[k], cexps[cexp_expected[k]]) << k;
    }
}

} // namespace
