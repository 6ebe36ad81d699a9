// Sensitivities of four-electrode arrays and the model resolution of an array set, computed
// through the Jacobian, Hessian and inverse work files of ModelResolution.
#pragma once

#include <cstdint>

class ModelResolution;

namespace opt {

struct Grid;
struct Run;

/// 2 pi / g, g = 1/|C1P1| - 1/|C2P1| - 1/|C1P2| + 1/|C2P2| over the terms whose electrodes
/// differ: the geometric factor of the array (C1, C2, P1, P2 at e[0..3]) in unit spacings.
float array_factor(const Grid& grid, const std::int32_t* e);

/// out[b - 1] = the sensitivity of the array in block b: its factor times
/// S(C1,P1,b) - S(C2,P1,b) - S(C1,P2,b) + S(C2,P2,b), each pair looked up with its smaller
/// electrode first (a pair of one electrode contributes nothing).
void array_sensitivities(const Grid& grid, const float* table, const std::int32_t* e, float* out);

/// Writes the Jacobian of `count` arrays to `path` in the layout the Hessian builder reads
/// (block after block, the `count` sensitivities of each), with "Jacobian model blocks %.1f%%"
/// in the status line. Returns 0, or 2 when the file cannot be written (none is left).
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
/// as resolution_short, _cannot_open, _no_memory or _write_error); the run's H, C and R are
/// then unchanged. On success sets Run::figure (set_figure).
int chosen_set_resolution(Run& run);
/// The same for `count` arrays of `arrays`, into the run's H, C and R.
int set_resolution(Run& run, const std::int32_t* arrays, int count);

/// The figure of the run's chosen set: the mean of R(b) (a float sum over the blocks divided
/// by B) for iterations 0 and below, from iteration 1 on the mean of R(b) / Rc(b).
double set_figure(const Run& run);

} // namespace opt
