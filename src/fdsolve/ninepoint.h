// The "Modified 9-point" matrix: nine-point couplings of the grid's nodes, numbered down the
// columns ((i - 1) nz + j), with the mixed boundary terms.
#pragma once

#include "fdsolve/frame.h"

namespace fd {

/// The couplings of a node to the earlier nodes it touches: left (i - 1, j), above (i, j - 1),
/// left and above (i - 1, j - 1), left and below (i - 1, j + 1).
enum class NinePointCoupling { left, above, left_above, left_below, count };

/// Horizontal, vertical and wavenumber terms of a cell: sigma dz/(8 dx), sigma dx/(8 dz) and
/// sigma k^2 dx dz/64; zero for a cell outside the grid.
struct NinePointCell {
    double p = 0.0, q = 0.0, a = 0.0;
    NinePointCell(const Geometry& g, int i, int j, double k2) {
        if (!g.cell(i, j)) return;
        const double s = g.sigma(i, j), dx = g.dx(i), dz = g.dz(j);
        p = s * 0.125 * dz / dx;
        q = s * 0.125 * dx / dz;
        a = s * k2 * dx * dz * 0.015625;
    }
};

/// The matrix of wavenumber k with boundary terms b (boundary_terms about the centre of the
/// grid): for every node v = (i, j) diagonal(v, value), and coupling(v, c, value) for each of
/// its couplings c inside the grid.
template <class Diagonal, class Coupling>
void nine_point_matrix(const Geometry& g, const BoundaryTerms& b, double k, Diagonal diagonal,
                       Coupling coupling) {
    const double k2 = k * k;
    const int nx = g.nx, nz = g.nz;
    for (int i = 1; i <= nx; ++i)
        for (int j = 1; j <= nz; ++j) {
            const NinePointCell nw(g, i - 1, j - 1, k2), ne(g, i, j - 1, k2);
            const NinePointCell sw(g, i - 1, j, k2), se(g, i, j, k2);
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
            double value = 3.0 * boundary;
            for (const NinePointCell& c : {nw, ne, sw, se})
                value += 3.0 * (c.p + c.q) + 9.0 * c.a;
            diagonal(v, value);
            if (i > 1) {
                double west = 0.0;
                for (const NinePointCell& c : {nw, sw})
                    west += c.q - 3.0 * c.p + 3.0 * c.a;
                if (j == nz) west += b.bottom[i - 2];
                coupling(v, NinePointCoupling::left, west);
            }
            if (j > 1) {
                double north = 0.0;
                for (const NinePointCell& c : {nw, ne})
                    north += c.p - 3.0 * c.q + 3.0 * c.a;
                if (i == 1 || i == nx) north += b.side(i, j - 1);
                coupling(v, NinePointCoupling::above, north);
            }
            if (g.cell(i - 1, j - 1))
                coupling(v, NinePointCoupling::left_above, -(nw.p + nw.q) + nw.a);
            if (g.cell(i - 1, j)) coupling(v, NinePointCoupling::left_below, -(sw.p + sw.q) + sw.a);
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
