// The cell block of the "Modified 9-point" formulation, and the entry addition of the band or
// sparse storage it was written for; the formulation itself (fdsolve/ninepoint.h) runs in the
// sparse storage of the five-point drivers.
//
// The cell block. Write h = sigma dz / (2 dx) and v = sigma dx / (2 dz), the five-point
// formulation's horizontal and vertical terms. Every compact symmetric block that is exact for
// the fluxes of a linear potential through the cell (the bilinear element's) is the five-point
// block (h + v on the diagonal, -h along x, -v along z, nothing across) plus e times the
// checkerboard form (+1 on the diagonal and across, -1 along the edges), which vanishes on
// every linear potential: the bilinear element is e = -(h + v)/3, the fourth-order compact
// (Mehrstellen) stencil e = -(h + v)/6, the five-point one e = 0, and all of them are
// consistent on rectangles of any shape. What tells them apart is the error of the potential
// of a point source some cells away. On a grid of spacings dx and dz the lattice potential
// at a distance r differs from the continuous one, -ln(r) / (2 pi) for a unit source in a
// full plane, by (c2 cos 2t + c4 cos 4t) / (pi r^2), t the angle from the rows:
// c2 = (dz^2 - dx^2)/24 from the second differences along x and z, the same for every e, and
// c4 = (dx^2 + dz^2)/48 + e dx dz / (4 sigma). Along the rows, where the electrodes lie, they
// cancel for e = (v - 3 h)/6, the fourth-order stencil on square cells. That e is taken within
// two bounds. On cells wider than sqrt(3) dz it would couple opposite corners positively: e
// stays 0 there (the five-point block). On cells taller than 1.29 dx it would take away most
// of the checkerboard form's stiffness (2 (h + v) + 4 e, down to 8 v / 3), which on the deep
// rows, hundreds of times taller than wide, would leave a node-to-node oscillation nearly
// free: e stops at -(h + v)/4, half the five-point block's stiffness.
//
// The wavenumber term sigma k^2 V gives each cell sigma k^2 dx dz / 4 a corner, of which the
// corner keeps the share 1/4 - (beta_x + beta_z)/2 and passes beta_x / 2 to its neighbour
// along x, beta_z / 2 to that along z (fitted_mass_weight), so that potentials varying as
// exp(+-k x) or exp(+-k z) are reproduced at any k dx, k dz. Where k dx is large the
// wavenumber term would outgrow the coupling along x; e is then raised so that it stays at 0
// or below. Nodes of a row coupled positively take potentials that alternate in sign from node to
// node: the earlier block (e = -(h + v)/4 on every cell, wavenumber shares 9, 3, 3, 1 in 64)
// coupled them so on cells wider than sqrt(3) dz, and at the high wavenumbers the potential
// along the electrode row alternated and decayed far too slowly; with two nodes a spacing the
// electrodes sat on the positive nodes.
#include "fdsolve/ninepoint.h"

#include "fdsolve/fdsolve.h"

#include "matrix/band.h"
#include "matrix/sparse.h"

#include <algorithm>
#include <cmath>

namespace fd {

double fitted_mass_weight(double kh) {
    const double x2 = kh * kh;
    // The series of 1/x^2 - 1/(4 sinh^2(x/2)) where the difference would cancel.
    if (kh < 0.05) return 1.0 / 12.0 - x2 / 240.0 + x2 * x2 / 6048.0;
    const double s = std::sinh(0.5 * kh);
    return 1.0 / x2 - 1.0 / (4.0 * s * s);
}

NinePointCell::NinePointCell(double sigma, double dx, double dz, double k2, double beta_x,
                             double beta_z) {
    const double h = sigma * dz * (0.5 / dx), v = sigma * dx * (0.5 / dz);
    const double mass = sigma * k2 * dx * dz;
    const double mx = 0.5 * beta_x * mass, mz = 0.5 * beta_z * mass;
    const double e = std::min(0.0, std::max({(v - 3.0 * h) / 6.0, -0.25 * (h + v), mx - h}));
    diagonal = h + v + e + (0.25 * mass - mx - mz);
    along_x = -h - e + mx;
    along_z = -v - e + mz;
    across = e;
}

bool NinePointWeights::prepare(const Geometry& g, double k) {
    if (!x.allocate(g.nx - 1) || !z.allocate(g.nz - 1)) return false;
    for (int i = 1; i < g.nx; ++i)
        x[i - 1] = fitted_mass_weight(k * g.dx(i));
    for (int j = 1; j < g.nz; ++j)
        z[j - 1] = fitted_mass_weight(k * g.dz(j));
    return true;
}

} // namespace fd

int add_matrix_entry_dbl(int sparse, int i, int j, int w, double value, double* band, double* lnz,
                         double* diag, const int* xlnz, const int* nzsub, const int* xnzsub,
                         const int* invp) {
    if (sparse != 0) return add_sparse_entry_dbl(value, lnz, i, j, diag, xlnz, nzsub, xnzsub, invp);
    if (i - j > w || j - i > w) return 1;
    band[sym_band_index(i, j, w + 1)] += value;
    return 0;
}
