// The optimisation run, phase by phase, and its script action.
#include "optimise/optimise.h"

#include "model/globals.h"
#include "model/records.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "optimise/options_dialog.h"
#include "optimise/pole_pole.h"
#include "optimise/protocol.h"
#include "optimise/report.h"
#include "optimise/resolution.h"
#include "optimise/run.h"
#include "optimise/selection.h"
#include "optimise/workspace.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "platform/ui/ui.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace opt;

namespace {

// What the summary keeps of an iteration.
struct IterationRecord {
    int iteration = 0;
    double seconds = 0;
    int arrays = 0;
    double figure = 0;
};

// Removes the run's work files when it ends, however it ends.
struct WorkFiles {
    explicit WorkFiles(const ModelResolution& settings) : s(settings) {}
    ~WorkFiles() {
        for (const char* path : s.work_files)
            sys::delete_file(path);
    }
    const ModelResolution& s;
};

class Driver {
  public:
    explicit Driver(ModelResolution& settings)
        : s_(settings), files_(settings), run_(settings), report_(report_name(settings)) {}
    void run();

  private:
    ModelResolution& s_;
    WorkFiles files_;
    Run run_;
    Report report_;
    ArrayList base_;
    bool stopped_ = false; ///< the user pressed an abort key
    std::uint32_t start_ = sys::tick_count_ms();
    std::vector<IterationRecord> done_;
    double comprehensive_figure_ = 0;

    static std::string report_name(ModelResolution& s);
    double seconds() const { return double(sys::tick_count_ms() - start_) * 0.001; }
    bool fail_memory();
    bool stopped(int result);
    bool prepare();
    bool generate();
    bool table();
    bool save_sets();
    bool comprehensive_set();
    bool base_set();
    void iterations();
    bool iterate(bool compare);
    bool may_go_on(int last_iteration, float array_limit) const;
    void summary();
    void outputs();
    // Report sections.
    void list_chosen();
    void block_line(const char* format, int block, bool ratio);
};

const char* title_of(int method, int eth_type) {
    switch (method) {
    case compare_r:
        return "Compare R method used";
    case eth:
        return eth_type == 0 ? "ETH method used" : "Modified ETH method used";
    case bgs:
        return "BGS method used";
    default:
        return "BGS-CPR method used";
    }
}

std::string Driver::report_name(ModelResolution& s) {
    static const char* names[] = {"model_res_cpr", "model_res_eth", "model_res_bgs",
                                  "model_res_bgs_cpr"};
    const int method = s.opt_param_2 >= 0 && s.opt_param_2 <= 3 ? s.opt_param_2 : bgs;
    std::string name = names[method];
    if (method == eth && s.eth_type != 0) name += "_mdf";
    if (method == compare_r && s.compare_r_variant != 0) name += "_trc";
    char tail[32];
    std::snprintf(tail, sizeof tail, "_%2d.txt", line_electrodes(s));
    model::copy_text(s.output_name, sizeof s.output_name, (name + tail).c_str());
    return s.output_name;
}

bool Driver::fail_memory() {
    model::show_message("Insufficient memory for the array optimisation.", "Message");
    return false;
}

void Driver::block_line(const char* format, int b, bool ratio) {
    const Grid& g = run_.grid;
    const int column = g.column(b), layer = g.layer(b);
    const double x = 0.5 * (g.position(column) + g.position(column + 1));
    const double z = 0.5 * (g.z[std::size_t(layer - 1)] + g.z[layer]);
    const double r = run_.resolution[std::size_t(b - 1)];
    if (ratio)
        report_.print(format, b, column, layer, x, z, r,
                      r / run_.comprehensive_resolution[std::size_t(b - 1)]);
    else
        report_.print(format, b, column, layer, x, z, r);
}

void Driver::list_chosen() {
    report_.print("\nIteration %d, Number in optimum arrays %d.\n", run_.iteration, run_.nchosen());
    report_.print("Arrays in optimized data set.\n No.  C1  C2  P1  P2\n");
    for (int k = 0; k < run_.nchosen(); ++k) {
        const std::int32_t* e = run_.chosen.data() + 4 * std::size_t(k);
        report_.print("%4d %3d %3d %3d %3d\n", k + 1, e[0], e[1], e[2], e[3]);
    }
}

bool Driver::stopped(int result) {
    if (result == resolution_stopped) stopped_ = true;
    return stopped_;
}

// The grid and the matrices of the run.
bool Driver::prepare() {
    build_grid(s_, run_.grid);
    report_.print("Number of model layers is %d.\nNumber of model blocks is %d.\n",
                  run_.grid.nlayers, run_.grid.nblocks);
    const std::size_t packed = std::size_t(run_.nblocks()) * std::size_t(run_.nblocks() + 1) / 2;
    const std::size_t blocks = std::size_t(run_.nblocks());
    if (!run_.hessian.allocate(packed) || !run_.inverse.allocate(packed) ||
        !run_.resolution.allocate(blocks) || !run_.comprehensive_resolution.allocate(blocks) ||
        !run_.comprehensive_mean.allocate(blocks))
        return fail_memory();
    return true;
}

// The arrays, in memory; then whether the run has room for what it will write and hold.
bool Driver::generate() {
    if (!generate_arrays(s_, run_.grid, run_.candidates, base_)) return fail_memory();
    run_.comprehensive_count = run_.candidates.count;
    const WorkSpace need =
        work_space_needed(s_, run_.grid, run_.candidates.count, base_.count, sys::pool_threads());
    return work_space_available(s_, need);
}

// The pole-pole table and its work file.
bool Driver::table() {
    if (!run_.table.allocate(pole_pole_table_size(run_.grid))) return fail_memory();
    const int result = pole_pole_table(run_.grid, s_.work_files[2], run_.table.get());
    if (result == 3) stopped_ = true;
    if (result != 0 && !stopped_) file_creation_error(s_.work_files[2]);
    return result == 0;
}

bool Driver::save_sets() {
    update_status("Saving base arrays", 0);
    if (!save_arrays(s_.work_files[0], base_.e.get(), base_.count)) {
        file_creation_error(s_.work_files[0]);
        return false;
    }
    update_status("Saving comprehensive arrays", 0);
    if (!save_arrays(s_.work_files[1], run_.candidates.e.get(), run_.candidates.count)) {
        file_creation_error(s_.work_files[1]);
        return false;
    }
    static const char* kinds[] = {"Both Beta and Alpha arrays allowed.\n",
                                  "Only Beta arrays allowed.\n", "Only Alpha arrays allowed.\n"};
    report_.print("Number of electrodes in line is %d.\n", run_.grid.nelec);
    report_.print("%s", kinds[s_.array_kinds >= 0 && s_.array_kinds <= 2 ? s_.array_kinds : 0]);
    report_.print("%s", s_.keep_symmetry == 1
                            ? "Attempt to preserve symmetry for final optimized array set "
                              "carried out.\n"
                            : "No attempt to preserve symmetry for final optimized array set.\n");
    report_.print("Number of arrays in comprehensive data set is %d.\nNumber of arrays in initial "
                  "optimized data set is %d.\n",
                  run_.candidates.count, base_.count);
    run_.chosen.assign(std::size_t(4) * std::size_t(base_.count), 0);
    base_ = ArrayList();
    update_status("End saving arrays", 0);
    return true;
}

bool Driver::comprehensive_set() {
    update_status("Model Resolution comprehensive data set.", 0);
    run_.iteration = -1;
    if (run_.method == eth && s_.eth_type == 0)
        mean_abs_sensitivity(run_, run_.candidates.e.get(), run_.candidates.count,
                             run_.comprehensive_mean.get());
    const int result = set_resolution(run_, run_.candidates.e.get(), run_.candidates.count);
    if (stopped(result)) return false;
    sys::rename_file(s_.work_files[3], s_.work_files[4]);
    if (result == resolution_ok) {
        report_.print("Model resolution values\nBlock  Horiz. Layer X-Center Z-Center "
                      "Resolution\n");
        for (int b = 1; b <= run_.nblocks(); ++b)
            block_line("%5d %5d %5d  %8.3f %8.3f %10.7f\n", b, false);
        report_.print("Comprehensive data set average model resolution %.4f\n", run_.figure);
    }
    comprehensive_figure_ = set_figure(run_);
    report_.print("Model resolution for comprehensive data set is %.4f\nDamping factor is %s\n",
                  comprehensive_figure_, model::significant_value("%.4f", s_.opt_damping).c_str());
    if (result != resolution_ok) {
        report_.print("Error in model resolution calcuation for comprehensive data set\n");
        return false;
    }
    std::copy(run_.resolution.get(), run_.resolution.get() + run_.nblocks(),
              run_.comprehensive_resolution.get());
    update_status("End Model Resolution comprehensive data set.", 0);
    return true;
}

// The base set as iteration 0; false when its resolution failed (no iteration can follow).
bool Driver::base_set() {
    update_status("Readings Optimum arrays.", 0);
    update_status("Model Resolution initial base data set.", 0);
    update_status("Reading base arrays.", 0);
    run_.iteration = 0;
    if (!load_arrays(s_.work_files[0], run_.chosen.data(), run_.nchosen())) {
        file_creation_error(s_.work_files[0]);
        run_.chosen.clear();
        return false;
    }
    list_chosen();
    const int result = chosen_set_resolution(run_);
    if (stopped(result) || result != resolution_ok) return false;
    report_.print("Damping factor %s\nUpdated model resolution values\n",
                  model::significant_value("%.4f", s_.opt_damping).c_str());
    for (int b = 1; b <= run_.nblocks(); ++b)
        block_line("%4d %4d %4d  %8.3f %8.3f %10.7f\n", b, false);
    report_.print("Iteration 0 Model resolution ratio %.4f\nRatio of optimum arrays number to "
                  "total arrays %.4f\n",
                  run_.figure, double(run_.nchosen()) / run_.comprehensive_count);
    report_.print("Time taken %.2f\n", seconds());
    report_.flush();
    return true;
}

bool Driver::may_go_on(int last_iteration, float array_limit) const {
    const float grown = float(run_.nchosen()) * (1.0f + s_.opt_extra_ratio);
    return run_.iteration <= last_iteration && grown < float(run_.candidates.count) &&
           grown < array_limit && Nextwind.next_flag == 0;
}

// One iteration; false when it failed (the chosen set is then as before it).
bool Driver::iterate(bool compare) {
    iteration_progress(run_, -1.0);
    const bool symmetric = s_.keep_symmetry == 1 && run_.iteration == s_.opt_max_iterations;
    int result = compare ? compare_r_goodness(run_, Evaluation::blocked) : eth_bgs_goodness(run_);
    if (result == 0) result = rank_candidates(run_, symmetric);
    if (stopped(result) || result != 0) return false;
    save_arrays(s_.work_files[1], run_.candidates.e.get(), run_.candidates.count);
    const int before = run_.nchosen();
    std::vector<std::int32_t> added;
    add_arrays(run_, symmetric, added);
    report_.print("New arrays added %4d\nNew optimised arrays\n", int(added.size() / 4));
    for (std::size_t k = 0; k < added.size() / 4; ++k)
        report_.print("%6d  %3d %3d %3d %3d\n", before + int(k) + 1, added[4 * k], added[4 * k + 1],
                      added[4 * k + 2], added[4 * k + 3]);
    result = chosen_set_resolution(run_);
    if (stopped(result) || result != resolution_ok) {
        run_.chosen.resize(std::size_t(4) * std::size_t(before));
        return false;
    }
    list_chosen();
    report_.print("Model resolution values\nBlock  Horiz. Layer X-Center Z-Center Resolution "
                  "Res. Ratio\n");
    for (int b = 1; b <= run_.nblocks(); ++b)
        block_line("%5d %5d %5d  %8.3f %8.3f %10.7f %10.7f\n", b, true);
    const double share = double(run_.nchosen()) / run_.comprehensive_count;
    report_.print("Iteration %d Model resolution ratio %.4f\nRatio of optimum arrays number to "
                  "total arrays %.4f\n",
                  run_.iteration, run_.figure, share);
    IterationRecord record{run_.iteration, seconds(), run_.nchosen(), run_.figure};
    report_.print("Time taken %.2f\n", record.seconds);
    done_.push_back(record);
    report_.flush();
    return true;
}

void Driver::iterations() {
    run_.iteration = 1;
    bool failed = false;
    if (s_.opt_param_2 == combined_bgs_cr) {
        const int last = round_to_int(float(s_.opt_max_iterations) * s_.opt_bgs_ratio);
        const float limit = float(round_to_int(float(s_.opt_max_arrays) * s_.opt_bgs_ratio));
        int bgs_done = 0;
        while (!failed && may_go_on(last, limit)) {
            failed = !iterate(false);
            if (!failed) ++bgs_done, ++run_.iteration;
        }
        Nextwind.next_flag = 0;
        report_.print("Proportion and number of BGS iterations are %.2f and %d\n",
                      double(s_.opt_bgs_ratio), bgs_done);
    }
    const bool compare = s_.opt_param_2 == compare_r || s_.opt_param_2 == combined_bgs_cr;
    while (!failed && may_go_on(s_.opt_max_iterations, float(s_.opt_max_arrays))) {
        failed = !iterate(compare);
        if (!failed) ++run_.iteration;
    }
    run_.iteration = done_.empty() ? 0 : done_.back().iteration;
}

void Driver::summary() {
    report_.print("\nSummary of results\nIteration   Time taken   Number of arrays  No. of arrays "
                  "ratio   Resolution Ratio\n");
    for (const IterationRecord& r : done_)
        report_.print("   %3d    %10.1f         %5d               %6.4f              %6.4f\n",
                      r.iteration, r.seconds, r.arrays, double(r.arrays) / run_.comprehensive_count,
                      r.figure);
    report_.print("Comprehensive data set model resolution %.4f\n", comprehensive_figure_);
}

// The configuration and protocol files, then the closing box.
void Driver::outputs() {
    s_.arrays = run_.chosen;
    s_.narrays = run_.nchosen();
    write_optimised_config_file(s_, run_.chosen.data(), run_.nchosen());
    write_protocol_files(s_.cable_layout, s_.stem, run_.chosen.data(), run_.nchosen());
    char text[2048];
    const std::string config = std::string(s_.stem) + "_mod.txt";
    int length = std::snprintf(
        text, sizeof text,
        "Calculation of optimized arrays completed.\nNumber of iterations %d.\nNumber of "
        "electrodes is %d.\nNumber of optimized arrays is %d.\nRatio of optimum arrays number to "
        "total arrays %.4f\nTotal time taken was %.1f s.\nModel resolution ratio is %.3f.\n"
        "Results saved in the files\n%s\n%s\n",
        run_.iteration, run_.grid.nelec, run_.nchosen(),
        double(run_.nchosen()) / run_.comprehensive_count, seconds(), run_.figure, s_.output_name,
        config.c_str());
    if (s_.cable_layout == 1 || s_.cable_layout == 2) {
        const std::string first =
            std::string(s_.stem) + (s_.cable_layout == 1 ? "_41.org" : "_S.org");
        std::snprintf(text + length, sizeof text - std::size_t(length),
                      "\nAbem %1d-cables prococol files created as\n%s\n",
                      s_.cable_layout == 1 ? 2 : 4, first.c_str());
    }
    model::show_message(text, "Message");
}

void Driver::run() {
    s_.narrays = 0;
    s_.arrays.clear();
    run_.method = s_.opt_param_2 == combined_bgs_cr ? bgs : s_.opt_param_2;
    if (!report_.opened()) {
        file_creation_error(s_.output_name);
        return;
    }
    report_.print("%s\n", title_of(s_.opt_param_2, s_.eth_type));
    const bool ready = prepare() && generate() && table() && save_sets() && comprehensive_set();
    if (!ready) {
        if (!report_.close()) file_creation_error(s_.output_name);
        if (stopped_)
            model::show_message("The array optimisation was stopped by the user.\nNo optimised "
                                "set was selected.",
                                "Message");
        return;
    }
    if (base_set()) iterations();
    summary();
    update_status("Closing file.", 0);
    if (!report_.close()) file_creation_error(s_.output_name);
    outputs();
}

} // namespace

void optimise_arrays(ModelResolution& settings) {
    Driver(settings).run();
}

void optimise_command(ModelResolution& settings) {
    if (ui::run_dialog(OptArrayDiaBox, OptArrayDiaBoxProc) != 1) return;
    Nextwind.next_flag = 0;
    ui::invalidate_next();
    ui::show_child(ui::Child::status, true);
    ui::show_child(ui::Child::next, true);
    optimise_arrays(settings);
    ui::show_child(ui::Child::status, false);
    ui::show_child(ui::Child::next, false);
}
