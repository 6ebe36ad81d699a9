// Cylinder benchmark: the real envelope solver on homogeneous cylinders of 16, 32 and 64
// electrodes (4 sectors a spacing) with 10 to 40 rings, and the complex solver's pass for one
// frequency of a Cole-Cole medium (15 wavenumbers), each on 1 and on 8 threads. Prints the
// wall-clock seconds (per wavenumber for the real solver, per frequency for the complex pass),
// the speed-up, the peak page memory on 8 threads, the error of the Wenner-alpha level-1
// transfer value against the series solution of the cylinder (for the complex pass, of the
// complex value against the Cole-Cole resistivity times the series), whether 8 threads give the
// table of one thread bit for bit, and, for the real solver, whether element matrices kept for
// the run and computed at every wavenumber give the same table. Under each size the CPU
// seconds of the phases of the one-thread run. Last, the seconds from the abort key (0.5 s into
// a run of the largest size) to the end of the run, real and complex, on 1 and 8 threads.
//
//   cylinder_bench [LARGEST]         electrode counts up to LARGEST (64 by default)
//   cylinder_bench LARGEST abort     the abort latencies alone
#include "cylinder/cylinder.h"
#include "cylinder/mesh.h"
#include "ipsolve/colecole.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "platform/ui/ui.h"
#include "support/cylinder_series.h"
#include "support/recording_backend.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rho = 100.0;
constexpr float frequency = 10.0f, charge = 0.1f, tau = 0.01f, cexp = 0.5f;

// Radii from 1 to 0.15, each ring 1.25 times as thick as the one outside it (capped so that the
// inner rings stay thin enough for 40 of them).
std::vector<float> radii(int rings) {
    std::vector<float> r;
    const int nr = rings + 1;
    const double growth = std::min(1.25, std::pow(40.0, 1.0 / (nr - 2)));
    const double span = std::pow(growth, nr - 1) - 1.0;
    for (int i = 0; i < nr; ++i)
        r.push_back(float(1.0 - 0.85 * (std::pow(growth, i) - 1.0) / span));
    return r;
}

struct Run {
    double seconds = 0.0, mib = 0.0;
    int result = 0;
    std::vector<double> table, table_im;
    double phases[int(model::Phase::count)] = {};
};

// The Cole-Cole resistivity of the medium at the benchmark's frequency.
std::complex<double> cole_cole_resistivity() {
    float im = 0.0f, amplitude = 0.0f, phase = 0.0f, sre = 0.0f, sim = 0.0f;
    const float re = cole_cole_complex_resistivity(float(rho), charge, tau, cexp, frequency, &im,
                                                   &amplitude, &phase, &sre, &sim);
    return {re, im};
}

// One run of the real solver, or with `complex` of the complex solver on the Cole-Cole medium,
// on `threads` threads; with `break_after` >= 0 the abort key comes that many seconds in and
// `latency` gets the seconds from the key to the end of the run.
Run run(const cyl::PolarMesh& mesh, int nelec, int threads, bool complex, bool once = true,
        double break_after = -1, double* latency = nullptr) {
    Run r;
    r.table.assign(std::size_t(nelec) * nelec, 0.0);
    r.table_im = r.table;
    std::vector<float> sigma(mesh.elements(), float(1.0 / rho)), sigma_im(mesh.elements(), 0.0f);
    if (complex) {
        const std::complex<double> sigma_c = 1.0 / cole_cole_resistivity();
        std::fill(sigma.begin(), sigma.end(), float(sigma_c.real()));
        std::fill(sigma_im.begin(), sigma_im.end(), float(sigma_c.imag()));
    }
    std::vector<std::int32_t> nodes(nelec);
    cyl::SolverInputs in;
    in.nodes_per_spacing = mesh.per_spacing;
    in.nelec = nelec;
    in.sectors = mesh.sectors;
    in.radii = mesh.radii;
    in.node_x = mesh.node_x.get();
    in.node_y = mesh.node_y.get();
    in.conductivity = sigma.data();
    in.conductivity_im = sigma_im.data();
    in.table = r.table.data();
    in.table_im = r.table_im.data();
    in.lead = nelec;
    in.electrode_nodes = nodes.data();
    in.element_matrices_once = once;
    sys::set_pool_threads(threads);
    model::reset_phase_seconds();
    const long long base = sys::page_bytes_in_use();
    sys::reset_page_peak();
    test_support::TimedBreak breaker(break_after >= 0 ? break_after : 1e9);
    test_support::RecordingBackend quiet;
    ui::install_backend(break_after >= 0 ? &breaker : &quiet);
    const double start = sys::wall_seconds();
    r.result =
        (complex ? cyl::solve_transfer_potentials_complex(in) : cyl::solve_transfer_potentials(in))
            .code();
    r.seconds = sys::wall_seconds() - start;
    if (latency) *latency = breaker.typed > 0 ? sys::wall_seconds() - breaker.typed : -1.0;
    ui::install_backend(nullptr);
    r.mib = double(sys::page_bytes_peak() - base) / (1024.0 * 1024.0);
    for (int p = 0; p < int(model::Phase::count); ++p)
        r.phases[p] = model::phase_seconds(model::Phase(p));
    sys::set_pool_threads(0);
    return r;
}

// Wenner alpha value of level 1 / reference - 1 of a run's tables: signed for a real value,
// the modulus for a complex one.
double wenner_error(const Run& r, int nelec, std::complex<double> reference) {
    auto P = [&](const std::vector<double>& t, int i, int j) {
        return t[std::size_t(i - 1) + nelec * (j - 1)];
    };
    auto W = [&](const std::vector<double>& t) {
        return (P(t, 2, 1) - P(t, 2, 4)) - (P(t, 3, 1) - P(t, 3, 4));
    };
    const std::complex<double> e =
        std::complex<double>(W(r.table), W(r.table_im)) / reference - 1.0;
    return reference.imag() == 0.0 ? e.real() : std::abs(e);
}

void print_phases(const Run& r) {
    std::printf("%28s cpu, 1 thread:", "");
    for (int p = 0; p < int(model::Phase::count); ++p)
        if (r.phases[p] > 0.0)
            std::printf(" %s %.3f", model::phase_name(model::Phase(p)), r.phases[p]);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    const int largest = argc > 1 ? std::atoi(argv[1]) : 64;
    const bool abort_only = argc > 2 && std::string(argv[2]) == "abort";
    if (init_globals() != 0) return 1;
    for (bool complex : {false, true}) {
        if (abort_only) break;
        if (!complex)
            std::printf("real solver, seconds per wavenumber\n"
                        "electrodes rings   nodes   1 thread  8 threads  speed-up  peak [MiB]  "
                        "Wenner error  1 = 8 threads  kept = recomputed matrices\n");
        else
            std::printf("\ncomplex pass of one frequency (15 wavenumbers), seconds\n"
                        "electrodes rings   nodes   1 thread  8 threads  speed-up  peak [MiB]  "
                        "Wenner error  1 = 8 threads\n");
        for (int nelec : {16, 32, 64}) {
            if (nelec > largest) break;
            const double step = 2.0 * pi / nelec;
            const std::complex<double> series =
                (complex ? cole_cole_resistivity() : std::complex<double>(rho)) * 2.0 *
                test_support::cylinder_series_difference(step, 2.0 * step);
            for (int rings : {10, 20, 40}) {
                const std::vector<float> r = radii(rings);
                cyl::PolarMesh mesh;
                if (cyl::build_polar_mesh(4 * nelec, rings + 1, 4, r.data(), mesh) != cyl::mesh_ok)
                    return 1;
                const Run one = run(mesh, nelec, 1, complex), eight = run(mesh, nelec, 8, complex);
                const double per = complex ? 1.0 : 1.0 / cyl::wavenumber_count;
                const bool same = one.table == eight.table && one.table_im == eight.table_im;
                std::printf("%10d %5d %7d %10.4f %10.4f %9.2f %11.1f %+12.4f%% %14s", nelec, rings,
                            mesh.nodes(), one.seconds * per, eight.seconds * per,
                            one.seconds / eight.seconds, eight.mib,
                            100.0 * wenner_error(one, nelec, series), same ? "yes" : "NO");
                if (!complex) {
                    const Run again = run(mesh, nelec, 8, false, false);
                    std::printf("  %s", again.table == eight.table ? "yes" : "NO");
                }
                std::printf("  (results %d %d)\n", one.result, eight.result);
                print_phases(one);
                std::fflush(stdout);
            }
        }
    }
    // The abort key during the largest runs: seconds from the key to the end of the run.
    if (largest >= 64) {
        const std::vector<float> r = radii(40);
        cyl::PolarMesh mesh;
        if (cyl::build_polar_mesh(4 * 64, 41, 4, r.data(), mesh) != cyl::mesh_ok) return 1;
        std::printf("\nabort key 0.5 s into a run of 64 electrodes and 40 rings: seconds from the "
                    "key to the end\n");
        for (bool complex : {false, true})
            for (int threads : {1, 8}) {
                double latency = -1;
                const Run stopped = run(mesh, 64, threads, complex, true, 0.5, &latency);
                std::printf("%-8s %d thread%s %8.3f  (result %d)\n", complex ? "complex" : "real",
                            threads, threads == 1 ? " " : "s", latency, stopped.result);
                std::fflush(stdout);
            }
    }
    model::exit_globals();
    return 0;
}
