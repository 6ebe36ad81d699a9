// Symmetric band matrices: the storage index, the in-place Cholesky factorisation A = Uᵀ·U and
// the solves with the factor, in double and single precision.
//
// Layout: a matrix of order n with half-bandwidth bw keeps its upper triangle row after row,
// bw + 1 elements per row: a(r,r), a(r,r+1), ..., a(r,r+bw) (n·(bw+1) elements in all; the slot
// positions past column n in the last rows are storage whose values no result depends on).
// Entry (i, j), |i - j| <= bw, is element sym_band_index(i, j, bw + 1). The factor U overwrites
// the matrix in the same layout.
//
// Solves: b(1..n) is overwritten by the solution. `first` is the first row of b that may be
// non-zero (the caller guarantees b(1..first-1) = 0; the forward sweep starts there); `last` is
// the lowest row of the solution the caller needs (the back substitution stops after it, rows
// 1..last-1 keep forward-sweep values). first = last = 1 is the complete solve.
#pragma once

/// 0-based position of entry (i, j) (1-based, either order) in rows of m stored elements:
/// (min(i,j) - 1)·m + |i - j|. No range check: callers test |i - j| <= bw before they store.
inline int sym_band_index(int i, int j, int m) {
    return i < j ? (i - 1) * m + (j - i) : (j - 1) * m + (i - j);
}

/// Factors the band matrix a of order n in place (row by row, each row scaled by the reciprocal
/// of its pivot). Returns 0, or the 1-based row whose pivot is not positive (or not a number):
/// then the message beep sounds, rows before it are factored, that row is updated but not
/// rooted and later rows are untouched. No work memory.
int band_cholesky(int n, double* a, int bw);
/// band_cholesky without the beep, for a worker thread whose caller reports the failure.
int band_cholesky_quiet(int n, double* a, int bw);
int band_cholesky_float(int n, float* a, int bw);

/// Solves Uᵀ·U·x = b in place with the factor u (forward sweep dividing by the pivots).
void band_cholesky_solve(const double* u, int n, double* b, int bw, int first, int last);
void band_cholesky_solve_float(const float* u, int n, float* b, int bw, int first, int last);
/// The same as band_cholesky_solve_float (kept for callers that name it).
void band_cholesky_solve_float_2(const float* u, int n, float* b, int bw, int first, int last);

/// Four right-hand sides in one interleaved block: row k holds b(k) of systems 1..4, so the
/// block has 4n doubles. The factor is streamed once for the four systems; each of them gets
/// exactly the result of band_cholesky_solve (the same operations in the same order). The block
/// needs no particular alignment.
void band_cholesky_solve_4rhs(const double* u, int n, double* block, int bw, int first, int last);

/// Four right-hand sides in the interleaved block, multiplying by the reciprocal of each pivot
/// (formed once per row) instead of dividing: faster, results differ from band_cholesky_solve
/// by rounding.
void band_cholesky_solve_block4(const double* u, int n, double* block, int bw, int first, int last);

/// Four right-hand sides in four separate vectors, each with its own first and last row; the
/// forward sweep starts at the smallest first row and the back substitution goes down to the
/// smallest last row. Multiplies by the reciprocal pivots like band_cholesky_solve_block4.
void band_cholesky_solve_4vec(const double* u, int n, double* b1, double* b2, double* b3,
                              double* b4, int bw, int first1, int last1, int first2, int last2,
                              int first3, int last3, int first4, int last4);

/// Blocks of right-hand sides side by side: row i (1-based) of the block x holds the values of
/// node i of all `lanes` systems at x + (i - 1)·lanes (lanes 2, 4, 8 or 16; x on a 16-byte
/// boundary, see align16). Every row of the factor is loaded once for the whole block, the
/// forward sweep from `first` and the back substitution down to `last` as in
/// band_cholesky_solve, and each system gets exactly that routine's result.
void band_solve_lanes_dbl(const double* u, int n, double* x, int lanes, int bw, int first,
                          int last);
/// The forward sweep alone: row i of x becomes that of y = U⁻ᵀ·b (the potential between two
/// nodes a and b is then y_a · y_b over the rows at and after both).
void band_forward_lanes_dbl(const double* u, int n, double* x, int lanes, int bw, int first);
/// The back substitution alone, on forward-swept values, from row n down to `last`.
void band_back_lanes_dbl(const double* u, int n, double* x, int lanes, int bw, int last);
/// band_solve_lanes_dbl for eight right-hand sides (rows of eight doubles).
void bandsolve8_dbl_sse(const double* u, int n, double* x, int bw, int first, int last);

/// Complex symmetric band matrices (A = Aᵀ, not Hermitian) in two arrays of the layout above,
/// real parts and imaginary parts, factored in place as A = Uᵀ·U without conjugation: each
/// pivot p is replaced by its principal root (mx::principal_root), the rest of its row
/// multiplied by the reciprocal of that root. Returns 0, or the 1-based row whose pivot has
/// |p|² <= 0 or a real part of exactly 0 (or is not a number): then the beep sounds and the
/// arrays are left part-factored as band_cholesky leaves them. A real positive-definite matrix
/// gives the real factor and imaginary parts of exactly 0.
int band_factor_cmplx_dbl(int n, double* re, double* im, int bw);
int band_factor_cmplx_flt(int n, float* re, float* im, int bw);

/// Solves Uᵀ·U·x = b in place with a complex factor, first and last rows as above; complex
/// division multiplies by the conjugate over the squared modulus.
void band_solve_cmplx_dbl(const double* u_re, const double* u_im, int n, double* b_re, double* b_im,
                          int bw, int first, int last);
void band_solve_cmplx_flt(const float* u_re, const float* u_im, int n, float* b_re, float* b_im,
                          int bw, int first, int last);
