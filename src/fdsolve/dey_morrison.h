// The node matrix of the "Dey & Morrison original" finite-difference formulation for one
// wavenumber, in compressed-subscript storage.
#pragma once

/// Builds the matrix of wavenumber k on a grid of nx columns by nz rows (n = nx nz nodes,
/// node (i, j) = (j - 1) nx + i, row 1 the surface; spacings dx (nx - 1) and dz (nz - 1) in unit
/// spacings; cell (i, j) of conductivity cond[index2d(i, j, nx - 1)]), in the storage of
/// add_sparse_entry_dbl: diag (n) and lnz are cleared and filled at the rows invp gives.
///
/// Each cell puts sigma dz/(2 dx) + sigma dx/(2 dz) + sigma k^2 dx dz/4 on the diagonals of its
/// four corners and couples them with -sigma dz/(2 dx) across and -sigma dx/(2 dz) down. The
/// left, right and bottom edges carry the mixed boundary condition of a point source at (x0, 0),
/// x0 the x of column nx div 2: a segment's term 0.5 sigma R cos L (R = k K1(kr)/K0(kr)) is
/// evaluated once at the segment's first node along its edge (top to bottom, left to right)
/// and added to the diagonals of both its end nodes; the bottom segment that ends at the
/// bottom-right corner is evaluated again at the corner for the corner's diagonal.
///
/// row_depths (nz doubles) receives the depth of every node row. Returns 0 for a complete
/// matrix; 1 when the column store of cell terms (3 nz doubles of page memory) is refused
/// (nothing changed); 2 when the grid is smaller than 2 x 2, n is not nx nz, or the structure
/// has no place for a coupling (the matrix is then incomplete).
int assemble_matrix_dm(int n, double* diag, double* row_depths, int nx, int nz, double k,
                       const float* cond, const float* dx, const float* dz, double* lnz,
                       const int* xlnz, const int* nzsub, const int* xnzsub, const int* invp);
