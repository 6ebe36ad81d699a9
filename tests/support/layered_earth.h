// Analytic potential of a layered earth that the solver tests compare against. Free of
// GoogleTest: the benchmarks may build it too.
#pragma once

namespace test_support {

/// Potential (V) at distance r on the surface of a layer of resistivity rho1 and thickness h over
/// a half-space of rho2, for a unit current (1 A) entering at the surface: the image series
/// rho1 / (2 pi) (1/r + 2 sum k^n / sqrt(r^2 + (2nh)^2)), k = (rho2 - rho1) / (rho2 + rho1),
/// n from 1 until k^(n-1) falls below 1e-16 (at most 4000 terms).
double two_layer_potential(double rho1, double rho2, double h, double r);

/// The same layer seen from below: potential (V) at distance r on the floor of the layer (water
/// under a surface that conducts no current) for a unit current entering on that floor:
/// rho1 rho2 / (2 pi (rho1 + rho2)) (1/r + (1 + k) sum k^(n-1) / sqrt(r^2 + (2nh)^2)).
double layer_floor_potential(double rho1, double rho2, double h, double r);

} // namespace test_support
