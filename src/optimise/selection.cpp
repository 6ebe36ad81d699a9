// Goodness, ranking and adding of candidate arrays.
#include "optimise/selection.h"

#include "matrix/dense.h"
#include "matrix/packed.h"
#include "model/globals.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "optimise/lanes.h"
#include "optimise/resolution.h"
#include "optimise/run.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

using sys::PageArray;

namespace opt {

namespace {

int no_memory() {
    model::show_message("Insufficient memory for the array optimisation.", "Message");
    return resolution_no_memory;
}

// G from the candidate's resolution and the chosen set's, the same for every evaluation.
float goodness_of(const float* with_candidate, const float* current, int n) {
    double sum = 0.0;
    for (int b = 0; b < n; ++b)
        sum += double(with_candidate[b]) / double(current[b]);
    return float(sum / n);
}

const std::int32_t* candidate(const Run& run, int k) {
    return run.candidates.at(k);
}

// Work storage of the Compare R evaluations.
struct CompareWork {
    int n;
    std::size_t size;
    PageArray<float> rows, with_candidate; // four sensitivity rows; R' of one candidate
    opt::FourLanes h4, c4, w, y, diagonal; // kernels
    PageArray<double> h[4], c[4];          // plain, and the one-candidate procedure

    CompareWork(int blocks, Evaluation how)
        : n(blocks), size(mx::packed_size(blocks)), rows(4 * std::size_t(blocks)),
          with_candidate(std::size_t(blocks)), h4(how == Evaluation::kernels ? size : 0),
          c4(how == Evaluation::kernels ? size : 0), w(std::size_t(blocks)), y(std::size_t(blocks)),
          diagonal(std::size_t(blocks)) {
        for (int l = 0; l < copies(how); ++l)
            h[l].allocate(size), c[l].allocate(size);
    }
    // Packed copies of H' and C': one for the candidates taken alone, four for plain groups.
    static int copies(Evaluation how) { return how == Evaluation::plain ? 4 : 1; }
    bool ok(Evaluation how) const {
        bool fine = rows.ok() && with_candidate.ok() && w.ok() && y.ok() && diagonal.ok();
        if (how == Evaluation::kernels) fine = fine && h4.ok() && c4.ok();
        for (int l = 0; l < copies(how); ++l)
            fine = fine && h[l].ok() && c[l].ok();
        return fine;
    }
    float* row(int lane) const { return rows.get() + std::size_t(lane) * std::size_t(n); }
};

// H' = H + s s^T, C' by Sherman-Morrison, R' = diag(C' H').
int one_candidate(const Run& run, CompareWork& work, const float* s) {
    const double* h = run.hessian.get();
    double* hp = work.h[0].get();
    std::size_t p = 0;
    for (int i = 0; i < work.n; ++i)
        for (int k = 0; k <= i; ++k, ++p)
            hp[p] = h[p] + double(s[i]) * s[k];
    if (sherman_morrison_update_packed(work.n, run.inverse.get(), work.c[0].get(), s) != 0)
        return no_memory();
    packed_product_diagonal_rowwise(work.with_candidate.get(), work.c[0].get(), hp, work.n);
    return 0;
}

void four_by_kernels(const Run& run, CompareWork& work, float* goodness) {
    double* w = work.w.get();
    for (int b = 0; b < work.n; ++b)
        for (int l = 0; l < 4; ++l)
            w[4 * b + l] = work.row(l)[b];
    symrank1_4_dbl_sse(work.n, run.hessian.get(), work.h4.get(), w);
    symmatvec4_dbl_sse(work.n, run.inverse.get(), work.c4.get(), w, work.y.get());
    symdiag4_dbl_sse(work.diagonal.get(), work.c4.get(), work.h4.get(), work.n);
    for (int l = 0; l < 4; ++l) {
        for (int b = 0; b < work.n; ++b)
            work.with_candidate[b] = float(work.diagonal.get()[4 * b + l]);
        goodness[l] = goodness_of(work.with_candidate.get(), run.resolution.get(), work.n);
    }
}

int four_plain(const Run& run, CompareWork& work, float* goodness) {
    packed_rank_one_updates4(work.n, run.hessian.get(), work.h[0].get(), work.h[1].get(),
                             work.h[2].get(), work.h[3].get(), work.row(0), work.row(1),
                             work.row(2), work.row(3));
    for (int l = 0; l < 4; ++l) {
        if (sherman_morrison_update_packed(work.n, run.inverse.get(), work.c[l].get(),
                                           work.row(l)) != 0)
            return no_memory();
        packed_product_diagonal_rowwise(work.with_candidate.get(), work.c[l].get(), work.h[l].get(),
                                        work.n);
        goodness[l] = goodness_of(work.with_candidate.get(), run.resolution.get(), work.n);
    }
    return 0;
}

// What one thread of the blocked evaluation works in: the sensitivity rows of one group of
// candidates, their resolution diagonals and the kernel's work storage.
struct LaneWork {
    explicit LaneWork(int n)
        : rows(std::size_t(mx::RankOneDiagonals::lanes) * std::size_t(n)),
          diagonals(std::size_t(mx::RankOneDiagonals::lanes) * std::size_t(n)), kernel(n) {}
    bool ok() const { return rows.ok() && diagonals.ok() && kernel.ok(); }
    PageArray<float> rows, diagonals;
    mx::RankOneDiagonals::Work kernel;
};

// Candidates a step of the blocked evaluation takes: a few groups, so that the threads share
// the table evenly and the owner sees progress often.
constexpr int candidates_per_step = 8 * mx::RankOneDiagonals::lanes;

// Work storage for `workers` threads; empty when any of it is refused.
std::vector<std::unique_ptr<LaneWork>> lane_work(int workers, int n) {
    std::vector<std::unique_ptr<LaneWork>> work;
    for (int w = 0; w < workers; ++w) {
        work.push_back(std::make_unique<LaneWork>(n));
        if (!work.back()->ok()) return {};
    }
    return work;
}

// The candidates first .. first + count - 1 through the blocked kernel, a group at a time.
int blocked_step(const Run& run, const mx::RankOneDiagonals& kernel, LaneWork& work, int first,
                 int count, float* goodness, const std::atomic<bool>& stop) {
    const int lanes = mx::RankOneDiagonals::lanes, n = run.nblocks();
    const float* rows[mx::RankOneDiagonals::lanes];
    for (int l = 0; l < lanes; ++l)
        rows[l] = work.rows.get() + std::size_t(l) * std::size_t(n);
    for (int g = first; g < first + count; g += lanes) {
        if (stop.load()) return sys::step_stopped;
        const int in_group = std::min(lanes, first + count - g);
        for (int l = 0; l < in_group; ++l)
            array_sensitivities(run.grid, run.table.get(), candidate(run, g + l),
                                work.rows.get() + std::size_t(l) * std::size_t(n));
        kernel.evaluate(rows, in_group, work.diagonals.get(), work.kernel);
        for (int l = 0; l < in_group; ++l)
            goodness[g + l] = goodness_of(work.diagonals.get() + std::size_t(l) * std::size_t(n),
                                          run.resolution.get(), n);
    }
    return sys::step_done;
}

// Compare R on the thread pool, many candidates side by side (mx::RankOneDiagonals).
int compare_r_blocked(Run& run) {
    const int count = run.candidates.count, n = run.nblocks();
    const mx::RankOneDiagonals kernel(n, run.inverse.get(), run.hessian.get());
    const int steps = (count + candidates_per_step - 1) / candidates_per_step;
    std::vector<std::unique_ptr<LaneWork>> work =
        lane_work(std::max(1, std::min(sys::pool_threads(), steps)), n);
    if (!kernel.ok() || work.empty()) return no_memory();
    float* goodness = run.goodness.get();
    double shown = -1.0;
    const sys::StepsOutcome outcome = sys::run_steps(
        steps, int(work.size()),
        [&](int w, int step, const std::atomic<bool>& stop) {
            const int first = step * candidates_per_step;
            return blocked_step(run, kernel, *work[std::size_t(w)], first,
                                std::min(candidates_per_step, count - first), goodness, stop);
        },
        user_aborted,
        [&](int done) {
            const double percent = 100.0 * done / steps;
            if (percent - shown < 1.0) return;
            shown = percent;
            iteration_progress(run, percent);
        });
    return outcome.aborted ? resolution_stopped : 0;
}

} // namespace

void iteration_progress(const Run& run, double percent) {
    char text[160];
    const int arrays = run.nchosen();
    if (percent < 0.0)
        std::snprintf(text, sizeof text, "Iteration %d  (Res. Ratio %.2f, No. arrays %d)",
                      run.iteration, run.figure, arrays);
    else if (percent < 10.0)
        std::snprintf(text, sizeof text, "Iteration %d 0%3.1f%% (Res. Ratio %.2f, No. arrays %d)",
                      run.iteration, percent, run.figure, arrays);
    else
        std::snprintf(text, sizeof text, "Iteration %d %4.1f%% (Res. Ratio %.2f, No. arrays %d)",
                      run.iteration, percent, run.figure, arrays);
    const int most = run.settings.opt_max_iterations > 0 ? run.settings.opt_max_iterations : 1;
    update_status(text,
                  round_to_int(float(run.iteration) / float(most) * float(Statuswind.bar_width)));
}

int compare_r_goodness(Run& run, Evaluation how) {
    const int count = run.candidates.count;
    if (!run.goodness.allocate(std::size_t(count))) return no_memory();
    if (how == Evaluation::blocked) return compare_r_blocked(run);
    CompareWork work(run.nblocks(), how);
    if (!work.ok(how)) return no_memory();
    float* goodness = run.goodness.get();
    const int groups = how == Evaluation::one_at_a_time ? 0 : count / 4;
    for (int g = 0; g < groups; ++g) {
        if (g % 512 == 0) iteration_progress(run, 400.0 * g / count);
        for (int l = 0; l < 4; ++l)
            array_sensitivities(run.grid, run.table.get(), candidate(run, 4 * g + l), work.row(l));
        if (how == Evaluation::kernels)
            four_by_kernels(run, work, goodness + 4 * g);
        else if (four_plain(run, work, goodness + 4 * g) != 0)
            return resolution_no_memory;
    }
    for (int k = 4 * groups; k < count; ++k) {
        if (how == Evaluation::one_at_a_time && k % 2048 == 0)
            iteration_progress(run, 100.0 * k / count);
        array_sensitivities(run.grid, run.table.get(), candidate(run, k), work.row(0));
        if (one_candidate(run, work, work.row(0)) != 0) return resolution_no_memory;
        goodness[k] = goodness_of(work.with_candidate.get(), run.resolution.get(), work.n);
    }
    return 0;
}

void mean_abs_sensitivity(const Run& run, const std::int32_t* arrays, int count, float* mean) {
    const int n = run.nblocks();
    // Blocks a thread takes at a time; each block sums over the arrays in their order.
    const int span = 8, pieces = (n + span - 1) / span;
    sys::run_in_parallel(pieces, sys::pool_threads(), [&](int, int piece) {
        const int first = piece * span, last = std::min(n, first + span);
        double sum[span] = {};
        for (int k = 0; k < count; ++k) {
            const std::int32_t* e = arrays + 4 * std::size_t(k);
            const float factor = array_factor(run.grid, e);
            for (int b = first; b < last; ++b)
                sum[b - first] +=
                    std::fabs(factor * pole_combination(run.grid, run.table.get(), e, b + 1));
        }
        for (int b = first; b < last; ++b)
            mean[b] = float(sum[b - first] / (count > 0 ? count : 1));
    });
}

int eth_bgs_goodness(Run& run) {
    const int n = run.nblocks(), count = run.candidates.count;
    const bool bgs_method = run.method == bgs;
    const bool original_eth = run.method == eth && run.settings.eth_type == 0;
    std::vector<float> weight(n), normaliser(n);
    if (original_eth)
        std::copy(run.comprehensive_mean.get(), run.comprehensive_mean.get() + n,
                  normaliser.begin());
    else
        mean_abs_sensitivity(run, run.chosen.data(), run.nchosen(), normaliser.data());
    for (int b = 0; b < n; ++b) {
        const float share = 1.0f - run.resolution[b] / run.comprehensive_resolution[b];
        // A block the chosen set resolves as well as the comprehensive set needs nothing more;
        // the square root of a negative share would poison every goodness with NaN.
        weight[b] = bgs_method ? std::sqrt(share > 0.0f ? share : 0.0f) : share;
        normaliser[b] = 1.0f / normaliser[b];
    }
    if (!run.goodness.allocate(std::size_t(count))) return no_memory();
    const int piece = 8192, steps = (count + piece - 1) / piece;
    const int workers = std::max(1, std::min(sys::pool_threads(), steps));
    std::vector<std::vector<float>> rows(static_cast<std::size_t>(workers), std::vector<float>(n));
    const sys::StepsOutcome outcome = sys::run_steps(
        steps, workers,
        [&](int w, int step, const std::atomic<bool>& stop) {
            float* s = rows[std::size_t(w)].data();
            for (int k = step * piece; k < std::min(count, (step + 1) * piece); ++k) {
                if (stop.load()) return sys::step_stopped;
                array_sensitivities(run.grid, run.table.get(), candidate(run, k), s);
                double sum = 0.0;
                for (int b = 0; b < n; ++b) {
                    const double v = double(s[b]) * normaliser[b];
                    sum += (bgs_method ? v * v : std::fabs(v)) * weight[b];
                }
                run.goodness[k] = float(sum / n);
            }
            return sys::step_done;
        },
        user_aborted,
        [&](int done) {
            if (count > 32768) iteration_progress(run, 100.0 * done * piece / count);
        });
    return outcome.aborted ? resolution_stopped : 0;
}

double similarity(const float* s, const float* t, int n) {
    double dot = 0.0, ss = 0.0, tt = 0.0;
    for (int b = 0; b < n; ++b) {
        dot += double(s[b]) * t[b];
        ss += double(s[b]) * s[b];
        tt += double(t[b]) * t[b];
    }
    return std::fabs(dot) / (std::sqrt(ss) * std::sqrt(tt));
}

int rank_candidates(Run& run, bool round7) {
    const int count = run.candidates.count;
    float* goodness = run.goodness.get();
    if (round7)
        for (int k = 0; k < count; ++k) {
            char text[64];
            std::snprintf(text, sizeof text, "%.7f", double(goodness[k]));
            goodness[k] = float(std::atof(text));
        }
    PageArray<std::int32_t> index{std::size_t(count)}, copy{4 * std::size_t(count)};
    if (!index.ok() || !copy.ok()) return no_memory();
    shell_sort_real_index(0, goodness, index.get(), count);
    std::int32_t* e = run.candidates.e.get();
    std::copy(e, e + 4 * std::size_t(count), copy.get());
    for (int p = 0; p < count; ++p)
        std::copy(copy.get() + 4 * std::size_t(index[p] - 1),
                  copy.get() + 4 * std::size_t(index[p]), e + 4 * std::size_t(p));
    return 0;
}

int add_arrays(Run& run, bool symmetric, std::vector<std::int32_t>& added) {
    const ModelResolution& s = run.settings;
    const int n = run.nblocks(), count = run.candidates.count;
    const bool original_eth = run.method == eth && s.eth_type == 0;
    const double threshold = run.method == compare_r ? s.opt_param_097
                             : run.method == eth     ? s.opt_param_098
                                                     : s.opt_param_095;
    const int m = round_to_int(float(run.nchosen()) * s.opt_extra_ratio);
    const int most = m + run.grid.nelec;
    // Sensitivity rows of the comparison arrays: the added ones, or for the original ETH method
    // the leading arrays of the ranked table (as many as the set holds, at most `most` more).
    const int leading = original_eth ? std::min(count, run.nchosen() + most) : 0;
    PageArray<float> rows{std::size_t(n) * std::size_t(std::max(leading, most + 1))};
    PageArray<char> leaves{std::size_t(count)};
    if (!rows.ok() || !leaves.ok()) return no_memory();
    std::vector<float> s_row(n);
    std::vector<int> taken;
    added.clear();
    for (int p = 0; p < leading; ++p)
        array_sensitivities(run.grid, run.table.get(), candidate(run, p),
                            rows.get() + std::size_t(p) * n);
    auto row_of = [&](int p) -> const float* { return rows.get() + std::size_t(p) * n; };
    float last_goodness = 0.0f;
    int examined = 0;
    for (int p = 0; p < count; ++p) {
        const int done = int(taken.size());
        const float g = run.goodness[p];
        const bool regular = done <= m;
        if (!regular && !(symmetric && done < most && last_goodness - g < 0.0002f)) break;
        examined = p + 1;
        array_sensitivities(run.grid, run.table.get(), candidate(run, p), s_row.data());
        bool distinct = true;
        if (original_eth) {
            const int compared = std::min(run.nchosen() + done, leading);
            for (int q = 0; q < compared && distinct; ++q)
                distinct = q == p || similarity(s_row.data(), row_of(q), n) < threshold;
        } else {
            for (int q = 0; q < done && distinct; ++q)
                distinct = similarity(s_row.data(), row_of(q), n) < threshold;
        }
        if (p > 0 && !distinct) continue;
        if (!original_eth)
            std::copy(s_row.begin(), s_row.end(), rows.get() + std::size_t(done) * n);
        taken.push_back(p);
        if (regular) last_goodness = g;
    }
    // Compact the table, keeping order and goodness.
    for (int p : taken)
        leaves[p] = 1;
    if (original_eth) std::fill(leaves.get(), leaves.get() + examined, 1);
    for (int p : taken) {
        const std::int32_t* e = candidate(run, p);
        added.insert(added.end(), e, e + 4);
    }
    int kept = 0;
    std::int32_t* e = run.candidates.e.get();
    for (int p = 0; p < count; ++p) {
        if (leaves[p]) continue;
        std::copy(e + 4 * std::size_t(p), e + 4 * std::size_t(p) + 4, e + 4 * std::size_t(kept));
        run.goodness[std::size_t(kept++)] = run.goodness[p];
    }
    run.candidates.count = kept;
    run.chosen.insert(run.chosen.end(), added.begin(), added.end());
    return 0;
}

} // namespace opt
