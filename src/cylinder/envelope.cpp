// Envelope entry add and the double-precision names of the envelope routines.
#include "cylinder/envelope.h"

int envij(int i, int j, float value, float* diag, float* env, const int* perm, const int* xenv,
          int* position) {
    return cyl::envelope_add(i, j, value, diag, env, perm, xenv, position);
}

int envijd(int i, int j, double value, double* diag, double* env, const int* perm, const int* xenv,
           int* position) {
    return cyl::envelope_add(i, j, value, diag, env, perm, xenv, position);
}

void envelope_lower_solve_dbl(int n, const int* xenv, const double* env, const double* diag,
                              double* rhs) {
    envelope_lower_solve(n, xenv, env, diag, rhs);
}

void envelope_upper_solve_dbl(int n, const int* xenv, const double* env, const double* diag,
                              double* rhs, int first_row) {
    envelope_upper_solve(n, xenv, env, diag, rhs, first_row);
}

int envelope_factor_dbl(int n, const int* xenv, double* env, double* diag) {
    return envelope_factor(n, xenv, env, diag);
}

void envelope_lower_solve_cmplx(int n, const int* xenv, const std::complex<float>* env,
                                const std::complex<float>* diag, std::complex<float>* rhs) {
    envelope_lower_solve(n, xenv, env, diag, rhs);
}

void envelope_upper_solve_cmplx(int n, const int* xenv, const std::complex<float>* env,
                                const std::complex<float>* diag, std::complex<float>* rhs,
                                int first_row) {
    envelope_upper_solve(n, xenv, env, diag, rhs, first_row);
}

int envelope_factor_cmplx(int n, const int* xenv, std::complex<float>* env,
                          std::complex<float>* diag) {
    return envelope_factor(n, xenv, env, diag);
}
