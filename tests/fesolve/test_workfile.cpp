// The Jacobian work files of the band solver, line electrodes, and the failure paths of the
// three solvers: memory refused at every allocation, non-positive pivots, inputs that do not fit.
#include "fe_fixture.h"

#include "fesolve/assembly.h"
#include "fesolve/element.h"
#include "fesolve/fesolve.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace fe_test {
namespace {

using model::SolverStatus;

class WorkFiles : public Records {};

std::vector<char> contents(const std::string& path) {
    std::vector<char> bytes;
    sys::read_whole_file(path, bytes);
    return bytes;
}
template <class T> T value_at(const std::vector<char>& bytes, std::size_t index) {
    T v;
    std::memcpy(&v, bytes.data() + index * sizeof(T), sizeof(T));
    return v;
}

TEST_F(WorkFiles, JacobianFilesHaveTheirSizesAndGoAtExit) {
    const int n = 13, nk = 12;
    BlockModel model(n, 5.0);
    model.set_resistivity(50.0,
                          [](double x, double z) { return x > 3 && x < 7 && z > 0.5 && z < 2; });
    ASSERT_EQ(model.run_band().status, SolverStatus::ok);
    const std::vector<double> plain(Modelsettings.potential_table_a,
                                    Modelsettings.potential_table_a + 161 * 161);
    ModelSettings& s = Modelsettings;
    s.jacob = 1;
    std::vector<float> node_x(s.node_x, s.node_x + model.nx * model.nz);
    ASSERT_EQ(model.run_band().status, SolverStatus::ok);
    // Every source solved through to row 1 gives the same pair potentials.
    for (int a = 1; a <= n; ++a)
        for (int b = a + 1; b <= n; ++b)
            EXPECT_EQ(model.pot(a, b), plain[index2d(a, b, 161)]);
    EXPECT_TRUE(std::equal(node_x.begin(), node_x.end(), s.node_x)); // the mesh is restored

    const long long nodes = (long long)model.nx * model.nz,
                    cells = (long long)(model.nx - 1) * (model.nz - 1);
    const auto k = contents(s.fourier_values_file);
    ASSERT_EQ(k.size(), std::size_t(4 + 4 * nk));
    EXPECT_EQ(value_at<std::int32_t>(k, 0), nk);
    EXPECT_FLOAT_EQ(value_at<float>(k, 1), 0.002f);
    EXPECT_FLOAT_EQ(value_at<float>(k, nk), 8.0f);
    EXPECT_EQ(sys::file_size(s.jacob_file), nk * cells * 10 * 4);
    EXPECT_EQ(sys::file_size(s.grfinite_file), nk * n * nodes * 4);
    // Two electrode positions: the first moves the cells of the interval after it, the second
    // those of the intervals on both sides; each range with one cell column more at each end,
    // x blocks then z blocks for every wavenumber.
    const int columns = (model.p + 2) + (2 * model.p + 2);
    EXPECT_EQ(sys::file_size(s.jacob_elec_positions_file),
              nk * 2 * columns * (model.nz - 1) * 10 * 4);
    EXPECT_EQ(s.jacob_elec_a[0], model.m);
    EXPECT_EQ(s.jacob_elec_a[1], model.m);
    EXPECT_EQ(s.jacob_elec_b[1], model.m + 2 * model.p - 1);

    // jacob.bin holds unit-conductivity terms: cell (1, 1) of the first wavenumber.
    const auto terms = contents(s.jacob_file);
    double expected[10];
    fe::cell_terms(1, 1, model.nz, 1.0f, double(0.002f * 0.002f), s.node_x, s.node_z, expected);
    for (int t = 0; t < 10; ++t)
        EXPECT_NEAR(value_at<float>(terms, t), expected[t], 1e-6 * std::fabs(expected[t])) << t;
    // grfinite_r.bin: the table of electrode e starts at (e - 1) nodes; reciprocity holds to
    // the precision of the floats.
    const auto potentials = contents(s.grfinite_file);
    EXPECT_EQ(s.npot_electrodes, n);
    EXPECT_EQ(s.sens_potentials_ready, 1);
    auto node = [&](int e) { return (model.m - 1 + (e - 1) * model.p) * model.nz + 1; };
    for (int a = 1; a <= n; ++a) {
        EXPECT_EQ(s.jacob_electrode[a - 1], (a - 1) * nodes);
        for (int b = a + 1; b <= n; ++b) {
            const float ab =
                value_at<float>(potentials, std::size_t((a - 1) * nodes + node(b) - 1));
            const float ba =
                value_at<float>(potentials, std::size_t((b - 1) * nodes + node(a) - 1));
            EXPECT_NEAR(ab / ba, 1.0f, 2e-6f) << a << " " << b;
        }
    }
    // Every node of every wavenumber's solution, also those of the margins before the first
    // electrode: nowhere above the source's own node in size.
    for (int i = 0; i < nk; ++i)
        for (int a = 1; a <= n; ++a) {
            const std::size_t table = std::size_t((i * n + a - 1) * nodes);
            const float source = value_at<float>(potentials, table + node(a) - 1);
            for (long long v = 0; v < nodes; ++v) {
                const float u = value_at<float>(potentials, table + std::size_t(v));
                ASSERT_TRUE(std::fabs(u) <= source)
                    << "wavenumber " << i << " electrode " << a << " node " << v + 1 << ": " << u;
            }
        }

    const std::string paths[4] = {s.fourier_values_file, s.jacob_file, s.grfinite_file,
                                  s.jacob_elec_positions_file};
    model::exit_globals();
    for (const std::string& path : paths)
        EXPECT_FALSE(sys::file_exists(path)) << path;
}

TEST_F(WorkFiles, LineElectrodesUseOneWavenumberAndNoTransform) {
    const int n = 13;
    BlockModel model(n, 10.0);
    Modelsettings.electrode_type = 1;
    Printtrace.active = 1;
    ASSERT_EQ(model.run_band().status, SolverStatus::ok);
    for (int a = 1; a <= n; ++a)
        for (int b = a + 1; b <= n; ++b) {
            EXPECT_EQ(model.pot(a, b), model.pot(b, a));
            EXPECT_EQ(model.offset_pot(a, b), model.pot(a, b));
            if (b + 1 <= n) {
                EXPECT_GT(model.pot(a, b), model.pot(a, b + 1));
            }
        }
    // The two-dimensional potential falls by rho / pi per e-fold of distance.
    const double slope = (model.pot(7, 8) - model.pot(7, 10)) / std::log(3.0);
    EXPECT_NEAR(slope, 10.0 / pi, 0.05 * 10.0 / pi);
    std::vector<char> trace;
    ASSERT_TRUE(sys::read_whole_file(file("kwoptrace.txt"), trace));
    EXPECT_NE(std::string(trace.begin(), trace.end()).find("nyk 1\n 1  0.0000000\n"),
              std::string::npos);
}

class Failures : public Records {
  protected:
    using Run = model::SolverResult (BlockModel::*)();
    struct Solver {
        const char* name;
        Run run;
    };
    static constexpr Solver solvers[3] = {{"band", &BlockModel::run_band},
                                          {"sparse", &BlockModel::run_sparse},
                                          {"quadrilateral", &BlockModel::run_q4}};
    static constexpr Solver block = {"block", &BlockModel::run_block};
};

// Every allocation of every solver refused in turn: each run either completes or stops with the
// memory message, frees everything and leaves the output tables alone.
TEST_F(Failures, MemoryRefusedAtEveryAllocation) {
    // One worker: with more, a budget short of their arrays only takes fewer.
    sys::set_pool_threads(1);
    for (const Solver& solver : {solvers[0], solvers[1], solvers[2], block}) {
        BlockModel model(9, 10.0);
        model.add_borehole(4.0f, {float(row_depth(5)), float(row_depth(7))});
        if (solver.run != &BlockModel::run_q4) Modelsettings.remote_electrodes = 1;
        Modelsettings.c2_remote_x = -3.6f;
        Modelsettings.p2_remote_x = 12.1f;
        const long long before = sys::page_bytes_in_use();
        sys::reset_page_peak();
        ASSERT_EQ((model.*solver.run)().status, SolverStatus::ok) << solver.name;
        const long long need = sys::page_bytes_peak() - before;
        const std::vector<double> kept(Modelsettings.potential_table_a,
                                       Modelsettings.potential_table_a + 161 * 161);
        for (int i = 0; i < 161 * 161; ++i)
            Modelsettings.potential_table_a[i] = -7.0;
        int refused = 0;
        for (long long budget = 0; budget < need; budget += need / 40 + 1) {
            backend.boxes.clear();
            sys::set_page_budget(before + budget);
            const model::SolverResult result = (model.*solver.run)();
            sys::set_page_budget(-1);
            EXPECT_EQ(sys::page_bytes_in_use(), before) << solver.name << budget;
            if (result.ok()) continue;
            ++refused;
            EXPECT_TRUE(result.status == SolverStatus::no_memory ||
                        result.status == SolverStatus::ordering)
                << solver.name << budget << " " << result.code();
            ASSERT_EQ(backend.boxes.size(), 1u) << solver.name << budget;
            EXPECT_NE(backend.boxes[0].line().find("Insufficient memory for finite-element"),
                      std::string::npos)
                << backend.boxes[0].line();
            EXPECT_EQ(Modelsettings.potential_table_a[index2d(1, 2, 161)], -7.0) << solver.name;
        }
        EXPECT_GT(refused, 30) << solver.name;
        Modelsettings.remote_electrodes = 0;
    }
}

TEST_F(Failures, NonPositivePivotStopsWithTheNode) {
    for (const Solver& solver : solvers) {
        backend.boxes.clear();
        BlockModel model(9, -1.0);
        const model::SolverResult result = (model.*solver.run)();
        EXPECT_EQ(result.status, SolverStatus::pivot) << solver.name;
        EXPECT_GT(result.row, 0) << solver.name;
        ASSERT_EQ(backend.boxes.size(), 1u) << solver.name;
        const std::string& box = backend.boxes[0].line();
        EXPECT_NE(box.find("There has been an error in calculating\n"), std::string::npos) << box;
        EXPECT_NE(box.find("format might have been accidentally changed."), std::string::npos);
        if (solver.run != &BlockModel::run_q4) {
            EXPECT_EQ(
                box.find("Error Message: Error at node " + std::to_string(result.row) + ".\n"), 0u)
                << box;
        } else {
            EXPECT_STREQ(Statuswind.text, "Calculations stopped by an error.");
            EXPECT_EQ(Statuswind.bar_length, 0);
        }
    }
    BlockModel good(9, 10.0);
    ASSERT_EQ(good.run_q4().status, SolverStatus::ok);
    EXPECT_STREQ(Statuswind.text, "Calculations completed");
    EXPECT_EQ(Statuswind.bar_length, Statuswind.bar_width);
}

TEST_F(Failures, InputsThatDoNotFitAreRefused) {
    struct Case {
        const char* what;
        void (*change)(BlockModel&);
        const char* message;
    };
    const Case cases[] = {
        {"one wavenumber", [](BlockModel&) { Modelsettings.nky = 1; },
         "The number of wavenumbers (1) must lie between 2 and 32."},
        {"more electrodes than the tables hold",
         [](BlockModel&) { Modelsettings.nelec_total = 170; },
         "The model has 170 electrodes (9 on the surface);\nthe calculation takes 2 to 161 "
         "electrodes."},
        {"an electrode row below the mesh",
         [](BlockModel&) { Modelsettings.electrode_water[3] = 40; },
         "Electrode 4 (node column 32, row 41) lies outside\nthe finite-element mesh of 71 x 20 "
         "nodes."},
    };
    for (const Case& c : cases)
        for (const Solver& solver : solvers) {
            backend.boxes.clear();
            BlockModel model(9, 10.0);
            c.change(model);
            EXPECT_EQ((model.*solver.run)().status, SolverStatus::bad_input)
                << c.what << solver.name;
            ASSERT_EQ(backend.boxes.size(), 1u) << c.what << solver.name;
            EXPECT_EQ(backend.boxes[0].line(), std::string("Error Message: ") + c.message);
            Modelsettings.nky = 12;
        }
    // Borehole electrodes that the borehole tables do not account for.
    BlockModel model(9, 10.0);
    model.add_borehole(4.0f, {1.0f});
    Modelsettings.nelec_total = 11;
    for (const Solver& solver : {solvers[0], solvers[2]}) {
        backend.boxes.clear();
        EXPECT_EQ((model.*solver.run)().status, SolverStatus::bad_input) << solver.name;
        ASSERT_EQ(backend.boxes.size(), 1u);
        EXPECT_NE(backend.boxes[0].line().find("but 9 surface\nand 1 borehole"), std::string::npos);
    }
}

} // namespace
} // namespace fe_test
