// Finite-difference routines beside the drivers that no driver calls: a fixed set of
// wavenumbers with weights, the permutation of a block of right-hand sides, and the weighting
// of a node's stencil terms by the conductivities of its cells.
#pragma once

#include "platform/sys/no_copy.h"

/// A fixed set of four (or eight) wavenumbers with their weights for a transform over
/// wavenumber, in units of the reciprocal unit electrode spacing. The weights make
/// Σ weights[i]·K0(wavenumbers[i]·r) approximate 1/r (within 1 % for 0.5 <= r <= 20 with the
/// four, within 0.1 % for 0.5 <= r <= 50 with the eight). Owns both arrays (24 doubles each,
/// from page memory); not copyable.
class InverseFourier : sys::NoCopy {
  public:
    /// Takes the two arrays and writes the set of four; count stays 0 (and the arrays null)
    /// when the memory is refused.
    InverseFourier();
    /// Releases the weights, then the wavenumbers, each only when it was taken.
    ~InverseFourier();

    /// Overwrites both arrays with the set of eight and sets count to 8 (nothing when the
    /// arrays were refused).
    void use_eight();

    int count = 0;                 ///< wavenumbers in use
    double* wavenumbers = nullptr; ///< room for 24
    double* weights = nullptr;     ///< room for 24
};

/// Puts row r (m values, rows of m consecutive doubles) of an n x m block of right-hand sides
/// into row perm[r] (1-based rows): the block is copied to work (n·m doubles) first. Writes the
/// trace line "permrhs_dbl_sse\n" when tracing is on. n = 0 does nothing.
void permrhs_dbl_sse(double* work, double* rhs, const int* perm, int n, int m);

/// Weights the stencil terms of node (i, j) of an nx x nz grid by the conductivities of the
/// cells around it, cond(index2d(column, row, ld)): NE = cell (i, j-1) multiplies a1, a2 by its
/// conductivity s and b1 by f·s; SE = (i, j) a3, a4 and b2; SW = (i-1, j) a5, a6 and b3;
/// NW = (i-1, j-1) a7, a8 and b4 (a and b numbered from 1). Terms of cells outside the grid are
/// left as they are.
void scale_node_terms_by_cells(int i, int j, int nx, int nz, int ld, double f, const float* cond,
                               double* a, double* b);
