// Long homogeneous lines through the whole calculation, as the main job runs them: a model file
// of a 100 ohm-m half-space is read (read command), calculated (calculate command: solver,
// transform, apparent values of the standard set) and every apparent resistivity compared with
// 100 ohm-m. Prints the nodes of the solver's mesh, the data, the seconds of the calculation on
// 1, 2, 4 and 8 threads with the speed-up, the peak page memory (8 threads) and the max and
// rms error, by finite differences (FD) and by finite elements in band (FE) and sparse (FES)
// storage, and the spectral line (SIP): the half-space a Cole-Cole medium (m 0.1, tau 0.01 s,
// c 0.5) at ten frequencies, whose complex apparent resistivities are compared with the medium's
// at every frequency too.
//
//   lines_bench             dipole-dipole lines of 96, 301 and 601 electrodes
//   lines_bench --accuracy  every array type of the array-type dialog on the three lines, with
//                           the default depths of 16 rows (generic and the array's own) and with
//                           16 explicit rows down to 12 spacings, by finite differences and
//                           finite elements; then the --reference models
//   lines_bench --reference short lines, layered and contact models against their analytic
//                           values
//   lines_bench --writers   the data file and the model file with results of the three lines
//                           (finite differences): seconds to make each text and to save it
//                           (made, written and synced), the fastest of LINES_BENCH_REPEAT runs
//
// Selections for the tables, from the environment: LINES_BENCH_ARRAYS (names or parts of them,
// comma-separated), LINES_BENCH_LINES (electrode counts), LINES_BENCH_METHODS (fd, fe, band,
// sparse: the timings run fd, fe band and fe sparse, the tables fd and fe),
// LINES_BENCH_DEPTHS (default, typed, to 12); LINES_BENCH_SKIP_SPEED=1 leaves out the
// dipole-dipole timings (LINES_BENCH_LINES and LINES_BENCH_METHODS select among them too,
// LINES_BENCH_REPEAT=R times each run R times, 3 by default, and keeps the fastest: a run
// that another program on the machine slowed down does not count),
// LINES_BENCH_SKIP_ABORT=1 the abort latencies, LINES_BENCH_WORST=1 prints the worst datum of
// every run. Under the timings, the CPU seconds of each phase of the 1- and 8-thread runs
// (summed over the threads that ran it; the transform's and the apparent values' are those of
// the calling thread).
#include "forward/commands.h"
#include "forward/datafile.h"
#include "forward/mesh_reach.h"
#include "ipsolve/colecole.h"
#include "model/datum_points.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/phase_clock.h"
#include "model/records.h"
#include "model/services.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/ui.h"
#include "shell/limits.h"
#include "support/recording_backend.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double rho = 100.0;

enum class Depths { default_16, typed_16, shallow_16 };
const char* const depth_names[] = {"default", "typed", "to 12"};

struct ArrayCase {
    const char* name;
    int file_code;   ///< the code the model file holds
    int internal;    ///< the internal code the run uses (multiple gradient is not read from files)
    int reverse = 0; ///< reverse pole-dipole
};

// Every array the array-type dialog offers.
const ArrayCase arrays[] = {
    {"Wenner Alpha", 1, 1},         {"Wenner Beta", 4, 2},
    {"Wenner Gamma", 5, 3},         {"Pole-Pole", 2, 4},
    {"Dipole-Dipole", 3, 5},        {"Pole-Dipole", 6, 6},
    {"Pole-Dipole rev.", 6, 6, 1},  {"Wenner-Schlumberger", 7, 7},
    {"Equatorial D-D", 8, 8},       {"Gradient", 9, 9},
    {"Offset Pole-Dipole", 10, 10}, {"Multiple Gradient", 9, 15},
};

// The spectral line's Cole-Cole medium: m 0.1, tau 0.01 s, c 0.5 at ten frequencies.
constexpr int spectral_frequencies = 10;
const char* const spectral_values = "0.1 0.3 1.0 3.0 10.0 30.0 100.0 300.0 1000.0 3000.0";

// A homogeneous model file: one block a row, 16 grid rows (default depths, or explicit ones
// from 0.25 growing to 12 spacings), 4 nodes per spacing; with `spectral` the Cole-Cole medium
// above (its chargeability as the IP values).
std::string model_text(int nelec, const ArrayCase& a, Depths depths, bool spectral = false) {
    std::ostringstream f;
    f << "Homogeneous half-space of 100 ohm-m, " << nelec << " electrodes\n"
      << nelec << "\n8\n0\n1.0\n"
      << (depths == Depths::shallow_16 ? 2
          : depths == Depths::typed_16 ? 1
                                       : 0)
      << "\n0 1\n1\n4\n100\n16\n";
    if (depths == Depths::shallow_16) {
        // 16 lines down to 12 spacings, each step 1.2 times the one before.
        const double ratio = 1.2, first = 12.0 * (ratio - 1.0) / (std::pow(ratio, 16) - 1.0);
        double z = 0.0, step = first;
        for (int i = 0; i < 16; ++i) {
            z += step;
            step *= ratio;
            char v[32];
            std::snprintf(v, sizeof v, "%.4f ", i == 15 ? 12.0 : z);
            f << v;
        }
        f << "\n";
    }
    for (int i = 0; i < 16; ++i)
        f << "0\n";
    if (spectral) {
        const char* sections[] = {"Spectral IP present\n1\n0.1\n", "Time constants\n1\n0.01\n",
                                  "Cole-Cole exponents\n1\n0.5\n"};
        for (const char* section : sections) {
            f << section;
            for (int i = 0; i < 16; ++i)
                f << "0\n";
        }
        f << "Number of frequencies\n"
          << spectral_frequencies << "\nFrequency values\n"
          << spectral_values << "\n";
    }
    f << a.file_code << "\n";
    if (a.file_code == 8 || a.file_code == 10) f << "1.0\n";
    if (a.file_code == 9) f << "Gradient array parameters\n1 1 1 1 1 1\n";
    return f.str();
}

/// Potential at x (unit spacings along the line) and y across it of a unit current at x0 on
/// the line.
using PairPotential = std::function<double(double x0, double x, double y)>;

/// Two layers: rho1 down to depth h over rho2 (the image series).
PairPotential two_layers(double rho1, double rho2, double h) {
    return [=](double x0, double x, double y) {
        const double k = (rho2 - rho1) / (rho2 + rho1), r = std::hypot(x - x0, y);
        double sum = 1.0 / r, kn = 1.0;
        for (int n = 1; n < 2000 && std::fabs(kn) > 1e-12; ++n) {
            kn *= k;
            sum += 2.0 * kn / std::hypot(r, 2.0 * n * h);
        }
        return rho1 / (2.0 * M_PI) * sum;
    };
}

/// A vertical contact at xc: rho1 on the left, rho2 on the right (one image).
PairPotential vertical_contact(double rho1, double rho2, double xc) {
    return [=](double x0, double x, double y) {
        const bool left = x0 < xc;
        const double own = left ? rho1 : rho2, other = left ? rho2 : rho1;
        const double k = (other - own) / (other + own), r = std::hypot(x - x0, y);
        if ((x < xc) != left) return own * (1.0 + k) / (2.0 * M_PI * r);
        return own / (2.0 * M_PI) * (1.0 / r + k / std::hypot(x - (2.0 * xc - x0), y));
    };
}

/// The apparent resistivity of datum d from the pair potential v: its geometric factor times
/// the potential difference of its electrodes (electrode i at x = i - 1). The equatorial
/// dipole-dipole datum measures the potential on the line less that at the strike offset; the
/// offset pole-dipole one has its current electrode on the offset line.
double apparent(const ModelSettings& m, int d, const PairPotential& v) {
    const int c[2] = {m.datum_c1[d], m.datum_c2[d]}, p[2] = {m.datum_p1[d], m.datum_p2[d]};
    const double s = m.electrode_offset_ratio;
    if (m.array_type == 8)
        return m.datum_gfactor[d] * (v(c[0] - 1.0, p[0] - 1.0, 0.0) - v(c[0] - 1.0, p[0] - 1.0, s));
    const double y = m.array_type == 10 ? s : 0.0;
    double dv = 0.0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            if (c[i] > 0 && p[j] > 0) dv += (i == j ? 1.0 : -1.0) * v(c[i] - 1.0, p[j] - 1.0, y);
    return m.datum_gfactor[d] * dv;
}

struct Result {
    bool ok = false;
    int nodes = 0, data = 0, worst = -1;
    double seconds = 0, cpu = 0, peak_mib = 0, max_error = 0, rms_error = 0;
    double abort_latency = -1; ///< seconds from the abort key to the end of the run
    double phases[int(model::Phase::count)] = {}; ///< seconds of each phase, summed over threads
};

class Session {
  public:
    Session() {
        ui::reset();
        ui::install_backend(&backend_);
        char dir[] = "/tmp/lines_bench_XXXXXX";
        if (!::mkdtemp(dir)) std::abort();
        home_ = dir;
        home_ += "/";
        if (init_globals() != 0) std::abort();
        shell::set_program_limits(Proglim, shell::widest_tier_width, sys::physical_memory_bytes());
        if (model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim) != 0)
            std::abort();
        model::set_work_file_paths(Modelsettings, Modelresolution, home_);
    }
    ~Session() {
        model::exit_globals();
        ui::install_backend(nullptr);
        ui::reset();
        std::string command = "rm -rf " + home_;
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", home_.c_str());
    }

    const std::string& home() const { return home_; }

    /// fem 3: the spectral line, by finite elements in band storage.
    Result run(int nelec, const ArrayCase& a, Depths depths, int fem, double break_after = -1) {
        return run(model_text(nelec, a, depths, fem == 3), a, fem == 3 ? 1 : fem, nullptr,
                   break_after);
    }

    /// Reads `text`, calculates with array `a` by finite differences (fem 0) or elements in band
    /// (1) or sparse storage (2) and
    /// compares every apparent resistivity with the one the pair potential `v` gives (100 ohm-m
    /// without one). With `break_after` >= 0 the abort key comes that many seconds into the
    /// calculation.
    Result run(const std::string& text, const ArrayCase& a, int fem, const PairPotential& v,
               double break_after = -1) {
        Result r;
        const std::string path = home_ + "line.mod";
        std::ofstream(path) << text;
        ModelSettings& m = Modelsettings;
        headless::Action file;
        file.kind = headless::ActionKind::file;
        file.text = path;
        backend_.push_answer(file);
        read_model_command(Progdisplay, m);
        if (m.model_read != 1) {
            std::fprintf(stderr, "%s", out_.str().c_str());
            return r;
        }
        m.fem = fem > 0 ? 1 : 0;
        m.sparsefem = fem == 2 ? 1 : 0;
        m.array_type = a.internal;
        m.pole_dipole_reverse = a.reverse;
        const long long base = sys::page_bytes_in_use();
        sys::reset_page_peak();
        model::reset_phase_seconds();
        command_started(); // as a menu command does: no abort key left from the run before
        const double start = sys::wall_seconds(), cpu = sys::cpu_seconds();
        if (break_after >= 0) {
            test_support::TimedBreak breaker(break_after);
            ui::install_backend(&breaker);
            start_calculations(Progdisplay, m, Proglim, Potentialtables);
            ui::install_backend(&backend_);
            if (breaker.typed > 0) r.abort_latency = sys::wall_seconds() - breaker.typed;
        } else {
            start_calculations(Progdisplay, m, Proglim, Potentialtables);
        }
        r.seconds = sys::wall_seconds() - start;
        r.cpu = sys::cpu_seconds() - cpu;
        r.peak_mib = double(sys::page_bytes_peak() - base) / 1048576.0;
        r.ok = m.data_ready == 1;
        for (int p = 0; p < int(model::Phase::count); ++p)
            r.phases[p] = model::phase_seconds(model::Phase(p));
        const forward::SolverMesh mesh(m, forward::reach_for_span(forward::widest_datum_span(m)));
        r.nodes = mesh.nx * mesh.nz;
        r.data = m.ndata;
        double sum = 0.0;
        for (int d = 0; d < m.ndata; ++d) {
            const double expected = v ? apparent(m, d, v) : rho;
            const double e = std::fabs(m.app_resistivity[d] / expected - 1.0);
            if (e > r.max_error) r.worst = d;
            r.max_error = std::max(r.max_error, e);
            sum += e * e;
        }
        r.rms_error = m.ndata > 0 ? std::sqrt(sum / m.ndata) : 0.0;
        // A spectral model: the complex apparent resistivity of every datum and frequency
        // against the Cole-Cole resistivity of the medium too.
        const std::size_t stride = std::size_t(Proglim.max_data_points);
        for (int f = 0; f < (m.ntau > 0 ? m.nfreq : 0); ++f) {
            float im = 0.0f, amplitude = 0.0f, phase = 0.0f, sre = 0.0f, sim = 0.0f;
            const std::complex<double> cole(
                cole_cole_complex_resistivity(float(rho), 0.1f, 0.01f, 0.5f, m.frequencies[f], &im,
                                              &amplitude, &phase, &sre, &sim),
                im);
            for (int d = 0; d < m.ndata; ++d) {
                const std::complex<double> v(m.sip_inphase[d + f * stride],
                                             m.sip_quadrature[d + f * stride]);
                r.max_error = std::max(r.max_error, std::abs(v / cole - 1.0));
            }
        }
        if (std::getenv("LINES_BENCH_WORST") && r.worst >= 0)
            std::printf("[worst %s: d %d first %d a %d n %g value %g] ", a.name, r.worst,
                        m.datum_first_electrode[r.worst], m.datum_a[r.worst],
                        double(m.datum_n[r.worst]), double(m.app_resistivity[r.worst]));
        out_.str("");
        log_.str("");
        return r;
    }

  private:
    std::ostringstream out_, log_, err_;
    headless::Transcript transcript_{out_, &log_, err_, "bench"};
    headless::ScriptBackend backend_{transcript_, "."};
    std::string home_;
};

const int lines[] = {96, 301, 601};

// The solvers of the timings: finite differences, finite elements in band and in sparse storage,
// and the spectral line (finite elements in band storage and the spectral IP run).
const char* const method_names[] = {"fd", "fe band", "fe sparse", "spectral"};
const char* const method_labels[] = {"FD", "FE", "FES", "SIP"};

bool wanted(const char* env, const std::string& item) {
    const char* v = std::getenv(env);
    if (!v) return true;
    std::stringstream list(v);
    for (std::string token; std::getline(list, token, ',');)
        if (!token.empty() && item.find(token) != std::string::npos) return true;
    return false;
}

// The CPU seconds of each phase of run r, summed over the threads that ran it, and the run's
// CPU and wall-clock seconds.
void print_phases(const char* label, const Result& r) {
    std::printf("%14s %-9s", "", label);
    for (int p = 0; p < int(model::Phase::count); ++p)
        std::printf(" %s %.3f", model::phase_name(model::Phase(p)), r.phases[p]);
    std::printf("; cpu %.3f wall %.3f\n", r.cpu, r.seconds);
}

void speed(Session& s) {
    const ArrayCase& dd = arrays[4];
    const char* repeat = std::getenv("LINES_BENCH_REPEAT");
    const int repeats = repeat ? std::max(1, std::atoi(repeat)) : 3;
    const int threads[] = {1, 2, 4, 8};
    std::printf("Dipole-dipole lines, default depths of 16 rows, whole standard set; seconds of "
                "the calculation on 1, 2, 4 and 8 threads\n");
    std::printf("%5s %-4s %8s %7s %8s %8s %8s %8s %8s %10s %9s %9s\n", "elec", "", "nodes", "data",
                "1 [s]", "2 [s]", "4 [s]", "8 [s]", "speed-up", "peak [MiB]", "max err", "rms err");
    for (int nelec : lines)
        for (int fem : {0, 1, 2, 3}) {
            if (!wanted("LINES_BENCH_LINES", std::to_string(nelec)) ||
                !wanted("LINES_BENCH_METHODS", method_names[fem]))
                continue;
            Result r, one;
            double seconds[4] = {};
            for (int t = 0; t < 4; ++t) {
                sys::set_pool_threads(threads[t]);
                // The fastest of `repeats` runs: the one least disturbed by other work.
                for (int k = 0; k < repeats; ++k) {
                    const Result run = s.run(nelec, dd, Depths::default_16, fem);
                    if (k == 0 || run.seconds < r.seconds) r = run;
                }
                seconds[t] = r.seconds;
                if (t == 0) one = r;
            }
            sys::set_pool_threads(0);
            std::printf("%5d %-4s %8d %7d %8.3f %8.3f %8.3f %8.3f %8.2f %10.1f %8.2f%% %8.3f%%%s\n",
                        nelec, method_labels[fem], r.nodes, r.data, seconds[0], seconds[1],
                        seconds[2], seconds[3], seconds[0] / seconds[3], r.peak_mib,
                        100 * r.max_error, 100 * r.rms_error, r.ok ? "" : "  (failed)");
            print_phases("1 thread", one);
            print_phases("8 threads", r);
            std::fflush(stdout);
        }
}

// The abort key during a parallel run: the seconds from the key to the end of the run.
void abort_latency(Session& s) {
    std::printf("\nAbort key 0.02 s into a run on 8 threads: seconds from the key to the end of "
                "the calculation\n");
    sys::set_pool_threads(8);
    for (int nelec : lines)
        for (int fem : {0, 1, 2, 3}) {
            if (!wanted("LINES_BENCH_METHODS", method_names[fem])) continue;
            const Result r = s.run(nelec, arrays[4], Depths::default_16, fem, 0.02);
            std::printf("%5d %-4s %8.3f%s\n", nelec, method_labels[fem], r.abort_latency,
                        r.ok ? "  (not stopped)" : "");
            std::fflush(stdout);
        }
    sys::set_pool_threads(0);
}

void accuracy(Session& s) {
    std::printf("\nLargest error against 100 ohm-m, %% (FD / FE)\n");
    std::printf("%-20s %5s", "array", "elec");
    for (const char* d : depth_names)
        std::printf(" %17s", d);
    std::printf("\n");
    for (const ArrayCase& a : arrays) {
        if (!wanted("LINES_BENCH_ARRAYS", a.name)) continue;
        for (int nelec : lines) {
            if (!wanted("LINES_BENCH_LINES", std::to_string(nelec))) continue;
            std::printf("%-20s %5d", a.name, nelec);
            double cpu = 0;
            for (Depths d : {Depths::default_16, Depths::typed_16, Depths::shallow_16}) {
                if (!wanted("LINES_BENCH_DEPTHS", depth_names[int(d)])) continue;
                Result fd, fe;
                if (wanted("LINES_BENCH_METHODS", "fd")) fd = s.run(nelec, a, d, 0);
                if (wanted("LINES_BENCH_METHODS", "fe")) fe = s.run(nelec, a, d, 1);
                cpu += fd.cpu + fe.cpu;
                char cell[40];
                std::snprintf(cell, sizeof cell, "%7.2f /%7.2f", fd.ok ? 100 * fd.max_error : -1,
                              fe.ok ? 100 * fe.max_error : -1);
                std::printf(" %17s", cell);
            }
            std::printf("   cpu %.1f s\n", cpu);
            std::fflush(stdout);
        }
    }
}

// A 25-electrode line of 16 rows down to 19.5 spacings (a grid line at 2), 4 nodes a
// spacing, with 96 blocks a row: `code(column, row)` gives each block's resistivity index.
std::string short_model(const char* resistivities, int count, int file_code,
                        const std::function<char(int, int)>& code) {
    std::ostringstream f;
    f << "Short line\n25\n8\n0\n1.0\n2\n0 96\n"
      << count << "\n4\n"
      << resistivities
      << "\n16\n0.25 0.5 0.75 1.0 1.5 2.0 2.5 3.0 4.0 5.0 6.5 8.0 10.0 12.5 15.5 19.5\n";
    for (int row = 1; row <= 16; ++row) {
        for (int column = 1; column <= 96; ++column)
            f << code(column, row);
        f << "\n";
    }
    f << file_code << "\n";
    if (file_code == 8 || file_code == 10) f << "1.0\n";
    return f.str();
}

void reference_models(Session& s) {
    std::printf("\nShort lines, layered and contact models: largest error against the "
                "analytic value, %% (FD / FE)\n");
    struct Model {
        const char* name;
        const char* resistivities;
        int count;
        std::function<char(int, int)> code;
        PairPotential v;
    };
    const Model models[] = {
        {"homogeneous 100", "100", 1, [](int, int) { return '0'; }, nullptr},
        {"100 over 10 at 2", "100 10", 2, [](int, int row) { return row <= 6 ? '0' : '1'; },
         two_layers(100, 10, 2)},
        {"100 over 1000 at 2", "100 1000", 2, [](int, int row) { return row <= 6 ? '0' : '1'; },
         two_layers(100, 1000, 2)},
        {"contact 100 | 10", "100 10", 2, [](int column, int) { return column <= 50 ? '0' : '1'; },
         vertical_contact(100, 10, 12.5)},
    };
    for (const Model& model : models)
        for (const ArrayCase& a : arrays) {
            if ((a.internal == 9 || a.internal == 15) && model.v) continue; // half-space only
            if (!wanted("LINES_BENCH_ARRAYS", a.name)) continue;
            const std::string text =
                short_model(model.resistivities, model.count, a.file_code, model.code);
            const Result fd = s.run(text, a, 0, model.v), fe = s.run(text, a, 1, model.v);
            std::printf("%-20s %-20s %7.2f /%7.2f\n", model.name, a.name,
                        fd.ok ? 100 * fd.max_error : -1, fe.ok ? 100 * fe.max_error : -1);
            std::fflush(stdout);
        }
}

// The fastest of `repeats` calls of `work`, in wall-clock seconds.
template <class Work> double fastest(int repeats, Work work) {
    double best = 0.0;
    for (int k = 0; k < repeats; ++k) {
        const double start = sys::wall_seconds();
        work();
        const double seconds = sys::wall_seconds() - start;
        if (k == 0 || seconds < best) best = seconds;
    }
    return best;
}

void writers(Session& s) {
    const char* repeat = std::getenv("LINES_BENCH_REPEAT");
    const int repeats = repeat ? std::max(1, std::atoi(repeat)) : 3;
    std::printf("Writers after a finite-difference dipole-dipole calculation: seconds to make the "
                "text on 1 and %d threads, and to save the file on %d (text, write, sync)\n",
                sys::pool_threads(), sys::pool_threads());
    std::printf("%5s %7s %-12s %10s %9s %9s %9s %9s\n", "elec", "data", "file", "bytes", "1 [s]",
                "text [s]", "save [s]", "MB/s");
    for (int nelec : lines) {
        if (!wanted("LINES_BENCH_LINES", std::to_string(nelec))) continue;
        const Result r = s.run(nelec, arrays[4], Depths::default_16, 0);
        if (!r.ok) continue;
        ModelSettings& m = Modelsettings;
        m.noise_level = 0.0f;
        const WriterRecords records{m, Proglim, Potentialtables, Systemsettings, Progdisplay};
        for (int mode : {1, 0}) {
            std::size_t bytes = 0;
            auto text = [&] {
                bytes =
                    (mode ? forward::data_file_text(records) : forward::model_file_text(records))
                        .size();
            };
            sys::set_pool_threads(1);
            const double one = fastest(repeats, text);
            sys::set_pool_threads(0);
            const double all = fastest(repeats, text);
            const std::string path = s.home() + (mode ? "line.dat" : "line_results.mod");
            const double save = fastest(repeats, [&] {
                save_inv_datafile_from_record(m, Systemsettings, Progdisplay, mode, path.c_str());
            });
            std::printf("%5d %7d %-12s %10zu %9.4f %9.4f %9.4f %9.1f\n", nelec, r.data,
                        mode ? "data" : "model+result", bytes, one, all, save,
                        double(bytes) / 1e6 / save);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool full = argc > 1 && std::strcmp(argv[1], "--accuracy") == 0;
    Session s;
    if (argc > 1 && std::strcmp(argv[1], "--writers") == 0) {
        writers(s);
        return 0;
    }
    if (!std::getenv("LINES_BENCH_SKIP_SPEED")) {
        speed(s);
        if (!std::getenv("LINES_BENCH_SKIP_ABORT")) abort_latency(s);
    }
    if (full) accuracy(s);
    if (full || (argc > 1 && std::strcmp(argv[1], "--reference") == 0)) reference_models(s);
    return 0;
}
