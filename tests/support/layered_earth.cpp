#include "support/layered_earth.h"

#include <cmath>

namespace test_support {

double two_layer_potential(double rho1, double rho2, double h, double r) {
    constexpr double pi = 3.14159265358979323846;
    const double k = (rho2 - rho1) / (rho2 + rho1);
    double sum = 1.0 / r, kn = 1.0;
    for (int n = 1; n < 4000 && std::fabs(kn) > 1e-16; ++n) {
        kn *= k;
        sum += 2.0 * kn / std::sqrt(r * r + 4.0 * n * n * h * h);
    }
    return rho1 * sum / (2 * pi);
}

} // namespace test_support
