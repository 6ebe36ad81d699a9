// Band Cholesky factorisation and solves: one template body for every precision and for one or
// four right-hand sides.
#include "matrix/band.h"

#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The right-hand sides of a solve, addressed by 1-based row and 0-based system (lane).
template <class T, int Lanes> struct InterleavedBlock {
    T* block;
    T& operator()(int k, int lane) const { return block[std::size_t(k - 1) * Lanes + lane]; }
};
template <class T, int Lanes> struct SeparateVectors {
    T* const* vectors;
    T& operator()(int k, int lane) const { return vectors[lane][k - 1]; }
};

// Row r of the band storage, indexed by column: row(r)[c] is u(r, c) for r <= c <= r + bw.
template <class T> struct BandRows {
    T* a;
    int m;
    T* diagonal(int r) const { return a + sym_band_index(r, r, m); }
};

template <class T> int band_factor(int n, T* a, int bw) {
    BandRows<T> rows{a, bw + 1};
    for (int i = 1; i <= n; ++i) {
        T* row_i = rows.diagonal(i);
        for (int r = std::max(1, i - bw); r < i; ++r) {
            const T* row_r = rows.diagonal(r);
            const T t = row_r[i - r];
            // Row r reaches columns i..r+bw, which are the first elements of row i's slot.
            const int reach = r + bw - i;
            for (int c = 0; c <= reach; ++c)
                row_i[c] -= t * row_r[i - r + c];
        }
        const double pivot = row_i[0];
        if (!(pivot > 0.0)) {
            ::beep();
            return i;
        }
        row_i[0] = T(std::sqrt(pivot));
        if (i < n) {
            const T reciprocal = T(1) / row_i[0];
            for (int c = 1; c <= bw; ++c)
                row_i[c] *= reciprocal;
        }
    }
    return 0;
}

// Forward sweep Uᵀ·y = b from row `first`, then back substitution U·x = y down to row `last`,
// for Lanes systems at once. Every system sees exactly the operations of a one-system solve, in
// the same order, so a lane's result does not depend on the other lanes.
template <class T, int Lanes, bool Reciprocal, class Rhs>
void band_solve(const T* u, int n, const Rhs& b, int bw, int first, int last) {
    if (n < 1) return;
    BandRows<const T> rows{u, bw + 1};
    auto divide = [](T value, T pivot) {
        if (Reciprocal) return value * (T(1) / pivot);
        return value / pivot;
    };
    for (int k = std::max(first, 1); k <= n; ++k) {
        const T* row_k = rows.diagonal(k);
        T y[Lanes];
        for (int l = 0; l < Lanes; ++l)
            y[l] = divide(b(k, l), row_k[0]);
        const int reach = std::min(bw, n - k);
        for (int j = 1; j <= reach; ++j)
            for (int l = 0; l < Lanes; ++l)
                b(k + j, l) -= y[l] * row_k[j];
        for (int l = 0; l < Lanes; ++l)
            b(k, l) = y[l];
    }
    const T pivot_n = rows.diagonal(n)[0];
    for (int l = 0; l < Lanes; ++l)
        b(n, l) = divide(b(n, l), pivot_n);
    for (int i = n - 1; i >= std::max(last, 1); --i) {
        const T* row_i = rows.diagonal(i);
        T s[Lanes];
        for (int l = 0; l < Lanes; ++l)
            s[l] = b(i, l);
        const int reach = std::min(bw, n - i);
        for (int j = 1; j <= reach; ++j)
            for (int l = 0; l < Lanes; ++l)
                s[l] -= row_i[j] * b(i + j, l);
        for (int l = 0; l < Lanes; ++l)
            b(i, l) = divide(s[l], row_i[0]);
    }
}

} // namespace

int band_cholesky(int n, double* a, int bw) {
    return band_factor(n, a, bw);
}
int band_cholesky_float(int n, float* a, int bw) {
    return band_factor(n, a, bw);
}

void band_cholesky_solve(const double* u, int n, double* b, int bw, int first, int last) {
    band_solve<double, 1, false>(u, n, InterleavedBlock<double, 1>{b}, bw, first, last);
}

void band_cholesky_solve_float(const float* u, int n, float* b, int bw, int first, int last) {
    band_solve<float, 1, false>(u, n, InterleavedBlock<float, 1>{b}, bw, first, last);
}

void band_cholesky_solve_float_2(const float* u, int n, float* b, int bw, int first, int last) {
    band_cholesky_solve_float(u, n, b, bw, first, last);
}

void band_cholesky_solve_4rhs(const double* u, int n, double* block, int bw, int first, int last) {
    band_solve<double, 4, false>(u, n, InterleavedBlock<double, 4>{block}, bw, first, last);
}

void band_cholesky_solve_block4(const double* u, int n, double* block, int bw, int first,
                                int last) {
    band_solve<double, 4, true>(u, n, InterleavedBlock<double, 4>{block}, bw, first, last);
}

void band_cholesky_solve_4vec(const double* u, int n, double* b1, double* b2, double* b3,
                              double* b4, int bw, int first1, int last1, int first2, int last2,
                              int first3, int last3, int first4, int last4) {
    double* const vectors[4] = {b1, b2, b3, b4};
    int first = std::min(std::min(first1, first2), std::min(first3, first4));
    int last = std::min(std::min(last1, last2), std::min(last3, last4));
    band_solve<double, 4, true>(u, n, SeparateVectors<double, 4>{vectors}, bw, first, last);
}
