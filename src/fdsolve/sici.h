// Sine and cosine integrals Si(x) and Ci(x) from Chebyshev series (x/4 up to |x| = 4, the
// auxiliary functions f and g in 8/|x| beyond), in double and single precision.
#pragma once

/// Returns Si(x); *ci = Ci(|x|). x = 0 gives Si = 0 and Ci = -infinity.
double sine_cosine_integrals_dbl(double x, double* ci);
/// Single-precision twin (float tables and recurrences).
float sine_cosine_integrals_flt(float x, float* ci);

/// Auxiliary functions f(x) (odd) and g(x) (even) with Si = pi/2 - f cos x - g sin x and
/// Ci = f sin x - g cos x for x > 0.
void si_ci_auxiliary_dbl(float x, double* f, double* g);
void si_ci_auxiliary_flt(float x, float* f, float* g);

/// Sum of c[k]*T_k(x) for k = 0..n by Clenshaw's recurrence, c[0] counted in full.
double chebyshev_sum_dbl(int n, double x, const double* c);
float chebyshev_sum_flt(int n, float x, const float* c);
