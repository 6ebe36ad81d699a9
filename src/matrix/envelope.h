// Envelope (profile) storage of a symmetric matrix: the envelope index of an ordering, the
// row-oriented Cholesky factorisation and the triangular solves.
//
// Storage of order n (1-based): row i keeps its entries from its first non-zero column up to
// column i-1 in env[xenv[i] .. xenv[i+1]-1] (columns i - (xenv[i+1] - xenv[i]) .. i-1), the
// diagonal apart in diag[i]. xenv has n + 1 entries; xenv[n+1] - 1 is the envelope size. After
// the factorisation diag and env hold the factor L (A = L·Lᵀ). Sums of products are accumulated
// in double also in the single-precision routines; the float routines are the library's main
// ones, the double overloads share their code. The complex overloads factor a complex symmetric
// matrix as L·Lᵀ without conjugation.
#pragma once

#include <complex>

/// Envelope index of the matrix with graph (xadj, adjncy) in the order (perm, invp): row i
/// starts at the smallest new number among node perm[i] and its neighbours. Sets xenv
/// (n + 1 entries) and bandwidth (the widest row). Returns the envelope size.
int find_envelope(int n, const int* xadj, const int* adjncy, const int* perm, const int* invp,
                  int* xenv, int* bandwidth);

/// Factors the envelope matrix in place, row by row. Returns 0, or the first row whose pivot is
/// not positive (rows before it are factored, the rest is partly updated). No work memory.
int envelope_factor(int n, const int* xenv, float* env, float* diag);
int envelope_factor(int n, const int* xenv, double* env, double* diag);
/// Complex symmetric: a pivot is accepted when its real or its imaginary part is positive and
/// replaced by its principal root (mx::principal_root); else its row is returned.
int envelope_factor(int n, const int* xenv, std::complex<float>* env, std::complex<float>* diag);

/// Forward solve L·y = rhs in place, starting at the first non-zero entry of rhs and skipping
/// rows whose envelope lies before the last non-zero row.
void envelope_lower_solve(int n, const int* xenv, const float* env, const float* diag, float* rhs);
void envelope_lower_solve(int n, const int* xenv, const double* env, const double* diag,
                          double* rhs);
void envelope_lower_solve(int n, const int* xenv, const std::complex<float>* env,
                          const std::complex<float>* diag, std::complex<float>* rhs);

/// Back solve Lᵀ·x = rhs in place for rows n down to last_row (a value below 1 counts as 1; 1 is
/// the complete solve); rows whose value is zero are skipped.
void envelope_upper_solve(int n, const int* xenv, const float* env, const float* diag, float* rhs,
                          int last_row);
void envelope_upper_solve(int n, const int* xenv, const double* env, const double* diag,
                          double* rhs, int last_row);
void envelope_upper_solve(int n, const int* xenv, const std::complex<float>* env,
                          const std::complex<float>* diag, std::complex<float>* rhs, int last_row);
