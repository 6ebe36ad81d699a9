// The solver roads side by side: every forward solver of the program on the same homogeneous
// half-space line (4 node columns a spacing, 27 margin columns growing outward, 25 node
// rows: the size of the calculation driver's mesh of a dipole-dipole line), each on 1 and on 8
// threads. Prints per road the seconds (the fastest of ROADS_BENCH_REPEAT runs, 3 by default), the
// speed-up, the ratio to the five-point finite-difference road on 8 threads, the peak page memory
// and the worst error against rho / (2 pi r) for pairs up to 20 spacings apart away from the ends
// of the line; under each road the CPU seconds of its phases, summed over the threads that ran
// them.
//
//   roads_bench [ELECTRODES...]   lines of 96, 301 and 601 electrodes by default
//   ROADS_BENCH_ROADS=a,b         only the roads whose names hold one of the parts given
#include "fdsolve/fdsolve.h"
#include "fesolve/fesolve.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "support/fe_mesh.h"
#include "support/model_records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rho = 100.0;
constexpr int margin = 27, per_spacing = 4, rows = 25;

// The line being measured: its electrodes and the record it is laid out in.
struct Line {
    int nelec = 0;
    ModelSettings& s = Modelsettings;
};

// Worst |pot 2 pi r / rho - 1| over the pairs of table (N x N, leading dimension of the limits)
// at most 20 spacings apart whose electrodes lie at least nelec / 6 from the ends of the line.
double half_space_error(const double* table, int nelec) {
    const int lead = Proglim.max_electrodes, skip = nelec / 6;
    double worst = 0.0;
    for (int a = 1 + skip; a <= nelec - skip; ++a)
        for (int b = a + 1; b <= std::min(nelec - skip, a + 20); ++b)
            worst = std::max(worst,
                             std::fabs(table[index2d(a, b, lead)] * 2 * pi * (b - a) / rho - 1.0));
    return worst;
}

fd::Inputs fd_inputs(const Line& line) {
    ModelSettings& s = line.s;
    fd::Inputs in = fd::make_inputs(s, Proglim, s.cell_conductivity, s.potential_table_a,
                                    s.potential_table_b, Potentialtables.fe_vector_a);
    in.margin_columns = margin;
    in.nodes_per_spacing = per_spacing;
    in.nelec = line.nelec;
    in.remote_electrodes = 0;
    in.electrode_offset_ratio = 1.0f;
    return in;
}

fe::Inputs fe_inputs(const Line& line) {
    ModelSettings& s = line.s;
    fe::Inputs in = fe::make_inputs(s, Proglim, s.driver_cells_2x, s.potential_table_a,
                                    s.potential_table_b, Potentialtables.fe_vector_a);
    in.nboreholes = 0;
    in.nelec = in.nelec_total = line.nelec;
    in.electrode_offset_ratio = 1.0f;
    in.margin_columns = margin;
    in.nodes_per_spacing = per_spacing;
    in.remote_electrodes = 0;
    return in;
}

double real_error(const Line& line) {
    return half_space_error(line.s.potential_table_a, line.nelec);
}

// One road: a run on the line laid out in the record (the threads already set), and the worst
// error of what it wrote.
struct Road {
    const char* name;
    std::function<model::SolverResult(const Line&)> run;
    std::function<double(const Line&)> error;
};

std::vector<Road> roads() {
    std::vector<Road> list = {
        {"FD five-point", [](const Line& l) { return calaresforward_dbl(fd_inputs(l)); },
         real_error},
        {"FD nine-point", [](const Line& l) { return calaresforward_9pt(fd_inputs(l)); },
         real_error},
        {"FE band", [](const Line& l) { return calresfem_sym_dbl(fe_inputs(l)); }, real_error},
        {"FE sparse", [](const Line& l) { return calresfem_l_dbl(fe_inputs(l)); }, real_error},
    };
    // The complex roads on the same line join here: the non-linear complex IP solver, the
    // spectral solver per frequency, and the cylinder solvers (real, complex per frequency),
    // each with a run and the error of its own results.
    return list;
}

struct Figures {
    bool ok = false;
    double seconds = 0, mib = 0, error = -1;
    double phases[int(model::Phase::count)] = {};
};

// The fastest of `repeats` runs of road r on `threads` threads.
Figures measure(const Road& r, const Line& line, int threads, int repeats) {
    sys::set_pool_threads(threads);
    Figures best;
    for (int k = 0; k < repeats; ++k) {
        const long long base = sys::page_bytes_in_use();
        sys::reset_page_peak();
        model::reset_phase_seconds();
        const double start = sys::wall_seconds();
        const model::SolverResult result = r.run(line);
        Figures f;
        f.seconds = sys::wall_seconds() - start;
        f.mib = double(sys::page_bytes_peak() - base) / (1024.0 * 1024.0);
        f.ok = result.ok();
        f.error = f.ok ? r.error(line) : -1;
        for (int p = 0; p < int(model::Phase::count); ++p)
            f.phases[p] = model::phase_seconds(model::Phase(p));
        if (k == 0 || f.seconds < best.seconds) best = f;
    }
    sys::set_pool_threads(0);
    return best;
}

void print_phases(const char* label, const Figures& f) {
    std::printf("%19s %-9s", "", label);
    for (int p = 0; p < int(model::Phase::count); ++p)
        std::printf(" %s %.3f", model::phase_name(model::Phase(p)), f.phases[p]);
    std::printf("\n");
}

bool wanted(const char* name) {
    const char* v = std::getenv("ROADS_BENCH_ROADS");
    if (!v) return true;
    std::stringstream list(v);
    for (std::string token; std::getline(list, token, ',');)
        if (!token.empty() && std::string(name).find(token) != std::string::npos) return true;
    return false;
}

// Lays out the line of nelec electrodes in the record: four rows of 0.25 spacings, one of 0.35,
// five growing by 1.1 and the rest by 1.5 (the finite-difference tests' default depths, carried
// on to the 25 rows of the driver's long lines).
void lay_out_line(int nelec) {
    ModelSettings& s = Modelsettings;
    s.depth_lines[0] = 0.0f;
    for (int j = 1; j < rows; ++j) {
        const float dz = j <= 4   ? 0.25f
                         : j == 5 ? 0.35f
                                  : s.node_row_dz[j - 2] * (j <= 10 ? 1.1f : 1.5f);
        s.node_row_dz[j - 1] = dz;
        s.depth_lines[j] = s.depth_lines[j - 1] + dz;
    }
    const int nx = test_support::lay_out_fe_mesh(s, nelec, margin, per_spacing, rows, rho);
    for (int c = 0; c < (nx - 1) * (rows - 1); ++c)
        s.cell_conductivity[c] = float(1.0 / rho);
    for (int e = 0; e < nelec; ++e)
        s.driver_elec_2[e] = float(e);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int a = 1; a < argc; ++a)
        sizes.push_back(std::atoi(argv[a]));
    if (sizes.empty()) sizes = {96, 301, 601};
    const char* repeat = std::getenv("ROADS_BENCH_REPEAT");
    const int repeats = repeat ? std::max(1, std::atoi(repeat)) : 3;
    std::printf("%5s %7s  %-26s %9s %9s %8s %8s %9s %9s %10s\n", "elec", "nodes", "road", "1 [s]",
                "8 [s]", "speed-up", "x FD5 8", "1 [MiB]", "8 [MiB]", "worst err");
    for (int nelec : sizes) {
        if (init_globals() != 0) return 1;
        Proglim = test_support::bench_limits(nelec, rows + 1, per_spacing);
        Proglim.max_node_columns = Proglim.max_node_columns_b = 2 * margin + nelec * per_spacing;
        if (model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim) != 0) return 1;
        const std::string folder =
            std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/";
        model::set_work_file_paths(Modelsettings, Modelresolution, folder);
        std::snprintf(Modelsettings.nodes_file, sizeof Modelsettings.nodes_file,
                      "%sroads_bench_nodes_%d.bin", folder.c_str(), int(getpid()));
        lay_out_line(nelec);
        const Line line{nelec};
        const int nodes = Modelsettings.nx_nodes * Modelsettings.nz_nodes;
        double fd5 = 0;
        for (const Road& r : roads()) {
            if (!wanted(r.name) && std::string(r.name) != "FD five-point") continue;
            const Figures one = measure(r, line, 1, repeats);
            const Figures eight = measure(r, line, 8, repeats);
            if (std::string(r.name) == "FD five-point") fd5 = eight.seconds;
            if (!wanted(r.name)) continue;
            std::printf("%5d %7d  %-26s %9.3f %9.3f %8.2f %8.2f %9.1f %9.1f %10.5f%s\n", nelec,
                        nodes, r.name, one.seconds, eight.seconds, one.seconds / eight.seconds,
                        fd5 > 0 ? eight.seconds / fd5 : 0.0, one.mib, eight.mib, eight.error,
                        one.ok && eight.ok ? "" : "  (failed)");
            print_phases("1 thread", one);
            print_phases("8 threads", eight);
            std::fflush(stdout);
        }
        sys::delete_file(Modelsettings.nodes_file);
        model::exit_globals();
    }
    return 0;
}
