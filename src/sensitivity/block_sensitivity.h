// Sensitivity and damped model resolution of the sensitivity blocks, from the work files of a
// finite-element run with the sensitivity option (ModelSettings::jacob = 1).
//
// Sensitivity blocks: one electrode spacing wide and one node row deep (three for the first row
// when sens_thick_top_rows > 0), sens_ncols = nelec - 1 per row, numbered row by row from the
// top left (block = row x sens_ncols + column, 0-based).
//
// Work files read (paths in ModelSettings): fourier_values_file (int32 nk, nk float32
// wavenumbers), jacob_file (per wavenumber, for every cell down each node column, 10 float32
// unit-conductivity element terms), grfinite_file (per wavenumber, npot_electrodes tables of
// nx_nodes x nz_nodes float32 node potentials, nodes down each column; electrode e's table
// starts at jacob_electrode[e - 1]). Written: grfile_file (the Jacobian, float32, block order
// after the resort), hessmatrix_file and hessmatrix_row_file (with the resolution).
#pragma once

#include "model/model_settings.h"

/// Largest number of wavenumbers the work file may hold.
constexpr int max_sensitivity_wavenumbers = 20;

/// Sets sens_nrows = min(ngrid_rows, nz_nodes - 5), less 3 with sens_thick_top_rows > 0,
/// sens_ncols = nelec - 1 and sens_nblocks. Returns 0, or 1 (sens_nblocks 0) after the box
/// "The model has too few node rows for sensitivity blocks." when no block fits.
int set_sensitivity_block_counts(ModelSettings& model);

/// Sets the counts as set_sensitivity_block_counts and, per block, the bounding node rows and
/// columns, the geometric mean resistivity, the centre (x from the first electrode, clamped to
/// 0 .. nelec - 1; depth) and the area, in unit spacings; zeroes sens_total, sens_unit_area,
/// resolution and resolution_normalized. Returns 0, or 1 after the box "The model has too few
/// node rows for sensitivity blocks." when no block row fits (nothing set then but the counts).
int setup_sensitivity_blocks(ModelSettings& model);

/// Electrode x and z of every datum in c1_x .. p2_z: x = (electrode - 1) x unit_spacing, in
/// metres, and z = 0; a datum without some electrode gets x = -unit_spacing for it.
void set_datum_electrode_positions(ModelSettings& model);

/// Reads the wavenumber file into k (room for max_sensitivity_wavenumbers). Returns 0; 1 after
/// "Error in opening file\n%s" (caption "Error Message") when it cannot be opened; 2, without a
/// message, when nk is outside 1..20 or the file is short.
int read_sensitivity_wavenumbers(const char* path, float* k, int& nk);

/// Fixed integration weights of the wavenumbers: w[0] = k[0] + (k[1] - k[0]) / 2, w[i] =
/// (k[i+1] - k[i-1]) / 2, w[nk-1] = (k[nk-1] - k[nk-2]) / 2; a single wavenumber has w[0] =
/// k[0].
void sensitivity_wavenumber_weights(const float* k, int nk, double* w);

/// Integration weights of the wavenumber-domain potentials v[0..nk-1] of one electrode pair:
/// w[i] is the derivative with respect to v[i] of the integral the finite-element solver takes
/// of its pair potentials (fd::potential_integral of the significant samples, four spline
/// sub-steps), so that the Jacobian is that of the apparent resistivity as the program
/// calculates it; the sum of w[i] v[i] is then that integral. The fixed weights above overrate
/// the integral of a falling potential on the coarse logarithmic wavenumbers (by about a tenth)
/// and would scale every sensitivity so. A first sample of 0, samples that do not fall at the
/// end (where the integral's exponential end has no limit) or values that are not finite give
/// the fixed weights.
void sensitivity_potential_weights(const float* k, const double* v, int nk, double* w);

/// The whole computation: blocks, datum positions, the Jacobian d ln(rho_a) / d ln(rho_block)
/// of every datum and block summed over the wavenumbers, each electrode pair of a datum with
/// its own weights (sensitivity_potential_weights of the pair's potentials, read in a first
/// pass at the electrode nodes where the band solver placed the sources), saved to grfile_file
/// and resorted
/// into block order, the integrated sensitivity and the sensitivity per unit area, and with
/// calc_resolution = 1 the Hessian files and the diagonal of the damped resolution matrix
/// (res_damping) with its area-normalised form. sens_values_ready is 0 from the start (the
/// blocks' values are zeroed) and 1 once the sums are made. The data of each wavenumber are
/// formed in steps the thread pool's workers share (the values do not depend on their number),
/// with the progress shown and the abort keys checked between steps: a break (also one typed
/// ahead) gives 5 after "The sensitivity calculation stopped by the user.\nNothing was saved."
/// Returns 0; non-zero after the message of the failure (see the source), including a failed
/// Hessian file (no resolution is then computed from it). A matrix that the damping
/// leaves not positive definite gives "Inversion error %d.\nDamping factor %.4f", zero
/// resolution values and the result 0.
int calculate_sensitivity_resolution(ModelSettings& model);

/// The diagonal of (H + damping I)^-1 H for the Hessian file in lower-by-rows order at
/// hessian_row_path, into result[0..n-1]. Returns 0; the read result (the reader's message in
/// the status line); packed_no_memory after "Insufficient memory for model resolution
/// calculation." (caption "Memory error"); or the inversion's step after the box "Inversion
/// error %d.\nDamping factor %.4f" (caption "Message"), result all zero then.
int damped_resolution_diagonal(int n, float damping, float* result, const char* hessian_row_path);

/// Writes rows x columns float32 values to path (no partial file on failure). Returns 0; 2
/// after a beep and "Error in creating Jacobian matrix file %s." in the status line; 1 after
/// "Error in saving Jacobian matrix file %s. %d/%d".
int save_jacobian_matrix_file(const char* path, const float* values, long long rows,
                              long long columns);
