// Wavenumber-to-space transforms of the complex solvers: the electrode-pair tables (real and
// imaginary parts, each by two rules) and the remote-electrode lists.
//
// Interval models over the increasing wavenumbers k(1..n): below k(1) the value is taken as
// V(1) - ln(k/k(1)); between neighbours it is linear in ln k while k r < 0.5 (r the distance
// from the source) and exponential beyond, each piece integrated in closed form; nothing is
// added beyond k(n). The limits stand in where a closed form would divide by zero (equal
// neighbours, a zero strike offset), so no input of positive wavenumbers gives NaN.
#pragma once

namespace ip {

/// Integral over wavenumber of F(k) (1 - cos(k r)), single precision. type 0: the interval
/// models above, the first `count` wavenumbers (raised to 1 when 0) logarithmic. type 1: the
/// trapezoid rule of F less cosine_transform_linear_flt. r must be positive.
float inverse_fourier_transform_flt(int type, int n, int& count, float r, const float* k,
                                    const float* f);

} // namespace ip

/// k(1) F(1) + the trapezoid rule over the n samples.
float trapezoid_integral_flt(const float* k, const float* f, int n);

/// Integral of F(k) cos(k r) for F constant F(k(1)) on [0, k(1)] and linear between the
/// wavenumbers; r must be positive.
float cosine_transform_linear_flt(float r, const float* k, const float* f, int n);

/// Space-domain tables of every electrode pair (i, j), i < j, of np electrodes from the
/// wavenumber-domain pair arrays re and im (pair p of wavenumber w at p + w npairs, pairs in the
/// order (1, 2), (1, 3) .. (np - 1, np)): t_re and t_im the section-plane potentials, s_re and
/// s_im those less the potential at the strike offset y (<= 0 taken as 1), all times 1/pi, at
/// index2d(i, j, lead) and index2d(j, i, lead). The real part is always integrated by the
/// spline (t_re) and the interval models (s_re). type 0 does the same for the imaginary part;
/// type 1 integrates it by the trapezoid and piecewise-linear rules and scales it by how much
/// the accurate rules changed the real part of the pair (ratio 1 when a simple integral is 0).
/// A pair whose first value is negative is integrated negated and the sign put back. The
/// diagonal is not written. Returns 0, or 1 when the work arrays are refused (tables untouched).
int sortfemcmplx(int type, float y, const float* re, const float* im, double* t_re, double* t_im,
                 double* s_re, double* s_im, int np, int nw, const float* k, int points, int npairs,
                 int lead);

/// Transforms, for each of `receivers` receivers of one source, the potentials re and im
/// (receiver i of wavenumber j at i + j stride, 0-based) to space at the horizontal offset
/// x[i] (its sign ignored; 0.02 or less taken as 0), the log-linear intervals chosen by the
/// distance[i]: x[i] receives (1/pi) T(real part). mode 0: result_2 = x, result_3 = (1/pi)
/// T(imaginary part); any other mode: result_2 and result_3 the type-1 transforms of
/// inverse_fourier_transform_flt (1/pi times) of the real and the imaginary part at x. Returns
/// 0, or 1 when the work arrays are refused (results untouched).
int inverse_fourier_transform_cmplx_flt(int mode, const float* distance, const float* re,
                                        const float* im, double* x, double* result_2,
                                        double* result_3, int receivers, int nw, const float* k,
                                        int stride);
