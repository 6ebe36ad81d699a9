// Finite-element forward benchmark: the band and sparse solvers on homogeneous half-space
// models of 24 to 601 electrodes, beside the five-point finite-difference driver on the same
// mesh. Prints the time, the peak page memory and the worst error against rho / (2 pi r) for
// pairs up to a third of the line apart, over the whole line and away from its ends.
#include "fdsolve/fdsolve.h"
#include "fesolve/fesolve.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "support/fe_mesh.h"
#include "support/model_records.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rho = 10.0;
constexpr int margin = 20, per_spacing = 4, max_rows = 100;
const int sizes[] = {24, 48, 97, 161, 301, 601};

// Worst |pot / (rho / (2 pi r)) - 1| over the pairs up to a third of the line apart whose
// electrodes both lie at least `margin` electrodes from the ends of the line.
double worst_error(const double* table, int nelec, int lead, int margin = 0) {
    double w = 0.0;
    for (int a = 1 + margin; a <= nelec - margin; ++a)
        for (int b = a + 1; b <= std::min(nelec - margin, a + nelec / 3); ++b)
            w = std::max(w, std::fabs(table[index2d(a, b, lead)] * 2 * pi * (b - a) / rho - 1.0));
    return w;
}

template <class Run> void measure(const char* name, int nelec, Run run) {
    const long long base = sys::page_bytes_in_use();
    sys::reset_page_peak();
    const auto start = std::chrono::steady_clock::now();
    const model::SolverResult result = run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mib = double(sys::page_bytes_peak() - base) / (1024.0 * 1024.0);
    const double* table = Modelsettings.potential_table_a;
    const int lead = Proglim.max_electrodes;
    const double error = result.ok() ? worst_error(table, nelec, lead) : -1;
    // Away from the line's ends, where the mesh boundary is near: what the transform leaves.
    const double inner = result.ok() ? worst_error(table, nelec, lead, nelec / 6) : -1;
    std::printf("%5d %-22s %9.3f s %9.1f MiB  worst error %7.4f  inner %7.4f  (result %d)\n", nelec,
                name, seconds, mib, error, inner, result.code());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int largest = argc > 1 ? std::atoi(argv[1]) : 601;
    std::printf("electrodes solver                        time    peak memory\n");
    for (int nelec : sizes) {
        if (nelec > largest) break;
        if (init_globals() != 0) return 1;
        Proglim = test_support::bench_limits(nelec, max_rows, per_spacing);
        if (model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim) != 0) return 1;
        const std::string folder =
            std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/";
        model::set_work_file_paths(Modelsettings, Modelresolution, folder);
        std::snprintf(Modelsettings.nodes_file, sizeof Modelsettings.nodes_file,
                      "%sfe_bench_nodes_%d.bin", folder.c_str(), int(getpid()));
        test_support::lay_out_bench_mesh(Modelsettings, nelec, margin, per_spacing, max_rows, rho);
        ModelSettings& s = Modelsettings;
        const int nx = s.nx_nodes, nz = s.nz_nodes;
        std::printf("%5d electrodes: mesh %d x %d nodes\n", nelec, nx, nz);
        measure("finite differences", nelec, [&] {
            fd::Inputs in = fd::make_inputs(s, Proglim, s.cell_conductivity, s.potential_table_a,
                                            s.potential_table_b, Potentialtables.fe_vector_a);
            in.margin_columns = margin;
            in.nodes_per_spacing = per_spacing;
            in.nelec = nelec;
            in.remote_electrodes = 0;
            in.electrode_offset_ratio = 1.0f;
            return calaresforward_dbl(in);
        });
        fe::Inputs in = fe::make_inputs(s, Proglim, s.driver_cells_2x, s.potential_table_a,
                                        s.potential_table_b, Potentialtables.fe_vector_a);
        in.nboreholes = 0;
        in.nelec = in.nelec_total = nelec;
        in.electrode_offset_ratio = 1.0f;
        in.margin_columns = margin;
        in.nodes_per_spacing = per_spacing;
        in.remote_electrodes = 0;
        measure("finite elements, band", nelec, [&] { return calresfem_sym_dbl(in); });
        measure("finite elements, sparse", nelec, [&] { return calresfem_l_dbl(in); });
        sys::delete_file(s.nodes_file);
        model::exit_globals();
    }
    return 0;
}
