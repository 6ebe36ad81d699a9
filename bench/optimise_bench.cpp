// Array-optimisation benchmark: for lines of 22 and 41 electrodes with the default settings,
// the time of the pole-pole table, of the comprehensive set's resolution (Jacobian file,
// Hessian, inversion) and of one iteration of each method from the same base set, Compare R
// with the four-lane kernels, the packed routines and the blocked kernel, on one thread and on
// eight; for 64 electrodes the same with the blocked Compare R and BGS on eight threads; then
// the whole run at the options dialog's largest settings (64 electrodes, 100 iterations, BGS as
// by default) on eight threads. Prints times, array counts, the figures reached and the peak
// page and resident memory.
#include "model/globals.h"
#include "model/records.h"
#include "optimise/optimise.h"
#include "optimise/pole_pole.h"
#include "optimise/resolution.h"
#include "optimise/run.h"
#include "optimise/selection.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What an iteration changes, to start every method from the same base set.
struct Snapshot {
    std::vector<std::int32_t> candidates, chosen;
    std::vector<double> hessian, inverse;
    std::vector<float> resolution;
    double figure = 0;

    explicit Snapshot(const opt::Run& run)
        : candidates(run.candidates.e.get(), run.candidates.e.get() + 4 * run.candidates.count),
          chosen(run.chosen), hessian(run.hessian.get(), run.hessian.get() + run.hessian.size()),
          inverse(run.inverse.get(), run.inverse.get() + run.inverse.size()),
          resolution(run.resolution.get(), run.resolution.get() + run.nblocks()),
          figure(run.figure) {}
    void restore(opt::Run& run) const {
        std::copy(candidates.begin(), candidates.end(), run.candidates.e.get());
        run.candidates.count = int(candidates.size() / 4);
        run.chosen = chosen;
        std::copy(hessian.begin(), hessian.end(), run.hessian.get());
        std::copy(inverse.begin(), inverse.end(), run.inverse.get());
        std::copy(resolution.begin(), resolution.end(), run.resolution.get());
        run.figure = figure;
    }
};

struct Method {
    const char* name;
    int method, eth_type;
    bool compare;
    opt::Evaluation how;
    int threads;
};

// One iteration as the driver runs it: goodness, ranking, adding, the enlarged set's
// resolution. Returns its time (the goodness alone in `goodness_time`), or -1 on a failure.
double iteration(opt::Run& run, const Method& m, double& goodness_time) {
    run.method = m.method;
    run.iteration = 1;
    sys::set_pool_threads(m.threads);
    const auto start = Clock::now();
    int result = m.compare ? opt::compare_r_goodness(run, m.how) : opt::eth_bgs_goodness(run);
    goodness_time = seconds_since(start);
    if (result == 0) result = opt::rank_candidates(run, false);
    std::vector<std::int32_t> added;
    if (result == 0) result = opt::add_arrays(run, false, added);
    if (result == 0) result = opt::chosen_set_resolution(run);
    return result == 0 ? seconds_since(start) : -1.0;
}

void bench(int electrodes, const std::string& folder, bool all) {
    ModelResolution settings;
    settings.opt_nelec = electrodes;
    for (char* path : settings.work_files) {
        const std::string name = path;
        std::snprintf(path, 256, "%s/%s", folder.c_str(), name.c_str());
    }
    sys::reset_page_peak();
    opt::Run run(settings);
    opt::build_grid(settings, run.grid);
    const std::size_t n = std::size_t(run.nblocks()), packed = n * (n + 1) / 2;
    if (!run.table.allocate(opt::pole_pole_table_size(run.grid)) || !run.hessian.allocate(packed) ||
        !run.inverse.allocate(packed) || !run.resolution.allocate(n) ||
        !run.comprehensive_resolution.allocate(n) || !run.comprehensive_mean.allocate(n)) {
        std::printf("%d electrodes: no memory\n", electrodes);
        return;
    }
    auto start = Clock::now();
    if (opt::pole_pole_table(run.grid, settings.work_files[2], run.table.get()) != 0) return;
    const double t_table = seconds_since(start);
    opt::ArrayList base;
    opt::generate_arrays(settings, run.grid, run.candidates, base);
    run.comprehensive_count = run.candidates.count;
    start = Clock::now();
    run.iteration = -1;
    if (opt::set_resolution(run, run.candidates.e.get(), run.candidates.count) != 0) return;
    const double t_comprehensive = seconds_since(start);
    const double comprehensive_figure = run.figure;
    std::copy(run.resolution.get(), run.resolution.get() + n, run.comprehensive_resolution.get());
    opt::mean_abs_sensitivity(run, run.candidates.e.get(), run.candidates.count,
                              run.comprehensive_mean.get());
    run.chosen.assign(base.e.get(), base.e.get() + 4 * std::size_t(base.count));
    run.iteration = 0;
    if (opt::chosen_set_resolution(run) != 0) return;
    std::printf("%d electrodes: %d layers, %d blocks, %d comprehensive and %d base arrays\n",
                electrodes, run.grid.nlayers, run.grid.nblocks, run.comprehensive_count,
                base.count);
    std::printf("  pole-pole table            %8.3f s\n", t_table);
    std::printf("  comprehensive resolution   %8.3f s   (mean %.4f; base set %.4f)\n",
                t_comprehensive, comprehensive_figure, run.figure);
    const Snapshot snapshot(run);
    using E = opt::Evaluation;
    const Method methods[] = {
        {"Compare R, kernels", opt::compare_r, 1, true, E::kernels, 1},
        {"Compare R, plain", opt::compare_r, 1, true, E::plain, 1},
        {"Compare R, blocked", opt::compare_r, 1, true, E::blocked, 1},
        {"Compare R, blocked", opt::compare_r, 1, true, E::blocked, 8},
        {"ETH, original", opt::eth, 0, false, E::plain, 1},
        {"ETH, modified", opt::eth, 1, false, E::plain, 1},
        {"BGS", opt::bgs, 1, false, E::plain, 1},
        {"BGS", opt::bgs, 1, false, E::plain, 8},
    };
    for (const Method& m : methods) {
        if (!all && !(m.threads == 8 && (m.how == E::blocked || m.method == opt::bgs))) continue;
        snapshot.restore(run);
        settings.eth_type = m.eth_type;
        double goodness = 0.0;
        const double t = iteration(run, m, goodness);
        std::printf(
            "  iteration, %-19s %d thr %8.3f s   (goodness %.3f s; %d arrays, ratio %.4f)\n",
            m.name, m.threads, t, goodness, run.nchosen(), run.figure);
    }
    std::printf("  peak page memory           %8.1f MiB\n\n",
                double(sys::page_bytes_peak()) / (1 << 20));
}

// Peak resident memory of the process so far, MiB.
double resident_peak() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The driver's whole run with the largest settings of the options dialog.
void largest_run(const std::string& folder) {
    ModelResolution settings;
    settings.opt_nelec = settings.opt_param_64;
    settings.opt_max_iterations = settings.opt_param_100;
    for (char* path : settings.work_files) {
        const std::string name = path;
        std::snprintf(path, 256, "%s/%s", folder.c_str(), name.c_str());
    }
    sys::set_current_dir(folder);
    sys::set_pool_threads(8);
    sys::reset_page_peak();
    const auto start = Clock::now();
    optimise_arrays(settings);
    const double t = seconds_since(start);
    std::vector<char> bytes;
    sys::read_whole_file(folder + "/" + settings.output_name, bytes);
    const std::string report(bytes.begin(), bytes.end());
    int iterations = 0;
    double ratio = 0.0;
    for (std::size_t at = report.find("\nIteration "); at != std::string::npos;
         at = report.find("\nIteration ", at + 1)) {
        int k = 0;
        double r = 0.0;
        if (std::sscanf(report.c_str() + at, "\nIteration %d Model resolution ratio %lf", &k, &r) ==
                2 &&
            k > 0)
            iterations = k, ratio = r;
    }
    std::printf("64 electrodes, 100 iterations at most (BGS), 8 threads: %d iterations, %d arrays, "
                "ratio %.4f, %.1f s, peak page memory %.1f MiB, peak resident %.1f MiB\n",
                iterations, settings.narrays, ratio, t, double(sys::page_bytes_peak()) / (1 << 20),
                resident_peak());
}

} // namespace

int main() {
    char folder[] = "/tmp/optimise_bench_XXXXXX";
    if (!mkdtemp(folder)) {
        std::printf("cannot make a work folder\n");
        return 1;
    }
    if (init_globals() != 0) return 1;
    for (int electrodes : {22, 41})
        bench(electrodes, folder, true);
    bench(64, folder, false);
    largest_run(folder);
    model::exit_globals();
    std::system((std::string("rm -rf ") + folder).c_str());
    return 0;
}
