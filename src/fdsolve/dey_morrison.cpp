// The "Dey & Morrison original" node matrix: the wavenumber term of every cell lumped on its
// corner diagonals and the mixed boundary condition evaluated at the boundary nodes.
#include "fdsolve/dey_morrison.h"

#include "fdsolve/frame.h"
#include "matrix/sparse.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"

#include <algorithm>

namespace {

// Horizontal, vertical and wavenumber terms of a cell: sigma dz/(2 dx), sigma dx/(2 dz) and
// sigma k^2 dx dz; zero for a cell outside the grid.
struct CellTerms {
    double h = 0.0, v = 0.0, g = 0.0;
};

} // namespace

int assemble_matrix_dm(int n, double* diag, double* row_depths, int nx, int nz, double k,
                       const float* cond, const float* dx, const float* dz, double* lnz,
                       const int* xlnz, const int* nzsub, const int* xnzsub, const int* invp) {
    if (nx < 2 || nz < 2 || n != nx * nz) return 2;
    // The terms of the previous column's cells, by row; the cell above a node is kept aside.
    sys::PageArray<CellTerms> column(nz);
    if (!column.ok()) return 1;
    std::fill(diag, diag + n, 0.0);
    std::fill(lnz, lnz + (xlnz[n] - 1), 0.0);
    row_depths[0] = 0.0;
    for (int j = 1; j < nz; ++j)
        row_depths[j] = row_depths[j - 1] + dz[j - 1];
    double x0 = 0.0;
    for (int i = 1; i < nx / 2; ++i)
        x0 += dx[i - 1];
    const double k2 = k * k, depth = row_depths[nz - 1];

    auto cell = [&](int i, int j) {
        if (i < 1 || i >= nx || j < 1 || j >= nz) return CellTerms{};
        const double s = cond[index2d(i, j, nx - 1)], w = dx[i - 1], t = dz[j - 1];
        return CellTerms{s * t * (0.5 / w), s * w * (0.5 / t), s * k2 * w * t};
    };
    // The boundary term of a segment evaluated at the node (x1, z) that begins it.
    auto term = [&](double x1, double z, int ci, int cj, double length, bool side) {
        return fd::boundary_term(x0, x1, z, k, cond[index2d(ci, cj, nx - 1)], length, 0.5, side);
    };

    int status = 0;
    auto couple = [&](double value, int v, int w) {
        if (add_sparse_entry_dbl(value, lnz, v, w, diag, xlnz, nzsub, xnzsub, invp) != 0)
            status = 2;
    };
    double x = 0.0, bottom = 0.0; // bottom: the term carried along the bottom edge
    for (int i = 1; i <= nx; ++i) {
        if (i > 1) x += dx[i - 2];
        const bool side_edge = i == 1 || i == nx;
        CellTerms above;      // cell (i, j - 1)
        double carried = 0.0; // the side segment above the node
        for (int j = 1; j <= nz; ++j) {
            const CellTerms nw = j > 1 ? column[j - 2] : CellTerms{}, ne = above,
                            sw = j < nz ? column[j - 1] : CellTerms{}, se = cell(i, j);
            double boundary = 0.0;
            if (side_edge && j < nz) {
                const double below =
                    term(x, row_depths[j - 1], i == 1 ? 1 : nx - 1, j, dz[j - 1], true);
                boundary += carried + below;
                carried = below;
            } else if (j == nz) {
                const double right = term(x, depth, i < nx ? i : nx - 1, nz - 1,
                                          dx[(i < nx ? i : nx - 1) - 1], false);
                if (side_edge)
                    boundary += carried + right;
                else
                    boundary += bottom + right;
                bottom = right;
            }
            const double hv = nw.h + nw.v + ne.h + ne.v + sw.h + sw.v + se.h + se.v;
            const double g = nw.g + ne.g + sw.g + se.g;
            const int v = (j - 1) * nx + i;
            diag[invp[v - 1] - 1] = hv + 0.25 * g + boundary;
            if (i > 1) couple(-(nw.h + sw.h), v, v - 1);
            if (j > 1) {
                couple(-(nw.v + ne.v), v, v - nx);
                column[j - 2] = ne; // cell (i - 1, j - 1) is no longer needed
            }
            above = se;
        }
    }
    return status;
}
