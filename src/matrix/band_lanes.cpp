// Complex band factorisation and many-system solves on the vector units: the values of a row,
// or the systems of a group, are taken a vector at a time (the widest vectors the processor
// has, chosen when the program starts). The arithmetic of every entry is written out exactly as
// the one-system routines of band.cpp do it, and is the same on every vector width, so the
// values are the same.
#include "matrix/band_lanes.h"

#include "matrix/complex_root.h"
#include "matrix/simd.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

using mx::simd::load;
using mx::simd::store;
using mx::simd::Vec;
using mx::simd::width;

constexpr int G = mx::band_lane_group;

// v -= t·a at one place (complex, without conjugation).
template <class T> VELDARIN_INLINE void subtract_product(T& vr, T& vi, T tr, T ti, T ar, T ai) {
    const T pr = tr * ar - ti * ai, pi = tr * ai + ti * ar;
    vr = vr - pr;
    vi = vi - pi;
}

// v(c) -= t·a(c) for c < count; with `padded`, the places up to the next whole vector may be
// written too (they hold zeros on both sides).
template <class T>
VELDARIN_INLINE void subtract_scaled(T* vr, T* vi, const T* ar, const T* ai, T tr, T ti, int count,
                                     bool padded) {
    constexpr int W = width<T>;
    int c = 0;
    for (; c + W <= count || (padded && c < count); c += W) {
        const Vec<T> a = load(ar + c), b = load(ai + c);
        const Vec<T> pr = tr * a - ti * b, pi = tr * b + ti * a;
        store(vr + c, load(vr + c) - pr);
        store(vi + c, load(vi + c) - pi);
    }
    for (; c < count; ++c)
        subtract_product(vr[c], vi[c], tr, ti, ar[c], ai[c]);
}

// x / d for the G systems of a group: the conjugate over the squared modulus, then the product
// with (1 / |d|², 0), as the one-system solve divides.
template <class T> VELDARIN_INLINE void divide_group(T* xr, T* xi, T dr, T di) {
    constexpr int W = width<T>;
    const T r = T(1) / (dr * dr + di * di);
    for (int q = 0; q < G; q += W) {
        const Vec<T> x = load(xr + q), y = load(xi + q);
        const Vec<T> a = x * dr + y * di, b = y * dr - x * di;
        store(xr + q, a * r - b * T(0));
        store(xi + q, a * T(0) + b * r);
    }
}

// v(l) -= y(l)·u for the G systems of a group (forward sweep).
template <class T>
VELDARIN_INLINE void forward_group(T* vr, T* vi, const T* yr, const T* yi, T ur, T ui) {
    constexpr int W = width<T>;
    for (int q = 0; q < G; q += W) {
        const Vec<T> a = load(yr + q), b = load(yi + q);
        const Vec<T> pr = a * ur - b * ui, pi = a * ui + b * ur;
        store(vr + q, load(vr + q) - pr);
        store(vi + q, load(vi + q) - pi);
    }
}

// s(l) -= u·x(l) for the G systems of a group (back substitution), s held in vectors.
template <class T>
VELDARIN_INLINE void back_group(Vec<T>* sr, Vec<T>* si, const T* xr, const T* xi, T ur, T ui) {
    constexpr int W = width<T>;
    for (int q = 0; q < G / W; ++q) {
        const Vec<T> a = load(xr + q * W), b = load(xi + q * W);
        sr[q] = sr[q] - (ur * a - ui * b);
        si[q] = si[q] - (ur * b + ui * a);
    }
}

template <class T> VELDARIN_KERNEL int factor(int n, T* re, T* im, int bw, std::size_t m) {
    const bool padded = m >= std::size_t(bw) + width<T>;
    for (int i = 1; i <= n; ++i) {
        T* ir = re + std::size_t(i - 1) * m;
        T* ii = im + std::size_t(i - 1) * m;
        for (int r = std::max(1, i - bw); r < i; ++r) {
            // Row r reaches columns i..r+bw, the first places of row i.
            const T* rr = re + std::size_t(r - 1) * m + (i - r);
            const T* ri = im + std::size_t(r - 1) * m + (i - r);
            subtract_scaled(ir, ii, rr, ri, rr[0], ri[0], r + bw - i + 1, padded);
        }
        const double modulus2 = double(ir[0]) * ir[0] + double(ii[0]) * ii[0];
        if (!(modulus2 > 0.0) || ir[0] == T(0)) return i;
        mx::principal_root(ir[0], ii[0], ir[0], ii[0]);
        if (i < n) {
            // The reciprocal of the root: 1 / d as a division of (1, 0).
            const T dr = ir[0], di = ii[0], r = T(1) / (dr * dr + di * di);
            const T a = T(1) * dr + T(0) * di, b = T(0) * dr - T(1) * di;
            const T sr = a * r - b * T(0), si = a * T(0) + b * r;
            for (int c = 1; c <= bw; ++c) {
                const T vr = ir[c] * sr - ii[c] * si, vi = ir[c] * si + ii[c] * sr;
                ir[c] = vr;
                ii[c] = vi;
            }
        }
    }
    return 0;
}

template <class T>
VELDARIN_KERNEL void solve_lanes(const T* ure, const T* uim, int n, int bw, std::size_t m,
                                 int lanes, T* bre, T* bim, const int* first, const int* last) {
    constexpr int W = width<T>;
    if (n < 1 || lanes < G) return;
    const std::size_t stride = std::size_t(lanes);
    const int groups = lanes / G;
    auto row = [&](T* b, int k) { return b + std::size_t(k - 1) * stride; };
    // Forward sweep Uᵀ·y = b: a group from the first row of its first system on.
    int active = 0;
    for (int k = std::max(first[0], 1); k <= n; ++k) {
        while (active < groups && first[active * G] <= k)
            ++active;
        const T* ur = ure + std::size_t(k - 1) * m;
        const T* ui = uim + std::size_t(k - 1) * m;
        T* yr = row(bre, k);
        T* yi = row(bim, k);
        for (int g = 0; g < active; ++g)
            divide_group(yr + g * G, yi + g * G, ur[0], ui[0]);
        const int reach = std::min(bw, n - k);
        for (int j = 1; j <= reach; ++j) {
            T* vr = row(bre, k + j);
            T* vi = row(bim, k + j);
            for (int g = 0; g < active; ++g)
                forward_group(vr + g * G, vi + g * G, yr + g * G, yi + g * G, ur[j], ui[j]);
        }
    }
    // Back substitution U·x = y, each group down to the lowest row one of its systems needs.
    {
        const T* ur = ure + std::size_t(n - 1) * m;
        const T* ui = uim + std::size_t(n - 1) * m;
        for (int g = 0; g < groups; ++g)
            divide_group(row(bre, n) + g * G, row(bim, n) + g * G, ur[0], ui[0]);
    }
    std::vector<int> lowest(std::size_t(groups), n);
    for (int l = 0; l < groups * G; ++l)
        lowest[std::size_t(l / G)] = std::min(lowest[std::size_t(l / G)], std::max(last[l], 1));
    const int bottom = *std::min_element(lowest.begin(), lowest.end());
    for (int i = n - 1; i >= bottom; --i) {
        const T* ur = ure + std::size_t(i - 1) * m;
        const T* ui = uim + std::size_t(i - 1) * m;
        const int reach = std::min(bw, n - i);
        T* xr = row(bre, i);
        T* xi = row(bim, i);
        for (int g = 0; g < groups; ++g) {
            if (lowest[std::size_t(g)] > i) continue;
            Vec<T> sr[G / W], si[G / W];
            for (int q = 0; q < G / W; ++q) {
                sr[q] = load(xr + g * G + q * W);
                si[q] = load(xi + g * G + q * W);
            }
            for (int j = 1; j <= reach; ++j)
                back_group(sr, si, row(bre, i + j) + g * G, row(bim, i + j) + g * G, ur[j], ui[j]);
            for (int q = 0; q < G / W; ++q) {
                store(xr + g * G + q * W, sr[q]);
                store(xi + g * G + q * W, si[q]);
            }
            divide_group(xr + g * G, xi + g * G, ur[0], ui[0]);
        }
    }
}

} // namespace

namespace mx {

int band_factor_cmplx_quiet(int n, double* re, double* im, int bw, int row_length) {
    return factor(n, re, im, bw, std::size_t(std::max(row_length, bw + 1)));
}
int band_factor_cmplx_quiet(int n, float* re, float* im, int bw, int row_length) {
    return factor(n, re, im, bw, std::size_t(std::max(row_length, bw + 1)));
}

void band_solve_cmplx_lanes(const double* u_re, const double* u_im, int n, int bw, int lanes,
                            double* b_re, double* b_im, const int* first, const int* last,
                            int row_length) {
    solve_lanes(u_re, u_im, n, bw, std::size_t(std::max(row_length, bw + 1)), lanes, b_re, b_im,
                first, last);
}
void band_solve_cmplx_lanes(const float* u_re, const float* u_im, int n, int bw, int lanes,
                            float* b_re, float* b_im, const int* first, const int* last,
                            int row_length) {
    solve_lanes(u_re, u_im, n, bw, std::size_t(std::max(row_length, bw + 1)), lanes, b_re, b_im,
                first, last);
}

int band_padded_row_length(int bw, int value_bytes) {
    return bw + 1 + 64 / value_bytes;
}

} // namespace mx
