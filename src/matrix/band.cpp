// Band Cholesky factorisation and solves: one template body for every precision, for real and
// complex symmetric matrices, and for one or four right-hand sides.
#include "matrix/band.h"

#include "matrix/band_lanes.h"

#include "matrix/complex_root.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// A complex number held as two parallel values; products without conjugation and with no
// special handling of infinities, the pivots being checked before they are divided by.
template <class T> struct Cx {
    T re, im;
    friend Cx operator*(Cx a, Cx b) {
        return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    friend Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
    Cx& operator-=(Cx b) { return *this = *this - b; }
};

// The storage of a band matrix or a right-hand side and what the algorithms do with one entry:
// a real array, or the real and imaginary arrays of a complex one.
template <class T> struct RealField {
    using Value = T;
    T* a;
    Value get(std::size_t k) const { return a[k]; }
    void set(std::size_t k, Value v) const { a[k] = v; }
    RealField offset(std::size_t k) const { return {a + k}; }
    // Replaces the pivot by its root; false when it is not positive (or not a number).
    bool root(std::size_t k) const {
        const double pivot = a[k];
        if (!(pivot > 0.0)) return false;
        a[k] = T(std::sqrt(pivot));
        return true;
    }
    static Value reciprocal(Value d) { return T(1) / d; }
    static Value divide(Value x, Value d) { return x / d; }
};

template <class T> struct ComplexField {
    using Value = Cx<T>;
    T* re;
    T* im;
    Value get(std::size_t k) const { return {re[k], im[k]}; }
    void set(std::size_t k, Value v) const {
        re[k] = v.re;
        im[k] = v.im;
    }
    ComplexField offset(std::size_t k) const { return {re + k, im + k}; }
    // The principal root; a pivot of modulus 0 or with a real part of exactly 0 fails.
    bool root(std::size_t k) const {
        const double modulus2 = double(re[k]) * re[k] + double(im[k]) * im[k];
        if (!(modulus2 > 0.0) || re[k] == T(0)) return false;
        mx::principal_root(re[k], im[k], re[k], im[k]);
        return true;
    }
    static Value divide(Value x, Value d) {
        const T r = T(1) / (d.re * d.re + d.im * d.im);
        return Value{x.re * d.re + x.im * d.im, x.im * d.re - x.re * d.im} * Value{r, T(0)};
    }
    static Value reciprocal(Value d) { return divide(Value{T(1), T(0)}, d); }
};

// The right-hand sides of a solve, addressed by 1-based row and 0-based system (lane).
template <class F, int Lanes> struct InterleavedBlock {
    F field;
    typename F::Value get(int k, int lane) const {
        return field.get(std::size_t(k - 1) * Lanes + lane);
    }
    void set(int k, int lane, typename F::Value v) const {
        field.set(std::size_t(k - 1) * Lanes + lane, v);
    }
};
template <class T, int Lanes> struct SeparateVectors {
    T* const* vectors;
    T get(int k, int lane) const { return vectors[lane][k - 1]; }
    void set(int k, int lane, T v) const { vectors[lane][k - 1] = v; }
};

// Row r of the band storage, indexed by column: row(r).get(c) is u(r, r + c), 0 <= c <= bw.
template <class F> struct BandRows {
    F a;
    int m;
    F diagonal(int r) const { return a.offset(std::size_t(sym_band_index(r, r, m))); }
};

template <class F> int band_factor(int n, F a, int bw, bool sound = true) {
    using V = typename F::Value;
    BandRows<F> rows{a, bw + 1};
    for (int i = 1; i <= n; ++i) {
        const F row_i = rows.diagonal(i);
        for (int r = std::max(1, i - bw); r < i; ++r) {
            const F row_r = rows.diagonal(r);
            const V t = row_r.get(i - r);
            // Row r reaches columns i..r+bw, which are the first elements of row i's slot.
            const int reach = r + bw - i;
            for (int c = 0; c <= reach; ++c) {
                V v = row_i.get(c);
                v -= t * row_r.get(i - r + c);
                row_i.set(c, v);
            }
        }
        if (!row_i.root(0)) {
            if (sound) ::beep();
            return i;
        }
        if (i < n) {
            const V reciprocal = F::reciprocal(row_i.get(0));
            for (int c = 1; c <= bw; ++c)
                row_i.set(c, row_i.get(c) * reciprocal);
        }
    }
    return 0;
}

// Forward sweep Uᵀ·y = b from row `first`, then back substitution U·x = y down to row `last`,
// for Lanes systems at once. Every system sees exactly the operations of a one-system solve, in
// the same order, so a lane's result does not depend on the other lanes.
template <class F, int Lanes, bool Reciprocal, class Rhs>
void band_solve(F u, int n, const Rhs& b, int bw, int first, int last) {
    using V = typename F::Value;
    if (n < 1) return;
    BandRows<F> rows{u, bw + 1};
    auto divide = [](V value, V pivot) {
        if (Reciprocal) return value * F::reciprocal(pivot);
        return F::divide(value, pivot);
    };
    for (int k = std::max(first, 1); k <= n; ++k) {
        const F row_k = rows.diagonal(k);
        V y[Lanes];
        for (int l = 0; l < Lanes; ++l)
            y[l] = divide(b.get(k, l), row_k.get(0));
        const int reach = std::min(bw, n - k);
        for (int j = 1; j <= reach; ++j) {
            const V u_kj = row_k.get(j);
            for (int l = 0; l < Lanes; ++l) {
                V v = b.get(k + j, l);
                v -= y[l] * u_kj;
                b.set(k + j, l, v);
            }
        }
        for (int l = 0; l < Lanes; ++l)
            b.set(k, l, y[l]);
    }
    const V pivot_n = rows.diagonal(n).get(0);
    for (int l = 0; l < Lanes; ++l)
        b.set(n, l, divide(b.get(n, l), pivot_n));
    for (int i = n - 1; i >= std::max(last, 1); --i) {
        const F row_i = rows.diagonal(i);
        V s[Lanes];
        for (int l = 0; l < Lanes; ++l)
            s[l] = b.get(i, l);
        const int reach = std::min(bw, n - i);
        for (int j = 1; j <= reach; ++j) {
            const V u_ij = row_i.get(j);
            for (int l = 0; l < Lanes; ++l)
                s[l] -= u_ij * b.get(i + j, l);
        }
        for (int l = 0; l < Lanes; ++l)
            b.set(i, l, divide(s[l], row_i.get(0)));
    }
}

template <class T> RealField<T> real(T* a) {
    return {a};
}
template <class T> RealField<T> real(const T* a) {
    return {const_cast<T*>(a)}; // the solves only read the factor
}
template <class T> ComplexField<T> split(const T* re, const T* im) {
    return {const_cast<T*>(re), const_cast<T*>(im)};
}

} // namespace

int band_cholesky(int n, double* a, int bw) {
    return band_factor(n, real(a), bw);
}

int band_cholesky_quiet(int n, double* a, int bw) {
    return band_factor(n, real(a), bw, false);
}

int band_cholesky_float(int n, float* a, int bw) {
    return band_factor(n, real(a), bw);
}

void band_cholesky_solve(const double* u, int n, double* b, int bw, int first, int last) {
    band_solve<RealField<double>, 1, false>(
        real(u), n, InterleavedBlock<RealField<double>, 1>{real(b)}, bw, first, last);
}

void band_cholesky_solve_float(const float* u, int n, float* b, int bw, int first, int last) {
    band_solve<RealField<float>, 1, false>(
        real(u), n, InterleavedBlock<RealField<float>, 1>{real(b)}, bw, first, last);
}

void band_cholesky_solve_float_2(const float* u, int n, float* b, int bw, int first, int last) {
    band_cholesky_solve_float(u, n, b, bw, first, last);
}

void band_cholesky_solve_4rhs(const double* u, int n, double* block, int bw, int first, int last) {
    band_solve<RealField<double>, 4, false>(
        real(u), n, InterleavedBlock<RealField<double>, 4>{real(block)}, bw, first, last);
}

void band_cholesky_solve_block4(const double* u, int n, double* block, int bw, int first,
                                int last) {
    band_solve<RealField<double>, 4, true>(
        real(u), n, InterleavedBlock<RealField<double>, 4>{real(block)}, bw, first, last);
}

void band_cholesky_solve_4vec(const double* u, int n, double* b1, double* b2, double* b3,
                              double* b4, int bw, int first1, int last1, int first2, int last2,
                              int first3, int last3, int first4, int last4) {
    double* const vectors[4] = {b1, b2, b3, b4};
    int first = std::min(std::min(first1, first2), std::min(first3, first4));
    int last = std::min(std::min(last1, last2), std::min(last3, last4));
    band_solve<RealField<double>, 4, true>(real(u), n, SeparateVectors<double, 4>{vectors}, bw,
                                           first, last);
}

// The complex factorisation is the vector-friendly one of band_lanes.cpp, with the beep.
int band_factor_cmplx_dbl(int n, double* re, double* im, int bw) {
    const int failed = mx::band_factor_cmplx_quiet(n, re, im, bw);
    if (failed != 0) ::beep();
    return failed;
}
int band_factor_cmplx_flt(int n, float* re, float* im, int bw) {
    const int failed = mx::band_factor_cmplx_quiet(n, re, im, bw);
    if (failed != 0) ::beep();
    return failed;
}

void band_solve_cmplx_dbl(const double* u_re, const double* u_im, int n, double* b_re, double* b_im,
                          int bw, int first, int last) {
    using F = ComplexField<double>;
    band_solve<F, 1, false>(split(u_re, u_im), n, InterleavedBlock<F, 1>{F{b_re, b_im}}, bw, first,
                            last);
}
void band_solve_cmplx_flt(const float* u_re, const float* u_im, int n, float* b_re, float* b_im,
                          int bw, int first, int last) {
    using F = ComplexField<float>;
    band_solve<F, 1, false>(split(u_re, u_im), n, InterleavedBlock<F, 1>{F{b_re, b_im}}, bw, first,
                            last);
}
