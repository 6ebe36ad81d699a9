// Closed-form 2-D sensitivity kernels over a homogeneous medium: the general complete elliptic
// integral, the pole-pole kernels of surface and buried electrodes, the surface-image sum, the
// per-array wrappers and the signed kernel sum of a four-electrode array.
#pragma once

// Coordinates: x along the line, z depth (positive downwards), in the unit of the electrode
// positions; the strike direction y is integrated out. A kernel is the Frechet derivative of
// the potential of a current pole, measured at a potential pole, with respect to the
// conductivity of a 2-D structure:
//   F = C * integral over y of [(P - A) . (P - B)] / (|P - A|^3 |P - B|^3) dy,
// with C = 1 / (4 pi^2). Both kernels are symmetric in their two poles (reciprocity).

/// Bulirsch's general complete elliptic integral cel(kc, p, a, b), by the arithmetic-geometric
/// iteration with the convergence test |g - qc| <= 0.0003 g (the last step squares the error,
/// so K and E come out to about 1e-13). With kc = k' = sqrt(1 - k^2), K(k) = cel(kc, 1, 1, 1)
/// and E(k) = cel(kc, 1, 1, kc^2). kc = 0 sets `error` to 1 and returns +infinity (the
/// integral diverges); otherwise `error` is 0.
double complete_elliptic_integral(double kc, double p, double a, double b, int& error);

/// E(k), the complete elliptic integral of the second kind; writes K(k), that of the first
/// kind, to *K. Both from complete_elliptic_integral with kc = sqrt(1 - k^2); 0 <= k < 1.
double elliptic_integrals_k(double k, double* K);

/// Kernel of a current pole at (0, 0) and a potential pole at (a, 0) on the surface, at the
/// point (x, z); a may be negative. F(x, z; a) = F(x - a, z; -a). Closed form in double
/// precision; close to the perpendicular bisector of the poles (|s1 - s2| < 1e-4 max(s1, s2),
/// s1 and s2 the squared distances to the poles) the series about the bisector is taken
/// instead, since the closed form subtracts nearly equal terms there. No guard at a pole:
/// callers keep points off the surface.
double sens2d_pole_pole(float x, float z, float a);

/// Full-space kernel of two poles at (xa, za) and (xb, zb), at the point (x, z); as
/// sens2d_pole_pole, with the same bisector series (d^2 = L^2 + Dz^2 the squared pole
/// separation). A point on a pole gives 999.0.
float sens2d_buried_pole(float x, float z, float xa, float za, float xb, float zb);

/// Half-space kernel of buried poles A = (xa, za) and B = (xb, zb) under a free surface at
/// z = 0: 0.25 [k(A, B) + k(A', B) + k(A', B') + k(A, B')] with the primes the images mirrored
/// in the surface, k = sens2d_buried_pole, summed in that order. With both poles on the
/// surface it equals sens2d_pole_pole(x - xa, z, xb - xa).
float sens2d_buried_pole_images(float x, float z, float xa, float za, float xb, float zb);

/// Wenner alpha of spacing a (C1, P1, P2, C2 at 0, a, 2a, 3a).
double sens2d_wenner_alpha(float x, float z, float a);
/// Wenner beta of spacing a (C2, C1, P1, P2 at 0, a, 2a, 3a).
double sens2d_wenner_beta(float x, float z, float a);
/// Pole-dipole of spacing a and factor n (C1 at 0, P1 at na, P2 at (n + 1)a).
double sens2d_pole_dipole(float x, float z, float a, float n);
/// The smallest of |v - e1|, |v - e2|, |v - e3|, |v - e4|.
float min_electrode_distance(float v, float e1, float e2, float e3, float e4);
/// 2x / (3.1416 (4x^2 + z^2)^1.5).
float sens2d_line_term(float x, float z);

namespace sens {

/// Electrodes C1, C2, P1, P2 (in that order) of a four-electrode array: x along the line and
/// depth, positive downwards.
struct Electrodes {
    float x[4] = {0.0f, 1.0f, 1.0f / 3.0f, 2.0f / 3.0f};
    float z[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

/// Array codes of the 2-D sensitivity sections.
enum ArrayCode : int {
    wenner_alpha = 1,
    wenner_beta = 2,
    wenner_gamma = 3,
    pole_pole = 4,
    dipole_dipole = 5,
    pole_dipole = 6,
    wenner_schlumberger = 7,
    general_array = 11,
    borehole_array = 12,
};

/// The signed kernel sum S of an array at the point (x, z), z > 0:
///   S = k(C1, P1) - k(C1, P2) - k(C2, P1) + k(C2, P2).
/// Codes 1 to 7 are the standard arrays on a line of unit length with their fixed relative
/// positions (C1 at 0 for Wenner alpha; `n` the factor of codes 5 to 7), whatever `e` holds;
/// code 11 takes the x of `e` on the surface, code 12 the x and depth of `e` with the image
/// sum; any other code is the pole-pole array C1 0, P1 1. Arguments of the pole-pole terms are
/// formed in float (the thirds as 0.33333334 and 0.6666667) and the terms summed in double.
float array_kernel_sum(int code, float n, const Electrodes& e, float x, float z);

} // namespace sens
