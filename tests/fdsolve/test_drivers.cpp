// The finite-difference drivers against analytic half-space and two-layer potentials, against
// each other, and against the invariants of the discrete problem (reciprocity, scaling); their
// failure paths (user break, non-positive pivot, memory refused inside the wavenumber loop).
#include "default_mesh.h"
#include "fdsolve/electrode_nodes.h"
#include "fdsolve/fdsolve.h"
#include "platform/sys/thread_pool.h"

#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "support/layered_earth.h"
#include "support/recording_backend.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

using fd_test::Driver;
using fd_test::Model;
using model::SolverStatus;
using test_support::two_layer_potential;
// Measured worst relative errors on the default mesh, rounded up: the half-space pair
// potential for d <= 10 and d <= 20, its strike-offset value (s = 1), the two-layer potential
// for d <= 10 raw and divided by the same driver's half-space potential (as the program's
// normalisation run does), and the remote-electrode potentials. The nearest pairs carry the
// mesh's error; the Dey & Morrison boundary condition, taken at the nodes of the coarse margin
// cells, loses a further 0.06 % a unit spacing (1.6 % on the remote electrodes' pairs of up to
// 18 spacings). The strike-offset values read 1.2 to 1.3 % off.
struct Formulation {
    const char* name;
    Driver run;
    double near, far, offset, layered, normalised, remote;
};
const Formulation formulations[] = {
    {"Modified 5-point", calaresforward_dbl, 0.007, 0.007, 0.013, 0.015, 0.012, 0.005},
    {"Modified 9-point", calaresforward_9pt, 0.005, 0.0025, 0.0135, 0.012, 0.009, 0.009},
    {"Dey & Morrison original", calaresforward_dm, 0.0095, 0.013, 0.013, 0.022, 0.014, 0.017}};

class Drivers : public ::testing::Test {
  protected:
    void SetUp() override { Modelsettings.distributed_source = 0; }
    void TearDown() override {
        ui::install_backend(nullptr);
        sys::set_page_budget(-1);
        sys::set_free_memory_override(-1);
    }
    test_support::GlobalRecords records_;
};

// Worst |ratio - 1| of f(d) over the pairs (a, a + d) of the model with d in [d0, d1].
template <class F> double worst(const Model& model, int d0, int d1, F expected) {
    double w = 0.0;
    for (int a = 1; a <= model.nelec; ++a)
        for (int b = a + d0; b <= std::min(model.nelec, a + d1); ++b) {
            w = std::max(w, std::fabs(model.pot(a, b) / expected(b - a) - 1.0));
            EXPECT_EQ(model.pot(a, b), model.pot(b, a));
        }
    return w;
}

TEST_F(Drivers, HalfSpaceMatchesThePointSourcePotential) {
    const double rho = 10.0;
    Modelsettings.fd_option = 1; // the nine-point driver clears it
    std::vector<Model> runs;
    for (const Formulation& f : formulations) {
        Model& model = runs.emplace_back(21, rho);
        ASSERT_EQ(model.run(f.run).status, SolverStatus::ok) << f.name;
        auto exact = [rho](double d) { return rho / (2 * pi * d); };
        EXPECT_LT(worst(model, 1, 10, exact), f.near) << f.name;
        EXPECT_LT(worst(model, 11, 20, exact), f.far) << f.name;
        double worst_offset = 0.0;
        for (int a = 1; a <= model.nelec; ++a)
            for (int b = 1; b <= model.nelec; ++b) {
                if (a == b) {
                    EXPECT_EQ(model.pot(a, b), -7.0) << f.name; // the diagonal is not written
                    continue;
                }
                const double d = std::abs(b - a);
                const double strike = rho / (2 * pi) * (1.0 / d - 1.0 / std::hypot(d, 1.0));
                worst_offset =
                    std::max(worst_offset, std::fabs(model.offset_pot(a, b) / strike - 1));
            }
        EXPECT_LT(worst_offset, f.offset) << f.name;
    }
    EXPECT_EQ(Modelsettings.fd_option, 0);
    // The formulations agree within 1 % beyond the nearest pair.
    for (int a = 1; a <= 21; ++a)
        for (int b = a + 2; b <= std::min(21, a + 10); ++b)
            for (const Model& other : {runs[1], runs[2]})
                EXPECT_NEAR(other.pot(a, b) / runs[0].pot(a, b), 1.0, 0.01) << a << " " << b;
}

TEST_F(Drivers, TwoLayerEarthMatchesTheImageSeries) {
    for (const Formulation& f : formulations) {
        Model half_space(11);
        ASSERT_EQ(half_space.run(f.run).status, SolverStatus::ok);
        for (auto rho : {std::pair<double, double>{10, 100}, {100, 10}}) {
            Model model(11);
            model.layers(rho.first, rho.second, 1.0); // the boundary on the fifth grid line
            ASSERT_EQ(model.run(f.run).status, SolverStatus::ok) << f.name;
            auto exact = [&](double d) {
                return two_layer_potential(rho.first, rho.second, 1.0, d);
            };
            EXPECT_LT(worst(model, 1, 10, exact), f.layered) << f.name << " " << rho.first;
            double w = 0.0;
            for (int d = 1; d <= 10; ++d) {
                const double normalised =
                    model.pot(1, 1 + d) / (half_space.pot(1, 1 + d) * 2 * pi * d);
                w = std::max(w, std::fabs(normalised / exact(d) - 1.0));
            }
            EXPECT_LT(w, f.normalised) << f.name << " " << rho.first;
        }
    }
}

// A heterogeneous model: a conductive block under electrodes 3..5 in a layer over a resistive
// basement. The conductivities divided by 100 stay exact in single precision (powers of two),
// so the scaled model is exactly the model with every resistivity times 100.
Model blocky_model(double scale = 1.0) {
    Model model(11);
    double depth = 0.0;
    for (int j = 1; j < model.nz; ++j) {
        const double sigma = depth < 2.0 ? 3.125 : 0.78125;
        for (int i = 1; i < model.nx; ++i) {
            const bool block = i >= 28 && i <= 36 && j <= 6;
            model.sigma[index2d(i, j, model.nx - 1)] = float((block ? 12.5 : sigma) / scale);
        }
        depth += model.dz[j - 1];
    }
    return model;
}

TEST_F(Drivers, RemoteElectrodePotentialsOfTheHalfSpace) {
    const double rho = 10.0;
    for (const Formulation& f : formulations) {
        Model model(11, rho);
        model.remote_electrodes = 1;
        model.c2_x = -3.6f, model.c2_y = 2.0f; // left of the line, 2 units off it
        model.p2_x = 14.1f, model.p2_y = 0.0f; // right of the line, between two node columns
        ASSERT_EQ(model.run(f.run).status, SolverStatus::ok) << f.name;
        const int N = model.nelec;
        for (int e = 1; e <= N; ++e) {
            const double to_c2 = std::hypot(-3.6 - (e - 1), 2.0), to_p2 = 14.1 - (e - 1);
            EXPECT_NEAR(model.remote[e - 1] * 2 * pi * to_c2 / rho, 1.0, f.remote) << f.name << e;
            EXPECT_NEAR(model.remote[N + e - 1] * 2 * pi * to_p2 / rho, 1.0, f.remote)
                << f.name << e;
        }
        EXPECT_NEAR(model.remote[2 * N] * 2 * pi * std::hypot(17.7, 2.0) / rho, 1.0, f.remote)
            << f.name;

        // Far beyond the mesh: no node, no contribution.
        Model far(11, rho);
        far.remote_electrodes = 1;
        far.c2_x = -1.0e6f, far.p2_x = 5.5f;
        ASSERT_EQ(far.run(f.run).status, SolverStatus::ok) << f.name;
        for (int e = 1; e <= N; ++e) {
            EXPECT_EQ(far.remote[e - 1], 0.0);
            EXPECT_GT(far.remote[N + e - 1], 0.0);
        }
        EXPECT_EQ(far.remote[2 * N], 0.0);
    }
}

TEST_F(Drivers, ReciprocityAndScaling) {
    for (const Formulation& f : formulations) {
        for (int distributed : {0, 1}) {
            Modelsettings.distributed_source = distributed;
            Model forward = blocky_model(), swapped = blocky_model(), scaled = blocky_model(100.0);
            for (Model* m : {&forward, &swapped, &scaled})
                m->remote_electrodes = 1;
            forward.c2_x = scaled.c2_x = swapped.p2_x = 2.37f; // between two node columns
            forward.c2_y = scaled.c2_y = swapped.p2_y = 1.0f;
            forward.p2_x = scaled.p2_x = swapped.c2_x = 7.0f; // on an electrode's column
            forward.p2_y = scaled.p2_y = swapped.c2_y = 0.5f;
            ASSERT_EQ(forward.run(f.run).status, SolverStatus::ok);
            ASSERT_EQ(swapped.run(f.run).status, SolverStatus::ok);
            ASSERT_EQ(scaled.run(f.run).status, SolverStatus::ok);
            const int N = forward.nelec;
            // C2 at A and P2 at B, then the other way round: the same potential.
            EXPECT_NEAR(swapped.remote[2 * N] / forward.remote[2 * N], 1.0, 1e-10) << f.name;
            // Every table is linear in the resistivity (to 1e-9 relative).
            for (int a = 1; a <= N; ++a)
                for (int b = 1; b <= N; ++b) {
                    if (a == b) continue;
                    EXPECT_NEAR(scaled.pot(a, b) / forward.pot(a, b), 100.0, 1e-7) << f.name;
                    EXPECT_NEAR(scaled.offset_pot(a, b) / forward.offset_pot(a, b), 100.0, 1e-7)
                        << f.name;
                }
            for (int q = 0; q <= 2 * N; ++q)
                EXPECT_NEAR(scaled.remote[q] / forward.remote[q], 100.0, 1e-7) << f.name;
        }
    }
}

// The recording backend with a window of 900 x 80 whose canvas takes the status line; it types
// 'q' at the given call of its event source (each pump asks once when nothing waits).
class TestBackend final : public test_support::RecordingBackend {
  public:
    int abort_at = -1;
    gfx::Canvas canvas{900, 80};

    ui::Size client_size() override { return {900, 80}; }
    ui::Size screen_size() override { return {900, 80}; }
    gfx::Canvas& window_canvas() override { return canvas; }
    gfx::Canvas& child_canvas(ui::Child) override { return canvas; }
    bool next_event(ui::Event& event) override {
        if (++calls_ != abort_at) return false;
        event = ui::Event{};
        event.kind = ui::EventKind::key;
        event.id = 'q';
        return true;
    }

    // True when the status line (canvas row 40..60) holds red text.
    bool red_text() const {
        for (int y = 40; y < 60; ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (canvas.pixels()[std::size_t(y) * canvas.width() + x] == gfx::rgb(255, 0, 0))
                    return true;
        return false;
    }

  private:
    int calls_ = 0;
};

// One thread: the wavenumbers in turn on the calling thread, each pumping four times.
class DriverFailures : public Drivers {
  protected:
    void SetUp() override {
        Drivers::SetUp();
        ui::install_backend(&backend);
        Progdisplay.client_height = 60;
        Progdisplay.status_height = 20; // the status line at y = 40
        sys::set_pool_threads(1);
    }
    void TearDown() override {
        sys::set_pool_threads(0);
        Drivers::TearDown();
    }
    // The driver's status on the model (no remote electrodes).
    SolverStatus run(Model& model, Driver driver, int nky = 12) {
        return model.run(driver, nky).status;
    }
    TestBackend backend;
};

TEST_F(DriverFailures, UserBreakStopsTheRunAndKeepsTheTables) {
    for (const Formulation& f : formulations) {
        Model model(6);
        ASSERT_EQ(run(model, f.run), SolverStatus::ok);
        const std::vector<double> a = model.table_a, b = model.table_b;
        model.sigma.assign(model.sigma.size(), 0.5f);
        // Each wavenumber pumps four times; the ninth pump is the third wavenumber's check, after
        // the second wavenumber's last status text.
        backend = TestBackend();
        backend.abort_at = 9;
        EXPECT_EQ(run(model, f.run), SolverStatus::user_abort) << f.name;
        EXPECT_EQ(model.table_a, a) << f.name;
        EXPECT_EQ(model.table_b, b) << f.name;
        EXPECT_STREQ(Statuswind.text, "Modelling   8.3%") << f.name;
    }
}

// Eight threads give the tables of one thread bit for bit (each wavenumber's work is the same
// on any thread), on a layered model whose potentials differ from wavenumber to wavenumber; so
// does a page budget that holds the workspace of one worker only (fewer workers, no failure).
// A line of 160 electrodes also shares its last wavenumbers' potentials with idle workers.
TEST_F(DriverFailures, ThreadsGiveTheTablesOfOneThreadBitForBit) {
    for (const Formulation& f : formulations)
        for (int nelec : {40, 160}) {
            Model one(nelec), eight(nelec), short_of_memory(nelec);
            one.layers(100.0, 10.0, 1.0);
            eight.layers(100.0, 10.0, 1.0);
            short_of_memory.layers(100.0, 10.0, 1.0);
            sys::reset_page_peak();
            const long long before = sys::page_bytes_in_use();
            ASSERT_EQ(run(one, f.run), SolverStatus::ok) << f.name << " " << nelec;
            const long long one_worker = sys::page_bytes_peak() - before;
            sys::set_pool_threads(8);
            ASSERT_EQ(run(eight, f.run), SolverStatus::ok) << f.name;
            sys::set_page_budget(before + one_worker);
            ASSERT_EQ(run(short_of_memory, f.run), SolverStatus::ok) << f.name;
            sys::set_page_budget(-1);
            sys::set_pool_threads(1);
            EXPECT_EQ(eight.table_a, one.table_a) << f.name;
            EXPECT_EQ(eight.table_b, one.table_b) << f.name;
            EXPECT_EQ(short_of_memory.table_a, one.table_a) << f.name;
        }
}

// Reserved workspaces cost nothing until they are written, so the workers beyond the first are
// counted against the free memory before they are taken: with room for two, an eight-thread
// run takes two and gives the tables of one thread; with room for none beyond the first, it
// runs on the first alone.
TEST_F(DriverFailures, WorkersAreCountedAgainstTheFreeMemory) {
    for (const Formulation& f : formulations) {
        SCOPED_TRACE(f.name);
        Model one(40), model(40);
        one.layers(100.0, 10.0, 1.0);
        model.layers(100.0, 10.0, 1.0);
        ASSERT_EQ(run(one, f.run), SolverStatus::ok);
        const long long before = sys::page_bytes_in_use();
        // The peak page memory above `before` of a run on eight threads with `free` bytes free.
        auto peak_with = [&](long long free) {
            sys::set_pool_threads(8);
            sys::set_free_memory_override(free);
            sys::reset_page_peak();
            EXPECT_EQ(run(model, f.run), SolverStatus::ok);
            sys::set_free_memory_override(-1);
            sys::set_pool_threads(1);
            EXPECT_EQ(model.table_a, one.table_a);
            EXPECT_EQ(model.table_b, one.table_b);
            return sys::page_bytes_peak() - before;
        };
        const long long first = peak_with(0), worker = (peak_with(-1) - first) / 7;
        ASSERT_GT(worker, 0);
        // Short of workers, the run gives back the strike weights and the halves' flags: the
        // peak moves a little.
        EXPECT_NEAR(peak_with(2 * worker + worker / 2) - first, worker, worker / 2);
        EXPECT_EQ(peak_with(worker + worker / 2), first);
    }
}

// A break at the first check of a parallel run (20 ms in, the workers inside their first
// wavenumbers) stops it: every worker leaves at its next phase and the tables stay as they were.
TEST_F(DriverFailures, UserBreakStopsAParallelRun) {
    sys::set_pool_threads(8);
    for (const Formulation& f : formulations) {
        Model model(161);
        const std::vector<double> a = model.table_a;
        backend = TestBackend();
        backend.abort_at = 1;
        EXPECT_EQ(run(model, f.run), SolverStatus::user_abort) << f.name;
        EXPECT_EQ(model.table_a, a) << f.name;
    }
}

TEST_F(DriverFailures, NonPositivePivotReturnsItsRow) {
    for (const Formulation& f : formulations) {
        backend = TestBackend();
        Model model(6);
        model.sigma.assign(model.sigma.size(), -1.0f);
        const model::SolverResult result = model.run(f.run);
        const int row = result.row;
        EXPECT_EQ(result.status, SolverStatus::pivot) << f.name;
        EXPECT_GT(row, 0) << f.name;
        EXPECT_GE(backend.beeps, 1) << f.name;
        EXPECT_TRUE(std::all_of(model.table_a.begin(), model.table_a.end(),
                                [](double v) { return v == -7.0; }));
        if (f.run == calaresforward_9pt) {
            char text[64];
            std::snprintf(text, sizeof text, "Message: Calculation error at point %5d.", row);
            ASSERT_EQ(backend.boxes.size(), 1u);
            EXPECT_EQ(backend.boxes[0].line(), text);
        } else {
            EXPECT_TRUE(backend.red_text()) << f.name;
        }
    }
}

TEST_F(DriverFailures, MemoryRefusedInsideTheWavenumberLoop) {
    for (const Formulation& f : formulations) {
        Model model(6);
        sys::reset_page_peak();
        const long long before = sys::page_bytes_in_use();
        ASSERT_EQ(run(model, f.run), SolverStatus::ok);
        const std::vector<double> a = model.table_a;
        model.sigma.assign(model.sigma.size(), 0.5f);
        // The boundary terms of a wavenumber are the last memory taken on top of everything
        // else, so one byte less than the peak refuses exactly them.
        backend = TestBackend();
        sys::set_page_budget(sys::page_bytes_peak() - 1);
        EXPECT_EQ(run(model, f.run), SolverStatus::no_memory) << f.name;
        sys::set_page_budget(-1);
        EXPECT_STREQ(Statuswind.text, "Set matrices   0.0%") << f.name;
        EXPECT_TRUE(backend.red_text()) << f.name;
        EXPECT_EQ(model.table_a, a) << f.name;
        EXPECT_EQ(sys::page_bytes_in_use(), before) << f.name; // everything given back
    }
}

TEST_F(DriverFailures, InputsThatDoNotFitAreRefused) {
    for (const Formulation& f : formulations) {
        struct Case {
            const char* what;
            int nky;
            void (*spoil)(Model&);
        };
        const Case cases[] = {
            {"33 wavenumbers", 33, [](Model&) {}},
            {"electrode beyond the mesh", 12, [](Model& m) { m.water[2] = m.nz; }},
            {"zero row spacing", 12, [](Model& m) { m.dz[7] = 0.0f; }},
        };
        for (const Case& c : cases) {
            backend = TestBackend();
            Model model(6);
            c.spoil(model);
            EXPECT_EQ(run(model, f.run, c.nky), SolverStatus::bad_input)
                << f.name << ": " << c.what;
            EXPECT_TRUE(backend.red_text()) << f.name << ": " << c.what;
            EXPECT_EQ(model.table_a[index2d(1, 2, model.lead)], -7.0);
        }
        Model model(6);
        EXPECT_EQ(run(model, f.run, 32), SolverStatus::ok) << f.name;
    }
}

// ---- Remote-electrode placement -------------------------------------------------------------

TEST(ElectrodeNodes, PlacementOnTheNodeColumns) {
    // Columns 0..30 one unit apart except 10..14, a quarter apart; survey electrodes stand in
    // columns 5, 9, 13 (first column 6 one-based, step 4, three electrodes).
    std::vector<float> x(31);
    for (int i = 1; i <= 30; ++i)
        x[i] = x[i - 1] + (i > 10 && i <= 14 ? 0.25f : 1.0f);
    struct Case {
        float position;
        int count, a, b;
        float weight_a;
    };
    const Case cases[] = {
        {x[20], 1, 20, 0, 1.0f},           // on a free column
        {x[20] + 0.05f, 1, 20, 0, 1.0f},   // within 0.1
        {x[9] + 0.05f, 1, 10, 0, 1.0f},    // on a survey column: one to the right
        {x[9] - 0.05f, 1, 8, 0, 1.0f},     // ... or to the left
        {x[20] + 0.25f, 2, 20, 21, 0.75f}, // between two columns
        {x[20] + 0.5f, 2, 20, 21, 0.5f},   // half way: the lower index is the nearest
        {x[8] + 0.5f, 1, 8, 8, 1.0f},      // neighbour on a survey column: the other alone
        {x[2], 0, 0, 0, 0.0f},             // too near the left edge
        {x[29], 0, 0, 0, 0.0f},            // too near the right edge
    };
    for (const Case& c : cases) {
        int list[3] = {-1, -1, -1};
        float w[2] = {0, 0};
        find_electrode_nodes(6, 4, 3, 30, c.position - x[5], x[5], x.data(), list, w);
        ASSERT_EQ(list[0], c.count) << c.position;
        if (c.count >= 1) {
            EXPECT_EQ(list[1], c.a) << c.position;
            EXPECT_FLOAT_EQ(w[0], c.weight_a) << c.position;
        }
        if (c.count == 2) {
            EXPECT_EQ(list[2], c.b) << c.position;
            EXPECT_FLOAT_EQ(w[0] + w[1], 1.0f) << c.position;
        }
    }
}

} // namespace
