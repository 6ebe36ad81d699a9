// The solver roads side by side: every forward solver of the program on the same homogeneous
// half-space line (4 node columns a spacing, 27 margin columns growing outward, 25 node
// rows: the size of the calculation driver's mesh of a dipole-dipole line), each on 1 and on 8
// threads. Prints per road the seconds (the fastest of ROADS_BENCH_REPEAT runs, 3 by default), the
// speed-up, the ratio to the five-point finite-difference road on 8 threads, the peak page memory
// and the worst error against rho / (2 pi r) for pairs up to 20 spacings apart away from the ends
// of the line; under each road the CPU seconds of its phases, summed over the threads that ran
// them. The complex roads take the complex resistivity instead of rho: the non-linear IP
// solver rho (1 + 0.1 i), the spectral solver a Cole-Cole half-space at ten frequencies (its
// seconds per frequency, its error the worst over them), with their ratio to the real band
// road; the cylinder roads (first line only) a cylinder of 64 electrodes and 40 rings, real and
// at 10 Hz, their error that of the Wenner-alpha level-1 value against the series solution.
//
//   roads_bench [ELECTRODES...]   lines of 96, 301 and 601 electrodes by default
//   ROADS_BENCH_ROADS=a,b         only the roads whose names hold one of the parts given
#include "cylinder/cylinder.h"
#include "cylinder/mesh.h"
#include "fdsolve/fdsolve.h"
#include "fesolve/fesolve.h"
#include "ipsolve/colecole.h"
#include "ipsolve/ipsolve.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "support/cylinder_series.h"
#include "support/fe_mesh.h"
#include "support/model_records.h"

#include <algorithm>
#include <cmath>
#include <complex>
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

// The survey of the line in the inputs of any finite-element road (the complex ones' too).
void on_line(fe::Inputs& in, const Line& line) {
    in.nboreholes = 0;
    in.nelec = in.nelec_total = line.nelec;
    in.electrode_offset_ratio = 1.0f;
    in.margin_columns = margin;
    in.nodes_per_spacing = per_spacing;
    in.remote_electrodes = 0;
}

fe::Inputs fe_inputs(const Line& line) {
    ModelSettings& s = line.s;
    fe::Inputs in = fe::make_inputs(s, Proglim, s.driver_cells_2x, s.potential_table_a,
                                    s.potential_table_b, Potentialtables.fe_vector_a);
    on_line(in, line);
    return in;
}

double real_error(const Line& line) {
    return half_space_error(line.s.potential_table_a, line.nelec);
}

// One road: a run on the line laid out in the record (the threads already set), and the worst
// error of what it wrote. `per` divides the seconds (the frequencies of a spectral run);
// `once` roads run on the first line only (the cylinders have a mesh of their own).
struct Road {
    const char* name;
    std::function<model::SolverResult(const Line&)> run;
    std::function<double(const Line&)> error;
    int per = 1;
    bool once = false;
};

// The complex roads' medium: a Cole-Cole half-space (m 0.1, tau 0.01 s, c 0.5) at ten
// frequencies from 0.1 Hz to 3 kHz, and for the non-linear IP road the complex resistivity
// rho (1 + 0.1 i).
constexpr int nfreq = 10;
constexpr float charge = 0.1f, tau = 0.01f, cexp = 0.5f;
float frequency(int f) {
    return float(0.1 * std::pow(10.0, 0.5 * f) * (f % 2 == 0 ? 1.0 : 0.6));
}
std::complex<double> cole_cole(float hz) {
    float im = 0.0f, amplitude = 0.0f, phase = 0.0f, sre = 0.0f, sim = 0.0f;
    const float re = cole_cole_complex_resistivity(float(rho), charge, tau, cexp, hz, &im,
                                                   &amplitude, &phase, &sre, &sim);
    return {re, im};
}

// Worst |pot 2 pi r / rho_c - 1| of a complex table pair, over the pairs half_space_error takes.
double complex_error(const double* re, const double* im, int nelec, std::complex<double> rho_c) {
    const int lead = Proglim.max_electrodes, skip = nelec / 6;
    double worst = 0.0;
    for (int a = 1 + skip; a <= nelec - skip; ++a)
        for (int b = a + 1; b <= std::min(nelec - skip, a + 20); ++b) {
            const std::complex<double> v(re[index2d(a, b, lead)], im[index2d(a, b, lead)]);
            worst = std::max(worst, std::abs(v * (2 * pi * (b - a)) / rho_c - 1.0));
        }
    return worst;
}

// Cell conductivity grids of the complex roads: the non-linear IP road's, then one a frequency.
struct ComplexCells {
    std::vector<std::vector<float>> re, im;
    void fill(const Line& line) {
        const ModelSettings& s = line.s;
        const std::size_t cells = std::size_t(s.nx_nodes - 1) * (s.nz_nodes - 1);
        re.assign(nfreq + 1, std::vector<float>(cells));
        im = re;
        for (int f = 0; f <= nfreq; ++f) {
            const std::complex<double> sigma =
                1.0 /
                (f == 0 ? rho * std::complex<double>(1.0, charge) : cole_cole(frequency(f - 1)));
            std::fill(re[f].begin(), re[f].end(), float(sigma.real()));
            std::fill(im[f].begin(), im[f].end(), float(sigma.imag()));
        }
    }
};
ComplexCells complex_cells;

ip::Inputs ip_inputs(const Line& line, int f) {
    ModelSettings& s = line.s;
    ip::Inputs in = ip::make_inputs(s, Proglim);
    on_line(in, line);
    in.sigma_re = complex_cells.re[std::size_t(f)].data();
    in.sigma_im = complex_cells.im[std::size_t(f)].data();
    return in;
}

model::SolverResult nonlinear_ip(const Line& line) {
    ModelSettings& s = line.s;
    Potentials& p = Potentialtables;
    return calresfemsipd(ip_inputs(line, 0),
                         {s.potential_table_a, s.potential_table_a_ip, s.potential_table_b,
                          s.potential_table_b_ip, p.ip_vector_a, p.ip_vector_b, p.ip_vector_c});
}

model::SolverResult spectral_ip(const Line& line) {
    ModelSettings& s = line.s;
    Potentials& p = Potentialtables;
    const std::size_t block = std::size_t(Proglim.max_electrodes) * Proglim.max_electrodes;
    std::vector<ip::Frequency> f(nfreq);
    for (int k = 0; k < nfreq; ++k) {
        f[k].sigma_re = complex_cells.re[std::size_t(k) + 1].data();
        f[k].sigma_im = complex_cells.im[std::size_t(k) + 1].data();
        f[k].out = {p.spectral_table_a + k * block,
                    p.spectral_table_b + k * block,
                    s.potential_table_b,
                    s.potential_table_b_ip,
                    p.ip_vector_a,
                    p.ip_vector_b,
                    p.ip_vector_c};
    }
    return ip::solve_frequencies(ip_inputs(line, 1), f.data(), nfreq);
}

double spectral_error(const Line& line) {
    const std::size_t block = std::size_t(Proglim.max_electrodes) * Proglim.max_electrodes;
    double worst = 0.0;
    for (int k = 0; k < nfreq; ++k)
        worst = std::max(worst, complex_error(Potentialtables.spectral_table_a + k * block,
                                              Potentialtables.spectral_table_b + k * block,
                                              line.nelec, cole_cole(frequency(k))));
    return worst;
}

// The cylinder roads' case: 64 electrodes, 4 sectors a spacing, 40 rings from radius 1 to 0.15
// (each ring 1.25 times as thick as the one outside it, capped), homogeneous; the real solver
// (15 wavenumbers) and the complex one at 10 Hz of the Cole-Cole medium.
struct Cylinder {
    static constexpr int nelec = 64, rings = 40;
    cyl::PolarMesh mesh;
    std::vector<float> sigma_re, sigma_im;
    std::vector<double> table_re, table_im;
    std::vector<std::int32_t> nodes;
    Cylinder() {
        std::vector<float> r;
        const double growth = std::min(1.25, std::pow(40.0, 1.0 / (rings - 1)));
        const double span = std::pow(growth, rings) - 1.0;
        for (int i = 0; i <= rings; ++i)
            r.push_back(float(1.0 - 0.85 * (std::pow(growth, i) - 1.0) / span));
        cyl::build_polar_mesh(4 * nelec, rings + 1, 4, r.data(), mesh);
        table_re.assign(std::size_t(nelec) * nelec, 0.0);
        table_im = table_re;
        nodes.assign(nelec, 0);
    }
    model::SolverResult run(bool complex) {
        const std::complex<double> sigma = 1.0 / (complex ? cole_cole(10.0f) : rho);
        sigma_re.assign(mesh.elements(), float(sigma.real()));
        sigma_im.assign(mesh.elements(), float(sigma.imag()));
        cyl::SolverInputs in;
        in.nodes_per_spacing = 4;
        in.nelec = nelec;
        in.sectors = mesh.sectors;
        in.radii = mesh.radii;
        in.node_x = mesh.node_x.get();
        in.node_y = mesh.node_y.get();
        in.conductivity = sigma_re.data();
        in.conductivity_im = sigma_im.data();
        in.table = table_re.data();
        in.table_im = table_im.data();
        in.lead = nelec;
        in.electrode_nodes = nodes.data();
        return complex ? cyl::solve_transfer_potentials_complex(in)
                       : cyl::solve_transfer_potentials(in);
    }
    // |Wenner alpha value of level 1 / series value - 1|.
    double error(bool complex) const {
        auto P = [&](const std::vector<double>& t, int i, int j) {
            return t[std::size_t(i - 1) + nelec * (j - 1)];
        };
        auto W = [&](const std::vector<double>& t) {
            return (P(t, 2, 1) - P(t, 2, 4)) - (P(t, 3, 1) - P(t, 3, 4));
        };
        const double step = 2.0 * pi / nelec;
        const std::complex<double> series =
            (complex ? cole_cole(10.0f) : std::complex<double>(rho)) * 2.0 *
            test_support::cylinder_series_difference(step, 2.0 * step);
        return std::abs(std::complex<double>(W(table_re), complex ? W(table_im) : 0.0) / series -
                        1.0);
    }
};
Cylinder& cylinder() {
    static Cylinder c;
    return c;
}

std::vector<Road> roads() {
    std::vector<Road> list = {
        {"FD five-point", [](const Line& l) { return calaresforward_dbl(fd_inputs(l)); },
         real_error},
        {"FD nine-point", [](const Line& l) { return calaresforward_9pt(fd_inputs(l)); },
         real_error},
        {"FE band", [](const Line& l) { return calresfem_sym_dbl(fe_inputs(l)); }, real_error},
        {"FE sparse", [](const Line& l) { return calresfem_l_dbl(fe_inputs(l)); }, real_error},
    };
    list.push_back({"complex IP (non-linear)", nonlinear_ip, [](const Line& l) {
                        return complex_error(l.s.potential_table_a, l.s.potential_table_a_ip,
                                             l.nelec, rho * std::complex<double>(1.0, charge));
                    }});
    list.push_back({"spectral IP, per frequency", spectral_ip, spectral_error, nfreq});
    list.push_back({"cylinder 64x40 real", [](const Line&) { return cylinder().run(false); },
                    [](const Line&) { return cylinder().error(false); }, 1, true});
    list.push_back({"cylinder 64x40 complex", [](const Line&) { return cylinder().run(true); },
                    [](const Line&) { return cylinder().error(true); }, 1, true});
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
        double fd5 = 0, fe_band[2] = {0, 0};
        complex_cells.fill(line);
        for (const Road& r : roads()) {
            if (r.once && nelec != sizes.front()) continue;
            const std::string name = r.name;
            const bool reference = name == "FD five-point" || name == "FE band";
            if (!wanted(r.name) && !reference) continue;
            Figures one = measure(r, line, 1, repeats);
            Figures eight = measure(r, line, 8, repeats);
            one.seconds /= r.per;
            eight.seconds /= r.per;
            if (name == "FD five-point") fd5 = eight.seconds;
            if (name == "FE band") fe_band[0] = one.seconds, fe_band[1] = eight.seconds;
            if (!wanted(r.name)) continue;
            const int shown_nodes = r.once ? cylinder().mesh.nodes() : nodes;
            std::printf("%5d %7d  %-26s %9.3f %9.3f %8.2f %8.2f %9.1f %9.1f %10.5f%s\n",
                        r.once ? Cylinder::nelec : nelec, shown_nodes, r.name, one.seconds,
                        eight.seconds, one.seconds / eight.seconds,
                        fd5 > 0 ? eight.seconds / fd5 : 0.0, one.mib, eight.mib, eight.error,
                        one.ok && eight.ok ? "" : "  (failed)");
            if (name.find("IP") != std::string::npos && fe_band[1] > 0)
                std::printf("%19s x FE band: %.2f on 1 thread, %.2f on 8\n", "",
                            one.seconds / fe_band[0], eight.seconds / fe_band[1]);
            print_phases("1 thread", one);
            print_phases("8 threads", eight);
            std::fflush(stdout);
        }
        sys::delete_file(Modelsettings.nodes_file);
        model::exit_globals();
    }
    return 0;
}
