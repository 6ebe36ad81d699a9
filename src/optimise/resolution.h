// Sensitivities of four-electrode arrays and the model resolution of an array set, computed
// through the Jacobian, Hessian and inverse work files of ModelResolution.
#pragma once

#include "optimise/grid.h"
#include "optimise/pole_pole.h"

#include <cstdint>
#include <utility>

class ModelResolution;

namespace opt {

struct Run;

/// S(i, j, b) of the table for any two electrodes (either first); 0 for one electrode.
inline float pair_value(const Grid& grid, const float* table, int i, int j, int block) {
    if (i == j) return 0.0f;
    if (i > j) std::swap(i, j);
    return table[pair_offset(i, j, grid.nelec, grid.nblocks) + std::size_t(block - 1)];
}

/// S(C1,P1,b) - S(C2,P1,b) - S(C1,P2,b) + S(C2,P2,b) of the array at e (C1, C2, P1, P2).
inline float pole_combination(const Grid& grid, const float* table, const std::int32_t* e,
                              int block) {
    return pair_value(grid, table, e[0], e[2], block) - pair_value(grid, table, e[1], e[2], block) -
           pair_value(grid, table, e[0], e[3], block) + pair_value(grid, table, e[1], e[3], block);
}

/// 2 pi / g, g = 1/|C1P1| - 1/|C2P1| - 1/|C1P2| + 1/|C2P2| over the terms whose electrodes
/// differ: the geometric factor of the array (C1, C2, P1, P2 at e[0..3]) in unit spacings.
float array_factor(const Grid& grid, const std::int32_t* e);

/// out[b - 1] = the sensitivity of the array in block b: its factor times
/// S(C1,P1,b) - S(C2,P1,b) - S(C1,P2,b) + S(C2,P2,b), each pair looked up with its smaller
/// electrode first (a pair of one electrode contributes nothing).
void array_sensitivities(const Grid& grid, const float* table, const std::int32_t* e, float* out);

/// Writes the Jacobian of `count` arrays to `path` in the layout the Hessian builder reads
/// (block after block, the `count` sensitivities of each, worked out on the thread pool), with
/// "Jacobian model blocks %.1f%%" in the status line. Returns 0, resolution_stopped when the
/// user pressed an abort key, or 2 when the file cannot be written (none is left either way).
int write_jacobian_file(const Grid& grid, const float* table, const std::int32_t* arrays, int count,
                        const char* path);

/// From the packed Hessian in `row_path` (lower triangle by rows, B(B+1)/2 doubles): H, its
/// inverse C = (H + damping I)^-1 written to `inverse_path`, and R(b) = (C H)(b, b). On success
/// h, c and r receive them. A row file that cannot be read ends the step with the reader's
/// status-line text and its code (resolution_cannot_open or resolution_short), no box. A
/// pivot that is not positive (resolution_not_positive), an inverse file that cannot be
/// created (resolution_cannot_open, "Error in creating Hessian matrix file %s.") or is written
/// short (resolution_short, "Error in saving Hessian matrix file %s. %d/%d") show "Inversion
/// error %d.\nDamping factor %.4f" (caption "Message") with that code. Whatever fails, h, c and
/// r are left as they were.
int resolution_from_row_file(const char* row_path, const char* inverse_path, int nblocks,
                             float damping, double* h, double* c, float* r);

/// The resolution of the chosen set of the run: its Jacobian in "gradmatrix.bin", H = J^T J in
/// "hessmatrix.bin" and by rows in "hessmatrix_row.bin", then resolution_from_row_file. A
/// failure of any stage ends the step with that stage's code (the Hessian builder's results
/// as resolution_short, _cannot_open, _no_memory or _write_error), an abort key seen during or
/// after the Jacobian with resolution_stopped; the run's H, C and R are then unchanged. On
/// success sets Run::figure (set_figure). Resolution values or a figure that are not finite
/// numbers end the step with resolution_not_finite after model::ResultValues' message ("Some of
/// the model resolution values are not finite numbers ..."); R and the figure then hold them,
/// and nothing of them is to be written.
int chosen_set_resolution(Run& run);
/// The same for `count` arrays of `arrays`, into the run's H, C and R.
int set_resolution(Run& run, const std::int32_t* arrays, int count);

/// The figure of the run's chosen set: the mean of R(b) (a float sum over the blocks divided
/// by B) for iterations 0 and below, from iteration 1 on the mean of R(b) / Rc(b).
double set_figure(const Run& run);

} // namespace opt
