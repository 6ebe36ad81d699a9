// Analytic surface potential of a point current source beside a vertical dike, by image sources:
// the reference of the contact and dike models.
#pragma once

#include <cstdio>

/// Potential at xm on the surface of a host of resistivity rho1 (ohm-m) holding a vertical dike
/// of resistivity rho2 from x1 to x1 + w, from a unit current at xa on the surface (any length
/// unit; the result in V for 1 A). Symmetric in xa and xm. The image series of the reflection
/// coefficient k = (rho2 - rho1) / (rho2 + rho1) runs over 2,000,001 terms in single precision;
/// k = 0 gives the half-space value rho1 / (6.2831855 r), r = |xm - xa|, and coincident
/// electrodes (r = 0) give infinity.
float dike_potential(float xa, float xm, float x1, float w, float rho1, float rho2);

/// The same series with 99 terms; also writes one line naming the case (which side of the dike
/// each electrode lies), the positions and the potential to `file` (ignored when null).
double dike_test_cases(std::FILE* file, float xa, float xm, float x1, float w, float rho1,
                       float rho2);
