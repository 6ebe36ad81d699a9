// The selection steps of an iteration: goodness of every candidate array (Compare R, ETH, BGS),
// their ranking, and the adding of the best ones to the chosen set.
#pragma once

#include <cstdint>
#include <vector>

namespace opt {

struct Run;

/// The status text of an iteration: "Iteration %d %4.1f%% (Res. Ratio %.2f, No. arrays %d)"
/// ("Iteration %d 0%3.1f%% ..." below 10 %), or without a percentage when `percent` is
/// negative; the bar shows iteration / max_iterations of its width.
void iteration_progress(const Run& run, double percent);

/// How Compare R evaluates the candidates: many side by side on the thread pool by the blocked
/// kernel (mx::RankOneDiagonals); four at a time by the four-lane kernels or by the packed
/// routines, the last (count mod 4) one at a time; or every one alone.
enum class Evaluation { blocked, kernels, plain, one_at_a_time };

/// Compare R: G = (1/B) sum over the blocks of R'(b) / R(b), R' the resolution of the chosen
/// set with the candidate added (H + s s^T, C by the Sherman-Morrison update), into
/// Run::goodness for every candidate. All four ways give the same values bit for bit. The
/// blocked way shows the iteration's progress and stops at an abort key (resolution_stopped,
/// the goodness then incomplete). Returns 0, resolution_stopped, or resolution_no_memory after
/// its message.
int compare_r_goodness(Run& run, Evaluation how);

/// ETH (w(b) = 1 - R/Rc) and BGS (w(b) = sqrt(1 - R/Rc), 0 where R reaches Rc) by the run's
/// method, with N(b) = 1 / A(b), A(b) the mean |s(b)| over the chosen set, or over the
/// comprehensive set for the original ETH method: G = (1/B) sum of |s(b)| N(b) w(b) (ETH) or of
/// (s(b) N(b))^2 w(b) (BGS). The candidates are shared among the threads of the pool; an abort
/// key stops them (resolution_stopped). Returns 0, resolution_stopped or resolution_no_memory.
int eth_bgs_goodness(Run& run);

/// Mean |sensitivity| of each block over `count` arrays, into `mean` (B floats); the blocks are
/// shared among the threads of the pool, each summing over the arrays in order.
void mean_abs_sensitivity(const Run& run, const std::int32_t* arrays, int count, float* mean);

/// |s . t| / (|s| |t|) over n blocks: 1 for parallel vectors, 0 for orthogonal ones.
double similarity(const float* s, const float* t, int n);

/// Orders the candidates by decreasing goodness (Shell sort, the goodness and arrays moved
/// together); with `round7` every goodness is first rounded to 7 decimals, so that mirror-image
/// arrays tie. Returns 0 or resolution_no_memory.
int rank_candidates(Run& run, bool round7);

/// Adds the best-ranked candidates to the chosen set: the first always, then those whose
/// similarity to every comparison array stays below the method's threshold, while at most m
/// were added before (m = round(chosen x extra ratio), so up to m + 1), and with `symmetric`
/// further ones less than 0.0002 below the last of those, up to m + N. Removes the added
/// candidates (for the original ETH method every examined one); `added` receives the added
/// arrays (four electrodes each), which are also appended to the chosen set. Returns 0 or
/// resolution_no_memory.
int add_arrays(Run& run, bool symmetric, std::vector<std::int32_t>& added);

} // namespace opt
