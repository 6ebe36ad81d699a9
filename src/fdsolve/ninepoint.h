// The "Modified 9-point" matrix: nine-point couplings of the grid's nodes, numbered down the
// columns ((i - 1) nz + j), with the mixed boundary terms.
#pragma once

#include "fdsolve/frame.h"

namespace fd {

/// The couplings of a node to the earlier nodes it touches: left (i - 1, j), above (i, j - 1),
/// left and above (i - 1, j - 1), left and below (i - 1, j + 1).
enum class NinePointCoupling { left, above, left_above, left_below, count };

/// Weight beta(k h) of a node's neighbour in the wavenumber term along a line of spacing h:
/// the row (beta, 1 - 2 beta, beta) h k^2 sigma with the second difference -sigma/h (1, -2, 1)
/// is exact for the potentials exp(+-k x) of that line at any k h. beta = 1/(k h)^2 -
/// 1/(4 sinh^2(k h/2)): 1/12 (the fourth-order weight) as k h -> 0, falling like 1/(k h)^2
/// beyond, so that the coupling of neighbours, sigma/h (beta (k h)^2 - 1), stays negative.
double fitted_mass_weight(double kh);

/// The symmetric 4 x 4 block that a cell (conductivity sigma, sides dx and dz) adds for
/// wavenumber k to the nodes at its corners: `diagonal` on each corner, `along_x` between the
/// two corners of a horizontal edge, `along_z` between those of a vertical edge, `across`
/// between opposite corners. beta_x and beta_z are fitted_mass_weight(k dx) and (k dz).
/// At any wavenumber `along_x` and `across` are 0 or negative (`along_z` too on cells no taller
/// than wide); each row sums to sigma k^2 dx dz / 4.
struct NinePointCell {
    double diagonal = 0.0, along_x = 0.0, along_z = 0.0, across = 0.0;
    NinePointCell() = default;
    NinePointCell(double sigma, double dx, double dz, double k2, double beta_x, double beta_z);
};

/// fitted_mass_weight of every column spacing (x[i - 1], i = 1..nx - 1) and row spacing
/// (z[j - 1]) of the grid for one wavenumber.
struct NinePointWeights {
    sys::PageArray<double> x, z;
    /// False when the memory is refused.
    bool prepare(const Geometry& g, double k);
};

/// The matrix of wavenumber k with boundary terms b (boundary_terms about the centre of the
/// grid) and weights w (prepared for k): for every node v = (i, j) diagonal(v, value), and
/// coupling(v, c, value) for each of its couplings c inside the grid.
template <class Diagonal, class Coupling>
void nine_point_matrix(const Geometry& g, const BoundaryTerms& b, const NinePointWeights& w,
                       double k, Diagonal diagonal, Coupling coupling) {
    const double k2 = k * k;
    const int nx = g.nx, nz = g.nz;
    auto cell = [&](int i, int j) {
        if (!g.cell(i, j)) return NinePointCell();
        return NinePointCell(g.sigma(i, j), g.dx(i), g.dz(j), k2, w.x[i - 1], w.z[j - 1]);
    };
    for (int i = 1; i <= nx; ++i)
        for (int j = 1; j <= nz; ++j) {
            const NinePointCell nw = cell(i - 1, j - 1), ne = cell(i, j - 1);
            const NinePointCell sw = cell(i - 1, j), se = cell(i, j);
            double boundary = 0.0; // b of each boundary segment that ends at the node
            if (i == 1 || i == nx) {
                if (j > 1) boundary += b.side(i, j - 1);
                if (j < nz) boundary += b.side(i, j);
            }
            if (j == nz) {
                if (i > 1) boundary += b.bottom[i - 2];
                if (i < nx) boundary += b.bottom[i - 1];
            }
            const int v = (i - 1) * nz + j;
            diagonal(v, 3.0 * boundary + nw.diagonal + ne.diagonal + sw.diagonal + se.diagonal);
            if (i > 1) {
                double west = nw.along_x + sw.along_x;
                if (j == nz) west += b.bottom[i - 2];
                coupling(v, NinePointCoupling::left, west);
            }
            if (j > 1) {
                double north = nw.along_z + ne.along_z;
                if (i == 1 || i == nx) north += b.side(i, j - 1);
                coupling(v, NinePointCoupling::above, north);
            }
            if (g.cell(i - 1, j - 1)) coupling(v, NinePointCoupling::left_above, nw.across);
            if (g.cell(i - 1, j)) coupling(v, NinePointCoupling::left_below, sw.across);
        }
}

/// The node a coupling of node v joins it to (nz nodes a column).
inline int nine_point_partner(int v, NinePointCoupling c, int nz) {
    switch (c) {
    case NinePointCoupling::left:
        return v - nz;
    case NinePointCoupling::above:
        return v - 1;
    case NinePointCoupling::left_above:
        return v - nz - 1;
    default:
        return v - nz + 1;
    }
}

} // namespace fd
