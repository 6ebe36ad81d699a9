// Complex symmetric band factorisation and solves written for the processor's vector units: the
// factorisation of band.h's layout with its row updates taken several columns at a time, and the
// solve of many right-hand sides at once, each row of the factor loaded once for all of them.
// Every value is the one the one-system routines of band.h give (the same operations in the same
// order on every entry and every system), so callers may mix the two.
#pragma once

namespace mx {

/// Systems of a lane solve are taken in groups of this many; the lane count of a block is a
/// multiple of it.
constexpr int band_lane_group = 16;

/// Row length (values a row) of the padded layout: band.h's rows of bw + 1 values followed by
/// zeros up to a whole vector past them, which lets the row updates run without a remainder.
/// The zeros stay zeros (of either sign) through the factorisation.
int band_padded_row_length(int bw, int value_bytes);

/// Factors a complex symmetric band matrix in place as band_factor_cmplx_dbl and _flt do
/// (A = Uᵀ·U, principal roots, the same failing row), without the beep: the caller reports a
/// failure. Rows are row_length values apart: bw + 1 (or less) for band.h's layout,
/// band_padded_row_length for the padded one. Returns 0 or the failing row.
int band_factor_cmplx_quiet(int n, double* re, double* im, int bw, int row_length = 0);
int band_factor_cmplx_quiet(int n, float* re, float* im, int bw, int row_length = 0);

/// Solves Uᵀ·U·x = b for `lanes` systems at once with a complex factor of band_factor_cmplx.
/// b_re and b_im hold n rows of `lanes` values (row k, 1-based, from (k - 1)·lanes); lanes is a
/// multiple of band_lane_group. System l's right-hand side is zero before row first[l], first
/// ascending in l (a system with no right-hand side may be given first = last = n), and only
/// rows last[l]..n of its solution are read afterwards; those rows hold exactly what
/// band_solve_cmplx_dbl or _flt gives the system with the same first and last rows. The other
/// rows hold intermediate values. row_length as for the factorisation.
void band_solve_cmplx_lanes(const double* u_re, const double* u_im, int n, int bw, int lanes,
                            double* b_re, double* b_im, const int* first, const int* last,
                            int row_length = 0);
void band_solve_cmplx_lanes(const float* u_re, const float* u_im, int n, int bw, int lanes,
                            float* b_re, float* b_im, const int* first, const int* last,
                            int row_length = 0);

} // namespace mx
