// Symmetric dense matrices in packed storage: damping, inversion, product diagonals and the
// rank-one updates of the model-resolution and array-optimisation computations.
//
// Packed lower-by-rows storage of a symmetric n x n matrix: n(n+1)/2 doubles A(1,1), A(2,1),
// A(2,2), A(3,1), ...; entry (i, j) with j <= i is at the 1-based position i(i-1)/2 + j
// (packed_position), so the diagonal stands at positions 1, 3, 6, 10, ...  Every routine takes
// plain 0-based pointers to the first value and does its own 1-based arithmetic.
#pragma once

#include <cstddef>

namespace mx {

/// 1-based packed position of the entry (i, j) of a symmetric matrix, in either order.
inline std::size_t packed_position(long i, long j) {
    if (j > i) return std::size_t(j) * std::size_t(j - 1) / 2 + std::size_t(i);
    return std::size_t(i) * std::size_t(i - 1) / 2 + std::size_t(j);
}
/// Number of packed values of an n x n matrix, n(n+1)/2.
inline std::size_t packed_size(long n) {
    return n > 0 ? std::size_t(n) * std::size_t(n + 1) / 2 : 0;
}

} // namespace mx

/// Result of the kernels that take a work vector when it cannot be had.
constexpr int packed_no_memory = -1;

/// A(i,i) += damping for i = 1..n (positions 1, 3, 6, ...); nothing else changes.
void add_damping_to_packed_diagonal(int n, float damping, double* a);

/// Inverts the symmetric positive-definite matrix a (packed, n(n+1)/2 values) in place by the
/// Bauer-Reinsch compact Gauss-Jordan scheme. From order panel_inversion_order on, the pivots
/// are taken a panel at a time (mx::invert_packed_panels, matrix/dense.h), with the same result
/// bit for bit; when its work storage is refused, or below that order, in place with a work
/// vector of n doubles (invert_packed_symmetric_compact). Returns 0 on success; the step k (n
/// down to 1) at which the leading pivot was not positive, a being partly overwritten or
/// untouched then (not to be used); or packed_no_memory, a untouched, when not even the work
/// vector can be had.
int invert_packed_symmetric(int n, double* a);
/// The compact scheme in place, pivot after pivot; results and codes as above.
int invert_packed_symmetric_compact(int n, double* a);
/// The order from which invert_packed_symmetric inverts by panels.
constexpr int panel_inversion_order = 64;
/// The page memory invert_packed_symmetric takes for its work at order n.
long long packed_inversion_bytes(int n);

/// out(i) = sum over j of A(i,j) B(i,j), i = 1..n, accumulated in double in order of j: for
/// symmetric A and B the diagonal of the product A B. out holds n floats.
void packed_symmetric_product_diagonal(float* out, const double* a, const double* b, int n);

/// The same result as packed_symmetric_product_diagonal in one pass over the packed rows.
void packed_product_diagonal_rowwise(float* out, const double* a, const double* b, int n);

/// y = A x, c = 1 / (1 + x.y), out(i,j) = A(i,j) - c y(i) y(j) over the packed triangle: for A the
/// inverse of a matrix M, out is the inverse of M + x x^T. out may not alias a. Returns 0, or
/// packed_no_memory (out untouched) when the work vector of n doubles is refused.
int sherman_morrison_update_packed(int n, const double* a, double* out, const float* x);

/// outk(i,j) = base(i,j) + uk(i) uk(j) over the packed triangle, for the four vectors at once.
void packed_rank_one_updates4(int n, const double* base, double* out1, double* out2, double* out3,
                              double* out4, const float* u1, const float* u2, const float* u3,
                              const float* u4);

/// out(r) = row r of the m x n float matrix (rows of n values one after another) times the
/// vector, accumulated in double, four rows per pass and the rest one by one.
void matrix_times_vector_flt4(int m, int n, const float* matrix, const float* vector, float* out);
