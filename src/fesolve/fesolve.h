// The finite-element forward solvers of block models: 2.5-D potentials of every electrode pair
// from finite-element solutions at a set of wavenumbers, transformed back to space.
//
// Common ground. The mesh has nx node columns and nz node rows, node (column c, row r) numbered
// (c - 1) nz + r down the columns; node_x and node_z hold one float per node in that order
// (unit spacings, z the depth). `cells` holds two floats per cell (ModelSettings::
// driver_cells_2x), cells row by row with the column fastest, the first value of cell (c, r)
// at 2 index2d(c, r, nx - 1): the element matrices take the first value, the boundary edges
// the first (left edge) or the second (bottom and right edges). Electrodes: nelec surface
// electrodes, electrode e (0-based) in node column margin_columns + e nodes_per_spacing and
// node row electrode_water[e] + 1; then the borehole electrodes, nelec_total in all.
//
// Outputs: table_a (pair potentials) and table_b (their strike-offset values for
// electrode_offset_ratio, see inverse_fourier_pair_potentials_dbl), N x N with the leading
// dimension ProgLim::max_electrodes, entry (i, j) and (j, i) at index2d(i, j, lead), for a
// unit current (potential = rho / (2 pi r) on a half-space of resistivity rho). The diagonal
// is not written. On a failure the output tables are left as they were.
//
// Results: 0; a positive node number when the factorisation meets a non-positive pivot ("Error
// at node %d." box); fe::result_no_memory ("Insufficient memory for finite-element
// subroutine!."), fe::result_bad_input, fe::result_ordering, fe::result_matrix or
// fe::result_file (solver_common.h), each after its message box. Every work array is freed on
// every way out. The solvers report progress through update_status once per wavenumber and do
// not stop on the user's break keys.
#pragma once

#include "fesolve/solver_common.h"

#include <cstdint>

class ModelSettings;
namespace gfx {
class Canvas;
}

/// Band solver on the node grid: cell terms of the four-triangle quadrilateral, mixed boundary
/// terms about the centre of the mesh, band Cholesky (half-bandwidth nz + 1), sources in groups
/// of four. Wavenumbers: settings.nky values from ky_min to ky_max, equal steps of ln k; line
/// electrodes (settings.electrode_type 1) use the single wavenumber 0 with the two-dimensional
/// boundary terms, and their pair values go to both tables untransformed.
///
/// Borehole electrodes: borehole b (0-based, b < nboreholes) holds issbor[b] electrodes in node
/// column borehole_columns[b] at the depths borehole_z (every borehole's depths in turn); each
/// sits on the node of that column whose depth matches within 0.001 (the last such row), or
/// else on the nearest row (with a trace line). nelec + the sum of issbor must be nelec_total.
///
/// Remote electrodes (settings.remote_electrodes > 0; c2/p2_remote_x relative to the first
/// electrode, _y the strike offset): placed on the surface nodes with get_electrode_node_numbers
/// and transformed into remote_table: entry j (1-based) the potential at electrode j from C2,
/// n + j that from P2, 2n + 1 that of P2 at C2 (n = nelec_total); 0 for a remote electrode too
/// near the mesh edge. Without remote electrodes remote_table is not touched.
///
/// Jacobian work files (settings.jacob = 1): fourier_values_file (int32 nk, nk float32
/// wavenumbers), jacob_file (per wavenumber (nx-1)(nz-1) x 10 float32 unit-conductivity cell
/// terms, cells down the columns), grfinite_file (per wavenumber, per electrode 1..n, nx nz
/// float32 node potentials); every electrode is then a source. Sets settings.npot_electrodes
/// = n, settings.jacob_electrode[e - 1] = the start of electrode e's table in a wavenumber block
/// ((e - 1) nx nz, as a float) and settings.sens_potentials_ready = 1. With settings.
/// jacob_cal_flag = 1 it also writes jacob_elec_positions_file: per wavenumber the x blocks,
/// then the z blocks, of the n_elec_positions first electrodes, each the derivative (over
/// +-0.01) of the cell terms of the columns around the electrode (store_cell_element_terms),
/// and sets jacob_elec_a/_b and coefs_cols_used. node_x and node_z must then be the record's
/// arrays; they are restored after each shift. The files are closed at the end; the model
/// record deletes them at exit.
int calresfem_sym_dbl(ModelSettings& settings, double* remote_table, int nboreholes,
                      const std::int32_t* issbor, const std::int32_t* borehole_columns,
                      const float* borehole_z, int nelec_total, float electrode_offset_ratio,
                      int margin_columns, int nodes_per_spacing, int nelec, const float* cells,
                      float* node_x, float* node_z, int nx, int nz, double* table_a,
                      double* table_b, int nky, const std::int32_t* electrode_water,
                      const void* main_window);

/// Sparse solver: compressed-subscript storage under the nested-dissection ordering of the
/// node grid (fem_order_setup, structure file settings.nodes_file), factored once per
/// wavenumber. Wavenumbers: nky values from settings.ky_min to ky_max (log_spaced_values_dbl).
/// Node coordinates come from settings.node_x and settings.node_z; node_col_x holds the x of
/// each column. Boundary terms about (node_col_x[nx / 2], depth of the first electrode's row in
/// column 1), double-precision ratio.
///
/// Borehole electrodes are the records nelec .. nelec_total - 1 of settings.electrode_table
/// (x relative to the first electrode, z the depth). With settings.shift_nodes non-zero the
/// nearest node is moved onto the electrode (farther than 0.01; the later runs see the moved
/// node), unless that node already carries another electrode: then, as with shift_nodes 0, the
/// electrode is spread over one, two or four nodes of its cell with weights (linear, or
/// gaussian_interpolation_nodes). Current is injected and potentials read with these weights.
/// The records receive count, node and weight.
///
/// Remote electrodes (remote_electrodes = 1, positions as calresfem_sym_dbl) into remote_table,
/// the layout of calresfem_sym_dbl; each borehole electrode's distance is its own.
int calresfem_l_dbl(ModelSettings& settings, double* remote_table, int remote_electrodes,
                    float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                    int nelec_total, float electrode_offset_ratio, int margin_columns,
                    int nodes_per_spacing, int nelec, const float* cells, const float* node_col_x,
                    int nx, int nz, double* table_a, double* table_b, int nky,
                    const std::int32_t* electrode_water, const void* main_window,
                    gfx::Canvas* status_canvas);

/// Quadrilateral-element band solver on the rectangular mesh of the spacing tables node_col_dx
/// (nx - 1) and node_row_dz (nz - 1): bilinear cells in closed form, mixed boundary terms,
/// band Cholesky, single-precision wavenumbers from 0.01 to 12.0 and the single-precision pair
/// transform. Borehole b (0-based, b < nboreholes) holds issbor[b] electrodes in node column
/// borehole_columns[b], on every second node row from row borehole_first_rows[b] + 1. No remote
/// electrodes. A failure shows "ierr %d" on the status line (status_canvas) for a failed
/// factorisation, its message box, and the status "Calculations stopped by an error."; a
/// complete run ends with "Calculations completed" and a full bar.
int calresfemq4(int nboreholes, const std::int32_t* issbor, const std::int32_t* borehole_columns,
                const std::int32_t* borehole_first_rows, int nelec_total,
                float electrode_offset_ratio, int margin_columns, int nodes_per_spacing, int nelec,
                int array_type, const float* cells, const float* node_row_dz,
                const float* node_col_dx, int nx, int nz, double* table_a, double* table_b, int nky,
                const std::int32_t* electrode_water, const void* main_window,
                gfx::Canvas* status_canvas);
