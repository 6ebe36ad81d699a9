// Complex-resistivity benchmark: on homogeneous half-space models of 48 and 96 electrodes, the
// real band solver, the double-precision complex solver of the non-linear IP run, and the
// single-precision complex solver of the spectral run at 12 frequencies of a Cole-Cole model.
// Prints the time (per frequency for the spectral run), the peak page memory, the worst error
// of the real part against its half-space value rho / (2 pi r) and of the phase against the
// model's phase, for pairs up to a third of the line apart.
#include "fesolve/fesolve.h"
#include "ipsolve/colecole.h"
#include "ipsolve/ipsolve.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "support/fe_mesh.h"
#include "support/model_records.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rho = 10.0, charge = 0.1, tau = 0.01, cexp = 0.5;
constexpr int margin = 20, per_spacing = 4, max_rows = 100, nfreq = 12;

// Worst |Re / (re0 / (2 pi r)) - 1| and |atan(Im / Re) / angle - 1| over the pairs up to a
// third of the line apart (no phase error when the angle is 0).
void errors(int nelec, double re0, double angle, double& re_error, double& phase_error) {
    const ModelSettings& s = Modelsettings;
    const int lead = Proglim.max_electrodes;
    re_error = phase_error = 0.0;
    for (int a = 1; a <= nelec; ++a)
        for (int b = a + 1; b <= std::min(nelec, a + nelec / 3); ++b) {
            const double re = s.potential_table_a[index2d(a, b, lead)];
            const double im = s.potential_table_a_ip[index2d(a, b, lead)];
            re_error = std::max(re_error, std::fabs(re * 2 * pi * (b - a) / re0 - 1.0));
            if (angle != 0)
                phase_error = std::max(phase_error, std::fabs(std::atan(im / re) / angle - 1.0));
        }
}

struct Figures {
    double seconds, mib;
    int result;
};
template <class Run> Figures measure(Run run) {
    const long long base = sys::page_bytes_in_use();
    sys::reset_page_peak();
    model::reset_phase_seconds();
    const auto start = std::chrono::steady_clock::now();
    const int result = run().code();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, double(sys::page_bytes_peak() - base) / (1024.0 * 1024.0), result};
}

void print(int nelec, const char* name, const Figures& f, double re_error, double phase_error) {
    std::printf("%5d %-34s %9.3f s %8.1f MiB  worst error %7.4f  phase %7.4f  (result %d)\n", nelec,
                name, f.seconds, f.mib, re_error, phase_error, f.result);
    std::printf("      cpu seconds:");
    for (int p = 0; p < int(model::Phase::count); ++p)
        std::printf(" %s %.3f", model::phase_name(model::Phase(p)),
                    model::phase_seconds(model::Phase(p)));
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) sys::set_pool_threads(std::atoi(argv[1]));
    for (int nelec : {48, 96}) {
        if (init_globals() != 0) return 1;
        Proglim = test_support::bench_limits(nelec, max_rows, per_spacing);
        if (model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim) != 0) return 1;
        test_support::lay_out_bench_mesh(Modelsettings, nelec, margin, per_spacing, max_rows, rho);
        ModelSettings& s = Modelsettings;
        const int nx = s.nx_nodes, nz = s.nz_nodes;
        std::printf("%5d electrodes: mesh %d x %d nodes\n", nelec, nx, nz);
        double re_error, phase_error;

        fe::Inputs real = fe::make_inputs(s, Proglim, s.driver_cells_2x, s.potential_table_a,
                                          s.potential_table_b, Potentialtables.fe_vector_a);
        real.nboreholes = 0;
        real.nelec = real.nelec_total = nelec;
        real.electrode_offset_ratio = 1.0f;
        real.margin_columns = margin;
        real.nodes_per_spacing = per_spacing;
        Figures f = measure([&] { return calresfem_sym_dbl(real); });
        errors(nelec, rho, 0, re_error, phase_error);
        print(nelec, "real band (double)", f, re_error, phase_error);

        const std::size_t cells = std::size_t(nx - 1) * (nz - 1);
        std::vector<float> re(cells), im(cells);
        ip::Inputs in = ip::make_inputs(s, Proglim);
        in.sigma_re = re.data();
        in.sigma_im = im.data();
        const ip::Outputs out{s.potential_table_a,         s.potential_table_a_ip,
                              s.potential_table_b,         s.potential_table_b_ip,
                              Potentialtables.ip_vector_a, Potentialtables.ip_vector_b,
                              Potentialtables.ip_vector_c};
        std::fill(re.begin(), re.end(), float(1 / (rho * (1 + charge * charge))));
        std::fill(im.begin(), im.end(), float(-charge / (rho * (1 + charge * charge))));
        f = measure([&] { return calresfemsipd(in, out); });
        errors(nelec, rho, std::atan(charge), re_error, phase_error);
        print(nelec, "complex IP (double)", f, re_error, phase_error);

        // Twelve frequencies from 0.1 Hz to 1 kHz of the Cole-Cole half-space.
        double seconds = 0, mib = 0, worst_re = 0, worst_phase = 0;
        int result = 0;
        for (int k = 0; k < nfreq && result == 0; ++k) {
            const float frequency = float(0.1 * std::pow(10.0, 4.0 * k / (nfreq - 1)));
            float cim, amplitude, phase, sre, sim;
            const float cre =
                cole_cole_complex_resistivity(float(rho), float(charge), float(tau), float(cexp),
                                              frequency, &cim, &amplitude, &phase, &sre, &sim);
            std::fill(re.begin(), re.end(), sre);
            std::fill(im.begin(), im.end(), sim);
            f = measure([&] { return calresfem_cmplx_flt(in, out); });
            seconds += f.seconds;
            mib = std::max(mib, f.mib);
            result = f.result;
            errors(nelec, cre, std::atan(cim / cre), re_error, phase_error);
            worst_re = std::max(worst_re, re_error);
            worst_phase = std::max(worst_phase, phase_error);
        }
        print(nelec, "spectral, per frequency (single)", {seconds / nfreq, mib, result}, worst_re,
              worst_phase);
        model::exit_globals();
    }
    return 0;
}
