// Reference integrals of the sensitivity tests: double-exponential quadrature over the whole
// line and the defining strike integral of the pole-pair kernels.
#pragma once

#include <algorithm>
#include <cmath>

namespace sens_test {

constexpr double kernel_c = 0.02533029032445501; // 1 / (4 pi^2) of the kernels

/// Integral of f over (-inf, inf) by the double-exponential rule y = c + s sinh(pi/2 sinh t),
/// step 1/64, |t| <= 6.25; the length scale `s` should be that of f's features near `c`.
template <class F> double integral_over_line(F f, double c, double s) {
    const double h = 1.0 / 64.0;
    double sum = 0.0;
    for (int k = -400; k <= 400; ++k) {
        const double t = k * h, u = M_PI / 2 * std::sinh(t);
        const double v = f(c + s * std::sinh(u)) * s * M_PI / 2 * std::cosh(t) * std::cosh(u);
        if (std::isfinite(v)) sum += v;
    }
    return sum * h;
}

/// C times the strike integral of [(P - A).(P - B)] / (|P - A|^3 |P - B|^3) dy at the point
/// (x, z) for poles A and B in the x-z plane.
inline double strike_integral(double x, double z, double xa, double za, double xb, double zb) {
    const double s1 = (x - xa) * (x - xa) + (z - za) * (z - za);
    const double s2 = (x - xb) * (x - xb) + (z - zb) * (z - zb);
    const double dot = (x - xa) * (x - xb) + (z - za) * (z - zb);
    const auto f = [&](double y) {
        const double r1 = std::sqrt(s1 + y * y), r2 = std::sqrt(s2 + y * y);
        return (dot + y * y) / (r1 * r1 * r1 * r2 * r2 * r2);
    };
    return kernel_c * integral_over_line(f, 0.0, std::sqrt(std::min(s1, s2)));
}

} // namespace sens_test
