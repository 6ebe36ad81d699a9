// Envelope factorisation and solves written for the processor's vector units: the rows of the
// factor worked out several at a time, each row of the factor they need loaded once for all of
// them, and many right-hand sides solved at once. Every value is the one envelope.h's routines
// give (the same operations in the same order, sums in double), so callers may mix the two.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>

namespace mx {

/// Rows of the factor worked out together.
constexpr int envelope_block_rows = 32;
/// Systems of a lane solve are taken in groups of this many; the lane count of a solve is a
/// multiple of it.
constexpr int envelope_lane_group = 8;

/// Doubles of work the block factorisation of an order-n matrix needs (real; twice as many for
/// a complex one).
inline std::size_t envelope_factor_work(int n, bool complex) {
    return std::size_t(n + envelope_block_rows) * envelope_block_rows * (complex ? 2 : 1);
}

/// Asked now and then during a long factorisation or solve (when given): true stops it.
using StopTest = std::function<bool()>;

/// Factors the envelope matrix in place as envelope_factor does: the same factor and the same
/// failing row (rows before it factored, the rest partly updated). work holds
/// envelope_factor_work(n, false) doubles (true for the complex overload). No beep, no message.
/// Returns -1 when `stop` said so (between two blocks of rows; the factor is then unfinished).
int envelope_factor_blocks(int n, const int* xenv, float* env, float* diag, double* work,
                           const StopTest* stop = nullptr);
int envelope_factor_blocks(int n, const int* xenv, double* env, double* diag, double* work,
                           const StopTest* stop = nullptr);
int envelope_factor_blocks(int n, const int* xenv, std::complex<float>* env,
                           std::complex<float>* diag, double* work, const StopTest* stop = nullptr);

/// Solves L·Lᵀ·x = b for `lanes` systems at once with a factor of envelope_factor: the forward
/// solve of envelope_lower_solve, then the back solve of envelope_upper_solve down to row
/// last[l] for system l. b holds n rows of `lanes` values (row i, 1-based, from (i - 1)·lanes;
/// the complex overload takes the real and imaginary parts apart); lanes is a multiple of
/// envelope_lane_group. System l's right-hand side is zero before row first[l], first ascending
/// in l (a system with no right-hand side may be given first = last = n). Rows last[l]..n of each
/// solution hold exactly what the two one-system solves give; the other rows intermediate
/// values. Returns false when `stop` said so (the solutions are then unfinished).
bool envelope_solve_lanes(int n, const int* xenv, const float* env, const float* diag, int lanes,
                          float* b, const int* first, const int* last,
                          const StopTest* stop = nullptr);
bool envelope_solve_lanes(int n, const int* xenv, const double* env, const double* diag, int lanes,
                          double* b, const int* first, const int* last,
                          const StopTest* stop = nullptr);
bool envelope_solve_lanes(int n, const int* xenv, const std::complex<float>* env,
                          const std::complex<float>* diag, int lanes, float* b_re, float* b_im,
                          const int* first, const int* last, const StopTest* stop = nullptr);

} // namespace mx
