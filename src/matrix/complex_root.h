// The square root of a complex pivot, shared by the complex band and envelope factorisations.
#pragma once

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

} // namespace mx
