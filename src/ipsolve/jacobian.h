// The Jacobian mode of the double-precision complex solver: the derivatives of a fixed
// pole-pole test survey with respect to the conductivity, resistivity and chargeability of fixed
// test blocks, from the element terms and whole solutions of every wavenumber kept in work
// files, integrated over wavenumber file by file; and the two reports of the mode.
#pragma once

#include "model/solver_io.h"

#include <cstdio>
#include <string>
#include <vector>

/// Writes n four-byte values to `stream` in chunks of 131072 values and flushes it; returns the
/// number written. n <= 0 writes nothing and returns 0.
long long write_float_array_chunked(std::FILE* stream, const float* values, long long n);

/// Integral over one wavenumber segment of width dk between the samples a and b:
/// dk (a - b) / ln(a / b) when both are positive and a > 1.01 b, or both negative and
/// |a| > 1.01 |b|; otherwise the trapezoid 0.5 dk (a + b).
double log_mean_segment(double dk, double a, double b);

/// The Green's functions of one configuration from the solution records (electrode e's record
/// at records + (e - 1) 2 neq: neq real values, then neq imaginary values): kind 2 takes C1 and
/// P1 as they are, kind 3 C1 and P1 - P2, any other kind C1 - C2 and P1 - P2. Electrodes 1-based.
void gather_pair_values_dbl(int kind, const double* records, int neq, int c1, int c2, int p1,
                            int p2, double* gc_re, double* gc_im, double* gp_re, double* gp_im);
void gather_pair_values_flt(int kind, const float* records, int neq, int c1, int c2, int p1, int p2,
                            float* gc_re, float* gc_im, float* gp_re, float* gp_im);

/// Sum over the cells of columns c0..c1 and rows r0..r1 (1-based) of an nz-row node grid of the
/// complex products gc(a) K_ab gp(b) over the cell's four corners ((c, r), (c + 1, r),
/// (c, r + 1), (c + 1, r + 1); K the ten terms of the cell at terms + 10 ((c - 1) (nz - 1) +
/// r - 1), cells column by column), times 1/pi: the wavenumber sample of -dV/dsigma of those
/// cells together.
void cell_sensitivity_dbl(const double* gc_re, const double* gc_im, const double* gp_re,
                          const double* gp_im, const double* terms, int nz, int c0, int c1, int r0,
                          int r1, double* s_re, double* s_im);
void cell_sensitivity_flt(const float* gc_re, const float* gc_im, const float* gp_re,
                          const float* gp_im, const double* terms, int nz, int c0, int c1, int r0,
                          int r1, double* s_re, double* s_im);

/// The running wavenumber integral of `count` float terms in the file `running`: at w = 0 the
/// current file becomes the previous one and the integral is k[0] times its values; at a later
/// w every value adds log_mean_segment(k[w] - k[w - 1], previous, current), and the current
/// file becomes the previous one. Returns 0, or 1 with *failed the path that could not be
/// opened, read, written or renamed.
int roll_green_function_files(const std::string& running, const std::string& previous,
                              const std::string& current, int w, const float* k, long long count,
                              std::string* failed);

namespace ip {

/// What a Jacobian-mode run gives back besides its reports: the survey and blocks, the thirteen
/// sections of the report (section s, datum d, block b at [s][d nblocks + b]) and the apparent
/// values of the data, and the sizes in bytes of the five work files just before they were
/// removed (coefs_fem.bin, ptempf.bin, gtempf.bin, gtemp_prev.bin; gtemp_curr.bin has been
/// renamed by then and counts -1).
struct JacobianTables {
    int ndata = 0, nblocks = 0, blocks_per_layer = 0;
    std::vector<int> c1, p1;                 ///< electrodes of each datum
    std::vector<double> g;                   ///< geometric factor 2 pi a of each datum
    std::vector<double> block_rho;           ///< resistivity of each block
    std::vector<double> block_m;             ///< chargeability of each block
    std::vector<int> col0, col1, row0, row1; ///< cells of each block (1-based, inclusive)
    std::vector<double> section[13];
    std::vector<double> rho_a, m_a; ///< g Re V and 1000 Im V / Re V
    long long file_bytes[5] = {-1, -1, -1, -1, -1};
};

} // namespace ip

/// Integration weights of the abscissae x[0..n-1] (increasing): x[0] plus half the first
/// interval for the first point, half the two neighbouring intervals for a point inside, half
/// the last interval for the last; so the sum of w[i] f[i] is trapezoid_integral_flt's integral
/// (f held at f[0] from 0). n = 1 gives x[0]; n <= 0 writes nothing.
void trapezoid_weights_flt(int n, const float* x, float* w);

/// The rows of the solves of source e (1-based, e < np) and of the next: first_e = node[e - 1],
/// last_e = last[e - 1] (1 for the first electrode, whose solution is whole), first_next =
/// node[e], last_next = last[e]. node: the electrodes' matrix rows; last: the lowest row each
/// one's solution is read at. Rows below last_e are not needed from source e's solve.
void config_node_range(const int* node, const int* last, int e, int* first_e, int* last_e,
                       int* first_next, int* last_next);

/// One wavenumber w (0-based) of the Jacobian mode's accumulation, on the work files of
/// `folder` (the mode's file names): reads the ten terms of the ncells cells (coefs_fem.bin,
/// doubles) and the np solution records (ptempf.bin: neq real, then neq imaginary doubles
/// each), forms for every datum of `t` (kind 2: C1 and P1) and every block the cell
/// sensitivities (cell_sensitivity_dbl on a mesh of nz node rows), writes them, the real part
/// of every datum and block and then the imaginary part, to gtemp_curr.bin and rolls them into
/// the running integral gtempf.bin (roll_green_function_files with the wavenumbers k). Shows
/// "%s J%d/%d" (progress, datum, data) every 16 data with the bar given. Returns 0; 1 when a
/// file could not be read, 2 when one could not be written or renamed, with *failed its path.
int accumulate_jacobian_files(const std::string& folder, const ip::JacobianTables& t, int nz,
                              int ncells, int neq, int np, int w, const float* k,
                              const char* progress, int bar, std::string* failed);

namespace ip {

struct Inputs;
struct Outputs;

/// One Jacobian-mode run of calresfemsipd. The work files live in in.jacobian_folder; each is
/// opened with a check ("There has been an error in creating\nthe file %s." under "Error
/// Message", a file failure), read by the size it was written with, and every one of them is
/// removed when the object goes, also after a failure.
class JacobianMode {
  public:
    /// neq nodes, np electrodes (every one a source), nw wavenumbers k.
    JacobianMode(const Inputs& in, int neq, int np, const float* k, int nw);
    ~JacobianMode();
    JacobianMode(const JacobianMode&) = delete;
    JacobianMode& operator=(const JacobianMode&) = delete;

    /// The test survey and blocks; bad_input when the mesh has too few rows for the blocks.
    model::SolverResult start();
    /// The ten unit-conductivity terms of every cell of this wavenumber, cells column by column.
    model::SolverResult write_terms(const double* terms, int ncells);
    /// The whole solution of the next source (sources 1..np in turn; the first call of a
    /// wavenumber starts the file afresh).
    model::SolverResult write_solution(const double* re, const double* im);
    /// Adds wavenumber w's terms of every datum and block to the running integral; the status
    /// shows "%s J%d/%d" (progress, datum, data) every 16 data with the bar given.
    model::SolverResult accumulate(int w, const char* progress, int bar);
    /// The reports from the integral and the pair tables (lead, entry index2d(i, j, lead)).
    model::SolverResult finish(const double* t_re, const double* t_im, int lead,
                               const float* electrode_x);

  private:
    model::SolverResult create_error(const std::string& path) const;
    std::string path(const char* name) const;
    model::SolverResult write_reports(const double* t_re, const double* t_im, int lead,
                                      const float* electrode_x, JacobianTables& t) const;

    const Inputs& in_;
    int neq_, np_, nw_;
    const float* k_;
    std::FILE* terms_ = nullptr;
    std::FILE* solutions_ = nullptr;
    int solutions_written_ = 0;
    JacobianTables tables_;
};

} // namespace ip
