// The complex band solvers on the finite-element test mesh: a homogeneous half-space with a
// complex resistivity rho (1 + i m), whose potentials are rho (1 + i m) / (2 pi r) everywhere,
// with surface and borehole electrodes, and the failures.
#include "ipsolve/ipsolve.h"

#include "../fesolve/fe_fixture.h"
#include "fesolve/element.h"
#include "fesolve/solver_common.h"
#include "ipsolve/jacobian.h"
#include "ipsolve/transform_cmplx.h"
#include "matrix/band.h"
#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
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

// The status window while a run works: with one solver thread, the sources solved of each
// wavenumber after its progress, block by block of 64; with more, the wavenumbers alone (the
// workers leave the window to the calling thread).
TEST_F(ComplexSolver, OneThreadShowsTheSourcesSolvedOfEachWavenumber) {
    struct StatusRecorder : test_support::RecordingBackend {
        std::vector<std::string> texts;
        bool next_event(ui::Event& event) override {
            if (texts.empty() || texts.back() != Statuswind.text)
                texts.emplace_back(Statuswind.text);
            return RecordingBackend::next_event(event);
        }
    } recorder;
    ui::install_backend(&recorder);
    BlockModel model(70);
    const ip::Inputs in = inputs(model, 10.0, 0.1);
    for (int threads : {1, 8}) {
        sys::set_pool_threads(threads);
        recorder.texts.clear();
        ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
        const auto shown = [&](const std::string& text) {
            return std::find(recorder.texts.begin(), recorder.texts.end(), text) !=
                   recorder.texts.end();
        };
        EXPECT_EQ(shown("Finite-Element Calculations -   0.0% completed 64/70"), threads == 1);
        EXPECT_EQ(shown("Finite-Element Calculations -  91.7% completed 69/70"), threads == 1);
        EXPECT_FALSE(shown("Finite-Element Calculations -  91.7% completed 70/70"));
    }
    sys::set_pool_threads(0);
    ui::install_backend(&backend);
}

// ---- Jacobian mode -----------------------------------------------------------------------

TEST(JacobianRoutines, ChunkedWritesLogMeanSegmentAndGatherKinds) {
    for (int n : {131072, 131073, 0}) {
        std::vector<float> values(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            values[i] = float(i);
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(write_float_array_chunked(f, values.data(), n), n);
        EXPECT_EQ(std::ftell(f), 4L * n);
        std::rewind(f);
        std::vector<float> back(std::size_t(n) + 1);
        EXPECT_EQ(std::fread(back.data(), 4, back.size(), f), std::size_t(n));
        back.resize(n);
        EXPECT_EQ(back, values);
        std::fclose(f);
    }
    EXPECT_NEAR(log_mean_segment(1.0, 2.0, 1.0), 1.442695, 1e-6);
    EXPECT_NEAR(log_mean_segment(1.0, -2.0, -1.0), -1.442695, 1e-6);
    EXPECT_DOUBLE_EQ(log_mean_segment(1.0, 1.005, 1.0), 1.0025);
    EXPECT_DOUBLE_EQ(log_mean_segment(2.0, 1.0, -1.0), 0.0);

    // Four electrodes' records of three nodes: electrode e, node v: re 10 e + v, im -(10 e + v).
    const int neq = 3;
    std::vector<double> records;
    for (int e = 1; e <= 4; ++e) {
        for (int v = 0; v < neq; ++v)
            records.push_back(10 * e + v);
        for (int v = 0; v < neq; ++v)
            records.push_back(-(10 * e + v));
    }
    struct Case {
        int kind;
        double current, potential; // node 0 of the current and potential sides
    };
    for (Case c : {Case{2, 10, 30}, Case{3, 10, 30 - 40}, Case{4, 10 - 20, 30 - 40}}) {
        double gc_re[3], gc_im[3], gp_re[3], gp_im[3];
        gather_pair_values_dbl(c.kind, records.data(), neq, 1, 2, 3, 4, gc_re, gc_im, gp_re, gp_im);
        EXPECT_EQ(gc_re[0], c.current) << c.kind;
        EXPECT_EQ(gc_im[0], -c.current) << c.kind;
        EXPECT_EQ(gp_re[0], c.potential) << c.kind;
        EXPECT_EQ(gp_im[0], -c.potential) << c.kind;
        const std::vector<float> single(records.begin(), records.end());
        float fc_re[3], fc_im[3], fp_re[3], fp_im[3];
        gather_pair_values_flt(c.kind, single.data(), neq, 1, 2, 3, 4, fc_re, fc_im, fp_re, fp_im);
        EXPECT_EQ(fp_re[2], float(gp_re[2])) << c.kind;
    }
}

TEST(JacobianRoutines, CellSensitivityIsTheComplexProductWithTheCellMatrix) {
    // One cell of a 2 x 2 grid; corners 1..4 are the nodes 0, 2, 1, 3 (down the columns).
    double terms[10];
    for (int t = 0; t < 10; ++t)
        terms[t] = t + 1.0;
    const double gc_re[4] = {1, 0, 0, 0}, gc_im[4] = {0, 0, 0, 0};
    const double gp_re[4] = {0, 0, 2, 0}, gp_im[4] = {0, 0, 0, 3}; // corners 2 and 4
    double s_re = 0, s_im = 0;
    cell_sensitivity_dbl(gc_re, gc_im, gp_re, gp_im, terms, 2, 1, 1, 1, 1, &s_re, &s_im);
    EXPECT_NEAR(s_re, 2 * terms[quad_term_index(1, 2)] / pi, 1e-15);
    EXPECT_NEAR(s_im, 3 * terms[quad_term_index(1, 4)] / pi, 1e-15);
    const float fc_re[4] = {1, 0, 0, 0}, fc_im[4] = {0, 0, 0, 0};
    const float fp_re[4] = {0, 0, 2, 0}, fp_im[4] = {0, 0, 0, 3};
    double f_re = 0, f_im = 0;
    cell_sensitivity_flt(fc_re, fc_im, fp_re, fp_im, terms, 2, 1, 1, 1, 1, &f_re, &f_im);
    EXPECT_EQ(f_re, s_re);
    EXPECT_EQ(f_im, s_im);
}

// The weights of the trapezoid rule against the rule itself, on the solvers' wavenumbers and
// on one and two points.
TEST(JacobianRoutines, TrapezoidWeightsGiveTheTrapezoidRule) {
    std::vector<float> k = {0.002f, 0.0042f, 0.009f, 0.019f, 0.041f, 0.087f,
                            0.18f,  0.39f,   0.83f,  1.8f,   3.8f,   8.0f};
    for (std::size_t n : {std::size_t(1), std::size_t(2), k.size()}) {
        std::vector<float> f(n), w(n);
        for (std::size_t i = 0; i < n; ++i)
            f[i] = std::exp(-k[i]) * (1.0f + float(i % 3));
        trapezoid_weights_flt(int(n), k.data(), w.data());
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i)
            sum += double(w[i]) * f[i];
        EXPECT_NEAR(sum, trapezoid_integral_flt(k.data(), f.data(), int(n)), 1e-6) << n;
    }
}

// The rows config_node_range gives a source and the next are enough: the solves over them give
// the potentials at the later electrodes that the whole solves give.
TEST(JacobianRoutines, ConfigNodeRangeRowsGiveTheLaterElectrodesPotentials) {
    const int n = 40, bw = 4;
    std::vector<double> a(std::size_t(n) * (bw + 1), 0.0);
    for (int i = 1; i <= n; ++i)
        for (int j = i; j <= std::min(n, i + bw); ++j)
            a[std::size_t(sym_band_index(i, j, bw + 1))] = i == j ? 10.0 : -1.0 / (j - i + i % 3);
    ASSERT_EQ(band_cholesky(n, a.data(), bw), 0);
    // Electrodes at these rows; each solution is read from the next electrode's row on.
    const int node[5] = {6, 13, 21, 30, 36};
    const int last[5] = {13, 21, 30, 36, 37};
    auto solve = [&](int source, int first, int lowest) {
        std::vector<double> b(std::size_t(n), 0.0);
        b[std::size_t(source - 1)] = 1.0;
        band_cholesky_solve(a.data(), n, b.data(), bw, first, lowest);
        return b;
    };
    for (int e = 1; e < 5; ++e) {
        int f0 = 0, l0 = 0, f1 = 0, l1 = 0;
        config_node_range(node, last, e, &f0, &l0, &f1, &l1);
        EXPECT_EQ(f0, node[e - 1]);
        EXPECT_EQ(l0, e == 1 ? 1 : last[e - 1]);
        const std::vector<double> one = solve(node[e - 1], f0, l0), next = solve(node[e], f1, l1);
        const std::vector<double> whole = solve(node[e - 1], node[e - 1], 1),
                                  whole_next = solve(node[e], node[e], 1);
        for (int later = e + 1; later <= 5; ++later)
            EXPECT_EQ(one[std::size_t(node[later - 1] - 1)],
                      whole[std::size_t(node[later - 1] - 1)])
                << e << " " << later;
        for (int later = e + 2; later <= 5; ++later)
            EXPECT_EQ(next[std::size_t(node[later - 1] - 1)],
                      whole_next[std::size_t(node[later - 1] - 1)])
                << e << " " << later;
        if (e == 1) {
            EXPECT_EQ(one, whole); // the first electrode's solution is whole
        }
    }
}

// The accumulation of the work files against the same sums formed here: two wavenumbers of one
// datum and two blocks, the first held from 0, the second by log_mean_segment; a missing
// record file is named.
TEST(JacobianRoutines, AccumulatedFilesHoldTheWavenumberIntegral) {
    test_support::TempDir dir("vd_jacacc");
    const std::string folder = dir.path;
    const int nz = 3, nx = 3, neq = nx * nz, np = 2, ncells = (nx - 1) * (nz - 1);
    ip::JacobianTables t;
    t.ndata = 1;
    t.nblocks = 2;
    t.c1 = {1};
    t.p1 = {2};
    t.col0 = {1, 2};
    t.col1 = {1, 2};
    t.row0 = {1, 1};
    t.row1 = {2, 1};
    const float k[2] = {0.5f, 2.0f};
    auto write = [&](const char* name, const std::vector<double>& v) {
        std::FILE* f = std::fopen((folder + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(v.data(), 8, v.size(), f), v.size());
        std::fclose(f);
    };
    double expected[4] = {}, last_of[4] = {};
    std::string failed;
    for (int w = 0; w < 2; ++w) {
        std::vector<double> terms(std::size_t(ncells) * 10), records(std::size_t(np) * 2 * neq);
        for (std::size_t i = 0; i < terms.size(); ++i)
            terms[i] = 1.0 + double((i * 7 + w) % 5);
        for (std::size_t i = 0; i < records.size(); ++i)
            records[i] = (i % 2 ? -1.0 : 1.0) * (1.0 + double((i + 3 * w) % 4)) / (1 + w);
        write("coefs_fem.bin", terms);
        write("ptempf.bin", records);
        ASSERT_EQ(
            accumulate_jacobian_files(folder, t, nz, ncells, neq, np, w, k, "Wave", 0, &failed), 0)
            << failed;
        const double* c = records.data();           // electrode 1: neq real, neq imaginary
        const double* p = c + std::size_t(2 * neq); // electrode 2
        for (int b = 0; b < 2; ++b) {
            double s_re = 0, s_im = 0;
            cell_sensitivity_dbl(c, c + neq, p, p + neq, terms.data(), nz, t.col0[b], t.col1[b],
                                 t.row0[b], t.row1[b], &s_re, &s_im);
            const double now[2] = {double(float(s_re)), double(float(s_im))};
            for (int part = 0; part < 2; ++part) {
                double& sum = expected[2 * part + b];
                sum = w == 0
                          ? double(float(now[part] * k[0]))
                          : double(float(sum + log_mean_segment(k[1] - k[0], last_of[2 * part + b],
                                                                now[part])));
                last_of[2 * part + b] = now[part];
            }
        }
    }
    std::vector<char> bytes;
    ASSERT_TRUE(sys::read_whole_file(folder + "gtempf.bin", bytes));
    ASSERT_EQ(bytes.size(), 4u * 4);
    for (int i = 0; i < 4; ++i) {
        float v;
        std::memcpy(&v, bytes.data() + 4 * i, 4);
        EXPECT_FLOAT_EQ(v, float(expected[i])) << i;
    }
    std::remove((folder + "ptempf.bin").c_str());
    EXPECT_EQ(accumulate_jacobian_files(folder, t, nz, ncells, neq, np, 1, k, "Wave", 0, &failed),
              1);
    EXPECT_EQ(failed, folder + "ptempf.bin");
}

class JacobianMode : public ComplexSolver {
  protected:
    // The complex pair potential (c1, p1) of a normal run on the cells re_, im_.
    std::complex<double> run(const ip::Inputs& in, int c1, int p1) {
        EXPECT_TRUE(calresfemsipd(in, outputs()).ok());
        return {t_re(c1, p1), t_im(c1, p1)};
    }
    // Sets the cells of block b (the test blocks of the mode) to sigma.
    void set_block(const BlockModel& model, const ip::JacobianTables& t, int b,
                   std::complex<double> sigma) {
        const int bounds[8] = {1, 4, 6, 7, 8, 9, 10, model.nz};
        const int layer = b / t.blocks_per_layer, j = b % t.blocks_per_layer;
        for (int c = model.m + j * model.p; c < model.m + (j + 1) * model.p; ++c)
            for (int r = bounds[layer]; r < bounds[layer + 1]; ++r) {
                re_[index2d(c, r, model.nx - 1)] = float(sigma.real());
                im_[index2d(c, r, model.nx - 1)] = float(sigma.imag());
            }
    }
};

TEST_F(JacobianMode, OffWritesNothingOnWritesItsFilesAndRemovesThem) {
    const char* names[] = {"coefs_fem.bin",  "ptempf.bin",     "gtempf.bin",  "gtemp_curr.bin",
                           "gtemp_prev.bin", "potentials.txt", "jacobian.txt"};
    BlockModel model(6);
    const std::string folder = file("");
    ip::Inputs in = inputs(model, 25.0, 0.12);
    in.jacobian_folder = folder.c_str();
    ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
    for (const char* name : names)
        EXPECT_FALSE(sys::file_exists(file(name))) << name;

    ip::JacobianTables t;
    in.jacobian_mode = true;
    in.jacobian_out = &t;
    ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
    for (int f = 0; f < 5; ++f)
        EXPECT_FALSE(sys::file_exists(file(names[f]))) << names[f];
    const long long ncells = (model.nx - 1) * (model.nz - 1), neq = model.nx * model.nz;
    EXPECT_EQ(t.ndata, 5 + 4 + 3 + 2);
    EXPECT_EQ(t.nblocks, 6 * 5);
    EXPECT_EQ(t.file_bytes[0], ncells * 10 * 8);
    EXPECT_EQ(t.file_bytes[1], 6 * 2 * neq * 8);
    EXPECT_EQ(t.file_bytes[2], 2LL * t.ndata * t.nblocks * 4);
    EXPECT_EQ(t.file_bytes[3], 2LL * t.ndata * t.nblocks * 4);
    EXPECT_EQ(t.file_bytes[4], -1);
    // A homogeneous model: every block at 25 ohm-m and 0.12.
    EXPECT_EQ(t.block_rho[3], 25.0);
    EXPECT_EQ(t.block_m[3], 0.12);

    std::vector<char> bytes;
    ASSERT_TRUE(sys::read_whole_file(file("jacobian.txt"), bytes));
    const std::string report(bytes.begin(), bytes.end());
    EXPECT_EQ(report.rfind("No of blocks per layer 5\nnblocks 30\nNo data 14\nNo elecs 6\n"
                           "Coefficients\n 1 ",
                           0),
              0u);
    EXPECT_NE(report.find("\nLog app resis wrt log resistivity\nDat          1 "),
              std::string::npos);
    EXPECT_NE(report.find("\nApp Resis and IP\n  1 "), std::string::npos);
    ASSERT_TRUE(sys::read_whole_file(file("potentials.txt"), bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).rfind("Real potentials\n 1 0.000000 ", 0),
              0u);

    // A work file that cannot be created: reported, nothing left behind.
    const std::string missing = file("no such folder/");
    in.jacobian_folder = missing.c_str();
    EXPECT_EQ(calresfemsipd(in, outputs()).status, model::SolverStatus::file);
    EXPECT_EQ(backend.boxes.back().line(), "Error Message: There has been an error in creating\n"
                                           "the file " +
                                               missing + "coefs_fem.bin.");

    // One that cannot be created after others were written (a folder, not empty, in its place):
    // the files written before are removed too.
    in.jacobian_folder = folder.c_str();
    std::filesystem::create_directories(file("ptempf.bin/keep"));
    EXPECT_EQ(calresfemsipd(in, outputs()).status, model::SolverStatus::file);
    EXPECT_EQ(backend.boxes.back().line(), "Error Message: There has been an error in creating\n"
                                           "the file " +
                                               file("ptempf.bin") + ".");
    EXPECT_FALSE(sys::file_exists(file("coefs_fem.bin")));
    std::filesystem::remove_all(file("ptempf.bin"));

    // A model whose cells differ: block 4 takes 30 ohm-m, and 0.17 when the phases differ too.
    re_[0] *= 2;
    ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
    EXPECT_EQ(t.block_rho[3], 30.0);
    EXPECT_EQ(t.block_m[3], 0.12);
    im_[0] *= 3;
    ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
    EXPECT_EQ(t.block_m[3], 0.17);
}

// Every section against central differences of two normal runs with one block changed.
TEST_F(JacobianMode, SectionsMatchCentralDifferences) {
    BlockModel model(6);
    const double rho = 25.0, m = 0.12;
    const std::string folder = file("");
    ip::Inputs in = inputs(model, rho, m);
    // The sections integrate by log-mean segments, the potentials by splines with a tail: with
    // the default 12 wavenumbers they differ by up to 13 %, with 32 by 0.7 % at most (measured).
    in.nky = 32;
    ip::JacobianTables t;
    in.jacobian_mode = true;
    in.jacobian_folder = folder.c_str();
    in.jacobian_out = &t;
    ASSERT_TRUE(calresfemsipd(in, outputs()).ok());
    in.jacobian_mode = false;
    using C = std::complex<double>;
    auto sigma = [](double r, double q) { return 1.0 / (r * C(1.0, q)); };
    struct Pick {
        int datum, block;
    };
    // Pole-pole 1-2 over its own near-surface block and a deeper one, 2-5 over a middle block.
    for (Pick pick : {Pick{0, 0}, Pick{0, 10}, Pick{t.ndata - 4, 12}}) {
        const int d = pick.datum, b = pick.block, c1 = t.c1[d], p1 = t.p1[d];
        SCOPED_TRACE(testing::Message() << "datum " << c1 << "-" << p1 << " block " << b + 1);
        const double g = t.g[d];
        auto apparent = [g](C v) {
            return std::make_pair(g * v.real(), 1000 * v.imag() / v.real());
        };
        const double ds = 0.01 * sigma(rho, m).real(), dr = 0.01 * rho, dm = 0.01;
        set_block(model, t, b, sigma(rho, m) + ds);
        const C s_plus = run(in, c1, p1);
        set_block(model, t, b, sigma(rho, m) - ds);
        const C s_minus = run(in, c1, p1);
        set_block(model, t, b, sigma(rho + dr, m));
        const C r_plus = run(in, c1, p1);
        set_block(model, t, b, sigma(rho - dr, m));
        const C r_minus = run(in, c1, p1);
        set_block(model, t, b, sigma(rho, m + dm));
        const C m_plus = run(in, c1, p1);
        set_block(model, t, b, sigma(rho, m - dm));
        const C m_minus = run(in, c1, p1);
        set_block(model, t, b, sigma(rho, m));
        const C js = (s_plus - s_minus) / (2 * ds), jr = (r_plus - r_minus) / (2 * dr),
                jm = (m_plus - m_minus) / (2 * dm);
        const auto rp = apparent(r_plus), rm = apparent(r_minus), mp = apparent(m_plus),
                   mm = apparent(m_minus);
        const double expected[13] = {
            js.real(),
            js.imag(),
            jr.real(),
            jr.imag(),
            jm.real(),
            jm.imag(),
            (rp.first - rm.first) / (2 * dr),
            (std::log(rp.first) - std::log(rm.first)) / (std::log(rho + dr) - std::log(rho - dr)),
            (mp.first - mm.first) / (2 * dm),
            (std::log(mp.first) - std::log(mm.first)) / (2 * dm),
            (rp.second - rm.second) / (2 * dr),
            (rp.second - rm.second) / (std::log(rho + dr) - std::log(rho - dr)),
            (mp.second - mm.second) / (2 * dm)};
        // A derivative that vanishes (the real part and the apparent chargeability of a model of
        // one phase do not change with one block's chargeability or resistivity) is matched to
        // 1e-3 of the size of its kind (the cells hold single-precision conductivities).
        const double v = std::fabs(t_re(c1, p1)), ma = 1000 * m;
        const double scale[13] = {
            std::abs(js),         std::abs(js),           std::abs(jr),
            std::abs(jr),         std::abs(jm),           std::abs(jm),
            g * std::abs(jr),     rho * std::abs(jr) / v, g * std::abs(jm),
            std::abs(jm) / v,     ma * std::abs(jr) / v,  rho * ma * std::abs(jr) / v,
            ma * std::abs(jm) / v};
        for (int s = 0; s < 13; ++s) {
            const double value = t.section[s][std::size_t(d) * t.nblocks + b];
            EXPECT_NEAR(value, expected[s], 0.01 * std::fabs(expected[s]) + 1e-3 * scale[s])
                << "section " << s;
        }
    }
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
