// The potential solvers of the calculation driver, as one call per pass (used by the driver
// and the normalisation).
#pragma once

#include "model/records_fwd.h"
#include "model/solver_io.h"

namespace forward {

/// The solver of a chain row.
enum class Solver { fd_9pt, fd_dm, fd_5pt, fe_q4, fe_sparse, fe_band };

/// The solver the settings choose: finite differences (fem 0) by fd_type, with IP values always
/// the "Modified 5-point" one; finite elements by fem_variant, then sparsefem.
Solver chain_solver(const ModelSettings& settings);

/// Runs `solver` once on the per-cell conductivities `cells` (nullptr: every cell 1.0) into
/// the pair tables table_a and table_b and the remote-electrode table `remote` (2 N + 1
/// doubles; may be nullptr for the finite-difference solvers), on a mesh that reaches the datum
/// span `span` (widest_datum_span of the datum list). The finite-element solvers get
/// ModelSettings::driver_cells_2x filled from the cells; the tables' leading dimension is
/// limits.max_electrodes. With the sensitivity option (jacob 1) the mesh is padded but its lines
/// are not split, and only the pass of the resistivity model (cells = cell_conductivity) writes
/// the Jacobian work files, on the model's own cells. Returns the solver's result.
model::SolverResult run_solver(ModelSettings& settings, const ProgLim& limits, Solver solver,
                               float span, const float* cells, double* table_a, double* table_b,
                               double* remote);

/// The complex passes of the chain: the non-linear IP run (every pass of the IP model) and the
/// spectral IP run (after the resistivity and IP passes).
enum class ComplexPass { nonlinear_ip, spectral_ip };

/// Runs `pass` (calc_potentials_complex_ip or calc_potentials_spectral_ip) on the mesh that
/// run_solver takes for the datum span `span`, into the tables of `potentials` the calculation
/// reads them from (Potentials ip_vector_a to _c and ip_table_a and _b; the spectral run also
/// spectral_table_a and _b and spectral_remote). Returns the run's result.
model::SolverResult run_complex_solver(ModelSettings& settings, const ProgLim& limits,
                                       Potentials& potentials, ComplexPass pass, float span);

} // namespace forward
