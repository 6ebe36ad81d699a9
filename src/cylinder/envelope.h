// Envelope storage of the cylinder solvers: adding an element entry, and the double-precision
// names of the library's envelope factorisation and solves (matrix/envelope.h holds the
// storage rules: row i keeps columns i - w(i) .. i - 1 in env[xenv[i] .. xenv[i + 1] - 1],
// 1-based, the diagonal apart).
#pragma once

#include "matrix/envelope.h"

namespace cyl {

/// Adds value to entry (perm[i], perm[j]) (1-based nodes and equation numbers): to diag when
/// they are equal (position 0), else to the envelope entry (p, q), p > q, at the 1-based
/// position xenv[p + 1] - (p - q) when that lies inside row p. Writes the position in both
/// cases; returns 0 when the value was added, 1 when the entry lies outside the envelope
/// (nothing changed).
template <class T>
int envelope_add(int i, int j, T value, T* diag, T* env, const int* perm, const int* xenv,
                 int* position) {
    int p = perm[i - 1], q = perm[j - 1];
    if (p == q) {
        diag[p - 1] += value;
        *position = 0;
        return 0;
    }
    if (p < q) {
        const int t = p;
        p = q;
        q = t;
    }
    *position = xenv[p] - (p - q);
    if (*position < xenv[p - 1]) return 1;
    env[*position - 1] += value;
    return 0;
}

} // namespace cyl

/// Single- and double-precision entry add (cyl::envelope_add).
int envij(int i, int j, float value, float* diag, float* env, const int* perm, const int* xenv,
          int* position);
int envijd(int i, int j, double value, double* diag, double* env, const int* perm, const int* xenv,
           int* position);

/// Forward solve L y = rhs, back solve L^T x = rhs down to row first_row, and the factorisation
/// L L^T in double precision (envelope_lower_solve, envelope_upper_solve, envelope_factor).
void envelope_lower_solve_dbl(int n, const int* xenv, const double* env, const double* diag,
                              double* rhs);
void envelope_upper_solve_dbl(int n, const int* xenv, const double* env, const double* diag,
                              double* rhs, int first_row);
int envelope_factor_dbl(int n, const int* xenv, double* env, double* diag);

/// The same for a complex symmetric matrix in single precision (complex<float> entries, sums in
/// complex double, no conjugation): a pivot whose real and imaginary parts are both not positive
/// stops the factorisation at its row; any other is replaced by its principal root.
void envelope_lower_solve_cmplx(int n, const int* xenv, const std::complex<float>* env,
                                const std::complex<float>* diag, std::complex<float>* rhs);
void envelope_upper_solve_cmplx(int n, const int* xenv, const std::complex<float>* env,
                                const std::complex<float>* diag, std::complex<float>* rhs,
                                int first_row);
int envelope_factor_cmplx(int n, const int* xenv, std::complex<float>* env,
                          std::complex<float>* diag);
