// The finite-element forward solvers of block models: 2.5-D potentials of every electrode pair
// from finite-element solutions at a set of wavenumbers, transformed back to space.
//
// Folder fesolve/ (library vd_fesolve), in the solver layer above fdsolve: may include fdsolve (the
// transform, splines, Bessel functions, electrode nodes), matrix, model, platform/ui (the
// message-box flags) and platform/sys; included by ipsolve (element matrices and the common set-up)
// and forward. Entry points: fe::make_inputs, then calresfem_sym_dbl (band), calresfem_l_dbl
// (sparse) or calresfemq4.
//
// Common ground (the fields of fe::Inputs). The mesh has nx node columns and nz node rows, node
// (column c, row r) numbered (c - 1) nz + r down the columns; node_x and node_z hold one float
// per node in that order (unit spacings, z the depth). `cells` holds two floats per cell
// (ModelSettings::driver_cells_2x), cells row by row with the column fastest, the first value
// of cell (c, r) at 2 index2d(c, r, nx - 1): the element matrices take the first value, the
// boundary edges the first (left edge) or the second (bottom and right edges). Electrodes:
// nelec surface electrodes, electrode e (0-based) in node column margin_columns + e
// nodes_per_spacing and node row electrode_water[e] + 1; then the borehole electrodes,
// nelec_total in all.
//
// Outputs: table_a (pair potentials) and table_b (their strike-offset values for
// electrode_offset_ratio, see inverse_fourier_pair_potentials_dbl), N x N with the leading
// dimension `lead`, entry (i, j) and (j, i) at index2d(i, j, lead), for a unit current
// (potential = rho / (2 pi r) on a half-space of resistivity rho). The diagonal is not
// written. On a failure the output tables are left as they were.
//
// Results (model::SolverResult): ok; pivot with the node number when the factorisation meets a
// non-positive pivot ("Error at node %d." box); no_memory ("Insufficient memory for
// finite-element subroutine!."), bad_input, ordering, matrix or file, each after its message
// box through model::report_error; user_abort, unreported, when the user's break keys stop the
// run (the output tables are then left as they were). Every work array is freed on every way
// out. The wavenumbers run on the solver threads (sys::pool_threads, fewer when the memory
// holds the work arrays of fewer), the results the same bit for bit on any number of them;
// progress goes through update_status as the wavenumbers are done.
#pragma once

#include "fesolve/solver_common.h"
#include "model/solver_io.h"

#include <cstdint>

class ModelSettings;
class ProgLim;

namespace fe {

/// Everything a finite-element run reads, and the tables it writes: the survey part (see
/// model::SurveyInputs; ky_min and ky_max are not read by calresfemq4, remote_table holds
/// 2 nelec_total + 1 values) and the mesh, electrode and borehole fields below. fe::make_inputs
/// fills it from the records; tests and benchmarks change single fields afterwards.
struct Inputs : model::SurveyInputs {
    /// The record the solver reads its switches and work-file paths from and writes its
    /// documented fields to (each solver below names them).
    ModelSettings* settings = nullptr;

    // Mesh.
    float* node_x = nullptr;           ///< nx nz node x, down the columns (ModelSettings::node_x)
    float* node_z = nullptr;           ///< nx nz node depths, likewise
    const float* node_col_x = nullptr; ///< nx column x (sparse solver)
    const float* cells = nullptr;      ///< two values a cell, see above

    // Boreholes: borehole b (0-based) holds issbor[b] electrodes in node column
    // borehole_columns[b]; nelec_total counts them with the surface electrodes.
    int nelec_total = 0;
    int nboreholes = 0;
    const std::int32_t* issbor = nullptr;
    const std::int32_t* borehole_columns = nullptr;
    const std::int32_t* borehole_first_rows = nullptr; ///< 0-based first rows (ipsolve)
    const float* borehole_z = nullptr; ///< every borehole's electrode depths in turn (band)

    // The Jacobian work files of the band solver: written when `jacobian` is 1 (make_inputs:
    // settings->jacob == 1), on the model's own node mesh within this one. Its node column c is
    // column c + model_left of this mesh, its nodes the first model_nz of each of those
    // model_nx columns, model_cells its cell values (two a cell, as `cells`). model_nx 0: this
    // mesh is the model's own.
    int jacobian = 0;
    int model_left = 0, model_nx = 0, model_nz = 0;
    const float* model_cells = nullptr;

    /// The first wavenumber of calresfemq4, whose own range starts at 0.01: lower (nky counting
    /// the wavenumbers added below 0.01 at its steps) for pairs whose potentials reach lower.
    float q4_first_wavenumber = 0.01f;
};

/// The inputs of a run on the record's survey (model::fill_survey_inputs), mesh
/// (ModelSettings::node_x, node_z, node_col_x; the spacings with the survey) and boreholes
/// (nelec_total, nboreholes, issbor, borehole_column as the columns, borehole_first_row as the
/// first rows, borehole_z), with the element values `cells` and the output tables.
Inputs make_inputs(ModelSettings& settings, const ProgLim& limits, const float* cells,
                   double* table_a, double* table_b, double* remote_table);

} // namespace fe

/// Band solver on the node grid: cell terms of the four-triangle quadrilateral, mixed boundary
/// terms about the centre of the mesh, band Cholesky (half-bandwidth nz + 1), the sources
/// sixteen at a time in one pass over the factor (fe::solve_source_block; a line short enough
/// takes the products of the forward sweeps instead). Wavenumbers: nky values from ky_min to
/// ky_max, equal steps of ln k; line electrodes (settings->electrode_type 1) use the single
/// wavenumber 0 with the two-dimensional boundary terms, and their pair values go to both
/// tables untransformed.
///
/// Borehole electrodes: borehole b (0-based, b < nboreholes) holds issbor[b] electrodes in node
/// column borehole_columns[b] at the depths borehole_z (every borehole's depths in turn); each
/// sits on the node of that column whose depth matches within 0.001 (the last such row), or
/// else on the nearest row (with a trace line). nelec + the sum of issbor must be nelec_total.
///
/// Remote electrodes (remote_electrodes > 0; c2/p2_x relative to the first electrode, _y the
/// strike offset): placed on the surface nodes with get_electrode_node_numbers and transformed
/// into remote_table: entry j (1-based) the potential at electrode j from C2, n + j that from
/// P2, 2n + 1 that of P2 at C2 (n = nelec_total); 0 for a remote electrode too near the mesh
/// edge. Without remote electrodes remote_table is not touched. The placement is kept in
/// settings->fe_remote_a, fe_remote_b, fe_small_table_a and fe_small_table_b; the distances
/// of borehole electrodes come from settings->electrode_table.
///
/// Jacobian work files (in.jacobian = 1), on the model's own mesh (model_nx x model_nz nodes
/// from column model_left + 1; the whole mesh when model_nx is 0), nx and nz below its sizes:
/// fourier_values_file (int32 nk, nk float32 wavenumbers), jacob_file (per wavenumber
/// (nx-1)(nz-1) x 10 float32 unit-conductivity cell terms, cells down the columns),
/// grfinite_file (per wavenumber, per electrode 1..n, nx nz float32 node potentials); every
/// electrode is then a source. A model's mesh that is not within the solver's is bad_input.
/// Sets settings->npot_electrodes
/// = n, settings->jacob_electrode[e - 1] = the start of electrode e's table in a wavenumber
/// block ((e - 1) nx nz) and settings->sens_potentials_ready = 1 at the end (0 from the opening
/// of the files on, so that a run that does not finish leaves no potentials to be taken for a
/// model's). It also writes
/// jacob_elec_positions_file, for the electrode-position Jacobian: per wavenumber the x blocks,
/// then the z blocks, of the n_elec_positions first electrodes, each the derivative (over
/// +-0.01) of the cell terms (store_cell_element_terms) of the cell columns between the
/// electrode's neighbours, one more at each end; jacob_elec_a/_b hold those columns without the
/// two ends, coefs_cols_used their count. node_x and node_z must then be the record's
/// arrays; they are restored after each shift. The files are closed at the end; the model
/// record deletes them at exit.
model::SolverResult calresfem_sym_dbl(const fe::Inputs& in);

/// Sparse solver: compressed-subscript storage under the nested-dissection ordering of the
/// node grid (fem_order_setup, structure file settings->nodes_file, written and read once),
/// factored once per wavenumber; the potentials between the electrodes (and the remote ones)
/// from the entries of the inverse along their nodes' paths in the elimination tree
/// (mx::RowGroups), no solve per source. Wavenumbers: nky values from ky_min to ky_max
/// (log_spaced_values_dbl). Node
/// coordinates come from node_x and node_z; node_col_x holds the x of each column. Boundary
/// terms about (node_col_x[nx / 2], depth of the first electrode's row in column 1),
/// double-precision ratio.
///
/// Borehole electrodes are the records nelec .. nelec_total - 1 of settings->electrode_table
/// (x relative to the first electrode, z the depth); their number must be
/// settings->nborehole_nodes when that is set. With settings->shift_nodes non-zero the nearest
/// node is moved onto the electrode (farther than 0.01; the later runs see the moved node),
/// unless that node already carries another electrode: then, as with shift_nodes 0, the
/// electrode is spread over one, two or four nodes of its cell with weights (linear, or
/// gaussian_interpolation_nodes). Current is injected and potentials read with these weights.
/// The records receive count, node and weight.
///
/// Remote electrodes (remote_electrodes = 1, positions as calresfem_sym_dbl) into remote_table,
/// the layout of calresfem_sym_dbl; each borehole electrode's distance is its own.
model::SolverResult calresfem_l_dbl(const fe::Inputs& in);

/// Quadrilateral-element band solver on the rectangular mesh of the spacing tables node_col_dx
/// (nx - 1) and node_row_dz (nz - 1): bilinear cells in closed form, mixed boundary terms,
/// band Cholesky, single-precision wavenumbers from q4_first_wavenumber (0.01 unless lowered)
/// to 12.0 at equal steps of ln k and the single-precision pair
/// transform. Borehole electrodes as calresfem_sym_dbl, the row depths summed from node_row_dz;
/// a pair with a borehole electrode leaves out its samples from the first interval beyond
/// k r = 1 (r the pair's distance) on which it falls more slowly than exp(-k r / 2), samples of
/// wavenumbers too large for the lines around the electrode. No remote electrodes; `settings`
/// is not read. A failed factorisation shows "ierr %d" on the status
/// line before its message box; every failure ends with the status "Calculations stopped by
/// an error."; a complete run ends with "Calculations completed" and a full bar.
model::SolverResult calresfemq4(const fe::Inputs& in);

/// Solver on tree-partitioned block storage: every cell split along the diagonal from (c + 1, r)
/// to (c, r + 1) into two linear triangles, the first with the cell's first value of `cells`,
/// the second with its second value (so a contrast may follow that diagonal); the six-neighbour
/// node graph ordered once by one-way dissection; single-precision values, factored block by
/// block at each of the nky wavenumbers from ky_min to ky_max (block_wavenumbers); mixed
/// boundary terms about (the x of column nx / 2, the depth of the first electrode's row in
/// column 1) with the single-precision ratio; the single-precision pair transform. Electrodes
/// and boreholes as calresfem_sym_dbl (a borehole depth off the node rows takes the nearest row),
/// remote electrodes likewise into remote_table. No Jacobian files. Failures: a non-positive
/// pivot shows "Error at node %d wave number %d." (the mesh node); an entry outside the storage
/// (matrix) shows which triangle or boundary edge it came from.
model::SolverResult calc_potentials_fem_wavenumbers(const fe::Inputs& in);

/// nk >= 2 wavenumbers at equal steps of ln k in single precision, the ends exactly kmin and
/// kmax.
void block_wavenumbers(float kmin, float kmax, int nk, float* k);
