// Envelope index, factorisation and solves (the envelope algorithms of George and Liu), one
// template body for single and double precision, real and complex symmetric.
#include "matrix/envelope.h"

#include "matrix/complex_root.h"
#include "matrix/one_based.h"

#include <algorithm>
#include <cmath>

using mx::OneBased;

int find_envelope(int n, const int* xadj_, const int* adjncy_, const int* perm_, const int* invp_,
                  int* xenv_, int* bandwidth) {
    OneBased<const int> xadj(xadj_), adjncy(adjncy_), perm(perm_), invp(invp_);
    OneBased<int> xenv(xenv_);
    int pointer = 1;
    int widest = 0;
    for (int i = 1; i <= n; ++i) {
        xenv[i] = pointer;
        int node = perm[i];
        int first = i;
        for (int j = xadj[node]; j < xadj[node + 1]; ++j)
            first = std::min(first, invp[adjncy[j]]);
        pointer += i - first;
        widest = std::max(widest, i - first);
    }
    xenv[n + 1] = pointer;
    *bandwidth = widest;
    return pointer - 1;
}

namespace {

// Sums of products are accumulated in double precision: double for the real routines, a
// complex double for the complex ones (products without conjugation).
template <class T> struct Accumulator { using type = double; };
template <class R> struct Accumulator<std::complex<R>> { using type = std::complex<double>; };

// a b, without conjugation. The complex product is written out: the library's one also handles
// infinities and NaNs through a call that costs more than the arithmetic in these inner loops;
// the finite values here get the same result.
template <class T> T product(T a, T b) {
    return a * b;
}
template <class R> std::complex<R> product(std::complex<R> a, std::complex<R> b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

template <class T>
void lower_solve(int n, const int* xenv_, const T* env_, const T* diag_, T* rhs_) {
    using A = typename Accumulator<T>::type;
    OneBased<const int> xenv(xenv_);
    OneBased<const T> env(env_), diag(diag_);
    OneBased<T> rhs(rhs_);
    int start = 1;
    while (start <= n && rhs[start] == T(0))
        ++start;
    if (start > n) return;
    int last_nonzero = 0;
    for (int i = start; i <= n; ++i) {
        // Inside a leading block (the factorisation's use) a row's envelope may reach before the
        // block: only the part inside it counts.
        int band = std::min(xenv[i + 1] - xenv[i], i - 1);
        A s = A(rhs[i]);
        int column = i - band;
        rhs[i] = T(0);
        if (band > 0 && last_nonzero >= column) {
            for (int k = xenv[i + 1] - band; k < xenv[i + 1]; ++k, ++column)
                s -= product(A(env[k]), A(rhs[column]));
        }
        if (s != A(0)) {
            rhs[i] = T(s / A(diag[i]));
            last_nonzero = i;
        }
    }
}

template <class T>
void upper_solve(int n, const int* xenv_, const T* env_, const T* diag_, T* rhs_, int last_row) {
    OneBased<const int> xenv(xenv_);
    OneBased<const T> env(env_), diag(diag_);
    OneBased<T> rhs(rhs_);
    for (int i = n; i >= std::max(last_row, 1); --i) {
        if (rhs[i] == T(0)) continue;
        T s = rhs[i] / diag[i];
        rhs[i] = s;
        int band = std::min(xenv[i + 1] - xenv[i], i - 1);
        int k = xenv[i + 1] - band;
        for (int column = i - band; column < i; ++column, ++k)
            rhs[column] -= product(s, env[k]);
    }
}

template <class T> int factor(int n, const int* xenv_, T* env_, T* diag_) {
    using A = typename Accumulator<T>::type;
    OneBased<const int> xenv(xenv_);
    OneBased<T> env(env_), diag(diag_);
    for (int i = 1; i <= n; ++i) {
        int band = std::min(xenv[i + 1] - xenv[i], i - 1);
        A pivot = A(diag[i]);
        if (band > 0) {
            // Row i of L: solve its envelope part against the factored rows above it.
            int first = i - band;
            lower_solve<T>(band, xenv.at(first), env_, diag.at(first), env.at(xenv[i + 1] - band));
            for (int j = xenv[i + 1] - band; j < xenv[i + 1]; ++j)
                pivot -= product(A(env[j]), A(env[j]));
        }
        if (!mx::envelope_pivot_root(pivot, diag[i])) return i;
    }
    return 0;
}

} // namespace

int envelope_factor(int n, const int* xenv, float* env, float* diag) {
    return factor(n, xenv, env, diag);
}
int envelope_factor(int n, const int* xenv, double* env, double* diag) {
    return factor(n, xenv, env, diag);
}

void envelope_lower_solve(int n, const int* xenv, const float* env, const float* diag, float* rhs) {
    lower_solve(n, xenv, env, diag, rhs);
}
void envelope_lower_solve(int n, const int* xenv, const double* env, const double* diag,
                          double* rhs) {
    lower_solve(n, xenv, env, diag, rhs);
}

void envelope_upper_solve(int n, const int* xenv, const float* env, const float* diag, float* rhs,
                          int last_row) {
    upper_solve(n, xenv, env, diag, rhs, last_row);
}
void envelope_upper_solve(int n, const int* xenv, const double* env, const double* diag,
                          double* rhs, int last_row) {
    upper_solve(n, xenv, env, diag, rhs, last_row);
}

using complex_float = std::complex<float>;

int envelope_factor(int n, const int* xenv, complex_float* env, complex_float* diag) {
    return factor(n, xenv, env, diag);
}
void envelope_lower_solve(int n, const int* xenv, const complex_float* env,
                          const complex_float* diag, complex_float* rhs) {
    lower_solve(n, xenv, env, diag, rhs);
}
void envelope_upper_solve(int n, const int* xenv, const complex_float* env,
                          const complex_float* diag, complex_float* rhs, int last_row) {
    upper_solve(n, xenv, env, diag, rhs, last_row);
}
