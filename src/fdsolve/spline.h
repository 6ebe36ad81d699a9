// Wavenumbers and their integration: log-spaced wavenumbers, the count of significant samples,
// and the integral over wavenumber of positive samples by an Akima spline of their logarithms.
#pragma once

namespace fd {
/// The largest number of wavenumbers a run may use.
constexpr int max_wavenumbers = 32;
} // namespace fd

/// v[0] = first, v[n-1] = last and, between them, equal steps of ln v (the exponent summed in
/// extended precision). n <= 2 writes only the two ends; n <= 0 writes nothing.
void log_spaced_values_dbl(int n, double* v, float first, float last);

/// Number of leading samples of a[0..n-1] worth integrating: 3 [2], plus one for every later
/// sample above 1e-100 [1e-45] that is smaller than its predecessor, less one when the sample
/// at that count is below the threshold. Never more than n.
int count_significant_dbl(int n, const double* a);
int count_significant_flt(int n, const float* a);

/// Akima coefficients of the n-1 intervals through (x, y): on interval i,
/// S = y[i] + t[i]*h + c[i]*h^2 + d[i]*h^3, h = x - x[i]. Returns 1 (nothing written) when
/// n < 2, else 0. A zero-width interval takes the secant slope of its neighbour and gets
/// c = d = 0, so no division by zero occurs.
int spline_coef_dbl(int n, const double* x, const double* y, double* t, double* c, double* d);
int spline_coef_flt(int n, const float* x, const float* y, float* t, float* c, float* d);

/// Integral over x[0]..x[n-1] of exp(S), S the spline with coefficients (a, t, c, d) through
/// the logarithms ly of the samples y, evaluated on m geometric sub-steps per interval, plus
/// the exponential tail y[n-1]/alpha beyond x[n-1] when the last sub-step is not negligible
/// (more than 1e-7 of the sum) and the samples decay there (alpha > 0; otherwise no tail).
/// Where the decay of the last interval stalls against the one before (far slower, with a
/// part of the integral that matters), the result goes over continuously to the same rule
/// without the last sample (here on the same coefficients), so that no pair of nearly equal
/// last samples blows the tail up.
double exp_spline_integral_dbl(int m, int n, const double* d, const double* c, const double* t,
                               const double* a, const double* y, const double* ly, const double* x);
double exp_spline_integral_flt(int m, int n, const float* d, const float* c, const float* t,
                               const float* a, const float* y, const float* ly, const float* x);

/// Integral from 0 to infinity of positive samples y over x: the rectangle x[0]*y[0], the
/// exponentiated Akima spline of ln y with m sub-steps per interval, and the tail (with the
/// stalled end of exp_spline_integral_dbl, the spline refitted without the last sample). Only the
/// leading positive samples are used. Needs no work tables, so any n is accepted.
double log_spline_integral_dbl(const double* x, const double* y, int n, int m);
float log_spline_integral_flt(const float* x, const float* y, int n, int m);

/// x[0]*y[0] plus one exponential segment per interval (the trapezoid where the samples do not
/// fall by more than 1e-11 in the logarithm); no tail.
double exp_segment_integral_dbl(const double* x, const double* y, int n);

namespace fd {

/// Log-spaced values as log_spaced_values_dbl, for limits already in double precision.
void log_spaced(int n, double* v, double first, double last);

/// log_spline_integral_dbl without its rectangle: the integral from x[0] to infinity of the
/// leading positive samples (0 with fewer than two). The transforms put their own
/// low-wavenumber tail below x[0].
double spline_integral_above_first(const double* x, const double* y, int n, int m);
double spline_integral_above_first(const float* x, const float* y, int n, int m);

/// Integral over a width w of the exponential through y0 and y1, with dl = ln y0 - ln y1:
/// w*(y0 - y1)/dl, and its limit (the trapezoid, exact to second order in dl) where dl is so
/// small that the quotient would lose its digits or be 0/0.
template <class T> T exp_piece_integral(T w, T y0, T y1, T dl) {
    // Below cbrt(12 eps) the trapezoid's error dl^2/12 is smaller than the quotient's
    // cancellation error eps/dl.
    const T small = sizeof(T) == sizeof(float) ? T(9e-3) : T(1.1e-5);
    if (!(dl > small || dl < -small)) return w * T(0.5) * (y0 + y1);
    return w * (y0 - y1) / dl;
}

} // namespace fd
