// Ratio k*K1(k*r)/K0(k*r) of modified Bessel functions: the decay rate of a 2.5-D point-source
// potential, used by the mixed boundary condition on the left, right and bottom grid edges.
#pragma once

/// R = k*K1(k*r)/K0(k*r) for the distance r from the source (x0, 0) to the point (x1, z);
/// *d = |x1 - x0| and *r = sqrt(d^2 + z^2). For k*r >= 2 the ratio K1/K0 is taken as 1 (R = k).
/// k = 0 gives 0, the limit of R; r = 0 with k > 0 is not a valid input (R is infinite).
double bessel_ratio_k1_k0_dbl(double x0, double x1, double z, double* d, double* r, double k);

/// Single-precision twin: float coordinates and side results; the division by x in K1 uses
/// x = k*r rounded to float, and the ratio and the result are rounded to float.
double bessel_ratio_k1_k0_flt(float x0, float x1, float z, float* d, float* r, double k);
