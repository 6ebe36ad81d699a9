// Pole-pole sensitivities of the model blocks: the strike-integrated kernel of two surface poles,
// its Gauss-Legendre integral over a block, and the table of every electrode pair in every
// block with its work file.
#pragma once

#include <cstddef>

namespace opt {

struct Grid;

/// Gauss-Legendre rule of `order` points on [-1, 1] (orders 2 to 10; the published abscissae
/// and weights to ten decimals), abscissae ascending.
struct GaussRule {
    int order;
    const double* abscissae;
    const double* weights;
};
const GaussRule& gauss_rule(int order);

/// F(a, D, z): the integral along the strike, from minus to plus infinity, of the scalar
/// product of the gradients of 1/r about two surface poles j at 0 and i at D, at the point
/// (a, z) of the section (z > 0). Closed form where the point is exactly as far from both
/// poles, else by the complete elliptic integrals.
double pole_pole_kernel(double a, double d, double z);

/// Points of the product rule, x by z, for the smallest squared corner distance d2 of a
/// block: 8 x 7 below 0.49, 4 x 3 below 0.99, 3 x 3 below 2.99, else 2 x 2.
void quadrature_orders(float d2, int& nx, int& nz);

/// S(i, j, b) for electrodes i < j: 1/(4 pi^2) times the integral of F over block b, by a
/// product rule of 8 x 7, 4 x 3, 3 x 3 or 2 x 2 points (x by z) chosen by the smallest squared
/// distance d2 from the block's top corners to the pair's electrodes (below 0.49, 0.99, 2.99,
/// and beyond; a value on a limit takes the coarser rule). Single-precision sums.
float block_pole_pole(const Grid& grid, int i, int j, int block);

/// 0-based index of S(i, j, 1) in the table, i < j: B ((i - 1) N - i (i - 1) / 2 + (j - i - 1)).
inline std::size_t pair_offset(int i, int j, int nelec, int nblocks) {
    const long pair = long(i - 1) * nelec - long(i) * (i - 1) / 2 + (j - i - 1);
    return std::size_t(pair) * std::size_t(nblocks);
}
/// Values in the table of the grid: B N (N - 1) / 2.
std::size_t pole_pole_table_size(const Grid& grid);

/// Computes S for every pair i < j and block, the pairs of each first electrode on a thread of
/// the pool ("Calculating Jacobian values %.1f%%..." in the status line), writes them to the work
/// file at `path` as 32-bit floats, pair after pair, and reads the whole table back into `table`
/// (pole_pole_table_size values). Returns 0, 2 when the file cannot be written (nothing is left
/// at path), 1 when it reads back short, 3 when the user pressed an abort key (nothing written).
int pole_pole_table(const Grid& grid, const char* path, float* table);

} // namespace opt
