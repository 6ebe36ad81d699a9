// The complex-resistivity forward solvers of block models: 2.5-D complex potentials of every
// electrode pair on the rectangular node mesh, for chargeabilities taken into a complex
// resistivity (the non-linear IP run) and for Cole-Cole spectra frequency by frequency (the
// spectral IP run).
//
// Folder ipsolve/ (library vd_ipsolve), in the solver layer above fesolve: may include fesolve
// (element matrices and the common set-up), fdsolve, matrix, model, platform/ui and platform/sys;
// included by cylinder (the Cole-Cole response) and forward. Entry points:
// calc_potentials_complex_ip (the non-linear IP run) and calc_potentials_spectral_ip, which take
// the records.
//
// Common ground. The mesh has nx node columns and nz node rows at the spacings col_dx (nx - 1)
// and row_dz (nz - 1), x and depth both from 0 at node (1, 1); node (column c, row r) is
// numbered (c - 1) nz + r, so the complex symmetric band matrix has the half-bandwidth nz + 1.
// Each cell (i, j) carries a complex conductivity, sigma_re and sigma_im at index2d(i, j,
// nx - 1). Cell terms are the mean of the cell's two triangulations; the mixed boundary terms
// of the left, bottom and right edges are taken about the middle node column and the depth of
// the first electrode's node. The matrix of each wavenumber is factored once (principal roots
// of the pivots) and solved for a unit current at every electrode but the last.
//
// Electrodes: nelec surface electrodes, electrode e (0-based) in node column margin_columns +
// e nodes_per_spacing and node row electrode_water[e] + 1; then each borehole's electrodes in
// its own node column borehole_columns[b], on the last node row whose depth lies within 0.001
// of the electrode's depth (borehole_depths, every borehole's in turn), or else on row
// borehole_first_rows[b] + i borehole_row_step + 1 for its electrode i (0-based). electrode_x
// is the x (unit spacings) of every electrode, for the remote distances.
//
// Results (model::SolverResult): ok; pivot with the node number when a pivot fails ("Error at
// node %d." box); no_memory ("Insufficient memory for finite-element subroutine!.") or
// bad_input, each reported through the message funnel; user_abort when the user broke the run
// (no message). On a failure no output is written. Every work array is freed on every way out.
//
// Threads: the wavenumbers (of every frequency) are solved on the solver threads, as many as
// sys::pool_threads() whose work arrays (a band and a block of right-hand sides each) the memory
// holds, while the calling thread shows the progress ("Finite-Element Calculations - %5.1f%%
// completed") and watches the abort keys; an abort is seen within one block of solves. The
// sources of a wavenumber are solved many at once; every result is the one of the one-source
// solve, so the tables do not depend on the number of threads.
#pragma once

#include "fesolve/fesolve.h"
#include "model/records_fwd.h"
#include "model/solver_io.h"

#include <cstdint>

namespace ip {

/// The inputs of a complex solver: the finite-element inputs (fe::Inputs; the complex solver
/// reads the survey part but table_a, table_b and remote_table, the spacing tables node_col_dx
/// and node_row_dz, and the boreholes; nelec_total counts every electrode), and
/// the cell conductivities, the electrode x and the borehole row step below.
struct Inputs : fe::Inputs {
    const float* sigma_re = nullptr; ///< per cell, index2d(i, j, nx - 1)
    const float* sigma_im = nullptr;
    const float* electrode_x = nullptr; ///< [nelec_total] x of every electrode, unit spacings
    int borehole_row_step = 0;

    /// Jacobian mode of calresfemsipd (off unless set; no command sets it): every electrode a
    /// source with whole solutions, the work files coefs_fem.bin, ptempf.bin, gtempf.bin,
    /// gtemp_curr.bin and gtemp_prev.bin and the reports potentials.txt and jacobian.txt in
    /// jacobian_folder (a path with its trailing separator); the sections also go to
    /// *jacobian_out when it is given. See ipsolve/jacobian.h.
    bool jacobian_mode = false;
    const char* jacobian_folder = "";
    struct JacobianTables* jacobian_out = nullptr;
};

/// The inputs from the records (fe::make_inputs without cells or tables; nelec_total at least
/// nelec, and boreholes only when it is more; the electrode x from
/// ModelSettings::driver_elec_2, the row step from borehole_nodes_per_spacing), without the
/// conductivities.
Inputs make_inputs(ModelSettings& settings, const ProgLim& limits);

/// The mesh a run of the records solves on in place of the model's own node mesh (the
/// calculation widens that mesh to reach its widest datum): nx x nz nodes at the spacings
/// col_dx (nx - 1) and row_dz (nz - 1), under topography at the positions node_x and node_z
/// (nx nz each, down the columns; null for a flat mesh, whose nodes stand at their column
/// positions and row depths), the first surface electrode in node column margin_columns and
/// borehole b in node column borehole_columns[b]; solver cell c (index2d(i, j, nx - 1)) takes
/// the values of model cell cell_from[c] (index2d(i, j, ModelSettings::nx_cells)). The arrays
/// belong to the caller.
struct Mesh {
    int nx = 0, nz = 0;
    const float* col_dx = nullptr;
    const float* row_dz = nullptr;
    float* node_x = nullptr;
    float* node_z = nullptr;
    int margin_columns = 0;
    const std::int32_t* borehole_columns = nullptr;
    const int* cell_from = nullptr;
};

/// Outputs of a run: four N x N tables (lead) and the three remote tables of 2N + 1.
struct Outputs {
    double* t_re = nullptr;     ///< section-plane potentials, real parts
    double* t_im = nullptr;     ///< imaginary parts
    double* s_re = nullptr;     ///< the same less the potential at the strike offset (array_type
    double* s_im = nullptr;     ///< 10, offset pole-dipole: the potential at the offset itself)
    double* remote_1 = nullptr; ///< remote-electrode values (with remote electrodes only):
    double* remote_2 = nullptr; ///< entry j the potential at electrode j from C2, np + j that
    double* remote_3 = nullptr; ///< from P2 at electrode j, 2 np + 1 that of P2 at C2
};

/// One frequency of a spectral run: its cell conductivities (per cell, index2d(i, j, nx - 1))
/// and the tables its results go to.
struct Frequency {
    const float* sigma_re = nullptr;
    const float* sigma_im = nullptr;
    Outputs out;
};

/// calresfem_cmplx_flt for `count` frequencies in one run, their wavenumbers spread over the
/// solver threads (in.sigma_re and sigma_im are not read): each frequency's tables get what
/// calresfem_cmplx_flt gives it alone, whatever the number of threads. The transforms run in
/// the order of the frequencies, so tables shared by several frequencies keep the last one's.
/// A failure (reported) leaves the tables of the frequencies before the failing one written
/// and the others untouched; the user's break returns user_abort with no table written.
/// *written (when given) receives the number of frequencies whose tables were written.
model::SolverResult solve_frequencies(const Inputs& in, const Frequency* frequencies, int count,
                                      int* written = nullptr);

} // namespace ip

/// Double-precision solver of the non-linear IP run. Pair tables: the section-plane real part
/// by the spline, the imaginary part by the trapezoid rule scaled by the real part's correction
/// (sortfemcmplx type 1); the strike tables of both parts by the strike weights of the real
/// solvers (fd::StrikeWeights, exact on a homogeneous earth). Remote tables: remote_1 the real
/// part, remote_2 and remote_3 the differences in-line less strike offset of the real and the
/// imaginary part (piecewise-linear rules).
model::SolverResult calresfemsipd(const ip::Inputs& in, const ip::Outputs& out);

/// Single-precision solver of the spectral IP run: the section-plane tables by the spline
/// (sortfemcmplx type 0), the strike tables as calresfemsipd's; remote_1 and remote_2 the real
/// part, remote_3 the imaginary.
model::SolverResult calresfem_cmplx_flt(const ip::Inputs& in, const ip::Outputs& out);

/// Non-linear IP run: cell (i, j) of resistivity rho and chargeability m gets the conductivity
/// 1/(rho (1 + i m)); calresfemsipd writes potential_table_a / _ip / _b / _b_ip (real,
/// imaginary; in-line, offset) and remote tables 1 to 3 of Potentials, and the offset tables
/// are copied to Potentials tables 8 and 9 for the first nelec electrodes. On `mesh` when it
/// is given, else on the model's node mesh. Returns the solver's result; work memory refused:
/// no_memory after the message.
model::SolverResult calc_potentials_complex_ip(ModelSettings& settings, const ProgLim& limits,
                                               double* remote_1, double* remote_2, double* remote_3,
                                               double* table_8, double* table_9,
                                               const ip::Mesh* mesh = nullptr);

/// Spectral IP run: for each of settings.nfreq frequencies (at most 12) the cells get their
/// Cole-Cole conductivity (set_fem_cell_values, cole_cole_complex_resistivity) and
/// calresfem_cmplx_flt writes the frequency's N x N block (from f N N, N = limits.max_electrodes)
/// of real_blocks and imag_blocks, tables 8 and 9 (second transforms, overwritten per frequency),
/// remote tables 1 to 3 and, with remote electrodes, remote_blocks: per frequency 2 (2N + 1)
/// values, the real parts of remote_1 then the imaginary parts of remote_3. On `mesh` when it
/// is given, else on the model's node mesh. Stops at the first failing frequency and returns
/// its result; the blocks of the frequencies before it are then written, the others untouched.
model::SolverResult calc_potentials_spectral_ip(ModelSettings& settings, const ProgLim& limits,
                                                double* remote_1, double* remote_2,
                                                double* remote_3, double* real_blocks,
                                                double* table_8, double* imag_blocks,
                                                double* table_9, double* remote_blocks,
                                                const ip::Mesh* mesh = nullptr);

/// Per-cell values of the Cole-Cole time constants and exponents: in every cell row the codes
/// of the columns left of first_model_column take that column's code (of the same row), those
/// right of last_model_column that column's; then tau_grid and cexp_grid (index2d(i, j, nx))
/// receive taus[code] and cexps[code]. nx, nz are the cell counts.
void set_fem_cell_values(int nx, int nz, const float* taus, std::int32_t* tau_codes,
                         float* tau_grid, int first_model_column, int last_model_column,
                         std::int32_t* cexp_codes, float* cexp_grid, const float* cexps);
