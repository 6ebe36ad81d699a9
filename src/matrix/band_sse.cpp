// Band solves of blocks of right-hand sides side by side, two lanes an instruction: every row of
// the factor is loaded once for the whole block. Each lane sees the operations of
// band_cholesky_solve in its order, so the results are that routine's bit for bit.
#include "matrix/band.h"

#include "platform/sys/simd.h"
#include "platform/sys/verify.h"

#include <algorithm>

namespace {

using sys::Double2;

// Forward sweep Uᵀ·y = b from row `first`, row by row as a sum over the rows above (the factor's
// column k lies in the rows k - bw .. k - 1, at one element less per row): the updates of b(k)
// come in the order of their rows, as in the row-by-row sweep of band_cholesky_solve.
template <int W> void forward_sweep(const double* u, int n, double* x, int bw, int first) {
    constexpr int H = W / 2;
    const int m = bw + 1;
    for (int k = std::max(first, 1); k <= n; ++k) {
        double* row = x + std::size_t(k - 1) * W;
        Double2 s[H];
#pragma GCC unroll 8
        for (int l = 0; l < H; ++l)
            s[l] = sys::load2(row + 2 * l);
        const int above = std::min(bw, k - std::max(first, 1));
        const double* y = row - std::size_t(above) * W;
        const double* c = u + std::size_t(k - 1 - above) * m + above;
        for (int j = above; j >= 1; --j, y += W, c += m - 1) {
            const Double2 f = sys::broadcast2(*c);
#pragma GCC unroll 8
            for (int l = 0; l < H; ++l)
                s[l] = s[l] - sys::load2(y + 2 * l) * f;
        }
        const Double2 d = sys::broadcast2(u[std::size_t(k - 1) * m]);
#pragma GCC unroll 8
        for (int l = 0; l < H; ++l)
            sys::store2(row + 2 * l, s[l] / d);
    }
}

// Back substitution U·x = y from row n down to row `last`.
template <int W> void back_sweep(const double* u, int n, double* x, int bw, int last) {
    constexpr int H = W / 2;
    const int m = bw + 1;
    for (int i = n; i >= std::max(last, 1); --i) {
        double* row = x + std::size_t(i - 1) * W;
        const double* c = u + std::size_t(i - 1) * m;
        Double2 s[H];
#pragma GCC unroll 8
        for (int l = 0; l < H; ++l)
            s[l] = sys::load2(row + 2 * l);
        const int reach = std::min(bw, n - i);
        const double* y = row + W;
        for (int j = 1; j <= reach; ++j, y += W) {
            const Double2 f = sys::broadcast2(c[j]);
#pragma GCC unroll 8
            for (int l = 0; l < H; ++l)
                s[l] = s[l] - f * sys::load2(y + 2 * l);
        }
        const Double2 d = sys::broadcast2(c[0]);
#pragma GCC unroll 8
        for (int l = 0; l < H; ++l)
            sys::store2(row + 2 * l, s[l] / d);
    }
}

// The sweeps a call asks for.
enum class Sweeps { forward, back, both };

template <int W>
void solve(const double* u, int n, double* x, int bw, int first, int last, Sweeps sweeps) {
    if (n < 1) return;
    if (sweeps != Sweeps::back) forward_sweep<W>(u, n, x, bw, first);
    if (sweeps != Sweeps::forward) back_sweep<W>(u, n, x, bw, last);
}

void solve_any(const double* u, int n, double* x, int lanes, int bw, int first, int last,
               Sweeps sweeps) {
    switch (lanes) {
    case 2:
        return solve<2>(u, n, x, bw, first, last, sweeps);
    case 4:
        return solve<4>(u, n, x, bw, first, last, sweeps);
    case 8:
        return solve<8>(u, n, x, bw, first, last, sweeps);
    case 16:
        return solve<16>(u, n, x, bw, first, last, sweeps);
    default:
        VERIFY(false, lanes);
    }
}

} // namespace

void band_solve_lanes_dbl(const double* u, int n, double* x, int lanes, int bw, int first,
                          int last) {
    solve_any(u, n, x, lanes, bw, first, last, Sweeps::both);
}

void band_forward_lanes_dbl(const double* u, int n, double* x, int lanes, int bw, int first) {
    solve_any(u, n, x, lanes, bw, first, n, Sweeps::forward);
}

void band_back_lanes_dbl(const double* u, int n, double* x, int lanes, int bw, int last) {
    solve_any(u, n, x, lanes, bw, 1, last, Sweeps::back);
}

void bandsolve8_dbl_sse(const double* u, int n, double* x, int bw, int first, int last) {
    solve<8>(u, n, x, bw, first, last, Sweeps::both);
}
