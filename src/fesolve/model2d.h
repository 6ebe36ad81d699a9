// A self-contained reference case of the 2.5-D potential calculation: a fixed two-layer earth on
// a rectangular node grid, solved with a band matrix at fixed wavenumbers, the pole-pole
// resistances and apparent resistivities of all electrode pairs written to a text report.
#pragma once

#include "model/solver_io.h"

#include <vector>

/// The test model and its grids, all in double precision. The constructor fills the counts, the
/// wavenumbers, the grids and the cell conductivities; when an array is refused it leaves
/// `allocated` false and the arrays empty.
///
/// Grid: nx_nodes columns, column nbuffer at x = 0 and the next (nelec - 1) nodes_per_spacing
/// columns 0.25 apart; nbuffer - 1 buffer columns on each side, the step 0.25 for the first four
/// and 1.2 times the previous one after them (single-precision step). Rows: depth 0 at row 1,
/// steps 0.25 for four rows and 1.1 times the previous after them. Cells rows 1..13 take
/// 1/layer_resistivity[1], the rest 1/layer_resistivity[2]. Everything 1-based: x_grid[c],
/// z_grid[r], wavenumbers[m], layer_resistivity[l]; conductivity[index2d(c, r, nx_cells)].
class Model_2D_Electrical {
  public:
    Model_2D_Electrical();
    /// Sets the two layer resistivities and the cell conductivities from them.
    void set_layers(double top, double bottom);

    const char* title = "2D resistivity model";
    int max_electrodes_a = 65;
    int max_electrodes = 65;
    int max_layers = 16;
    int max_x_nodes = 0;
    int max_z_nodes = 0;
    int nwave = 12;
    int wave_count_aux = 8;
    int nelec = 64;
    int nodes_per_spacing = 4;
    int nx_nodes = 0, nz_nodes = 50;
    int nx_cells = 0, nz_cells = 0;
    int nbuffer = 24;
    int nlayers = 2;
    float spacing = 1.0f;
    double kmin = 0.001, kmax = 8.0;
    bool allocated = false;

    std::vector<double> layer_resistivity; ///< max_layers + 1
    std::vector<double> x_grid;            ///< max_x_nodes + 1
    std::vector<double> z_grid;            ///< max_z_nodes + 1
    std::vector<double> conductivity;      ///< max_x_nodes max_z_nodes + 1
    std::vector<double> wavenumbers;       ///< nwave + 1
    std::vector<double> resistance;        ///< max_electrodes^2 + 1, pair (i, j) at index2d

  private:
    void fill_grids();
};

/// The system of wavenumber k in band rows of row_length = nz + 1 doubles per node (the diagonal,
/// then (n, n + 1) .. (n, n + nz)), node (c, r) numbered (c - 1) nz + r: five-point cell terms
/// A = s dz/(2 dx), B = s dx/(2 dz), C = s k^2 dx dz/64 (diagonal A + B + 8C per cell around
/// the node, couplings 4C - A across and 4C - B along the columns), and the mixed boundary terms
/// of the left, right and bottom edges about the surface point of column nx/2 (3T and T with
/// T = s beta cos(theta) L/8). x (nx) and z (nz) are 1-based, cond has nx - 1 values a cell
/// row. Returns 0, or 1 when its work arrays are refused (band untouched).
int model2d_build_system(double* band, const double* cond, int nx, int nz, int row_length, double k,
                         const double* x, const double* z);

/// Solves U^T U x = b in place with the band Cholesky factor of half-bandwidth bw.
void model2d_band_solve(const double* a, int n, int bw, double* b);

/// Integral of f(k) over k from 0 to k[n]: k1 f1 for the first interval, then per interval with
/// both samples positive the exact integral of the exponential through them (the trapezoid when
/// their log ratio is at most 1e-10); intervals with a sample <= 0 add nothing. 1-based arrays.
double model2d_integrate_wavenumbers(int n, const double* k, const double* f);

/// The test run: writes the model to `path` (skipped when it cannot be created), solves every
/// wavenumber with electrodes on the surface nodes of the consecutive columns from nbuffer,
/// integrates every pair (a pair with a negative first sample on its negated samples, with the
/// sign kept) times 1/(4 pi) into `resistance`, and appends the pair table (resistance and
/// 2 pi (j - i) R) and the calculation time to the report; then asks "Time taken %.2f".
/// A failed factorisation at wavenumber m writes "Cap matrix %d, error fac %d" to the report in
/// place of the table and returns a pivot failure; no_memory and file failures likewise, each
/// after its message.
model::SolverResult model2d_test_run(Model_2D_Electrical& model, const char* path);
