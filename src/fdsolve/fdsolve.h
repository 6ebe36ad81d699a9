// The 2.5-D finite-difference forward drivers: potentials of every electrode pair of a block
// model, from finite-difference solutions at a set of wavenumbers transformed back to space.
#pragma once

#include <cstdint>

class ModelSettings;
namespace gfx {
class Canvas;
}

/// "Modified 5-point" formulation: sparse Cholesky under a nested-dissection ordering.
///
/// Grid: nx_nodes columns by nz_nodes rows (row 1 the surface), spacings node_col_dx (nx - 1)
/// and node_row_dz (nz - 1) in unit spacings, cell (i, j) with conductivity
/// conductivity[index2d(i, j, nx - 1)]. Electrode e (1-based) stands in node column
/// margin_columns + (e - 1) * nodes_per_spacing and node row electrode_water[e - 1] + 1. From
/// `settings` the drivers read ky_min, ky_max, distributed_source, current_node_weight,
/// side_node_weight and array_type.
///
/// For each of nky wavenumbers (ky_min, 0.4 * ky_min above 45 electrodes, to ky_max at equal
/// steps of ln k) it assembles, factors and solves the grid for a unit current at every
/// electrode, then transforms the pair table (fourier_transform_grid, m = 4) into table_a (pair
/// potentials) and table_b (their offset values for electrode_offset_ratio), N x N tables with
/// leading dimension max_electrodes, entry (a, b) at index2d(a, b, max_electrodes).
///
/// Remote electrodes (remote_electrodes > 0; c2/p2 x relative to the first electrode, y the
/// offset along strike, unit spacings): C2 and P2 are placed on the real surface node columns
/// and their potentials written to remote_table (when not null; 2 nelec + 1 doubles): entry j
/// (1-based) the potential at electrode j from C2, entry nelec + i that at P2 from electrode i,
/// entry 2 nelec + 1 that at P2 from C2; 0 for a remote electrode too near the mesh edge to
/// have a node. main_window is not read: failure texts go to the status line (status_canvas,
/// through show_status_text) while the main window is the foreground window; the beep always.
///
/// Result: 0; 1 when work memory is refused ("Error in allocating memory.", also inside the
/// wavenumber loop) or the inputs do not fit (nky outside 2..32, wavenumber limits not positive
/// and increasing, an electrode without side nodes in the mesh, a spacing of 0 or less; each
/// with its message); the code of the ordering set-up when it fails; 113 when the user breaks
/// the run (Esc, Q, q); the 1-based row of a non-positive pivot. On every failure the output
/// tables and remote_table are left as they were. All work memory is released on every way out.
int calaresforward_dbl(ModelSettings& settings, double* remote_table, int max_electrodes,
                       int margin_columns, int nodes_per_spacing, int remote_electrodes,
                       float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                       const std::int32_t* electrode_water, int nelec, double* table_a,
                       double* table_b, const float* conductivity, const float* node_row_dz,
                       const float* node_col_dx, int nx_nodes, int nz_nodes,
                       float electrode_offset_ratio, int nky, const void* main_window,
                       gfx::Canvas* status_canvas);

/// "Modified 9-point" formulation: nine-point coupling, nodes numbered down the columns, band
/// Cholesky (half-bandwidth nz + 1). Arguments and results as calaresforward_dbl; a
/// non-positive pivot is also shown in a message box "Calculation error at point %5d.".
/// Sets settings.fd_option to 0.
int calaresforward_9pt(ModelSettings& settings, double* remote_table, int max_electrodes,
                       int margin_columns, int nodes_per_spacing, int remote_electrodes,
                       float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                       const std::int32_t* electrode_water, int nelec, double* table_a,
                       double* table_b, const float* conductivity, const float* node_row_dz,
                       const float* node_col_dx, int nx_nodes, int nz_nodes,
                       float electrode_offset_ratio, int nky, const void* main_window,
                       gfx::Canvas* status_canvas);

/// "Dey & Morrison original" formulation: the wavenumber term lumped on the diagonal and the
/// mixed boundary condition taken at the boundary nodes; sparse storage as calaresforward_dbl.
/// Arguments and results as calaresforward_dbl.
int calaresforward_dm(ModelSettings& settings, double* remote_table, int max_electrodes,
                      int margin_columns, int nodes_per_spacing, int remote_electrodes,
                      float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                      const std::int32_t* electrode_water, int nelec, double* table_a,
                      double* table_b, const float* conductivity, const float* node_row_dz,
                      const float* node_col_dx, int nx_nodes, int nz_nodes,
                      float electrode_offset_ratio, int nky, const void* main_window,
                      gfx::Canvas* status_canvas);

/// Ordering and symbolic factorisation of the five-point matrix of an nx x nz grid (node
/// (i, j) = (j - 1) nx + i): nested dissection into perm and invp (nx nz ints each) and the
/// compressed-subscript structure into xlnz, xnzsub (nx nz + 1 ints) and nzsub (maxsub ints on
/// entry; the number used on return); maxlnz receives the number of off-diagonal factor
/// entries. Returns 0, or 1 after its message ("Error in memory allocation." or "Insufficient
/// memory for subscript array.", on the status line when the main window is in front).
int sparse_solve_setup(int nx, int nz, int* perm, int* invp, int* xlnz, int* xnzsub, int* nzsub,
                       int& maxsub, int& maxlnz, gfx::Canvas* status_canvas);

/// Adds value to entry (i, j) of the matrix: with `sparse` set through add_sparse_entry_dbl
/// (returning its result); otherwise to the symmetric band matrix `band` of half-bandwidth w
/// (rows of w + 1 stored elements) when |i - j| <= w (0), or not at all (1).
int add_matrix_entry_dbl(int sparse, int i, int j, int w, double value, double* band, double* lnz,
                         double* diag, const int* xlnz, const int* nzsub, const int* xnzsub,
                         const int* invp);
