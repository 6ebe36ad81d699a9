// The finite-element solvers against analytic potentials, against each other and against the
// finite-difference drivers; boreholes, topography and remote electrodes.
#include "fe_fixture.h"

#include "fdsolve/fdsolve.h"
#include "fesolve/fesolve.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "support/layered_earth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace fe_test {
namespace {

using model::SolverStatus;
using test_support::two_layer_potential;

class Solvers : public Records {};

using Expected = std::function<double(int, int)>;
using Run = model::SolverResult (BlockModel::*)();

struct Solver {
    const char* name;
    Run run;
};
const Solver band_and_sparse[] = {{"band", &BlockModel::run_band},
                                  {"sparse", &BlockModel::run_sparse}};
const Solver every_solver[] = {{"band", &BlockModel::run_band},
                               {"sparse", &BlockModel::run_sparse},
                               {"quadrilateral", &BlockModel::run_q4},
                               {"block", &BlockModel::run_block}};

// Worst |pot / expected - 1| over the pairs (a, b), a < b, with d0 <= b - a <= d1 among
// electrodes first..last; the table must be symmetric.
double worst(const BlockModel& model, int first, int last, int d0, int d1, const Expected& f) {
    double w = 0.0;
    for (int a = first; a <= last; ++a)
        for (int b = a + d0; b <= std::min(last, a + d1); ++b) {
            w = std::max(w, std::fabs(model.pot(a, b) / f(a, b) - 1.0));
            EXPECT_EQ(model.pot(a, b), model.pot(b, a));
        }
    return w;
}

std::vector<double> table_copy(const double* table) {
    return std::vector<double>(table, table + std::size_t(Proglim.max_electrodes) *
                                                  Proglim.max_electrodes);
}

// Worst relative difference of two pair tables over the pairs of n electrodes.
double difference(const std::vector<double>& a, const double* b, int n) {
    double w = 0.0;
    const int lead = Proglim.max_electrodes;
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j)
            w = std::max(w, std::fabs(a[index2d(i, j, lead)] / b[index2d(i, j, lead)] - 1.0));
    return w;
}

// Surface source at xs, receiver at xr, vertical contact at xc (rho1 left, rho2 right).
double contact(double rho1, double rho2, double xc, double xs, double xr) {
    const bool source_left = xs < xc;
    const double rs = source_left ? rho1 : rho2, ro = source_left ? rho2 : rho1;
    const double k = (ro - rs) / (ro + rs);
    const double r = std::fabs(xr - xs);
    if ((xr < xc) == source_left)
        return rs / (2 * pi) * (1 / r + k / std::fabs(xr - (2 * xc - xs)));
    return rs * (1 + k) / (2 * pi * r);
}

// Potential at (xb, zb) of a unit current at (xa, za) in a half-space (the image above).
double buried(double rho, double xa, double za, double xb, double zb) {
    const double dx = xb - xa;
    return rho / (4 * pi) * (1 / std::hypot(dx, zb - za) + 1 / std::hypot(dx, zb + za));
}

// Measured worst errors on the 25-electrode mesh, rounded up: the mesh's, the transform's
// low-wavenumber tail carrying the potential below the first wavenumber (a rectangle there
// would fall short by about 0.13 % a unit spacing of pair distance, 0.64 % with the 0.01 of
// the quadrilateral solver).
TEST_F(Solvers, HalfSpaceMatchesThePointSourcePotential) {
    const double rho = 10.0;
    const int n = 25;
    Expected exact = [&](int a, int b) { return rho / (2 * pi * std::abs(b - a)); };
    Expected strike = [&](int a, int b) {
        const double d = std::abs(b - a);
        return rho / (2 * pi) * (1 / d - 1 / std::hypot(d, 1.0));
    };
    BlockModel model(n, rho);
    for (int i = 0; i < 161 * 161; ++i)
        Modelsettings.potential_table_a[i] = Modelsettings.potential_table_b[i] = -7.0;
    std::vector<double> first_a, first_b;
    for (const Solver& s : band_and_sparse) {
        ASSERT_EQ((model.*s.run)().status, SolverStatus::ok) << s.name;
        EXPECT_LT(worst(model, 1, n, 1, n / 3, exact), 0.008) << s.name;
        EXPECT_LT(worst(model, 1, n, 1, n - 1, exact), 0.008) << s.name;
        double w = 0.0;
        for (int a = 1; a <= n; ++a) {
            EXPECT_EQ(model.pot(a, a), -7.0); // the diagonal is not written
            for (int b = a + 1; b <= std::min(n, a + n / 3); ++b)
                w = std::max(w, std::fabs(model.offset_pot(a, b) / strike(a, b) - 1.0));
        }
        EXPECT_LT(w, 0.028) << s.name;
        if (first_a.empty()) {
            first_a = table_copy(Modelsettings.potential_table_a);
            first_b = table_copy(Modelsettings.potential_table_b);
        }
    }
    // Band and sparse storage solve the same equations: they differ by the precision of the
    // boundary ratio only.
    EXPECT_LT(difference(first_a, Modelsettings.potential_table_a, n), 1e-7);
    EXPECT_LT(difference(first_b, Modelsettings.potential_table_b, n), 1e-6);

    ASSERT_EQ(model.run_q4().status, SolverStatus::ok);
    EXPECT_LT(worst(model, 1, n, 1, 3, exact), 0.014);
    EXPECT_LT(worst(model, 1, n, 1, n / 3, exact), 0.014);
}

TEST_F(Solvers, LongLineKeepsItsAccuracyFarOut) {
    // 97 electrodes: pairs up to 32 units apart, where the first wavenumber's k r reaches 0.06.
    const double rho = 10.0;
    const int n = 97;
    BlockModel model(n, rho, 26);
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    Expected exact = [&](int a, int b) { return rho / (2 * pi * std::abs(b - a)); };
    EXPECT_LT(worst(model, 1, n, 1, n / 3, exact), 0.008);
}

TEST_F(Solvers, FiniteElementsAgreeWithFiniteDifferences) {
    const double rho = 10.0;
    const int n = 25;
    BlockModel model(n, rho);
    model.set_resistivity(100.0,
                          [](double x, double z) { return x > 8 && x < 13 && z > 1 && z < 3; });
    ASSERT_EQ(model.run_band().status, SolverStatus::ok);
    const std::vector<double> fe = table_copy(Modelsettings.potential_table_a);
    ModelSettings& s = Modelsettings;
    std::vector<float> sigma(std::size_t(model.nx - 1) * (model.nz - 1));
    for (std::size_t c = 0; c < sigma.size(); ++c)
        sigma[c] = s.driver_cells_2x[2 * c];
    const int lead = Proglim.max_electrodes;
    std::vector<double> fd_a(std::size_t(lead) * lead), fd_b(fd_a.size()), remote(2 * lead + 1);
    fd::Inputs in =
        fd::make_inputs(s, Proglim, sigma.data(), fd_a.data(), fd_b.data(), remote.data());
    in.margin_columns = model.m;
    in.nodes_per_spacing = model.p;
    in.nelec = n;
    in.nx = model.nx;
    in.nz = model.nz;
    in.remote_electrodes = 0;
    in.electrode_offset_ratio = 1.0f;
    in.nky = 12;
    ASSERT_EQ(calaresforward_dbl(in).status, SolverStatus::ok);
    double w = 0.0;
    for (int a = 1; a <= n; ++a)
        for (int b = a + 1; b <= std::min(n, a + n / 3); ++b)
            w = std::max(w, std::fabs(fe[index2d(a, b, lead)] / fd_a[index2d(a, b, lead)] - 1));
    // Both go through the same transform; what is left is the two discretisations.
    EXPECT_LT(w, 0.0015);
}

TEST_F(Solvers, TwoLayerEarthAndVerticalContact) {
    const int n = 25;
    for (auto rho : {std::pair<double, double>{10, 100}, {100, 10}}) {
        BlockModel layered(n, rho.first);
        layered.set_resistivity(rho.second, [](double, double z) { return z > 1.0; });
        Expected layers = [&](int a, int b) {
            return two_layer_potential(rho.first, rho.second, 1.0, b - a);
        };
        for (const Solver& s : band_and_sparse) {
            ASSERT_EQ((layered.*s.run)().status, SolverStatus::ok) << s.name;
            EXPECT_LT(worst(layered, 1, n, 1, n / 3, layers), 0.016) << s.name << rho.first;
        }
        // The contact half way between electrodes 13 and 14.
        BlockModel faulted(n, rho.first);
        faulted.set_resistivity(rho.second, [](double x, double) { return x > 12.5; });
        Expected sides = [&](int a, int b) {
            return contact(rho.first, rho.second, 12.5, a - 1, b - 1);
        };
        for (const Solver& s : band_and_sparse) {
            ASSERT_EQ((faulted.*s.run)().status, SolverStatus::ok) << s.name;
            EXPECT_LT(worst(faulted, 1, n, 1, n / 3, sides), 0.01) << s.name << rho.first;
        }
    }
}

TEST_F(Solvers, RemoteElectrodes) {
    const double rho = 10.0;
    const int n = 25;
    BlockModel model(n, rho);
    ModelSettings& s = Modelsettings;
    for (int i = 0; i < 2 * n + 1; ++i)
        Potentialtables.fe_vector_a[i] = -7.0;
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    EXPECT_EQ(model.remote(1), -7.0); // no remote electrodes: the table is not touched
    s.remote_electrodes = 1;
    // C2 left of the line and 2 units off it, P2 beyond the right end between two columns.
    s.c2_remote_x = -3.6f;
    s.c2_remote_y = 2.0f;
    s.p2_remote_x = 27.1f;
    s.p2_remote_y = 0.0f;
    double mutual[2] = {};
    for (const Solver& solver : band_and_sparse) {
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok) << solver.name;
        EXPECT_EQ(s.fe_remote_a, 2);
        EXPECT_EQ(s.fe_remote_b, 2);
        double w = 0.0;
        for (int e = 1; e <= n; ++e) {
            const double c2 = rho / (2 * pi * std::hypot(e - 1 + 3.6, 2.0));
            const double p2 = rho / (2 * pi * (27.1 - (e - 1)));
            w = std::max(
                {w, std::fabs(model.remote(e) / c2 - 1), std::fabs(model.remote(n + e) / p2 - 1)});
        }
        EXPECT_LT(w, 0.014) << solver.name;
        EXPECT_NEAR(model.remote(2 * n + 1) / (rho / (2 * pi * std::hypot(30.7, 2.0))), 1.0, 0.008)
            << solver.name;
        mutual[&solver - band_and_sparse] = model.remote(2 * n + 1);
    }
    // Reciprocity: C2 and P2 exchanged give the same potential between them.
    std::swap(s.c2_remote_x, s.p2_remote_x);
    std::swap(s.c2_remote_y, s.p2_remote_y);
    for (const Solver& solver : band_and_sparse) {
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok) << solver.name;
        EXPECT_NEAR(model.remote(2 * n + 1) / mutual[&solver - band_and_sparse], 1.0, 1e-10);
    }
    // A remote electrode too near the mesh edge has no node: its places hold 0.
    s.p2_remote_x = 1.0e6f;
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    EXPECT_EQ(s.fe_remote_b, 0);
    EXPECT_GT(model.remote(1), 0.0);
    EXPECT_EQ(model.remote(n + 1), 0.0);
    EXPECT_EQ(model.remote(2 * n + 1), 0.0);
}

TEST_F(Solvers, RemoteElectrodesSeeEachBoreholeElectrodeWhereItIs) {
    const double rho = 10.0;
    BlockModel model(25, rho, 24);
    model.add_borehole(6.0f, {1.0f, 2.137f, 4.0f}); // a single borehole
    ModelSettings& s = Modelsettings;
    s.remote_electrodes = 1;
    s.c2_remote_x = -3.6f;
    s.c2_remote_y = 2.0f;
    s.p2_remote_x = 27.1f;
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    const int n = s.nelec_total;
    for (int e = 26; e <= n; ++e) {
        const double c2 =
            rho / (2 * pi * std::sqrt(std::pow(6.0 + 3.6, 2) + 4.0 + std::pow(model.z(e), 2)));
        const double p2 = rho / (2 * pi * std::hypot(27.1 - 6.0, model.z(e)));
        EXPECT_NEAR(model.remote(e) / c2, 1.0, 0.007) << e;
        EXPECT_NEAR(model.remote(n + e) / p2, 1.0, 0.008) << e;
    }
}

TEST_F(Solvers, TopographySolvesAlikeInBothStorages) {
    std::vector<float> elevation(25);
    for (int i = 0; i < 25; ++i)
        elevation[i] = 0.1f * float(i) - 0.02f * float((i - 12) * (i - 12)) / 12;
    BlockModel model(25, 10.0, 20, elevation);
    ASSERT_EQ(model.run_band().status, SolverStatus::ok);
    const std::vector<double> band = table_copy(Modelsettings.potential_table_a);
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    EXPECT_LT(difference(band, Modelsettings.potential_table_a, 25), 1e-7);
    // Along the sloping surface the potential follows the distance along it.
    double w = 0.0;
    for (int a = 5; a <= 20; ++a)
        for (int b = a + 1; b <= std::min(20, a + 8); ++b) {
            const double r = std::hypot(b - a, elevation[b - 1] - elevation[a - 1]);
            w = std::max(w, std::fabs(model.pot(a, b) / (10.0 / (2 * pi * r)) - 1));
        }
    EXPECT_LT(w, 0.017);
}

// Borehole electrodes of up to three boreholes (x, depths); depths on node rows where `on_rows`.
struct Boreholes {
    float x;
    std::vector<float> depths;
};
std::vector<Boreholes> three_boreholes(bool on_rows) {
    if (on_rows) // rows 5, 7, 9 (the quadrilateral solver's every second row) and 6, 8
        return {{6.0f, {float(row_depth(5)), float(row_depth(7)), float(row_depth(9))}},
                {12.0f, {float(row_depth(6)), float(row_depth(8))}},
                {18.0f, {float(row_depth(5)), float(row_depth(7)), float(row_depth(9))}}};
    return {{6.0f, {1.0f, 1.6f, 2.137f}}, {12.3f, {1.0f, 2.137f}}, {18.0f, {1.35f, 2.137f, 4.0f}}};
}

// Worst error of the pairs with a borehole electrode against the buried point source, over
// pairs at least `near` apart and closer ones.
std::pair<double, double> borehole_errors(const BlockModel& model, double rho, double near) {
    std::pair<double, double> w{0.0, 0.0};
    const int n = Modelsettings.nelec_total;
    for (int a = 1; a <= n; ++a)
        for (int b = std::max(a + 1, model.nelec + 1); b <= n; ++b) {
            const double e = buried(rho, model.x(a), model.z(a), model.x(b), model.z(b));
            const double err = std::fabs(model.pot(a, b) / e - 1);
            EXPECT_EQ(model.pot(a, b), model.pot(b, a));
            double& slot = std::hypot(model.x(b) - model.x(a), model.z(b) - model.z(a)) >= near
                               ? w.first
                               : w.second;
            slot = std::max(slot, err);
        }
    return w;
}

// The sparse solver moves the nearest node onto each borehole electrode. Electrodes closer than
// one unit see the coarse cells around them (0.25 wide, 0.35 to 0.45 deep).
TEST_F(Solvers, BoreholesOfOneTwoAndThreeHoles) {
    const double rho = 10.0;
    for (int holes = 1; holes <= 3; ++holes) {
        BlockModel model(25, rho, 24);
        const auto list = three_boreholes(false);
        for (int b = 0; b < holes; ++b)
            model.add_borehole(list[b].x, list[b].depths);
        ASSERT_EQ(model.run_sparse().status, SolverStatus::ok) << holes;
        const auto [far, near] = borehole_errors(model, rho, 1.0);
        EXPECT_LT(far, 0.012) << holes;
        EXPECT_LT(near, 0.07) << holes;
        // The moved node now lies on the electrode (1.6 is no node depth).
        const ElectrodeNode& e = Modelsettings.electrode_table[25 + 1];
        EXPECT_EQ(e.count, 1);
        EXPECT_FLOAT_EQ(Modelsettings.node_z[e.node[0] - 1], 1.6f);
        EXPECT_FLOAT_EQ(Modelsettings.node_x[e.node[0] - 1] - Modelsettings.node_col_x[19], 6.0f);
    }
}

TEST_F(Solvers, BoreholeElectrodesSpreadOverTheirCell) {
    const double rho = 10.0;
    BlockModel model(25, rho, 24);
    Modelsettings.shift_nodes = 0;
    model.add_borehole(6.0f, {1.0f, 1.6f}); // on a node; on a column between two rows
    model.add_borehole(12.3f, {2.137f});    // off the columns and the rows
    const std::vector<float> node_z(Modelsettings.node_z,
                                    Modelsettings.node_z + model.nx * model.nz);
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    EXPECT_TRUE(std::equal(node_z.begin(), node_z.end(), Modelsettings.node_z)); // no node moved
    const ElectrodeNode* t = Modelsettings.electrode_table + 25;
    const int column6 = model.m + 24, column12 = model.m + 49; // 1-based node columns
    EXPECT_EQ(t[0].count, 1);
    EXPECT_EQ(t[0].node[0], (column6 - 1) * model.nz + 5);
    EXPECT_EQ(t[1].count, 2); // rows 7 (1.735) and 6 (1.35), linear in depth
    EXPECT_EQ(t[1].node[0], (column6 - 1) * model.nz + 7);
    EXPECT_EQ(t[1].node[1], (column6 - 1) * model.nz + 6);
    EXPECT_NEAR(t[1].weight[0], (1.6 - 1.35) / (1.735 - 1.35), 1e-5);
    EXPECT_NEAR(t[1].weight[0] + t[1].weight[1], 1.0, 1e-6);
    EXPECT_EQ(t[2].count, 4); // column 12.25 and its right neighbour, row 8 and the row above
    const int expected[4] = {(column12 - 1) * model.nz + 8, column12 * model.nz + 8,
                             column12 * model.nz + 7, (column12 - 1) * model.nz + 7};
    double sum = 0.0;
    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(t[2].node[q], expected[q]) << q;
        sum += t[2].weight[q];
    }
    EXPECT_NEAR(sum, 1.0, 1e-6);
    // The linear weights put the electrode at its depth: the surface potentials of electrode 27
    // match the buried source as well as those of the node electrode 26.
    double w26 = 0.0, w27 = 0.0;
    for (int a = 1; a <= 25; ++a) {
        w26 = std::max(w26, std::fabs(model.pot(a, 26) / buried(rho, a - 1, 0, 6.0, 1.0) - 1));
        w27 = std::max(w27, std::fabs(model.pot(a, 27) / buried(rho, a - 1, 0, 6.0, 1.6) - 1));
    }
    EXPECT_LT(w26, 0.008);
    EXPECT_LT(w27, 0.013);
}

TEST_F(Solvers, ReciprocityOfBoreholeElectrodes) {
    // The same electrodes listed in the opposite order: every pair is solved from its other end.
    const auto list = three_boreholes(false);
    std::vector<float> x, z;
    for (const Boreholes& b : list)
        for (float depth : b.depths)
            x.push_back(b.x), z.push_back(depth);
    const int k = int(x.size()), n = 25 + k;
    BlockModel model(25, 10.0, 24);
    model.set_resistivity(100.0,
                          [](double xc, double zc) { return xc > 8 && xc < 15 && zc > 1.2; });
    for (int e = 0; e < k; ++e)
        model.add_borehole(x[e], {z[e]});
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    const std::vector<double> forward = table_copy(Modelsettings.potential_table_a);
    BlockModel reversed(25, 10.0, 24);
    reversed.set_resistivity(100.0,
                             [](double xc, double zc) { return xc > 8 && xc < 15 && zc > 1.2; });
    for (int e = k - 1; e >= 0; --e)
        reversed.add_borehole(x[e], {z[e]});
    ASSERT_EQ(reversed.run_sparse().status, SolverStatus::ok);
    const int lead = Proglim.max_electrodes;
    auto mapped = [&](int e) { return e <= 25 ? e : n + 26 - e; };
    for (int a = 1; a <= n; ++a)
        for (int b = a + 1; b <= n; ++b)
            EXPECT_NEAR(reversed.pot(mapped(a), mapped(b)) / forward[index2d(a, b, lead)], 1.0,
                        1e-10)
                << a << " " << b;
}

TEST_F(Solvers, BoreholesInTheBandAndQuadrilateralSolvers) {
    // Electrodes on node rows, every second one in three boreholes and rows 3, 6 and 9 in a
    // fourth: the band and quadrilateral solvers place them by depth and agree with the sparse
    // solver on the same nodes.
    BlockModel model(25, 10.0, 24);
    for (const Boreholes& b : three_boreholes(true))
        model.add_borehole(b.x, b.depths);
    model.add_borehole(9.0f, {float(row_depth(3)), float(row_depth(6)), float(row_depth(9))});
    const int n = Modelsettings.nelec_total;
    ASSERT_EQ(n, 36);
    ASSERT_EQ(model.run_sparse().status, SolverStatus::ok);
    const std::vector<double> sparse = table_copy(Modelsettings.potential_table_a);
    ASSERT_EQ(model.run_band().status, SolverStatus::ok);
    EXPECT_LT(difference(sparse, Modelsettings.potential_table_a, n), 1e-7);
    // The quadrilateral solver, pairs a unit apart and more, and closer ones: its bilinear
    // cells read 2.9 % below the sparse solver's through the rows of 0.4 m, and 7.8 % for a
    // borehole electrode 0.5 below a surface one. Their potentials hardly fall at the largest
    // wavenumbers for electrodes less than a unit apart; with those samples the closer pairs
    // read 9.9 % off, and on every second row from the first the fourth borehole's 69 %.
    ASSERT_EQ(model.run_q4().status, SolverStatus::ok);
    double w[2] = {0.0, 0.0};
    for (int a = 1; a <= n; ++a)
        for (int b = std::max(a + 1, 26); b <= n; ++b) {
            const double r = std::hypot(model.x(b) - model.x(a), model.z(b) - model.z(a));
            const double e = model.pot(a, b) / sparse[index2d(a, b, Proglim.max_electrodes)];
            w[r < 1.0] = std::max(w[r < 1.0], std::fabs(e - 1.0));
        }
    EXPECT_LT(w[0], 0.03);
    EXPECT_LT(w[1], 0.08);
}

TEST_F(Solvers, BandAndBlockSolversTakeTheNearestRowForADepthOffTheRows) {
    Printtrace.active = 1;
    const std::string line = "matches no node row of column 44: nearest row 6";
    const Solver solvers[] = {{"band", &BlockModel::run_band}, {"block", &BlockModel::run_block}};
    for (int s = 0; s < 2; ++s) {
        BlockModel on_row(25, 10.0, 24);
        on_row.add_borehole(6.0f, {float(row_depth(6)), float(row_depth(8))});
        ASSERT_EQ((on_row.*solvers[s].run)().status, SolverStatus::ok);
        const std::vector<double> expected = table_copy(Modelsettings.potential_table_a);
        BlockModel off_row(25, 10.0, 24);
        off_row.add_borehole(6.0f, {float(row_depth(6)) + 0.05f, float(row_depth(8))});
        ASSERT_EQ((off_row.*solvers[s].run)().status, SolverStatus::ok);
        EXPECT_LT(difference(expected, Modelsettings.potential_table_a, 27), 1e-12);
        std::vector<char> bytes;
        ASSERT_TRUE(sys::read_whole_file(file("kwoptrace.txt"), bytes));
        const std::string trace(bytes.begin(), bytes.end());
        std::size_t count = 0;
        for (std::size_t at = trace.find(line); at != std::string::npos;
             at = trace.find(line, at + 1))
            ++count;
        EXPECT_EQ(count, std::size_t(s + 1)) << solvers[s].name;
    }
}

// The block-partitioned solver splits each cell along one diagonal only, in single precision:
// measured against the band solver at most 0.11 %, against the analytic potentials 0.7 %
// (half-space, 10 over 100) and 1.4 % (100 over 10, as the band solver's 1.5 %).
TEST_F(Solvers, BlockSolverAgreesWithTheBandSolverAndTheAnalyticPotentials) {
    const int n = 25;
    struct Case {
        double top, bottom;
    };
    for (Case c : {Case{10, 10}, Case{10, 100}, Case{100, 10}}) {
        SCOPED_TRACE(testing::Message() << c.top << " over " << c.bottom);
        BlockModel model(n, c.top);
        model.set_resistivity(c.bottom, [](double, double z) { return z > 1.0; });
        Expected exact = [&](int a, int b) {
            return two_layer_potential(c.top, c.bottom, 1.0, b - a);
        };
        ASSERT_EQ(model.run_band().status, SolverStatus::ok);
        const std::vector<double> band = table_copy(Modelsettings.potential_table_a);
        ASSERT_EQ(model.run_block().status, SolverStatus::ok);
        EXPECT_LT(difference(band, Modelsettings.potential_table_a, n), 0.002);
        EXPECT_LT(worst(model, 1, n, 1, n / 3, exact), 0.016);
    }
}

TEST_F(Solvers, BlockSolverWavenumbersAndFailures) {
    float k[12];
    block_wavenumbers(0.002f, 8.0f, 2, k);
    EXPECT_EQ(k[0], 0.002f);
    EXPECT_EQ(k[1], 8.0f);
    block_wavenumbers(0.002f, 8.0f, 12, k);
    EXPECT_EQ(k[11], 8.0f);
    for (int i = 1; i < 11; ++i)
        EXPECT_NEAR(std::log(k[i] / k[i - 1]), std::log(4000.0) / 11, 1e-5) << i;

    BlockModel model(9, 10.0);
    fe::Inputs in = model.inputs();
    std::vector<float> cells(in.cells, in.cells + 2 * std::size_t(in.nx - 1) * (in.nz - 1));
    for (float& v : cells)
        v = -v;
    in.cells = cells.data();
    const model::SolverResult r = calc_potentials_fem_wavenumbers(in);
    EXPECT_EQ(r.status, SolverStatus::pivot);
    ASSERT_FALSE(backend.boxes.empty());
    EXPECT_EQ(backend.boxes.back().text.rfind("Error at node " + std::to_string(r.row) +
                                                  " wave number 1.\nThere has been an error",
                                              0),
              0u);
}

// The wavenumbers on a pool of threads (the fixture goes back to the machine's count).
class Threads : public Records {
  protected:
    // The tables of a run: the pair tables over n electrodes and the remote values.
    static std::vector<double> tables(int n) {
        std::vector<double> t;
        const ModelSettings& s = Modelsettings;
        for (int a = 1; a <= n; ++a)
            for (int b = 1; b <= n; ++b) {
                t.push_back(s.potential_table_a[index2d(a, b, Proglim.max_electrodes)]);
                t.push_back(s.potential_table_b[index2d(a, b, Proglim.max_electrodes)]);
            }
        t.insert(t.end(), Potentialtables.fe_vector_a, Potentialtables.fe_vector_a + 2 * n + 1);
        return t;
    }
};

// A backend that types 'q' at the given call of its event source.
class BreakingBackend final : public test_support::RecordingBackend {
  public:
    explicit BreakingBackend(int at) : at_(at) {}
    bool next_event(ui::Event& event) override {
        if (++calls_ != at_) return false;
        event = ui::Event{};
        event.kind = ui::EventKind::key;
        event.id = 'q';
        return true;
    }

  private:
    int at_, calls_ = 0;
};

// Eight threads give the tables of one thread bit for bit, remote values included, on a layered
// model whose potentials differ from wavenumber to wavenumber; so does a page budget that holds
// the arrays of one worker only (the run takes fewer workers instead of failing).
TEST_F(Threads, EightThreadsGiveTheTablesOfOneThreadBitForBit) {
    const int n = 25;
    BlockModel model(n, 100.0);
    model.set_resistivity(10.0, [](double, double z) { return z > 1.0; });
    ModelSettings& s = Modelsettings;
    s.remote_electrodes = 1;
    s.c2_remote_x = -3.6f;
    s.c2_remote_y = 2.0f;
    s.p2_remote_x = 27.1f;
    for (const Solver& solver : every_solver) {
        sys::set_pool_threads(1);
        sys::reset_page_peak();
        const long long before = sys::page_bytes_in_use();
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok) << solver.name;
        const long long one_worker = sys::page_bytes_peak() - before;
        const std::vector<double> one = tables(n);
        sys::set_pool_threads(8);
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok) << solver.name;
        EXPECT_EQ(tables(n), one) << solver.name;
        sys::set_page_budget(before + one_worker);
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok) << solver.name;
        sys::set_page_budget(-1);
        EXPECT_EQ(tables(n), one) << solver.name;
    }
    EXPECT_TRUE(backend.boxes.empty());
}

// Reserved work arrays cost nothing until they are written, so the workers beyond the first
// are counted against the free memory before they are taken: with room for two, an eight-thread
// run takes two and gives the tables of one thread; with room for none beyond the first, it
// runs on the first alone.
TEST_F(Threads, WorkersAreCountedAgainstTheFreeMemory) {
    const int n = 25;
    BlockModel model(n, 100.0);
    model.set_resistivity(10.0, [](double, double z) { return z > 1.0; });
    sys::set_pool_threads(1);
    for (const Solver& solver : every_solver) {
        SCOPED_TRACE(solver.name);
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok);
        const std::vector<double> one = tables(n);
        const long long before = sys::page_bytes_in_use();
        // The peak page memory above `before` of a run on eight threads with `free` bytes free.
        auto peak_with = [&](long long free) {
            sys::set_pool_threads(8);
            sys::set_free_memory_override(free);
            sys::reset_page_peak();
            EXPECT_EQ((model.*solver.run)().status, SolverStatus::ok);
            sys::set_free_memory_override(-1);
            sys::set_pool_threads(1);
            EXPECT_EQ(tables(n), one);
            return sys::page_bytes_peak() - before;
        };
        const long long first = peak_with(0), worker = (peak_with(-1) - first) / 7;
        ASSERT_GT(worker, 0);
        // The block solver's wavenumbers take a little memory of their own while they run.
        EXPECT_NEAR(peak_with(2 * worker + worker / 2) - first, worker, worker / 2);
        EXPECT_EQ(peak_with(worker + worker / 2), first);
    }
    EXPECT_TRUE(backend.boxes.empty());
}

// A break at the first check of a parallel run (20 ms in, the workers inside their first
// wavenumbers) stops it: the run returns the user's break and the tables stay as they were.
TEST_F(Threads, UserBreakStopsAParallelRun) {
    sys::set_pool_threads(8);
    const int n = 161;
    BlockModel model(n, 100.0);
    const std::vector<double> untouched = tables(n);
    for (const Solver& solver : every_solver) {
        BreakingBackend breaking(1);
        ui::install_backend(&breaking);
        const model::SolverResult r = (model.*solver.run)();
        ui::install_backend(&backend);
        EXPECT_EQ(r.status, SolverStatus::user_abort) << solver.name;
        EXPECT_EQ(tables(n), untouched) << solver.name;
        EXPECT_TRUE(breaking.boxes.empty()) << solver.name;
    }
}

// On one thread the break keys are looked at inside a wavenumber too (between its phases and
// its blocks of sources): a break at any of the first checks of the run stops it with the
// tables as they were.
TEST_F(Threads, UserBreakStopsARunOnOneThread) {
    sys::set_pool_threads(1);
    const int n = 97;
    BlockModel model(n, 100.0);
    const std::vector<double> untouched = tables(n);
    for (const Solver& solver : every_solver)
        for (int at = 1; at <= 6; ++at) {
            BreakingBackend breaking(at);
            ui::install_backend(&breaking);
            const model::SolverResult r = (model.*solver.run)();
            ui::install_backend(&backend);
            EXPECT_EQ(r.status, SolverStatus::user_abort) << solver.name << " at " << at;
            EXPECT_EQ(tables(n), untouched) << solver.name << " at " << at;
        }
}

} // namespace
} // namespace fe_test
