// The 2.5-D finite-difference forward drivers: potentials of every electrode pair of a block
// model, from finite-difference solutions at a set of wavenumbers transformed back to space.
//
// Folder fdsolve/ (library vd_fdsolve), the lowest of the solver layer: may include matrix, model
// and platform/sys; included by fesolve, ipsolve and cylinder (wavenumbers, the transform, splines,
// Bessel functions), sensitivity (the transform) and forward. Entry points: fd::make_inputs, then
// calaresforward_9pt, calaresforward_dm or calaresforward_dbl (the five-point formulation); the
// transform back to space is fdsolve/transform.h.
#pragma once

#include "model/solver_io.h"

#include <cstdint>

class ModelSettings;
class ProgLim;

namespace fd {

/// Everything a finite-difference run reads, and the tables it writes: the survey part (see
/// model::SurveyInputs; remote_table holds 2 nelec + 1 values) and the grid and source below.
/// fd::make_inputs fills it from the records; tests and benchmarks change single fields
/// afterwards.
struct Inputs : model::SurveyInputs {
    const float* conductivity = nullptr; ///< cell (i, j) at index2d(i, j, nx - 1)

    // The current source.
    int distributed_source = 0; ///< 0: single node; else the electrode node and its side nodes
    float current_node_weight = 0, side_node_weight = 0;

    std::int32_t* fd_option = nullptr; ///< set to 0 by the nine-point driver, when not null
};

/// The inputs of a run on the record's survey and grid spacings (model::fill_survey_inputs) and
/// source (ModelSettings::distributed_source, current_node_weight, side_node_weight;
/// &fd_option), with the cell conductivities `cells` and the output tables.
Inputs make_inputs(ModelSettings& settings, const ProgLim& limits, const float* cells,
                   double* table_a, double* table_b, double* remote_table);

/// The first wavenumber of a run: ky_min, or 0.4 ky_min above 45 electrodes (longer lines span
/// longer distances, whose potentials need smaller wavenumbers).
double first_wavenumber(const model::SurveyInputs& in);

} // namespace fd

/// "Modified 5-point" formulation: sparse Cholesky under a nested-dissection ordering.
///
/// For each of nky wavenumbers (ky_min, 0.4 * ky_min above 45 electrodes, to ky_max at equal
/// steps of ln k) it assembles and factors the grid's matrix and finds the potential at every
/// electrode of a unit current at every other: for electrodes of one node each straight from
/// the factor (sparse_inverse_entries_dbl), else by a solve per source; then it transforms the
/// pair table (fourier_transform_grid, m = 4) into table_a and table_b, the strike transforms
/// continuing each pair beyond the wavenumbers the mesh resolves towards the ground at its
/// electrodes (the cells around their nodes). The wavenumbers and the transform run on the
/// solver threads (sys::pool_threads).
///
/// Remote electrodes (remote_electrodes > 0 and remote_table not null): C2 and P2 are placed
/// on the real surface node columns and their potentials written to remote_table: entry j
/// (1-based) the potential at electrode j from C2, entry nelec + i that at P2 from electrode i,
/// entry 2 nelec + 1 that at P2 from C2, each transformed as a point from where the electrodes
/// stand on the mesh (strike_point_potentials); 0 for a remote electrode too near the mesh edge
/// to have a node.
///
/// Failures are reported through model::report_error on the status line (shown while the main
/// window is in front; the beep always). Results (model::SolverResult): ok; no_memory when work
/// memory is refused ("Error in allocating memory.", also inside the wavenumber loop);
/// bad_input when the inputs do not fit (nky outside 2..32, wavenumber limits not positive and
/// increasing, an electrode without side nodes in the mesh, a spacing of 0 or less; each with
/// its message); ordering when the ordering set-up fails; user_abort when the user breaks the
/// run (Esc, Q, q; checked before every wavenumber); pivot with the 1-based row of a
/// non-positive pivot. On every failure the output tables and remote_table are left as they
/// were. All work memory is released on every way out.
model::SolverResult calaresforward_dbl(const fd::Inputs& in);

/// "Modified 9-point" formulation: nine-point coupling (fdsolve/ninepoint.h: the cell block that
/// cancels the leading error of a point source's potential along the rows, with the wavenumber
/// term fitted to exp(+-k x) and exp(+-k z), so on cells of any shape), nodes numbered down the
/// columns, in the sparse storage of calaresforward_dbl under a nested-dissection ordering of
/// the nine-point graph, the potentials of electrodes of one node straight from the factor.
/// Inputs and results as calaresforward_dbl; a non-positive pivot is shown in a box
/// "Calculation error at point %5d." with its node (while the main window is in front), and the
/// result is a pivot failure at that node. Sets *fd_option to 0.
model::SolverResult calaresforward_9pt(const fd::Inputs& in);

/// "Dey & Morrison original" formulation: the wavenumber term lumped on the diagonal and the
/// mixed boundary condition taken at the boundary nodes; sparse storage as calaresforward_dbl.
/// Inputs and results as calaresforward_dbl.
model::SolverResult calaresforward_dm(const fd::Inputs& in);

/// Ordering and symbolic factorisation of the five-point matrix of an nx x nz grid (node
/// (i, j) = (j - 1) nx + i): nested dissection into perm and invp (nx nz ints each) and the
/// compressed-subscript structure into xlnz, xnzsub (nx nz + 1 ints) and nzsub (maxsub ints on
/// entry; the number used on return); maxlnz receives the number of off-diagonal factor
/// entries. Returns 0, or non-zero after its message ("Error in memory allocation." or
/// "Insufficient memory for subscript array.", on the status line).
int sparse_solve_setup(int nx, int nz, int* perm, int* invp, int* xlnz, int* xnzsub, int* nzsub,
                       int& maxsub, int& maxlnz);

/// Adds value to entry (i, j) of the matrix: with `sparse` set through add_sparse_entry_dbl
/// (returning its result); otherwise to the symmetric band matrix `band` of half-bandwidth w
/// (rows of w + 1 stored elements) when |i - j| <= w (0), or not at all (1).
int add_matrix_entry_dbl(int sparse, int i, int j, int w, double value, double* band, double* lnz,
                         double* diag, const int* xlnz, const int* nzsub, const int* xnzsub,
                         const int* invp);
