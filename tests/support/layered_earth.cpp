#include "support/layered_earth.h"

#include <cmath>

namespace test_support {

namespace {

constexpr double pi = 3.14159265358979323846;

// The images of a source under one layer of thickness h: sum k^(n-1) / sqrt(r^2 + (2nh)^2),
// n from 1, until k^(n-1) falls below 1e-16 (at most 4000 terms).
double image_series(double k, double h, double r) {
    double sum = 0.0, kn = 1.0;
    for (int n = 1; n < 4000 && std::fabs(kn) > 1e-16; ++n) {
        sum += kn / std::sqrt(r * r + 4.0 * n * n * h * h);
        kn *= k;
    }
    return sum;
}

} // namespace

double two_layer_potential(double rho1, double rho2, double h, double r) {
    const double k = (rho2 - rho1) / (rho2 + rho1);
    return rho1 * (1.0 / r + 2.0 * k * image_series(k, h, r)) / (2 * pi);
}

double layer_floor_potential(double rho1, double rho2, double h, double r) {
    const double k = (rho2 - rho1) / (rho2 + rho1);
    return rho1 * rho2 / (rho1 + rho2) * (1.0 / r + (1.0 + k) * image_series(k, h, r)) / (2 * pi);
}

} // namespace test_support
