// The complex band solvers on the solver threads: eight threads, and fewer workers when memory is
// short or the free memory holds fewer, give the tables of one thread bit for bit (with remote
// electrodes); the frequencies of a spectral run solved at once give what each gives alone, and
// a failing one keeps those before it; the user's break stops a run and writes nothing.
#include "ipsolve/ipsolve.h"

#include "../fesolve/fe_fixture.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "platform/sys/sys.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using fe_test::BlockModel;

// The tables of one frequency, owned.
struct Tables {
    std::vector<double> t_re, t_im, s_re, s_im, r1, r2, r3;
    explicit Tables(int lead)
        : t_re(std::size_t(lead) * lead, -7.0), t_im(t_re), s_re(t_re), s_im(t_re),
          r1(2 * std::size_t(lead) + 1, -7.0), r2(r1), r3(r1) {}
    ip::Outputs outputs() {
        return {t_re.data(), t_im.data(), s_re.data(), s_im.data(),
                r1.data(),   r2.data(),   r3.data()};
    }
    bool operator==(const Tables& o) const {
        return t_re == o.t_re && t_im == o.t_im && s_re == o.s_re && s_im == o.s_im && r1 == o.r1 &&
               r2 == o.r2 && r3 == o.r3;
    }
};

class Threads : public fe_test::Records {
  protected:
    // A two-layer model with a complex resistivity in each layer (phase `m` below), C2 off the
    // line and P2 beyond its end.
    ip::Inputs inputs(BlockModel& model, double m) {
        ModelSettings& s = Modelsettings;
        const std::size_t cells = std::size_t(model.nx - 1) * (model.nz - 1);
        re_.assign(cells, 0.0f);
        im_.assign(cells, 0.0f);
        for (int i = 1; i < model.nx; ++i)
            for (int j = 1; j < model.nz; ++j) {
                const double rho = j < model.nz / 3 ? 10.0 : 40.0, q = j < model.nz / 3 ? 0.0 : m;
                re_[index2d(i, j, model.nx - 1)] = float(1 / (rho * (1 + q * q)));
                im_[index2d(i, j, model.nx - 1)] = float(-q / (rho * (1 + q * q)));
            }
        for (int e = 0; e < s.nelec_total; ++e)
            s.driver_elec_2[e] = float(model.x(e + 1));
        s.remote_electrodes = 1;
        s.c2_remote_x = -3.6f;
        s.c2_remote_y = 2.0f;
        s.p2_remote_x = 17.1f;
        s.p2_remote_y = 0.0f;
        ip::Inputs in = ip::make_inputs(s, Proglim);
        in.sigma_re = re_.data();
        in.sigma_im = im_.data();
        return in;
    }
    std::vector<float> re_, im_;
};

TEST_F(Threads, EightThreadsAndShortMemoryGiveTheTablesOfOneThread) {
    BlockModel model(14);
    const ip::Inputs in = inputs(model, 0.2);
    const int lead = Proglim.max_electrodes;
    for (bool dbl : {true, false}) {
        SCOPED_TRACE(dbl ? "calresfemsipd" : "calresfem_cmplx_flt");
        auto solve = [&](Tables& t) {
            return dbl ? calresfemsipd(in, t.outputs()) : calresfem_cmplx_flt(in, t.outputs());
        };
        Tables one(lead), eight(lead), short_of_memory(lead);
        sys::reset_page_peak();
        const long long before = sys::page_bytes_in_use();
        {
            const test_support::PoolThreads threads(1);
            ASSERT_TRUE(solve(one).ok());
        }
        const long long one_worker = sys::page_bytes_peak() - before;
        const test_support::PoolThreads threads(8);
        ASSERT_TRUE(solve(eight).ok());
        sys::set_page_budget(before + one_worker);
        const model::SolverResult short_run = solve(short_of_memory);
        sys::set_page_budget(-1);
        ASSERT_TRUE(short_run.ok());
        EXPECT_TRUE(eight == one);
        EXPECT_TRUE(short_of_memory == one);
        EXPECT_NE(one.r3[1], -7.0); // the remote electrodes were solved

        // Reserved arrays cost nothing until they are written, so the workers beyond the first
        // are counted against the free memory before they are taken: room for two gives two,
        // room for none beyond the first gives the first alone.
        auto peak_with = [&](long long free) {
            sys::set_free_memory_override(free);
            sys::reset_page_peak();
            Tables t(lead);
            EXPECT_TRUE(solve(t).ok());
            sys::set_free_memory_override(-1);
            EXPECT_TRUE(t == one);
            return sys::page_bytes_peak() - before;
        };
        const long long first = peak_with(0), worker = (peak_with(-1) - first) / 7;
        ASSERT_GT(worker, 0);
        EXPECT_EQ(peak_with(2 * worker + worker / 2), first + worker);
        EXPECT_EQ(peak_with(worker + worker / 2), first);
    }
}

TEST_F(Threads, FrequenciesAtOnceGiveEachAloneAndAFailureKeepsThoseBefore) {
    BlockModel model(10);
    const int lead = Proglim.max_electrodes;
    const double phases[] = {0.05, 0.1, 0.3};
    std::vector<std::vector<float>> re, im;
    std::vector<Tables> alone, together;
    ip::Inputs in;
    for (double m : phases) {
        in = inputs(model, m);
        re.push_back(re_);
        im.push_back(im_);
        alone.emplace_back(lead);
        together.emplace_back(lead);
        const test_support::PoolThreads threads(1);
        ASSERT_TRUE(calresfem_cmplx_flt(in, alone.back().outputs()).ok());
    }
    std::vector<ip::Frequency> f(3);
    for (int k = 0; k < 3; ++k) {
        f[k].sigma_re = re[k].data();
        f[k].sigma_im = im[k].data();
        f[k].out = together[k].outputs();
    }
    const test_support::PoolThreads threads(8);
    int written = -1;
    ASSERT_TRUE(ip::solve_frequencies(in, f.data(), 3, &written).ok());
    EXPECT_EQ(written, 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(together[k] == alone[k]) << k;

    // The second frequency's first cell is not a number: its first pivot fails.
    std::vector<Tables> failing(3, Tables(lead));
    for (int k = 0; k < 3; ++k)
        f[k].out = failing[k].outputs();
    re[1][0] = NAN;
    const model::SolverResult result = ip::solve_frequencies(in, f.data(), 3, &written);
    EXPECT_EQ(result.status, model::SolverStatus::pivot);
    EXPECT_EQ(written, 1);
    EXPECT_TRUE(failing[0] == alone[0]);
    EXPECT_TRUE(failing[1] == Tables(lead));
    EXPECT_TRUE(failing[2] == Tables(lead));
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].text.rfind("Error at node", 0), 0u);
}

TEST_F(Threads, UserBreakStopsTheRunAndWritesNothing) {
    BlockModel model(12);
    const ip::Inputs in = inputs(model, 0.1);
    const int lead = Proglim.max_electrodes;
    const test_support::HeldSteps held; // the break comes after the first wavenumber, not the last
    for (int threads : {1, 8})
        for (bool dbl : {true, false}) {
            SCOPED_TRACE(testing::Message() << threads << (dbl ? " double" : " single"));
            const test_support::PoolThreads pool(threads);
            backend = test_support::RecordingBackend();
            backend.abort_at = 3;
            Tables t(lead);
            const model::SolverResult result =
                dbl ? calresfemsipd(in, t.outputs()) : calresfem_cmplx_flt(in, t.outputs());
            EXPECT_EQ(result.status, model::SolverStatus::user_abort);
            EXPECT_TRUE(t == Tables(lead));
            EXPECT_TRUE(backend.boxes.empty());
        }
}

} // namespace
