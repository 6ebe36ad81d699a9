// The square root of a complex pivot, shared by the complex band and envelope factorisations.
#pragma once

#include <cmath>
#include <complex>

namespace mx {

/// Principal square root of re + i im: the root with a non-negative real part (a purely
/// imaginary one for a negative real number: -4 gives 2i, -3 + 4i gives 1 + 2i, 3 + 4i gives
/// 2 + i), so that root² = re + i im in every quadrant. Computed in double precision whatever T
/// is; whether a pivot is acceptable at all is the caller's test.
template <class T> inline void principal_root(T re, T im, T& root_re, T& root_im) {
    const std::complex<double> root = std::sqrt(std::complex<double>(re, im));
    root_re = T(root.real());
    root_im = T(root.imag());
}

/// The envelope factor's diagonal entry of a pivot summed in double: the square root of a
/// positive real pivot; the principal root of a complex one whose real or imaginary part is
/// positive. False (nothing written) for any other pivot.
inline bool envelope_pivot_root(double pivot, float& root) {
    if (!(pivot > 0.0)) return false;
    root = float(std::sqrt(pivot));
    return true;
}
inline bool envelope_pivot_root(double pivot, double& root) {
    if (!(pivot > 0.0)) return false;
    root = std::sqrt(pivot);
    return true;
}
inline bool envelope_pivot_root(std::complex<double> pivot, std::complex<float>& root) {
    if (!(pivot.real() > 0.0) && !(pivot.imag() > 0.0)) return false;
    double re = 0.0, im = 0.0;
    principal_root(pivot.real(), pivot.imag(), re, im);
    root = {float(re), float(im)};
    return true;
}

} // namespace mx
