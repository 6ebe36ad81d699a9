// Double-precision integral over wavenumber of positive, smoothly decaying samples: a cubic
// spline with Akima slopes through their logarithms, exponentiated and integrated on
// geometrically growing sub-intervals of every knot interval.
#pragma once

/// Akima coefficients of the m - 1 intervals through (x, y): on interval i the cubic
/// y[i] + b[i] t + c[i] t^2 + d[i] t^3, t = x - x[i]. Returns 1 when m < 2 (nothing written),
/// else 0. The same spline as spline_coef_dbl.
int spline_coef_akima_dbl(int m, const double* x, const double* y, double* b, double* c, double* d);

/// Integral from x[0] to x[m - 1] of exp(p), p the cubic of each interval with a[i] = ln v[i]
/// (lv[i]) and the coefficients b, c, d: each interval cut into nsub sub-intervals with ends in
/// geometric progression; a falling sub-interval takes the exact integral of the exponential
/// through its ends, any other the trapezoid. The knot ends use v and lv as given.
double exp_spline_integral_geo_dbl(int nsub, int m, const double* a, const double* b,
                                   const double* c, const double* d, const double* x,
                                   const double* v, const double* lv);

/// x[0] v[0] (the stretch from 0 to the first wavenumber) plus the integral above over the
/// leading samples above 1e-36: the knots stop at the first sample at or below it, so knots and
/// logarithms stay aligned. Returns NaN when its work memory (4 n doubles) is refused.
double log_spline_integral_geo_dbl(const double* x, const double* v, int n, int nsub);
