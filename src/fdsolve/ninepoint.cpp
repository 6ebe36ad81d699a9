// The entry addition of the band or sparse storage the "Modified 9-point" formulation was written
// for; the formulation itself (fdsolve/ninepoint.h) runs in the sparse storage of the five-point
// drivers.
#include "fdsolve/fdsolve.h"

#include "matrix/band.h"
#include "matrix/sparse.h"

int add_matrix_entry_dbl(int sparse, int i, int j, int w, double value, double* band, double* lnz,
                         double* diag, const int* xlnz, const int* nzsub, const int* xnzsub,
                         const int* invp) {
    if (sparse != 0) return add_sparse_entry_dbl(value, lnz, i, j, diag, xlnz, nzsub, xnzsub, invp);
    if (i - j > w || j - i > w) return 1;
    band[sym_band_index(i, j, w + 1)] += value;
    return 0;
}
