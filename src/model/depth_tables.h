// Depth of investigation of surface electrode arrays: the median depth of a two-, three- or
// four-electrode configuration, the depth-factor tables by n with their interpolation, and the
// depth curve of the equatorial dipole-dipole array.
#pragma once

#include <array>

/// Largest n factor held in a depth-factor table (the program's `ProgLim::max_n`).
constexpr int depth_factor_max_n = 70;

/// Depth-factor table of an array family: entry k-1 is the median depth, in units of a, of the
/// level n = k (k = 1 .. depth_factor_max_n); entry depth_factor_max_n holds the depth for
/// n = 0.25 and entry depth_factor_max_n + 1 the depth for n = 0.5.
using DepthFactorTable = std::array<float, depth_factor_max_n + 2>;

/// Median depth of investigation over a homogeneous half-space of an array with the electrode
/// distances r1 = C1-P1, r2 = C1-P2, r3 = C2-P1, r4 = C2-P2 (any one length unit, all > 0).
/// count 2 (pole-pole) uses r1 only and gives 0.84133 r1; count 3 (pole-dipole) uses r1 and r2;
/// count 4 uses all four. Found by at most 30 bisection steps between 0.001 and 0.999 times the
/// largest distance, stopping when a step moves the depth by less than 0.00001. A remote
/// electrode inside a count-4 configuration pins the result near 0.001 times its distance.
/// Returns the depth in the unit of the distances.
float median_depth_of_investigation(float r1, float r2, float r3, float r4, int count);

/// Fills `table` with the median-depth factors of the pole-dipole array.
void set_depth_factors_pole_dipole(DepthFactorTable& table);
/// The same values as set_depth_factors_pole_dipole; the Wenner-Schlumberger array uses them.
void set_depth_factors_pole_dipole_2(DepthFactorTable& table);
/// Fills `table` with the median-depth factors of the dipole-dipole array.
void set_depth_factors_dipole_dipole(DepthFactorTable& table);

namespace model {
/// Fills `table` with the depth factors of the internal array code `array_type`: pole-dipole
/// (6) and offset pole-dipole (10) take the pole-dipole factors, Wenner-Schlumberger (7) its
/// own, every other code the dipole-dipole factors.
void set_depth_factors_of_array(int array_type, DepthFactorTable& table);
} // namespace model

/// Depth factor, in units of a, at a real separation factor n >= 0 (callers pass |n|).
/// From n = 1 on it interpolates from the nearest tabulated level k (halves up) along the
/// segment k .. k+1; below 1 it interpolates between the entries of n = 0.5 and n = 1, and below
/// 0.5 along the segment n = 0.25 .. 0.5. Beyond the last tabulated level it extrapolates with
/// the table's last step.
float interp_depth_factor(const DepthFactorTable& table, float n);

/// Median depth of the equatorial dipole-dipole array with dipole length a and dipole offset b
/// (b > 0): b * g(a / b), g being a piecewise-linear curve through tabulated ratios.
float ratio_table_function(float a, float b);
