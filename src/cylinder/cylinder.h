// Cylinder and convex-section models: the 2.5-D finite-element solvers on the polar mesh
// (electrodes on the circumference of a circular section, the medium invariant along the
// axis), the per-cell values they take, and the data set of the ring with its apparent IP,
// spectra and fitted Cole-Cole parameters.
//
// Folder cylinder/ (library vd_cylinder), the top of the solver layer: may include ipsolve (the
// Cole-Cole response), fdsolve (the spline integrals), matrix, model and platform/sys; included by
// forward alone (forward/cylinder_path.cpp). Entry points: cyl::solver_inputs, then
// cyl::solve_transfer_potentials (or _complex), and calc_apparent_cole_cole for the data set.
//
// Common ground of the solvers. The mesh (cylinder/mesh.h) has le sectors, le = nelec k with k
// sectors per electrode spacing, and ne radii of the unit circle r0 = 1 > r1 > ... > r(ne-1) >
// 0: ne - 1 rings of eight-node quadrilaterals and a centre ring of linear triangles (two per
// sector). Cell (sector s, ring j) takes conductivity[(s - 1) + le (j - 1)]; ring 1 touches the
// circumference. Electrode e (1-based) stands on the middle-line node of sector
// (e - 1) k + 1 on r0, node 2R + 2 + (e - 1) k (3R + 2) (R = ne - 1). For each of the 15
// wavenumbers from 0.001875 nelec to 1.03125 nelec (equal steps of ln k; they do not depend on
// the radius) the system sigma (S + k^2 M) is assembled in single precision in envelope
// storage in the natural node order, factored once, and solved for a unit current at every
// electrode but the last; the value at every later electrode is kept. Then every pair's values
// are integrated over k (the sign of the lowest-wavenumber value taken out,
// count_significant_flt, log_spline_integral_flt) and divided by pi radius: the transfer
// potential of a unit current on a cylinder of that radius, stored at (a, b) and (b, a) of the
// output with its leading dimension, the diagonal not written.
//
// Results (model::SolverResult): ok; pivot with the row where the factorisation meets a pivot
// that is not positive (real) or whose real and imaginary parts are both not positive
// (complex) ("error in envfac"); no_memory ("Insufficient memory!."), bad_input, or matrix when
// an element entry falls outside the envelope ("Error in envij quad", "Error in envij tri"),
// each reported under "Error Message" through model::report_error. The electrode nodes are written
// first, also on a failure; the output tables only after the last wavenumber, so a failure leaves
// them as they were. Every work array is released on every way out. Progress goes to update_status
// as the wavenumbers are done ("Finite-Element Calculations - %5.1f%% completed", 0.0 to
// 93.3 % on one thread); the user's break keys stop a run (user_abort, no message, the tables as
// they were).
//
// Threads: the wavenumbers are solved on the solver threads, as many as sys::pool_threads()
// whose work arrays (a matrix, the factorisation's work and a block of right-hand sides each)
// the free memory holds, all counted before any is taken (no_memory when not one fits); the
// variant with work files takes one. The factor is worked out 32 rows at
// a time and the sources solved many at once, every value the one of the one-row, one-source
// envelope routines, so the tables do not depend on the number of threads.
#pragma once

#include "model/records_fwd.h"
#include "model/solver_io.h"

#include <cstdint>
#include <vector>

namespace gfx {
class Canvas;
}

namespace cyl {

struct PolarMesh;

/// Number of wavenumbers of the cylinder solvers.
constexpr int wavenumber_count = 15;
/// The 15 wavenumbers of a ring of nelec electrodes into k.
void cylinder_wavenumbers(int nelec, float* k);

/// The survey of the sensitivity runs: per datum its first electrode x, spacing a (in
/// electrodes) and factor n, formed into electrodes by the array code (datum_electrodes).
struct DatumSurvey {
    int ndata = 0;
    const std::int32_t* first = nullptr;
    const std::int32_t* spacing = nullptr;
    const float* n = nullptr;
    int array_type = 0;
    bool unit_factor = false; ///< every datum factor -1/pi
};

/// Electrodes (C1, C2, P1, P2; 0 where the array has none) and the datum factor of the datum
/// (x, a, n) of array code array_type on a ring of nelec electrodes:
///   1: x, x + 3a, x + a, x + 2a, -2a;       2: x + a, x, x + 2a, x + 3a, -6a;
///   3: x, x + 2a, x + a, x + 3a, -3a;       4: x, 0, x + a, 0, -2a;
///   8: x, 0, x + a, 0, -2a s / (s - a), s = sqrt(a^2 + 1);
///   6, n >= 0: x, 0, x + [a n], x + [a (n + 1)], -2a n (n + 1);
///   6, n < 0: x + a + [a |n|], 0, x + a, x, -2a |n| (|n| + 1);
///   7: x, x + [a (2n + 1)], x + [a n], x + [a (n + 1)], -a n (n + 1);
///   else: x + a, x, x + [a (n + 1)], x + [a (n + 2)], -a n (n + 1) (n + 2);
/// [ ] rounding to the nearest integer. A number above nelec goes round the ring (less nelec).
/// unit_factor gives every datum the factor -1/pi.
void datum_electrodes(int array_type, int nelec, int x, int a, float n, bool unit_factor,
                      std::int32_t* electrodes, double* factor);

/// What a sensitivity run gives back. A model cell is one mesh element (cell (s, j) at
/// (s - 1) + le (j - 1), le ne of them). The sensitivity of datum d to cell c, at c ndata + d, is
/// the derivative of the datum's transfer value dV = G(P1|C1) - G(P1|C2) - G(P2|C1) + G(P2|C2)
/// (the table the run writes; an electrode 0 and a pair of one electrode add nothing) with
/// respect to the logarithm of the cell's resistivity; over the cells they sum to dV.
struct Sensitivities {
    int ndata = 0, cells = 0;
    std::vector<std::int32_t> electrodes; ///< C1, C2, P1, P2 of datum d at 4 d
    std::vector<double> factor;           ///< datum factor of each datum
    std::vector<double> values;
};

/// What one run of a cylinder solver reads and writes. None of the tables is owned.
struct SolverInputs {
    double radius = 1.0;        ///< cylinder radius; every potential is divided by pi radius
    int nodes_per_spacing = 0;  ///< k, sectors per electrode spacing
    int nelec = 0;              ///< electrodes on the circumference
    int sectors = 0, radii = 0; ///< le and ne of the mesh
    const float *node_x = nullptr, *node_y = nullptr; ///< node coordinates (r cos, r sin)
    const float* conductivity = nullptr;     ///< per cell (the real parts for the complex solver)
    const float* conductivity_im = nullptr;  ///< per cell, the imaginary parts (complex solver)
    double* table = nullptr;                 ///< output (the real parts for the complex solver)
    double* table_im = nullptr;              ///< output of the imaginary parts (complex solver)
    int lead = 0;                            ///< leading dimension of the output tables
    std::int32_t* electrode_nodes = nullptr; ///< output: nelec node numbers
    /// Element matrices of the quadrilaterals computed once per run and kept (72 floats per
    /// element), or computed again at every wavenumber; the results are the same.
    bool element_matrices_once = true;

    /// The double-precision variant reads these in place of node_x, node_y and conductivity.
    const double *node_x_dbl = nullptr, *node_y_dbl = nullptr, *conductivity_dbl = nullptr;
    /// The variants with work files. Mode 1 stages the element terms, the element nodes and
    /// every electrode's whole solution of each wavenumber through "jtemp1.bin" to "jtemp3.bin"
    /// in `folder` (a path with its trailing separator), reads them back and forms the
    /// sensitivities of the survey into *sensitivities; the work files are removed when the
    /// run ends, also after a failure. Any other mode gives the potentials alone.
    int mode = 0;
    const char* folder = "";
    const DatumSurvey* survey = nullptr;
    Sensitivities* sensitivities = nullptr;
};

/// The inputs of a run on the model record: radius, k, nelec, le, ne and the electrode-node
/// table of `settings`, the node coordinates of `mesh`, the given cells and output table.
SolverInputs solver_inputs(ModelSettings& settings, const PolarMesh& mesh,
                           const float* conductivity, double* table, int lead);

/// The real solver: transfer potentials of the real conductivities into in.table.
model::SolverResult solve_transfer_potentials(const SolverInputs& in);

/// The complex solver: complex conductivities (conductivity, conductivity_im), the matrix
/// factored as L L^T without conjugation, every pivot the principal root; the real parts of
/// the transfer potentials into in.table as the real solver does, the imaginary parts into
/// in.table_im, each pair integrated over the leading values that are positive and exceed
/// 1e-10 of the third value (after the sign of the first value is taken out).
model::SolverResult solve_transfer_potentials_complex(const SolverInputs& in);

/// The real solver with work files and datum sensitivities (mode 1): the potentials as
/// solve_transfer_potentials gives them. Writes "\nCylinder calresfemcylenvqc1g\n" to the trace
/// first (the double-precision variant below "\nCylinder calresfemcylenvqc1gd\n").
model::SolverResult solve_transfer_potentials_staged(const SolverInputs& in);

/// The same in double precision (node_x_dbl, node_y_dbl, conductivity_dbl): the matrix, the
/// solutions, the work-file records and the integral over wavenumber (the first wavenumber's
/// rectangle and log_spline_integral_geo_dbl of the leading values), with the listing
/// "cylgradd.txt" in `folder`: the mesh line "nxe %d nze %d  col1 %d col2 %d", the electrode
/// nodes, the sensitivities of every cell and datum, and the check table
/// G(2, i + 2) - G(2, i + 3) - G(1, i + 2) + G(1, i + 3) of i = 1 .. nelec - 3. Entry and pivot
/// failures read "Error in envijd quad", "Error in envijd tri" and "error in envfac"; a work
/// file or the listing that cannot be created "There has been an error in creating\nthe file
/// %s.".
model::SolverResult solve_transfer_potentials_dbl(const SolverInputs& in);

/// Inputs of the apparent values of a ring of electrodes (the electrode after the last is the
/// first). Potential tables hold P(i | j), the potential at i for a unit current at j, at
/// index2d(i, j, lead); the spectral tables one nelec x nelec block per frequency, block f
/// (from 0) from f nelec^2, packed by nelec.
struct ApparentInputs {
    int ip = 0;    ///< above 0: ip_table is given and apparent IP is formed
    int nfreq = 0; ///< frequencies with spectra (0: none)
    const float* frequencies = nullptr;
    const double* dc = nullptr;
    const double* ip_table = nullptr;
    /// Single-precision potential tables read in place of dc and ip_table when given.
    const float* dc_flt = nullptr;
    const float* ip_table_flt = nullptr;
    int lead = 0;
    const double* spectral_re = nullptr;
    const double* spectral_im = nullptr;
    int levels = 0;         ///< L, data levels asked for
    int nelec = 0;          ///< N
    int array_type = 0;     ///< internal code: 1, 2, 3, 5 or 7 give data
    int max_data = 0;       ///< capacity of the per-datum lists and stride of the spectra
    int level_stride = 0;   ///< row length of the level tables (ProgLim::max_levels)
    int max_level_rows = 0; ///< entries of level_counts
    int max_positions = 0;  ///< data a level may hold in the level tables
    gfx::Canvas* status_canvas = nullptr; ///< where the fit's least-squares message goes
};

/// Where the apparent values go. A null table is not written.
struct ApparentOutputs {
    float* level_values =
        nullptr;               ///< transfer value of datum t of level d at index2d(d, t, stride)
    float* level_ip = nullptr; ///< apparent IP, same layout
    std::int32_t* level_counts = nullptr; ///< data of each level
    float* values = nullptr;              ///< per datum, level after level: transfer value
    float* ip_values = nullptr;           ///< apparent IP (written only with the IP switch)
    float* n_factor = nullptr;
    std::int32_t* spacing = nullptr;
    std::int32_t* first = nullptr; ///< datum number t within its level (its first electrode)
    float *c1 = nullptr, *c2 = nullptr, *p1 = nullptr, *p2 = nullptr; ///< electrode numbers
    float* spectrum_re = nullptr; ///< datum g (from 0) at frequency f (from 0): g + f max_data
    float* spectrum_im = nullptr;
    float* tau = nullptr;     ///< fitted Cole-Cole time constant per datum (0: no fit)
    float* cexp = nullptr;    ///< fitted exponent per datum
    bool fit_refused = false; ///< set when a fit's work memory was refused
};

/// The data set of the ring for array code array_type, level d = 1 .. L:
///   1, 2, 3: positions a = 3d + 1 .. N + 1, electrodes (C1, C2, P1, P2) = (a - 3d, a, a - 2d,
///            a - d), (a - 2d, a - 3d, a - d, a), (a - 3d, a - d, a - 2d, a); n 1, spacing d;
///   5:       q = d + 3 .. N + d + 2, (q - d - 1, q - d - 2, q - 1, q) less N above N; n d,
///            spacing 1;
///   7:       p = 1 .. N - 2d, (p, p + 2d + 1, p + d, p + d + 1); n d, spacing 1;
/// position N + 1 being electrode 1. Every other code gives no data. Per datum: the transfer
/// value dV = P(P1|C1) - P(P1|C2) - P(P2|C1) + P(P2|C2), the apparent IP 1000 (dV_ip - dV) /
/// dV_ip (0 when dV_ip is 0), the complex transfer value at every frequency, and, with
/// frequencies and IP, tau and c fitted to its spectrum (fit_cole_cole with rho0 = dV and
/// m = apparent IP / 1000; 0 and 0 when the datum has no apparent IP or its spectrum gets no
/// fit; out.fit_refused when a fit's work memory was refused). Levels stop at max_level_rows and
/// level_stride, data at max_data and max_positions a level. Returns the number of data.
int apparent_values(const ApparentInputs& in, ApparentOutputs& out);

} // namespace cyl

/// calresfemcylenvqc1: the real solver (cyl::solve_transfer_potentials) with the output table
/// packed by nelec, as the model record's named routine takes its arguments.
model::SolverResult calresfemcylenvqc1(float radius, int nodes_per_spacing, int nelec,
                                       const float* conductivity, const float* node_x,
                                       const float* node_y, int le, int ne, double* table,
                                       std::int32_t* electrode_nodes);

/// calresfemcylenv_complex: the complex solver with both output tables packed by nelec.
model::SolverResult calresfemcylenv_complex(float radius, int nodes_per_spacing, int nelec,
                                            const float* conductivity_re,
                                            const float* conductivity_im, const float* node_x,
                                            const float* node_y, int le, int ne, double* table_re,
                                            double* table_im, std::int32_t* electrode_nodes);

/// The apparent values of a cylinder model into its record: the datum lists (cyl_elec_c1 ..
/// cyl_elec_p2, datum_first_electrode, datum_a, datum_n, level_counts), the level tables
/// (app_res_grid, app_ip_grid) and the per-datum values into `values` (app_resistivity, or
/// datum_gfactor for the normalisation run) and app_ip, from the in-line tables `dc` and
/// potential_table_a_ip (leading dimension ProgLim::max_electrodes), with `ip` as the IP switch
/// and nfreq frequencies of spectra from Potentials tables 6 and 7 into sip_inphase,
/// sip_quadrature, datum_tau and datum_cexp (the fit's messages on status_canvas). Levels
/// nlev, array_type. Returns the number of data; *complete (when given) is false after
/// "Insufficient memory!." when a fit's work memory was refused.
int calc_apparent_cole_cole(ModelSettings& settings, const ProgLim& limits,
                            const Potentials& potentials, int ip, int nfreq, const double* dc,
                            float* values, gfx::Canvas* status_canvas, bool* complete = nullptr);

/// The single-precision twin of calc_apparent_cole_cole, which no command runs: the DC and IP
/// potential tables `dc` and `ip_table` hold floats (leading dimension ProgLim::max_electrodes)
/// and there is no IP switch, so every datum gets its apparent IP. The same outputs.
int calc_apparent_cole_cole_flt(ModelSettings& settings, const ProgLim& limits,
                                const Potentials& potentials, int nfreq, const float* dc,
                                const float* ip_table, float* values, gfx::Canvas* status_canvas,
                                bool* complete = nullptr);

/// Conductivity 1 / rho of every cell (ring j = 1 .. ne, sector i = 1 .. le, cell
/// index2d(i, j, le)) from its resistivity code (0-based; beyond the list its last value) and,
/// with nip > 0, the IP conductivity sigma (1 - m) from its IP code.
void set_cylinder_block_conductivity(int nip, const float* chargeabilities,
                                     const std::int32_t* ip_codes, float* ip_conductivity, int le,
                                     int ne, const std::int32_t* res_codes, float* conductivity,
                                     const float* resistivities, int nresis);

/// Cole-Cole time constant and exponent of every cell from its codes (beyond a list its last
/// value).
void set_cylinder_cell_parameters(int ntau, const float* taus, const std::int32_t* tau_codes,
                                  float* cell_tau, int le, int ne, const std::int32_t* cexp_codes,
                                  float* cell_cexp, const float* cexps, int ncip);

/// Complex conductivity of every cell at frequency f (Hz): the reciprocal of its Cole-Cole
/// resistivity (cole_cole_complex_resistivity) from its resistivity and chargeability (codes as
/// set_cylinder_block_conductivity), time constant and exponent (cell_tau, cell_cexp), cell
/// index2d(i, j, le) into sigma_re and sigma_im.
void set_cylinder_complex_conductivity(int le, int ne, const std::int32_t* res_codes,
                                       const float* resistivities, int nresis,
                                       const std::int32_t* ip_codes, const float* chargeabilities,
                                       int nip, const float* cell_tau, const float* cell_cexp,
                                       float f, float* sigma_re, float* sigma_im);
