// The series solution of a homogeneous cylinder with electrodes on its rim, the reference of the
// cylinder tests and the benchmark. Free of GoogleTest: the benchmark builds it too.
#pragma once

namespace test_support {

/// G(a1) - G(a2), G(a) the potential on the rim of an infinite cylinder of radius 1 and
/// conductivity 1 at the angle a from a unit current on the rim:
/// G(a) = (1 / pi) integral over k of (1 / (2 pi)) [I0(k) / (k I1(k)) + 2 sum over m >= 1 of
/// cos(m a) I_m(k) / (k I_m'(k))]. The m = 0 term cancels in the difference, which is what
/// every four-electrode datum needs. Both angles in (0, 2 pi); the truncations of the sum and
/// the integral leave about 1e-5 of the value.
double cylinder_series_difference(double a1, double a2);

} // namespace test_support
